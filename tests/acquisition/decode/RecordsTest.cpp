#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/Records.h"
#include "platform/Clock.h"

namespace {

using marivane::SecondsSince1970;

TEST(SecondsSince1970, DatesAndInvalidDates) {
    struct Case {
        std::uint32_t year, month, day;
        double secondsOfDay;
        double expected;
    };
    const Case cases[] = {
        {1970, 1, 1, 0.0, 0.0},
        {1970, 1, 2, 5.5, 86405.5},
        {2000, 2, 29, 0.0, 951782400.0},  // divisible by 400: a leap year
        {2000, 3, 1, 0.0, 951782400.0 + 86400},
        {2024, 2, 29, 3600.25, 1709164800.0 + 3600.25},
        {2024, 12, 31, 86400.0, 1735603200.0 + 86400},  // seconds of day are added as they are
        {2400, 2, 29, 0.0, 13574563200.0},
        // 0.0 without the seconds of day:
        {2100, 2, 29, 100.0, 0.0},  // divisible by 100 only: not a leap year
        {2023, 2, 29, 100.0, 0.0},
        {1969, 12, 31, 100.0, 0.0},
        {2024, 0, 1, 100.0, 0.0},
        {2024, 13, 1, 100.0, 0.0},
        {2024, 4, 31, 100.0, 0.0},
        {2024, 1, 0, 100.0, 0.0},
        {2024, 1, 32, 100.0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(SecondsSince1970(c.year, c.month, c.day, c.secondsOfDay), c.expected)
            << c.year << "-" << c.month << "-" << c.day;
    }
    // The largest year is computed, not looped to.
    const double far = SecondsSince1970(std::numeric_limits<std::uint32_t>::max(), 12, 31, 0.0);
    EXPECT_TRUE(std::isfinite(far));
    EXPECT_GT(far, 1.3e17);
}

TEST(LocalSecondsOfDay, FromTheClock) {
    platform::FixedClock clock(platform::LocalDateTime{2024, 3, 1, 14, 5, 9, 999});
    EXPECT_EQ(marivane::LocalSecondsOfDay(clock), 50709u);
    clock.Set(platform::LocalDateTime{2024, 3, 1, 23, 59, 59, 0});
    EXPECT_EQ(marivane::LocalSecondsOfDay(clock), 86399u);
}

TEST(AcquisitionEngine, FixHistoryKeepsTheLastTen) {
    marivane::AcquisitionEngine engine;
    for (int i = 1; i <= 12; ++i) {
        marivane::GnssFix fix;
        fix.time = i;
        engine.AppendFix(fix);
        EXPECT_EQ(engine.fixHistory.Copy().size(), static_cast<std::size_t>(std::min(i, 10)));
    }
    const auto history = engine.fixHistory.Copy();
    EXPECT_EQ(history.front().time, 3.0);
    EXPECT_EQ(history.back().time, 12.0);
}

TEST(AcquisitionEngine, ClearForStartEmptiesInputsAndKeepsOutputs) {
    marivane::AcquisitionEngine engine;
    engine.workingPing.beamCount = 7;
    engine.workingFix.latitude = 5;
    engine.positionInput.With([](auto& q) { q.emplace_back(); });
    engine.attitudeInput.With([](auto& q) { q.emplace_back(); });
    engine.headingInput.With([](auto& q) { q.emplace_back(); });
    engine.pingInput.With([](auto& q) { q.emplace_back(); });
    engine.currentAttitude.Set(marivane::AttitudeSample{1, 2, 3, 4});
    engine.currentHeading.Set(90.0);
    engine.AppendFix(marivane::GnssFix{});
    engine.trackList.With([](auto& q) { q.emplace_back(); });

    const platform::FixedClock clock(platform::LocalDateTime{2024, 3, 1, 1, 0, 2, 0});
    engine.ClearForStart(clock);
    EXPECT_EQ(engine.workingPing.beamCount, 0u);
    EXPECT_EQ(engine.workingFix.latitude, 0.0);
    EXPECT_TRUE(engine.positionInput.Copy().empty());
    EXPECT_TRUE(engine.attitudeInput.Copy().empty());
    EXPECT_TRUE(engine.headingInput.Copy().empty());
    EXPECT_TRUE(engine.pingInput.Copy().empty());
    EXPECT_TRUE(engine.fixHistory.Copy().empty());
    EXPECT_EQ(engine.currentAttitude.Copy().roll, 0.0);
    EXPECT_EQ(engine.currentHeading.Copy(), 0.0);
    EXPECT_EQ(engine.startTime.Copy(), 3602.0);
    EXPECT_EQ(engine.trackList.Copy().size(), 1u) << "output queues are drained by the user interface";
}

TEST(AcquisitionEngine, StampAll) {
    marivane::AcquisitionEngine engine;
    engine.stamps.With([](marivane::LastSeenStamps& s) { s.gnssQuality = 4; });
    engine.StampAll(1234);
    const auto s = engine.stamps.Copy();
    EXPECT_EQ(s.pingHead1, 1234u);
    EXPECT_EQ(s.pingHead2, 1234u);
    EXPECT_EQ(s.heading, 1234u);
    EXPECT_EQ(s.attitude, 1234u);
    EXPECT_EQ(s.gnss, 1234u);
    EXPECT_EQ(s.timeSignal, 1234u);
    EXPECT_EQ(s.gnssQuality, -1);
}

}  // namespace
