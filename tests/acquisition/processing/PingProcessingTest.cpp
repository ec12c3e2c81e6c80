#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ProcessingRig.h"

namespace {

using marivane::BeamSolution;
using marivane::PositionedPing;
using rig::Beam;
using rig::MakePing;

constexpr double kT0 = 1'700'000'000.0;  // an epoch time of the sonar clock
constexpr double kDeg = std::numbers::pi / 180.0;

// Slant range at 1500 m/s of a travel time as the ping record carries it (single precision).
double Slant(float travelTime, double velocity = 1500.0) {
    return velocity * static_cast<double>(travelTime);
}

class PingProcessingTest : public ::testing::Test, public rig::Processing {};

// Names parameterised cases after their `name`.
struct ByName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& p) const {
        return p.param.name;
    }
};

// ---- Waiting for data -----------------------------------------------------------------------------

TEST_F(PingProcessingTest, PingsBeforeAnyFixArePositionedRelativeToTheAntennaAndWait) {
    // Lever arms put the transducer 1.5 m to starboard, 2 m forward and 3 m below the antenna.
    engine.head1.SetInstallTransducer(1.5f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    // Motion and heading arrive, but no fix: the vessel is taken as level, heading north.
    for (int k = 0; k < 50; ++k) Attitude(kT0 + k * 0.02, 10.0, 5.0, 1.0);
    Heading(kT0, 90.0);

    EXPECT_EQ(Ping(MakePing(kT0 + 0.5, {{0.0f, 0.01f}, {30.0f, 0.01f}, {-45.0f, 0.0f}})), 0u);

    const double slant = Slant(0.01f);
    const PositionedPing& working = processing.Working();
    EXPECT_EQ(working.solutions[0].valid, 1);
    EXPECT_NEAR(working.solutions[0].easting, 1.5, 1e-9);
    EXPECT_NEAR(working.solutions[0].northing, 2.0, 1e-9);
    EXPECT_NEAR(working.solutions[0].depth, 3.0 + slant, 1e-9);
    EXPECT_NEAR(working.solutions[1].easting, 1.5 + slant * 0.5, 1e-9);
    EXPECT_NEAR(working.solutions[1].depth, 3.0 + slant * std::cos(30.0 * kDeg), 1e-9);
    EXPECT_NEAR(working.solutions[1].acrossTrack, slant * 0.5, 1e-9);
    // Without an echo a relative beam is all zero.
    const BeamSolution& silent = working.solutions[2];
    EXPECT_EQ(silent.valid, 0);
    EXPECT_EQ(silent.easting, 0.0);
    EXPECT_EQ(silent.depth, 0.0);

    EXPECT_NEAR(NadirDepth(), 3.0 + slant, 1e-9);
    EXPECT_EQ(TakeNadirMessages(), 1u);
    EXPECT_EQ(processing.LastNadirBeam(), 0);
    EXPECT_TRUE(TakePositioned().empty());
    EXPECT_TRUE(TakeEdges().empty());
    EXPECT_EQ(processing.PendingPingCount(), 1u);
}

TEST_F(PingProcessingTest, SixHundredPingsWaitForAFixAndTheNextOneClearsThem) {
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(Ping(MakePing(kT0 + i * 0.1, {{0.0f, 0.01f}})), 0u);
    }
    EXPECT_EQ(processing.PendingPingCount(), 600u);
    EXPECT_EQ(TakeNadirMessages(), 600u);

    // The 601st is discarded with all the others: nothing is left to show a depth for.
    engine.nadirDepth.Set(-1.0);
    EXPECT_EQ(Ping(MakePing(kT0 + 60.0, {{0.0f, 0.02f}})), 0u);
    EXPECT_EQ(processing.PendingPingCount(), 0u);
    EXPECT_EQ(TakeNadirMessages(), 0u);
    EXPECT_EQ(NadirDepth(), -1.0);

    EXPECT_EQ(Ping(MakePing(kT0 + 60.1, {{0.0f, 0.02f}})), 0u);
    EXPECT_EQ(processing.PendingPingCount(), 1u);
    EXPECT_NEAR(NadirDepth(), Slant(0.02f), 1e-9);
}

// While a stream is missing, a stream that collects more than 2000 samples starts again from nothing.
TEST_F(PingProcessingTest, StreamsOverTwoThousandSamplesAreDiscardedWhileAStreamIsMissing) {
    for (int k = 0; k < 2000; ++k) {
        Position(kT0 + k * 0.1, 0.0, 0.0);
        Attitude(kT0 + k * 0.1, 0.0);
    }
    Ping(MakePing(kT0, {{0.0f, 0.01f}}));  // no heading yet
    EXPECT_EQ(processing.Positions().size(), 2000u);
    EXPECT_EQ(processing.Attitudes().size(), 2000u);

    Position(kT0 + 200.0, 0.0, 0.0);
    Ping(MakePing(kT0 + 0.1, {{0.0f, 0.01f}}));
    EXPECT_TRUE(processing.Positions().empty());
    EXPECT_EQ(processing.Attitudes().size(), 2000u);
}

struct WaitCase {
    const char* name;
    double positionsUntil;  // seconds after the ping
    double attitudesUntil;
    double headingsUntil;
    bool positioned;
};

class WaitForData : public PingProcessingTest, public ::testing::WithParamInterface<WaitCase> {};

// A ping waits until a fix and a heading later than it, and an attitude later than its latest beam
// receive time (here t + 2 x 0.1 s), have arrived.
TEST_P(WaitForData, PositionsOnlyWhenEveryStreamHasPassedThePing) {
    const WaitCase& c = GetParam();
    for (double s = -1.0; s <= c.positionsUntil + 1e-9; s += 0.1) Position(kT0 + s, 100.0, 200.0);
    for (double s = -1.0; s <= c.attitudesUntil + 1e-9; s += 0.02) Attitude(kT0 + s, 0.0);
    for (double s = -1.0; s <= c.headingsUntil + 1e-9; s += 0.1) Heading(kT0 + s, 0.0);
    const auto ping = MakePing(kT0, {{0.0f, 0.01f}, {20.0f, 0.1f}});

    EXPECT_EQ(Ping(ping), c.positioned ? 1u : 0u);
    EXPECT_EQ(processing.PendingPingCount(), c.positioned ? 0u : 1u);
    // Either way a depth is shown.
    EXPECT_EQ(TakeNadirMessages(), 1u);

    if (!c.positioned) {
        // Once the missing data arrive, the next ping's processing positions the waiting one first.
        Position(kT0 + 5.0, 100.0, 200.0);
        Attitude(kT0 + 5.0, 0.0);
        Heading(kT0 + 5.0, 0.0);
        EXPECT_EQ(Ping(MakePing(kT0 + 0.1, {{0.0f, 0.01f}})), 2u);
        const auto positioned = TakePositioned();
        ASSERT_EQ(positioned.size(), 2u);
        EXPECT_EQ(positioned[0].time, kT0);
        EXPECT_EQ(positioned[1].time, kT0 + 0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitForData,
                         ::testing::Values(WaitCase{"AllLater", 0.5, 0.5, 0.5, true},
                                           WaitCase{"FixAtThePingTime", 0.0, 0.5, 0.5, false},
                                           WaitCase{"HeadingAtThePingTime", 0.5, 0.5, 0.0, false},
                                           WaitCase{"AttitudeBeforeTheLastBeam", 0.5, 0.18, 0.5, false},
                                           WaitCase{"AttitudeJustAfterTheLastBeam", 0.5, 0.22, 0.5, true}),
                         ByName());

TEST_F(PingProcessingTest, PingsOlderThanTheFirstSamplesAreDropped) {
    StillVessel(kT0, kT0 + 2.0);
    engine.pingInput.With([&](auto& q) {
        q.push_back(MakePing(kT0 - 0.5, {{0.0f, 0.01f}}));
        q.push_back(MakePing(kT0 - 0.01, {{0.0f, 0.01f}}));
    });
    EXPECT_EQ(processing.ProcessPings(), 0u);
    EXPECT_EQ(processing.PendingPingCount(), 0u);
    EXPECT_EQ(TakeNadirMessages(), 0u);

    EXPECT_EQ(Ping(MakePing(kT0 + 0.5, {{0.0f, 0.01f}})), 1u);
}

// ---- Beam validity --------------------------------------------------------------------------------

struct ValidityCase {
    const char* name;
    float angle;
    float travelTime;
    std::uint32_t beamCount;  // of a ping whose beam 0 is the beam under test
    double roll;              // of the vessel, degrees
    std::uint8_t flags;       // stabilisation flags
    bool limitOn;
    double limit;
    bool valid;
};

class BeamValidity : public PingProcessingTest, public ::testing::WithParamInterface<ValidityCase> {};

TEST_P(BeamValidity, InvalidBeamsLieAtTheTransducerWithDepthZero) {
    const ValidityCase& c = GetParam();
    engine.beamAngleLimitOn = c.limitOn;
    engine.beamAngleLimit = c.limit;
    StillVessel(kT0 - 1.0, kT0 + 2.0, 100.0, 200.0, c.roll);
    auto ping = MakePing(kT0, {{c.angle, c.travelTime}, {0.0f, 0.01f}});
    ping.beamCount = c.beamCount;
    ping.stabilisationFlags = c.flags;

    ASSERT_EQ(Ping(ping), 1u);
    const BeamSolution s = TakePositioned().at(0).solutions[0];
    EXPECT_EQ(s.valid, c.valid ? 1 : 0);
    if (c.valid) {
        EXPECT_GE(s.depth, 0.2);
        EXPECT_LE(s.depth, 1000.0);
    } else {
        EXPECT_EQ(s.easting, 100.0);
        EXPECT_EQ(s.northing, 200.0);
        EXPECT_EQ(s.depth, 0.0);
        EXPECT_EQ(s.acrossTrack, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BeamValidity,
    ::testing::Values(
        ValidityCase{"Echo", 30.0f, 0.02f, 2, 0.0, 0, false, 120.0, true},
        ValidityCase{"NoTravelTime", 30.0f, 0.0f, 2, 0.0, 0, false, 120.0, false},
        ValidityCase{"TravelTimeBelowOneMicrosecond", 30.0f, 0.9e-6f, 2, 0.0, 0, false, 120.0, false},
        ValidityCase{"BeyondBeamCount", 30.0f, 0.02f, 0, 0.0, 0, false, 120.0, false},
        ValidityCase{"LimitOff", 61.0f, 0.02f, 2, 0.0, 0, false, 120.0, true},
        ValidityCase{"OutsideLimit", 61.0f, 0.02f, 2, 0.0, 0, true, 120.0, false},
        ValidityCase{"AtLimit", 60.0f, 0.02f, 2, 0.0, 0, true, 120.0, true},
        ValidityCase{"NegativeLimitActsLikePositive", -61.0f, 0.02f, 2, 0.0, 0, true, -120.0, false},
        ValidityCase{"RollBringsItInside", 61.0f, 0.02f, 2, 2.0, 0, true, 120.0, true},
        ValidityCase{"RollBringsPortBeamInside", -61.0f, 0.02f, 2, -2.0, 0, true, 120.0, true},
        ValidityCase{"RollPushesItOutside", 59.0f, 0.02f, 2, -2.0, 0, true, 120.0, false},
        ValidityCase{"RollCompensatedBit0", 61.0f, 0.02f, 2, 2.0, 0x01, true, 120.0, false},
        ValidityCase{"RollCompensatedBit3", 61.0f, 0.02f, 2, 2.0, 0x08, true, 120.0, false},
        ValidityCase{"PitchFlagLeavesRoll", 61.0f, 0.02f, 2, 2.0, 0x02, true, 120.0, true},
        ValidityCase{"TooShallow", 0.0f, 0.0001f, 2, 0.0, 0, false, 120.0, false},
        ValidityCase{"ShallowestAccepted", 0.0f, 0.00014f, 2, 0.0, 0, false, 120.0, true},
        ValidityCase{"DeepestAccepted", 0.0f, 0.66f, 2, 0.0, 0, false, 120.0, true},
        ValidityCase{"TooDeep", 0.0f, 0.67f, 2, 0.0, 0, false, 120.0, false}),
    ByName());

// ---- Interpolation and the positioning of a whole ping ----------------------------------------------

// Motion sampled at its own rate, with values that change direction between samples so that only the
// right bracket gives the right value.
struct Series {
    double start = 0.0;
    double rate = 1.0;  // samples per second
    std::vector<double> times;
    std::vector<std::vector<double>> values;  // values[k] of sample k

    // Linear interpolation between the samples around tau, found from the sampling rate.
    std::vector<double> At(double tau) const {
        std::size_t k = static_cast<std::size_t>(std::floor((tau - start) * rate));
        while (k + 1 < times.size() && times[k + 1] <= tau) ++k;
        while (k > 0 && times[k] > tau) --k;
        const double f = (tau - times[k]) / (times[k + 1] - times[k]);
        std::vector<double> out(values[k].size());
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = values[k][i] + f * (values[k + 1][i] - values[k][i]);
        return out;
    }
};

// Vessel frame: starboard, forward, down.
struct Vec {
    double s, f, d;
};
// Roll (starboard down) about the forward axis, then pitch (bow up) about the starboard axis.
Vec Roll(const Vec& v, double a) {
    return {std::cos(a) * v.s - std::sin(a) * v.d, v.f, std::sin(a) * v.s + std::cos(a) * v.d};
}
Vec Pitch(const Vec& v, double p) {
    return {v.s, std::cos(p) * v.f + std::sin(p) * v.d, -std::sin(p) * v.f + std::cos(p) * v.d};
}
// The roll angle of the rotation whose starboard axis dips by the measured roll at this pitch.
double RotationRoll(double measuredRoll, double pitch) {
    return std::asin(std::sin(measuredRoll) / std::cos(pitch));
}

struct Installation {
    Vec transducer{0.75, 3.25, 2.5};
    Vec antenna{-0.5, -4.0, -12.0};
    double transducerRoll = 1.5;    // degrees
    double transducerPitch = -0.7;  // degrees
};

class WholePing : public PingProcessingTest, public ::testing::WithParamInterface<std::uint8_t> {
  protected:
    void SetUp() override {
        const Installation& in = installation;
        engine.head1.SetInstallTransducer(
            static_cast<float>(in.transducer.s), static_cast<float>(in.transducer.f),
            static_cast<float>(in.transducer.d), static_cast<float>(in.transducerRoll),
            static_cast<float>(in.transducerPitch), 0.0f, 0.0f);
        engine.head1.SetInstallGPS(static_cast<float>(in.antenna.s), static_cast<float>(in.antenna.f),
                                   static_cast<float>(in.antenna.d), 0.0f, 0.0f, 0.0f, 0.0f);

        const double from = kT0 - 2.0;
        positions = Series{from, 10.0, {}, {}};
        headings = Series{from, 10.0, {}, {}};
        attitudes = Series{from, 50.0, {}, {}};
        for (int k = 0; k <= 40; ++k) {
            const double t = from + k / 10.0;
            const std::vector<double> p{1000.0 + 0.25 * k + 0.5 * std::sin(1.3 * k),
                                        5000.0 + 0.4 * k + 0.5 * std::cos(0.7 * k)};
            const std::vector<double> h{30.0 + 5.0 * std::sin(1.1 * k)};
            positions.times.push_back(t);
            positions.values.push_back(p);
            headings.times.push_back(t);
            headings.values.push_back(h);
            Position(t, p[0], p[1]);
            Heading(t, h[0]);
        }
        for (int k = 0; k <= 200; ++k) {
            const double t = from + k / 50.0;
            const std::vector<double> a{4.0 * std::sin(0.9 * k), 2.0 * std::cos(0.45 * k),
                                        0.3 * std::sin(0.3 * k)};
            attitudes.times.push_back(t);
            attitudes.values.push_back(a);
            Attitude(t, a[0], a[1], a[2]);
        }
    }

    Installation installation;
    Series positions, headings, attitudes;
};

// Every beam of a ping against the geometry of straight rays worked out here: interpolated position,
// attitude and heading at the ping time, roll at each beam's receive time, lever arms turned by the
// attitude and the heading, the beam turned by the roll and pitch that the sonar has not removed.
TEST_P(WholePing, EveryBeamLiesWhereStraightRaysPutIt) {
    const std::uint8_t flags = GetParam();
    const bool rollCompensated = (flags & 0x09) != 0;
    const bool pitchCompensated = (flags & 0x02) != 0;
    const double c = 1487.0;  // the sonar's surface velocity, used by default
    const double t = kT0 + 0.537;

    auto ping = MakePing(t, {}, 0, c);
    ping.beamCount = 512;
    ping.stabilisationFlags = flags;
    for (int i = 0; i < 512; ++i) {
        const double angle = -64.0 + 128.0 * i / 511.0;
        ping.angle[i] = static_cast<float>(angle);
        ping.travelTime[i] = static_cast<float>(60.0 / (c * std::cos(angle * kDeg)));
    }
    ping.travelTime[7] = 0.6f;  // an echo more than 1 s after the ping: its roll is taken at the ping
    ping.travelTime[9] = 0.0f;  // no echo

    ASSERT_EQ(Ping(ping), 1u);
    const PositionedPing result = TakePositioned().at(0);
    EXPECT_EQ(result.time, t);
    EXPECT_EQ(result.pingNumber, ping.pingNumber);

    const auto p = positions.At(t);
    const auto a = attitudes.At(t);
    const double heading = headings.At(t)[0] * kDeg;
    const double roll = a[0] * kDeg, pitch = a[1] * kDeg, heave = a[2];

    const double rr = RotationRoll(roll, pitch);
    const Vec lt = Pitch(Roll(installation.transducer, rr), pitch);
    const Vec la = Pitch(Roll(installation.antenna, rr), pitch);
    const double dS = lt.s - la.s, dF = lt.f - la.f;
    const double te = p[0] + dS * std::cos(heading) + dF * std::sin(heading);
    const double tn = p[1] - dS * std::sin(heading) + dF * std::cos(heading);
    const double tz = lt.d - heave;

    for (int i = 0; i < 512; ++i) {
        SCOPED_TRACE(i);
        const BeamSolution& s = result.solutions[i];
        if (i == 9) {
            EXPECT_EQ(s.valid, 0);
            EXPECT_NEAR(s.easting, te, 1e-6);
            EXPECT_NEAR(s.northing, tn, 1e-6);
            continue;
        }
        const double tt = ping.travelTime[i];
        const double receive = 2.0 * tt < 1.0 ? t + 2.0 * tt : t;
        const double beamRoll = rollCompensated ? 0.0 : attitudes.At(receive)[0] * kDeg;
        const double beamPitch = pitchCompensated ? 0.0 : pitch;
        const double alpha = RotationRoll(beamRoll, beamPitch) + installation.transducerRoll * kDeg;
        const double beta = static_cast<double>(ping.angle[i]) * kDeg;
        const Vec dir = Pitch(Roll({std::sin(beta), 0.0, std::cos(beta)}, alpha),
                              beamPitch + installation.transducerPitch * kDeg);
        const double slant = c * tt;
        ASSERT_EQ(s.valid, 1);
        EXPECT_NEAR(s.easting, te + slant * (dir.s * std::cos(heading) + dir.f * std::sin(heading)), 1e-6);
        EXPECT_NEAR(s.northing, tn + slant * (-dir.s * std::sin(heading) + dir.f * std::cos(heading)), 1e-6);
        EXPECT_NEAR(s.depth, tz + slant * dir.d, 1e-6);
        EXPECT_NEAR(s.acrossTrack, std::copysign(slant * std::hypot(dir.s, dir.f), dir.s), 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(StabilisationFlags, WholePing, ::testing::Values(0x00, 0x01, 0x02, 0x0A, 0x04),
                         [](const auto& p) { return "Flags" + std::to_string(p.param); });

struct HeadingCase {
    const char* name;
    double before, after;  // headings one second apart
    double fraction;       // of the ping between them
    double expected;
};

class HeadingInterpolation : public PingProcessingTest, public ::testing::WithParamInterface<HeadingCase> {};

// The heading is read back from where a 30-degree beam lands: 7.5 m along the heading's starboard axis.
TEST_P(HeadingInterpolation, TakesTheShortWayThroughNorth) {
    const HeadingCase& c = GetParam();
    for (int k = -10; k <= 60; ++k) Position(kT0 + k * 0.1, 100.0, 200.0);
    for (int k = -50; k <= 300; ++k) Attitude(kT0 + k * 0.02, 0.0);
    Heading(kT0, c.before);
    Heading(kT0 + 1.0, c.after);
    Heading(kT0 + 2.0, c.after);

    ASSERT_EQ(Ping(MakePing(kT0 + c.fraction, {{30.0f, 0.01f}})), 1u);
    const BeamSolution s = TakePositioned().at(0).solutions[0];
    double heading = std::atan2(-(s.northing - 200.0), s.easting - 100.0) / kDeg;
    if (heading < 0.0)
        heading += 360.0;
    if (heading > 359.999999)
        heading -= 360.0;
    EXPECT_NEAR(heading, c.expected, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Cases, HeadingInterpolation,
                         ::testing::Values(HeadingCase{"From359To1", 359.0, 1.0, 0.5, 0.0},
                                           HeadingCase{"From1To359", 1.0, 359.0, 0.5, 0.0},
                                           HeadingCase{"From350To10", 350.0, 10.0, 0.25, 355.0},
                                           HeadingCase{"From10To350", 10.0, 350.0, 0.75, 355.0},
                                           HeadingCase{"WithoutWrap", 100.0, 200.0, 0.25, 125.0},
                                           HeadingCase{"From280To80", 280.0, 80.0, 0.5, 0.0},
                                           // Only headings beyond 270 and below 90 count as neighbours.
                                           HeadingCase{"From260To80", 260.0, 80.0, 0.5, 170.0}),
                         ByName());

// ---- History upkeep ---------------------------------------------------------------------------------

struct StaleCase {
    const char* name;
    double fixAge;  // seconds between the last fix before the ping and the ping
    bool dropsEarlier;
};

class StaleHistory : public PingProcessingTest, public ::testing::WithParamInterface<StaleCase> {};

// A fix bracketing the ping that is more than 5 s old drops every fix before it; the other streams,
// which have data close to the ping, keep theirs.
TEST_P(StaleHistory, DropsSamplesBeforeABracketMoreThanFiveSecondsOld) {
    const StaleCase& c = GetParam();
    const double t = kT0 + 20.0;
    for (int k = 0; k <= 10; ++k) Position(t - c.fixAge - 1.0 + k * 0.1, 100.0, 200.0);
    Position(t + 0.5, 100.0, 200.0);
    for (int k = 0; k <= 1100; ++k) Attitude(kT0 + k * 0.02, 0.0);
    for (int k = 0; k <= 220; ++k) Heading(kT0 + k * 0.1, 0.0);

    ASSERT_EQ(Ping(MakePing(t, {{0.0f, 0.01f}})), 1u);
    const double bracket = t - c.fixAge;
    EXPECT_EQ(processing.Positions().front().time, c.dropsEarlier ? bracket : t - c.fixAge - 1.0);
    EXPECT_EQ(processing.Positions().back().time, t + 0.5);
    EXPECT_EQ(processing.Attitudes().front().time, kT0);
    EXPECT_EQ(processing.Headings().front().time, kT0);
}

INSTANTIATE_TEST_SUITE_P(Cases, StaleHistory,
                         ::testing::Values(StaleCase{"TenSecondsOld", 10.0, true},
                                           StaleCase{"FiveSecondsOld", 5.0, false},
                                           StaleCase{"JustOverFive", 5.25, true}),
                         ByName());

// A long survey does not keep every sample: what a waiting ping needs stays, however much newer data
// pile up while it waits for a late stream.
TEST_F(PingProcessingTest, LongHistoriesKeepWhatAWaitingPingNeeds) {
    const double t = kT0 + 500.0;
    for (int k = 0; k <= 6000; ++k) Position(kT0 + k * 0.1, 100.0, 200.0);
    for (int k = 0; k <= 30000; ++k) Attitude(kT0 + k * 0.02, k % 2 == 0 ? 1.0 : -1.0);
    for (int k = 0; k <= 5000; ++k) Heading(kT0 + k * 0.1, 0.0);  // until the ping, not after it

    const auto ping = MakePing(t, {{30.0f, 0.0025f}});
    ASSERT_EQ(Ping(ping), 0u);
    EXPECT_LT(processing.Attitudes().size(), 30001u);
    EXPECT_LE(processing.Attitudes().front().time, t);
    EXPECT_LT(processing.Positions().size(), 6001u);
    EXPECT_LE(processing.Positions().front().time, t);

    Heading(t + 0.1, 0.0);
    ASSERT_EQ(Ping(MakePing(t + 0.05, {{0.0f, 0.01f}})), 2u);
    // The echo returns a quarter of the way from attitude sample 25000 (roll +1, at the ping) to
    // sample 25001 (roll -1).
    const double t0 = kT0 + 25000 * 0.02, t1 = kT0 + 25001 * 0.02;
    const double receive = t + 2.0 * static_cast<double>(0.0025f);
    const double roll = 1.0 + (receive - t0) / (t1 - t0) * (-1.0 - 1.0);
    CBeamora reference;
    reference.SetMotion(roll, 0.0, 0.0, 0.0);
    reference.PosGPSToTransducer(100.0, 200.0, 0.0);
    double e = 0, n = 0, d = 0, across = 0;
    reference.PotitonOneBeam(30.0, static_cast<double>(0.0025f), e, n, d, across);
    const BeamSolution s = TakePositioned().at(0).solutions[0];
    EXPECT_NEAR(s.easting, e, 1e-6);
    EXPECT_NEAR(s.depth, d, 1e-6);
}

// A sensor whose clock steps back: the samples are looked up in the order received, the first later
// than the time and the one received before it.
TEST_F(PingProcessingTest, SamplesOutOfTimeOrderAreTakenInTheOrderReceived) {
    const double t = kT0 + 1.0;
    for (int k = 0; k <= 30; ++k) {
        Position(kT0 + k * 0.1, 100.0, 200.0);
        Heading(kT0 + k * 0.1, 0.0);
    }
    Attitude(t - 1.0, 0.0);
    Attitude(t + 1.0, 2.0);
    Attitude(t - 0.5, 10.0);
    Attitude(t + 2.0, 10.0);

    ASSERT_EQ(Ping(MakePing(t, {{30.0f, 0.01f}})), 1u);
    // Received at t + 0.02, between the first two samples.
    const double receive = t + 2.0 * static_cast<double>(0.01f);
    const double roll = (receive - (t - 1.0)) / 2.0 * 2.0;
    CBeamora reference;
    reference.SetMotion(roll, 0.0, 0.0, 0.0);
    reference.PosGPSToTransducer(100.0, 200.0, 0.0);
    double e = 0, n = 0, d = 0, across = 0;
    reference.PotitonOneBeam(30.0, static_cast<double>(0.01f), e, n, d, across);
    const BeamSolution s = TakePositioned().at(0).solutions[0];
    EXPECT_NEAR(s.easting, e, 1e-9);
    EXPECT_NEAR(s.depth, d, 1e-9);
}

// ---- Swath edges, nadir, heads and sound velocity ---------------------------------------------------

TEST_F(PingProcessingTest, SwathEdgesComeAboutOnceASecond) {
    StillVessel(kT0 - 1.0, kT0 + 5.0);
    // The last ping is older than the edge before it, by more than the interval as well.
    const std::vector<double> offsets{0.0, 0.4, 0.8, 0.99, 1.5, 1.98, 2.1, 2.95, 2.97, 1.6};
    for (double o : offsets) ASSERT_GT(Ping(MakePing(kT0 + o, {{-30.0f, 0.01f}, {30.0f, 0.01f}})), 0u);
    std::vector<double> times;
    for (const auto& e : TakeEdges()) times.push_back(e.time);
    EXPECT_EQ(times, (std::vector<double>{kT0, kT0 + 0.99, kT0 + 1.98, kT0 + 2.97, kT0 + 1.6}));
}

struct EdgeCase {
    const char* name;
    std::vector<Beam> beams;
    int port, starboard;
};

class SwathEdgeEnds : public PingProcessingTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(SwathEdgeEnds, AreTheOutermostBeamsOnEachSide) {
    const EdgeCase& c = GetParam();
    StillVessel(kT0 - 1.0, kT0 + 2.0, 100.0, 200.0, 0.0, 90.0);
    auto ping = MakePing(kT0, {});
    ping.beamCount = static_cast<std::uint32_t>(c.beams.size());
    for (std::size_t i = 0; i < c.beams.size(); ++i) {
        ping.angle[i] = c.beams[i].angle;
        ping.travelTime[i] = c.beams[i].travelTime;
    }
    ASSERT_EQ(Ping(ping), 1u);
    const auto solutions = TakePositioned().at(0).solutions;
    const auto edges = TakeEdges();
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0].time, kT0);
    EXPECT_EQ(edges[0].portEasting, solutions[c.port].easting);
    EXPECT_EQ(edges[0].portNorthing, solutions[c.port].northing);
    EXPECT_EQ(edges[0].starboardEasting, solutions[c.starboard].easting);
    EXPECT_EQ(edges[0].starboardNorthing, solutions[c.starboard].northing);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwathEdgeEnds,
    ::testing::Values(
        EdgeCase{"BothSides",
                 {{-20.0f, 0.01f}, {-50.0f, 0.01f}, {10.0f, 0.01f}, {60.0f, 0.01f}, {5.0f, 0.01f}},
                 1,
                 3},
        EdgeCase{"AllToStarboard", {{10.0f, 0.01f}, {40.0f, 0.01f}, {20.0f, 0.01f}}, 0, 1},
        EdgeCase{"AllToPort", {{-10.0f, 0.01f}, {-40.0f, 0.01f}, {-20.0f, 0.01f}}, 1, 511},
        EdgeCase{
            "TiesKeepTheLowerBeam", {{-40.0f, 0.01f}, {-40.0f, 0.01f}, {40.0f, 0.01f}, {40.0f, 0.01f}}, 0, 2},
        EdgeCase{"InvalidBeamsDoNotCount", {{-70.0f, 0.0f}, {-10.0f, 0.01f}, {70.0f, 0.0f}}, 1, 511}),
    ByName());

TEST_F(PingProcessingTest, NadirIsTheValidBeamClosestBelowTheTransducer) {
    StillVessel(kT0 - 1.0, kT0 + 2.0);
    // Beams 1 and 2 are equally close; beam 0 has no echo; beam 4 is too deep.
    ASSERT_EQ(
        Ping(MakePing(kT0, {{0.0f, 0.0f}, {5.0f, 0.02f}, {-5.0f, 0.02f}, {-12.0f, 0.02f}, {0.0f, 0.7f}})),
        1u);
    EXPECT_EQ(processing.LastNadirBeam(), 1);
    const double nadir = Slant(0.02f) * std::cos(5.0 * kDeg);
    EXPECT_NEAR(NadirDepth(), nadir, 1e-9);
    EXPECT_EQ(TakeNadirMessages(), 1u);

    // A ping without a valid beam leaves the nadir depth alone and posts nothing.
    ASSERT_EQ(Ping(MakePing(kT0 + 0.1, {{0.0f, 0.0f}})), 2u);
    EXPECT_EQ(TakeNadirMessages(), 0u);
    EXPECT_EQ(NadirDepth(), nadir);
}

TEST_F(PingProcessingTest, EachHeadUsesItsOwnPositioningObject) {
    engine.head1.SetInstallTransducer(0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    engine.head2.SetInstallTransducer(0.0f, 0.0f, 5.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    StillVessel(kT0 - 1.0, kT0 + 2.0);

    ASSERT_EQ(Ping(MakePing(kT0, {{0.0f, 0.01f}}, 0)), 1u);
    EXPECT_NEAR(NadirDepth(), 2.0 + Slant(0.01f), 1e-9);
    ASSERT_EQ(Ping(MakePing(kT0 + 0.1, {{0.0f, 0.01f}}, 1)), 2u);
    EXPECT_NEAR(NadirDepth(), 5.0 + Slant(0.01f), 1e-9);
}

struct VelocityCase {
    const char* name;
    marivane::SoundVelocitySource source;
    double velocity;  // expected for a vertical beam
};

class VelocitySource : public PingProcessingTest, public ::testing::WithParamInterface<VelocityCase> {};

TEST_P(VelocitySource, SonarSourceUsesEachPingsSurfaceVelocity) {
    const VelocityCase& c = GetParam();
    soundVelocity.SetAverageVelocity(1520.0);
    soundVelocity.SetSource(c.source);
    soundVelocity.ApplySoundVelocity({});
    StillVessel(kT0 - 1.0, kT0 + 2.0);

    ASSERT_EQ(Ping(MakePing(kT0, {{0.0f, 0.01f}}, 0, 1450.0)), 1u);
    EXPECT_NEAR(TakePositioned().at(0).solutions[0].depth, Slant(0.01f, c.velocity), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VelocitySource,
    ::testing::Values(VelocityCase{"Sonar", marivane::SoundVelocitySource::Sonar, 1450.0},
                      VelocityCase{"Average", marivane::SoundVelocitySource::AverageVelocity, 1520.0}),
    ByName());

TEST_F(PingProcessingTest, ClearForgetsEverythingPending) {
    StillVessel(kT0 - 1.0, kT0 + 0.5);
    ASSERT_EQ(Ping(MakePing(kT0, {{0.0f, 0.01f}})), 1u);
    Ping(MakePing(kT0 + 1.0, {{0.0f, 0.01f}}));
    ASSERT_EQ(processing.PendingPingCount(), 1u);

    processing.Clear();
    EXPECT_EQ(processing.PendingPingCount(), 0u);
    EXPECT_TRUE(processing.Positions().empty());
    EXPECT_TRUE(processing.Attitudes().empty());
    EXPECT_TRUE(processing.Headings().empty());
    EXPECT_EQ(processing.LastNadirBeam(), -1);

    // The swath edge clock starts again as well: the first ping after a restart makes an edge.
    TakeEdges();
    StillVessel(kT0 - 1.0, kT0 + 2.0);
    ASSERT_GT(Ping(MakePing(kT0 + 0.5, {{0.0f, 0.01f}})), 0u);
    EXPECT_EQ(TakeEdges().size(), 1u);
}

}  // namespace
