// Beams without a defined position: they come out with the rejected depth and finite values, never NaN
// or infinity.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "BeamoraTestSupport.h"

namespace {

using beamora_test::LoadProfile;
using beamora_test::MakeBeamora;
using beamora_test::Position;
using beamora_test::Profile;
using beamora_test::Sounding;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct RejectedCase {
    const char* name;
    Profile profile;  // none: a single sound velocity
    double transducerDepth;
    double angleDeg;
    double time;
    std::function<void(CBeamora&)> more = [](CBeamora&) {};
};

void PrintTo(const RejectedCase& c, std::ostream* os) {
    *os << c.name;
}

class BeamoraRejectedBeam : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(BeamoraRejectedBeam, GetsTheRejectedDepth) {
    const RejectedCase& c = GetParam();
    auto beamora = MakeBeamora();
    if (!c.profile.empty()) {
        ASSERT_TRUE(LoadProfile(*beamora, c.profile));
    }
    beamora->SetPosTransducer(250.0, 750.0, c.transducerDepth);
    c.more(*beamora);
    const CFPoint transducer = beamora->GetPosTransducer();

    Sounding s{kNaN, kNaN, kNaN, kNaN};
    beamora->PotitonOneBeam(c.angleDeg, c.time, s.easting, s.northing, s.depth, s.across);

    EXPECT_EQ(s.depth, beamora::kRejectedDepth);
    EXPECT_EQ(s.across, 0.0);
    EXPECT_EQ(s.easting, std::isfinite(transducer.x) ? transducer.x : 0.0);
    EXPECT_EQ(s.northing, std::isfinite(transducer.y) ? transducer.y : 0.0);
}

// Velocity rises by 13 % below 50 m: a ray at 70° from the vertical (cos 20° × 1.13 > 1) turns back.
const Profile kReflecting{{0.0, 1500.0}, {50.0, 1500.0}, {100.0, 1700.0}, {150.0, 1700.0}};
const Profile kRepeatedDepth{{0.0, 1500.0}, {20.0, 1505.0}, {20.0, 1515.0}, {100.0, 1520.0}};
const Profile kSound{{0.0, 1500.0}, {100.0, 1510.0}};

INSTANTIATE_TEST_SUITE_P(
    Cases, BeamoraRejectedBeam,
    ::testing::Values(
        RejectedCase{"TotalReflection", kReflecting, 0.0, 70.0, 0.5},
        RejectedCase{"RepeatedDepthOblique", kRepeatedDepth, 0.0, 30.0, 0.1},
        RejectedCase{"RepeatedDepthVertical", kRepeatedDepth, 0.0, 0.0, 0.1},
        RejectedCase{"DepthsNotIncreasing",
                     {{0.0, 1500.0}, {40.0, 1490.0}, {30.0, 1495.0}, {90.0, 1500.0}},
                     0.0,
                     20.0,
                     0.1},
        // A transducer above two points at one depth has no velocity line to extend upwards.
        RejectedCase{
            "RepeatedDepthBelowTransducer", {{10.0, 1500.0}, {10.0, 1510.0}, {50.0, 1520.0}}, 4.0, 0.0, 0.02},
        RejectedCase{"ZeroVelocity", {{0.0, 1500.0}, {30.0, 0.0}, {60.0, 1500.0}}, 0.0, 30.0, 0.05},
        RejectedCase{
            "NegativeVelocityVertical", {{0.0, 1500.0}, {30.0, -1500.0}, {60.0, 1500.0}}, 0.0, 0.0, 0.05},
        // Extending 1500 m/s per metre up from 10 m to a transducer at 5 m gives a negative velocity.
        RejectedCase{"ExtrapolatedVelocityNegative",
                     {{10.0, 1500.0}, {11.0, 3000.0}, {60.0, 3000.0}},
                     5.0,
                     10.0,
                     0.01},
        RejectedCase{"ZeroVelocityBelowProfile", {{0.0, 1500.0}, {50.0, 0.0}}, 60.0, 10.0, 0.01},
        RejectedCase{"VelocityNaN", {{0.0, 1500.0}, {30.0, kNaN}, {60.0, 1500.0}}, 0.0, 30.0, 0.05},
        RejectedCase{"DepthInfinite", {{0.0, 1500.0}, {50.0, 1500.0}, {kInf, 1500.0}}, 0.0, 0.0, 0.1},
        RejectedCase{
            "DepthNaNBelowTransducer", {{0.0, 1500.0}, {10.0, 1500.0}, {kNaN, 1500.0}}, 20.0, 0.0, 0.01},
        // A beam that leaves above the horizontal cannot be traced down to the bottom.
        RejectedCase{"UpwardRayInProfile", kSound, 0.0, 100.0, 0.05},
        RejectedCase{"TransducerDepthNaNInProfile", kSound, kNaN, 10.0, 0.05},
        RejectedCase{"TimeNaNInProfile", kSound, 0.0, 10.0, kNaN},
        RejectedCase{"AngleNaN", {}, 0.0, kNaN, 0.05}, RejectedCase{"TimeInfinite", {}, 0.0, 10.0, kInf},
        // sin(60°) / cos(70°) > 1: no real transducer roll.
        RejectedCase{"RollWithoutSolution",
                     {},
                     0.0,
                     10.0,
                     0.05,
                     [](CBeamora& b) { b.SetMotion(60.0, 70.0, 0.0, 0.0); }},
        RejectedCase{"RollNaN", {}, 0.0, 10.0, 0.05, [](CBeamora& b) { b.SetMotion(kNaN, 0.0, 0.0, 0.0); }},
        RejectedCase{
            "HeadingInfinite", {}, 0.0, 10.0, 0.05, [](CBeamora& b) { b.SetMotion(0.0, 0.0, 0.0, kInf); }},
        RejectedCase{"MountPitchNaN",
                     {},
                     0.0,
                     10.0,
                     0.05,
                     [](CBeamora& b) {
                         const float nan = std::numeric_limits<float>::quiet_NaN();
                         b.SetInstallTransducer(0.0f, 0.0f, 0.0f, 0.0f, nan, 0.0f, 0.0f);
                     }},
        RejectedCase{"TideNaN", {}, 0.0, 10.0, 0.05, [](CBeamora& b) { b.SetTide(kNaN); }},
        RejectedCase{"SingleVelocityInfinite", {}, 0.0, 10.0, 0.05, [](CBeamora& b) { b.SetAsv(kInf); }},
        RejectedCase{
            "TransducerNaN", {}, 0.0, 10.0, 0.05, [](CBeamora& b) { b.SetPosTransducer(kNaN, 750.0, 2.0); }}),
    [](const ::testing::TestParamInfo<RejectedCase>& caseInfo) { return std::string(caseInfo.param.name); });

// A fault of the profile deeper than a ray's end does not touch that ray: it traces as in the same
// profile cut above the fault.
TEST(BeamoraRejectedBeamScope, FaultsBelowTheRayDoNotMatter) {
    const Profile sound{{0.0, 1500.0}, {20.0, 1505.0}, {50.0, 1500.0}};
    struct Fault {
        Profile profile;
        bool stopsVerticalRays;
    };
    const Fault faults[] = {
        {{{0.0, 1500.0}, {20.0, 1505.0}, {50.0, 1500.0}, {50.0, 1520.0}, {100.0, 1520.0}}, true},
        // Reflects oblique rays only: a vertical ray crosses any velocity rise.
        {{{0.0, 1500.0}, {20.0, 1505.0}, {50.0, 1500.0}, {100.0, 1800.0}, {150.0, 1800.0}}, false},
        {{{0.0, 1500.0}, {20.0, 1505.0}, {50.0, 1500.0}, {80.0, 0.0}}, true},
    };
    auto reference = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*reference, sound));
    for (const Fault& fault : faults) {
        auto beamora = MakeBeamora();
        ASSERT_TRUE(LoadProfile(*beamora, fault.profile));
        for (double angle : {0.0, 70.0}) {
            SCOPED_TRACE(angle);
            const Sounding expected = Position(*reference, angle, 0.02);
            ASSERT_LT(expected.depth, 45.0);
            const Sounding s = Position(*beamora, angle, 0.02);
            EXPECT_DOUBLE_EQ(s.depth, expected.depth);
            EXPECT_DOUBLE_EQ(s.across, expected.across);
            // The same ray run on into the fault is rejected.
            const double deep = Position(*beamora, angle, 0.5).depth;
            if (angle != 0.0 || fault.stopsVerticalRays) {
                EXPECT_EQ(deep, beamora::kRejectedDepth);
            } else {
                EXPECT_GT(deep, 150.0);
            }
        }
    }
}

}  // namespace
