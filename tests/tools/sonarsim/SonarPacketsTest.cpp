// Packet bytes against the byte table of the wire format, and the simulator's clock.

#include <gtest/gtest.h>

#include "tests/tools/sonarsim/SimTestSupport.h"
#include "tools/sonarsim/SimClock.h"
#include "tools/sonarsim/SonarPackets.h"

namespace {

using simtest::Get;
using simtest::Text;
using namespace sonarsim;

ClockFields SampleClock() {
    ClockFields c;
    c.year = 2026;
    c.month = 6;
    c.day = 1;
    c.hour = 8;
    c.minute = 7;
    c.second = 59;
    c.microsecond = 123456;
    return c;
}

PingContent SamplePing(std::size_t beams) {
    PingContent p;
    p.model = "TR240";
    p.deviceNumber = "1234";
    p.pingNumber = 77;
    p.clock = SampleClock();
    p.pingInterval = 0.25f;
    p.spacingMode = 1;
    p.surfaceSoundVelocity = 1512.5f;
    p.pingFlags = 0x0103;
    p.tilt = 0.0f;
    p.openingAngle = 130.0f;
    p.rangeScale = 2e-6f;
    p.angleScale = 0.01f;
    for (std::size_t i = 0; i < beams; ++i) {
        p.samples.push_back(static_cast<std::uint16_t>(1000 + 7 * i));
        p.angles.push_back(static_cast<std::int16_t>(-6500 + static_cast<int>(13 * i)));
        p.intensity.push_back(0xABCD);
    }
    return p;
}

void ExpectFrame(const Bytes& b, std::uint32_t type, std::size_t length) {
    ASSERT_EQ(b.size(), length);
    EXPECT_TRUE(simtest::HeaderAt(b, 0)) << "magic, header length 24 and version 0x0102";
    EXPECT_EQ(Get<std::uint32_t>(b, 0), 0x004E4C57u);
    EXPECT_EQ(Get<std::uint32_t>(b, 8), length);
    EXPECT_EQ(Get<std::uint32_t>(b, 12), 0u) << "flags";
    EXPECT_EQ(Get<std::uint32_t>(b, 16), 0u) << "reserved";
    EXPECT_EQ(Get<std::uint32_t>(b, 20), type);
    EXPECT_TRUE(simtest::TailAt(b, length)) << "tail 77 EE EE 77";
}

void ExpectPingClock(const Bytes& b) {
    EXPECT_EQ(Get<std::uint16_t>(b, 44), 2026);
    EXPECT_EQ(b[46], 6);
    EXPECT_EQ(b[47], 1);
    EXPECT_EQ(b[48], 8);
    EXPECT_EQ(b[49], 7);
    EXPECT_EQ(b[50], 59);
    EXPECT_EQ(Get<std::uint32_t>(b, 52), 123456u);
}

TEST(SonarPackets, FullPingPlacesBothBeamArraysByTheEvenBeamCount) {
    struct Case {
        std::size_t beams, even, length;
    };
    for (const Case c : {Case{1, 2, 164}, Case{3, 4, 180}, Case{511, 512, 4244}, Case{512, 512, 4244}}) {
        SCOPED_TRACE("beams " + std::to_string(c.beams));
        const PingContent p = SamplePing(c.beams);
        const Bytes b = BuildFullPing(p, kTypePingSecondHead);
        ExpectFrame(b, 3300, c.length);
        EXPECT_EQ(Text(b, 24, 8), "TR240");
        EXPECT_EQ(Text(b, 32, 8), "1234");
        EXPECT_EQ(Get<std::uint32_t>(b, 40), 77u);
        ExpectPingClock(b);
        EXPECT_EQ(Get<float>(b, 56), 0.25f);
        EXPECT_EQ(b[78], 1) << "beam spacing mode";
        EXPECT_EQ(Get<float>(b, 92), 1512.5f);
        EXPECT_EQ(Get<std::uint16_t>(b, 120), 0x0103) << "ping flags, low byte the stabilisation flags";
        EXPECT_EQ(Get<std::uint16_t>(b, 122), c.beams);
        EXPECT_EQ(Get<float>(b, 124), 0.0f);
        EXPECT_EQ(Get<float>(b, 128), 130.0f);
        EXPECT_EQ(Get<float>(b, 132), 2e-6f);
        EXPECT_EQ(Get<float>(b, 136), 0.01f);
        for (std::size_t i = 0; i < c.beams; ++i) {
            ASSERT_EQ(Get<std::uint16_t>(b, 144 + 2 * i), p.samples[i]) << "beam " << i;
            ASSERT_EQ(Get<std::int16_t>(b, 144 + 6 * c.even + 2 * i), p.angles[i]) << "beam " << i;
        }
        // The padding entries of an odd count are zero, and the angle block ends at the tail.
        if (c.even != c.beams) {
            EXPECT_EQ(Get<std::uint16_t>(b, 144 + 2 * c.beams), 0);
            EXPECT_EQ(Get<std::int16_t>(b, 144 + 6 * c.even + 2 * c.beams), 0);
        }
        EXPECT_EQ(144 + 8 * c.even + 4, c.length);
    }
    EXPECT_EQ(Get<std::uint32_t>(BuildFullPing(SamplePing(2)), 20), 3000u) << "first head by default";
}

TEST(SonarPackets, ShortPingFieldsSitAtTheirOwnOffsets) {
    PingContent p = SamplePing(5);
    p.model = "TR240S1";
    const Bytes b = BuildShortPing(p);
    ExpectFrame(b, 3004, 88 + 2 * 6);
    EXPECT_EQ(Text(b, 24, 8), "TR240S1");
    EXPECT_EQ(Get<std::uint32_t>(b, 40), 77u);
    ExpectPingClock(b);
    EXPECT_EQ(Get<float>(b, 56), 0.25f);
    EXPECT_EQ(Get<float>(b, 64), 1512.5f);
    EXPECT_EQ(b[68], 1) << "spacing / table mode";
    EXPECT_EQ(b[69], 0x03) << "stabilisation flags";
    EXPECT_EQ(Get<std::uint16_t>(b, 70), 5);
    EXPECT_EQ(Get<float>(b, 72), 0.0f);
    EXPECT_EQ(Get<float>(b, 76), 130.0f);
    EXPECT_EQ(Get<float>(b, 80), 2e-6f);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(Get<std::uint16_t>(b, 84 + 2 * i), p.samples[i]);
}

TEST(SonarPackets, SensorPacketsCarryTheTimeBlockAndTheirValues) {
    const ClockFields c = SampleClock();
    const Bytes gnss = BuildGnssFix(c, 29.8185528968, -116.9793092012, 4, 14, 0.8f, 12.25f, -3.5f);
    const Bytes heading = BuildHeading(c, 359.75f);
    const Bytes attitude = BuildAttitude(c, -2.5f, 1.25f, 0.375f);
    const Bytes time = BuildTimeSignal(c);
    ExpectFrame(gnss, 5001, 72);
    ExpectFrame(heading, 5004, 44);
    ExpectFrame(attitude, 5005, 52);
    ExpectFrame(time, 5000, 40);
    for (const Bytes* b : {&gnss, &heading, &attitude, &time}) {
        EXPECT_EQ(Get<std::uint16_t>(*b, 24), 2026);
        EXPECT_EQ((*b)[26], 6);
        EXPECT_EQ((*b)[27], 1);
        EXPECT_EQ((*b)[28], 8);
        EXPECT_EQ((*b)[29], 7);
        EXPECT_EQ((*b)[30], 59);
        EXPECT_EQ(Get<std::uint32_t>(*b, 32), 123456u);
    }
    EXPECT_EQ(Get<double>(gnss, 36), 29.8185528968);
    EXPECT_EQ(Get<double>(gnss, 44), -116.9793092012);
    EXPECT_EQ(gnss[52], 4);
    EXPECT_EQ(gnss[53], 14);
    EXPECT_EQ(Get<float>(gnss, 56), 0.8f);
    EXPECT_EQ(Get<float>(gnss, 60), 12.25f);
    EXPECT_EQ(Get<float>(gnss, 64), -3.5f);
    EXPECT_EQ(Get<float>(heading, 36), 359.75f);
    EXPECT_EQ(Get<float>(attitude, 36), -2.5f);
    EXPECT_EQ(Get<float>(attitude, 40), 1.25f);
    EXPECT_EQ(Get<float>(attitude, 44), 0.375f);
}

TEST(SonarPackets, FileHeaderAndDeviceBlockLayout) {
    const auto h = BuildFileHeader("TR240");
    const Bytes header(h.begin(), h.end());
    EXPECT_EQ(Get<std::uint32_t>(header, 0), 1768u);
    EXPECT_EQ(Text(header, 4, 8), "1.0.0");
    EXPECT_EQ(Text(header, 12, 8), "TR240");
    EXPECT_EQ(Text(header, 20, 8), "1.4.0");
    EXPECT_EQ(Text(header, 28, 8), "1.2.0");
    EXPECT_EQ(Text(header, 36, 8), "1.0.0");
    for (std::size_t i = 44; i < 64; ++i) EXPECT_EQ(header[i], 0) << i;

    DeviceBlockContent content;
    content.transducer = {1, 2, 3, 4, 5, 6, 7};
    content.antenna = {11, 12, 13, 14, 15, 16, 17};
    content.motionSensor = {21, 22, 23, 24, 25, 26, 27};
    content.compass = {31, 32, 33, 34, 35, 36, 37};
    content.transducer2 = {41, 42, 43, 44, 45, 46, 47};
    // Seven doubles per group in the order X, Y, Z, Forward (yaw), Roll, Pitch, Latency.
    const auto expectGroup = [](const Bytes& d, std::size_t at, double base) {
        const double order[7] = {1, 2, 3, 6, 4, 5, 7};
        for (int i = 0; i < 7; ++i) EXPECT_EQ(Get<double>(d, at + 8 * i), base + order[i]) << "offset " << at;
    };
    for (const bool dual : {false, true}) {
        SCOPED_TRACE(dual ? "dual head" : "single head");
        content.dualHead = dual;
        const auto block = BuildDeviceBlock(content);
        const Bytes d(block.begin(), block.end());
        ASSERT_EQ(d.size(), 512u);
        EXPECT_EQ(Get<std::uint32_t>(d, 0), 512u);
        EXPECT_EQ(d[4], dual ? 1 : 0);
        for (std::size_t i = 5; i < 184; ++i) ASSERT_EQ(d[i], 0) << i;
        if (dual) {
            expectGroup(d, 184, 40);
        } else {
            for (std::size_t i = 184; i < 240; ++i) ASSERT_EQ(d[i], 0) << i;
        }
        for (std::size_t i = 240; i < 288; ++i) ASSERT_EQ(d[i], 0) << i;
        expectGroup(d, 288, 0);
        expectGroup(d, 344, 10);
        expectGroup(d, 400, 20);
        expectGroup(d, 456, 30);
    }
}

TEST(SimClock, FieldsRollOverDaysMonthsAndLeapDays) {
    const auto start = SimClock::ParseStart("2028-02-29 23:59:59");
    ASSERT_TRUE(start.has_value());
    const SimClock clock(*start);
    const ClockFields f = clock.Fields(1500000);
    EXPECT_EQ(f.year, 2028);
    EXPECT_EQ(f.month, 3);
    EXPECT_EQ(f.day, 1);
    EXPECT_EQ(f.hour, 0);
    EXPECT_EQ(f.minute, 0);
    EXPECT_EQ(f.second, 0);
    EXPECT_EQ(f.microsecond, 500000u);
    // 2028-03-01 is 21244 days after 1970-01-01.
    EXPECT_DOUBLE_EQ(clock.Epoch(1500000), 21244.0 * 86400 + 0.5);
    EXPECT_EQ(SimClock::ParseStart("1970-01-01 00:00:00"), 0);
    for (const char* bad : {"2027-02-29 00:00:00", "2026-13-01 00:00:00", "2026-06-01 24:00:00", "2026-06-01",
                            "1969-12-31 23:59:59", "2026-06-01 08:00:0x"}) {
        EXPECT_FALSE(SimClock::ParseStart(bad).has_value()) << bad;
    }
}

}  // namespace
