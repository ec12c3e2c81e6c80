// Which sound velocity a beam uses as profiles are loaded and dropped and the transducer moves, and the
// state that the records and copies carry.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "BeamoraTestSupport.h"

namespace {

using beamora_test::kDeg;
using beamora_test::LoadProfile;
using beamora_test::MakeBeamora;
using beamora_test::MakeSvpArray;
using beamora_test::Position;
using beamora_test::Profile;
using beamora_test::Sounding;

// A profile whose rays bend noticeably: velocity falls by 40 m/s over the first 60 m.
const Profile kBending{{0.0, 1520.0}, {60.0, 1480.0}, {100.0, 1485.0}};

// A straight ray at velocity c from a transducer at (x, y, z), level, heading 0.
Sounding Straight(double angleDeg, double time, double c, double x = 0.0, double y = 0.0, double z = 0.0) {
    const double slant = time * c;
    return {x + slant * std::sin(angleDeg * kDeg), y, z + slant * std::cos(angleDeg * kDeg),
            slant * std::sin(angleDeg * kDeg)};
}

void ExpectSounding(const Sounding& actual, const Sounding& expected, double tolerance) {
    EXPECT_NEAR(actual.easting, expected.easting, tolerance);
    EXPECT_NEAR(actual.northing, expected.northing, tolerance);
    EXPECT_NEAR(actual.depth, expected.depth, tolerance);
    EXPECT_NEAR(actual.across, expected.across, tolerance);
}

TEST(BeamoraProfileState, RefusedPointCountsDropTheProfile) {
    for (int n : {1, 1025, 0, -3}) {
        SCOPED_TRACE(n);
        auto beamora = MakeBeamora();
        ASSERT_TRUE(LoadProfile(*beamora, kBending));
        const double bent = Position(*beamora, 45.0, 0.05).depth;
        ASSERT_GT(std::fabs(bent - Straight(45.0, 0.05, 1500.0).depth), 0.01);

        auto svp = MakeSvpArray({{0.0, 1400.0}, {50.0, 1400.0}});
        EXPECT_FALSE(beamora->SetSVP(svp->points, n));
        // No profile any more: straight rays with the single velocity, still 1500 m/s.
        ExpectSounding(Position(*beamora, 45.0, 0.05), Straight(45.0, 0.05, 1500.0), 1e-12);
    }
}

TEST(BeamoraProfileState, AcceptsTwoToMaxPoints) {
    // 1024 points on one line of velocity trace like the line's two end points.
    Profile many;
    for (int i = 0; i < CBeamora::kMaxProfilePoints; ++i) {
        many.emplace_back(i * 0.25, 1475.0 + 0.06 * i * 0.25);
    }
    const Profile ends{many.front(), many.back()};
    auto full = MakeBeamora();
    auto two = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*full, many));
    ASSERT_TRUE(LoadProfile(*two, ends));
    for (double angle : {0.0, 20.0, -55.0}) {
        for (double time : {0.05, 0.4}) {  // inside the profile and below its last point
            SCOPED_TRACE(::testing::Message() << angle << " " << time);
            ExpectSounding(Position(*full, angle, time), Position(*two, angle, time), 1e-6);
        }
    }
}

TEST(BeamoraProfileState, SetAsvReturnsToStraightRays) {
    auto beamora = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*beamora, kBending));
    beamora->SetAsv(1462.0);
    ExpectSounding(Position(*beamora, -35.0, 0.07), Straight(-35.0, 0.07, 1462.0), 1e-12);
    // The dropped profile is not brought back by moving the transducer.
    beamora->SetPosTransducer(0.0, 0.0, 20.0);
    ExpectSounding(Position(*beamora, -35.0, 0.07), Straight(-35.0, 0.07, 1462.0, 0.0, 0.0, 20.0), 1e-12);
}

// At or below the deepest point, the profile is that point's velocity: straight rays.
TEST(BeamoraProfileState, TransducerBelowTheProfile) {
    for (double z : {100.0, 150.0}) {
        SCOPED_TRACE(z);
        auto beamora = MakeBeamora();
        ASSERT_TRUE(LoadProfile(*beamora, kBending));
        beamora->SetPosTransducer(10.0, 20.0, z);
        for (double angle : {0.0, 30.0, -65.0}) {
            ExpectSounding(Position(*beamora, angle, 0.03), Straight(angle, 0.03, 1485.0, 10.0, 20.0, z),
                           1e-9);
        }
    }
}

// The processed profile always starts at the current transducer depth, whichever comes first.
TEST(BeamoraProfileState, ProfileFollowsTheTransducer) {
    auto profileFirst = MakeBeamora();
    auto transducerFirst = MakeBeamora();
    auto moved = MakeBeamora();
    for (auto* b : {profileFirst.get(), transducerFirst.get(), moved.get()}) {
        b->SetInstallTransducer(0.0f, 0.0f, 7.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    }
    ASSERT_TRUE(LoadProfile(*profileFirst, kBending));
    profileFirst->PosGPSToTransducer(0.0, 0.0, 0.0, 0.0, 0.0, -2.0, 0.0);  // heave 2 m down: 9 m

    transducerFirst->PosGPSToTransducer(0.0, 0.0, 0.0, 0.0, 0.0, -2.0, 0.0);
    ASSERT_TRUE(LoadProfile(*transducerFirst, kBending));

    ASSERT_TRUE(LoadProfile(*moved, kBending));
    moved->SetPosTransducer(0.0, 0.0, 30.0);
    moved->SetPosTransducer(0.0, 0.0, 9.0);

    auto surface = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*surface, kBending));
    for (double angle : {0.0, 50.0}) {
        SCOPED_TRACE(angle);
        const Sounding a = Position(*profileFirst, angle, 0.04);
        ExpectSounding(Position(*transducerFirst, angle, 0.04), a, 1e-12);
        ExpectSounding(Position(*moved, angle, 0.04), a, 1e-12);
        // A ray from 9 m is not the surface ray shifted down by 9 m.
        EXPECT_GT(std::fabs(a.depth - 9.0 - Position(*surface, angle, 0.04).depth), 0.01);
    }
}

TEST(BeamoraProfileState, CopiesCarryEverything) {
    auto source = MakeBeamora();
    source->SetInstallTransducer(0.5f, 1.0f, 4.0f, 1.0f, -0.5f, 2.0f, 0.01f);
    source->SetInstallGPS(-1.0f, -3.0f, -9.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    source->SetInstallMRU(0.0f, 0.0f, 0.0f, 0.3f, 0.2f, 0.0f, 0.0f);
    source->SetInstallCompass(0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f);
    ASSERT_TRUE(LoadProfile(*source, kBending));
    source->SetTide(0.8);
    source->SetRealtimeStabilized(true, false, true);
    source->PosGPSToTransducer(500.0, 600.0, 0.0, 3.0, -2.0, 0.4, 48.0);
    const Sounding expected = Position(*source, -40.0, 0.06);

    auto assigned = MakeBeamora();
    assigned->SetAsv(1400.0);
    assigned->SetPosTransducer(1.0, 2.0, 3.0);
    *assigned = *source;
    const auto constructed = std::make_unique<CBeamora>(*source);
    for (CBeamora* copy : {assigned.get(), constructed.get()}) {
        ExpectSounding(Position(*copy, -40.0, 0.06), expected, 0.0);
        EXPECT_EQ(copy->GetInstallCompass().latency, 0.7f);
        EXPECT_EQ(copy->GetPosTransducer().x, source->GetPosTransducer().x);
    }
}

TEST(BeamoraProfileState, InstallationsStoreRadians) {
    auto beamora = MakeBeamora();
    using Setter = void (CBeamora::*)(float, float, float, float, float, float, float);
    using Getter = CInstallPara (CBeamora::*)();
    const std::pair<Setter, Getter> installs[] = {
        {&CBeamora::SetInstallTransducer, &CBeamora::GetInstallTransducer},
        {&CBeamora::SetInstallGPS, &CBeamora::GetInstallGPS},
        {&CBeamora::SetInstallMRU, &CBeamora::GetInstallMRU},
        {&CBeamora::SetInstallCompass, &CBeamora::GetInstallCompass},
    };
    float base = 1.0f;
    for (const auto& [set, get] : installs) {
        (beamora.get()->*set)(base, base + 1, base + 2, 90.0f, -45.0f, 180.0f, 0.125f);
        const CInstallPara p = (beamora.get()->*get)();
        EXPECT_EQ(p.x, base);
        EXPECT_EQ(p.y, base + 1);
        EXPECT_EQ(p.z, base + 2);
        EXPECT_FLOAT_EQ(p.roll, static_cast<float>(std::numbers::pi / 2));
        EXPECT_FLOAT_EQ(p.pitch, static_cast<float>(-std::numbers::pi / 4));
        EXPECT_FLOAT_EQ(p.yaw, static_cast<float>(std::numbers::pi));
        EXPECT_EQ(p.latency, 0.125f);
        base += 10.0f;
    }
    // The record form is stored as it is: its angles are already radians.
    CInstallPara raw;
    raw.roll = 0.25f;
    beamora->SetInstallGPS(raw);
    EXPECT_EQ(beamora->GetInstallGPS().roll, 0.25f);
    EXPECT_EQ(beamora->GetInstallTransducer().x, 1.0f);  // the others are separate

    const CSvpData point;
    EXPECT_EQ(point.flag, 1);
    EXPECT_EQ(point.velocity, 0.0);
}

}  // namespace
