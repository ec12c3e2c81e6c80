// Direction of a beam from its angle, the attitude and the installation, with straight rays: checked
// against the beam's direction vector, rotated into the grid.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "BeamoraTestSupport.h"

namespace {

using beamora_test::kDeg;
using beamora_test::LoadProfile;
using beamora_test::MakeBeamora;
using beamora_test::Position;
using beamora_test::Profile;
using beamora_test::Sounding;

TEST(BeamoraWorkedCases, FreshObjectStraightRays) {
    struct Case {
        double headingDeg, tide;
        Sounding expected;
    };
    const Case cases[] = {
        {0.0, 0.0, {7.5, 0.0, 12.990381056766580, 7.5}},
        {90.0, 0.0, {0.0, -7.5, 12.990381056766580, 7.5}},
        {0.0, 1.5, {7.5, 0.0, 14.490381056766580, 7.5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headingDeg);
        auto beamora = MakeBeamora();
        beamora->SetMotion(0.0, 0.0, 0.0, c.headingDeg);
        beamora->SetTide(c.tide);
        const Sounding s = Position(*beamora, 30.0, 0.01);
        EXPECT_NEAR(s.easting, c.expected.easting, 1e-12);
        EXPECT_NEAR(s.northing, c.expected.northing, 1e-12);
        EXPECT_NEAR(s.depth, c.expected.depth, 1e-12);
        EXPECT_NEAR(s.across, c.expected.across, 1e-12);
    }
}

struct GeometryCase {
    const char* name;
    double rollDeg, pitchDeg;
    bool rollStabilized, pitchStabilized;
    float transducerRollDeg, transducerPitchDeg, transducerYawDeg;
    float mruRollDeg, mruPitchDeg;
    double headingDeg;
    double angleDeg;
};

void PrintTo(const GeometryCase& c, std::ostream* os) {
    *os << c.name;
}

// The beam leaves at t from the transducer's vertical in its across-track plane, and that plane is
// tilted forward by u: direction (starboard, forward, down) = (sin t, cos t sin u, cos t cos u).
Sounding StraightReference(CBeamora& beamora, const GeometryCase& c, double time, double c0, double tide) {
    const CInstallPara transducer = beamora.GetInstallTransducer();
    const CInstallPara mru = beamora.GetInstallMRU();
    const CFPoint pos = beamora.GetPosTransducer();
    const double rho = c.rollStabilized ? 0.0 : c.rollDeg * kDeg - mru.roll;
    const double pitch = c.pitchStabilized ? 0.0 : c.pitchDeg * kDeg - mru.pitch;
    const double t = c.angleDeg * kDeg - (std::asin(std::sin(rho) / std::cos(pitch)) + transducer.roll);
    const double u = pitch + transducer.pitch;
    const double starboard = std::sin(t);
    const double forward = std::cos(t) * std::sin(u);
    const double down = std::cos(t) * std::cos(u);
    const double slant = time * c0;
    const double heading = c.headingDeg * kDeg + transducer.yaw;
    // Starboard points to (cos H, -sin H) and forward to (sin H, cos H) in (easting, northing).
    const double side = t > 0.0 ? 1.0 : t < 0.0 ? -1.0 : (u < 0.0 ? -1.0 : 1.0);
    Sounding s;
    s.easting = pos.x + slant * (starboard * std::cos(heading) + forward * std::sin(heading));
    s.northing = pos.y + slant * (-starboard * std::sin(heading) + forward * std::cos(heading));
    s.depth = pos.z + slant * down + tide;
    s.across = side * slant * std::hypot(starboard, forward);
    return s;
}

class BeamoraStraightGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(BeamoraStraightGeometry, MatchesBeamDirection) {
    const GeometryCase& c = GetParam();
    auto beamora = MakeBeamora();
    beamora->SetInstallTransducer(0.0f, 0.0f, 0.0f, c.transducerRollDeg, c.transducerPitchDeg,
                                  c.transducerYawDeg, 0.0f);
    beamora->SetInstallMRU(0.0f, 0.0f, 0.0f, c.mruRollDeg, c.mruPitchDeg, 0.0f, 0.0f);
    beamora->SetPosTransducer(4000.0, -250.0, 3.5);
    beamora->SetAsv(1487.0);
    beamora->SetTide(-0.4);
    beamora->SetRealtimeStabilized(c.rollStabilized, c.pitchStabilized, false);
    beamora->SetMotion(c.rollDeg, c.pitchDeg, 0.0, c.headingDeg);

    for (double time : {0.004, 0.08}) {
        SCOPED_TRACE(time);
        const Sounding expected = StraightReference(*beamora, c, time, 1487.0, -0.4);
        const Sounding s = Position(*beamora, c.angleDeg, time);
        EXPECT_NEAR(s.easting, expected.easting, 1e-9);
        EXPECT_NEAR(s.northing, expected.northing, 1e-9);
        EXPECT_NEAR(s.depth, expected.depth, 1e-9);
        EXPECT_NEAR(s.across, expected.across, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BeamoraStraightGeometry,
    ::testing::Values(GeometryCase{"Starboard", 0, 0, false, false, 0, 0, 0, 0, 0, 0, 30},
                      GeometryCase{"PortTurned", 0, 0, false, false, 0, 0, 0, 0, 0, 30, -45},
                      GeometryCase{"Rolled", 10, 0, false, false, 0, 0, 0, 0, 0, 0, 25},
                      GeometryCase{"RollStabilized", 10, 0, true, false, 0, 0, 0, 0, 0, 0, 25},
                      GeometryCase{"PitchedPort", 0, 6, false, false, 0, 0, 0, 0, 0, 0, -60},
                      GeometryCase{"PitchStabilizedMountPitch", 3, 6, false, true, 0, 2, 0, 0, 0, 0, 40},
                      GeometryCase{"MountRoll", 0, 0, false, false, 20, 0, 0, 0, 0, 0, 12},
                      GeometryCase{"Everything", -8, -4, false, false, 1.5, -1, 45, 1, -0.5, 300, 70},
                      GeometryCase{"StrongPitchNearNadir", 0, 30, false, false, 0, 0, 0, 0, 0, 0, 5},
                      GeometryCase{"AlongTrackPlane", 0, 5, false, false, 0, 0, 0, 0, 0, 10, 0},
                      GeometryCase{"AlongTrackPlaneBowDown", 0, -5, false, false, 0, 0, 0, 0, 0, 200, 0}),
    [](const ::testing::TestParamInfo<GeometryCase>& caseInfo) { return std::string(caseInfo.param.name); });

// When the beam angle equals the transducer's roll (β = α) the beam lies in the along-track plane.
// Its position there must be the limit of the positions of beams just to either side, for straight
// and for traced rays, bow up and bow down.
TEST(BeamoraAlongTrackPlane, ContinuousOnBothSides) {
    const Profile profile{{0.0, 1500.0}, {10.0, 1498.0}, {40.0, 1490.0}, {80.0, 1495.0}, {150.0, 1500.0}};
    for (bool traced : {false, true}) {
        for (double pitchDeg : {5.0, -5.0}) {
            for (float mountRollDeg : {0.0f, 3.0f}) {
                SCOPED_TRACE(::testing::Message() << "traced " << traced << " pitch " << pitchDeg
                                                  << " mount roll " << mountRollDeg);
                auto beamora = MakeBeamora();
                beamora->SetInstallTransducer(0.0f, 0.0f, 2.0f, mountRollDeg, 0.0f, 0.0f, 0.0f);
                if (traced) {
                    ASSERT_TRUE(LoadProfile(*beamora, profile));
                }
                beamora->SetMotion(0.0, pitchDeg, 0.0, 25.0);
                const CFPoint transducer = beamora->PosGPSToTransducer(300.0, 400.0, 0.0);

                // An angle whose radians equal the mounting roll exactly.
                const double alpha = beamora->GetInstallTransducer().roll;
                double angle = alpha / kDeg;
                for (int i = 0; i < 16 && angle * kDeg != alpha; ++i) {
                    angle = std::nextafter(angle, angle * kDeg < alpha ? 90.0 : -90.0);
                }
                ASSERT_EQ(angle * kDeg, alpha);

                const double time = 0.05;
                const Sounding at = Position(*beamora, angle, time);
                for (double offset : {1e-9, -1e-9, 1e-7, -1e-7}) {
                    SCOPED_TRACE(offset);
                    const Sounding near = Position(*beamora, angle + offset, time);
                    EXPECT_NEAR(near.easting, at.easting, 1e-6);
                    EXPECT_NEAR(near.northing, at.northing, 1e-6);
                    EXPECT_NEAR(near.depth, at.depth, 1e-6);
                }
                // The beam points forward when the bow is up and aft when it is down: along the heading
                // (25°), by the horizontal distance.
                const double along = (at.easting - transducer.x) * std::sin(25.0 * kDeg) +
                                     (at.northing - transducer.y) * std::cos(25.0 * kDeg);
                EXPECT_GT(along * pitchDeg, 0.0);
                EXPECT_NEAR(std::fabs(along), std::fabs(at.across), 1e-9);
            }
        }
    }
}

// Beyond 80° of pitch (after the sensor's mounting pitch) a beam is not positioned at all.
TEST(BeamoraExcessivePitch, WritesNothing) {
    struct Case {
        double pitchDeg;
        bool pitchStabilized;
        float mruPitchDeg;
        bool written;
    };
    const Case cases[] = {
        {81.0, false, 0.0f, false},   {-81.0, false, 0.0f, false}, {81.0, true, 0.0f, true},
        {75.0, false, -10.0f, false}, {-79.0, false, 0.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pitchDeg << " stabilized " << c.pitchStabilized);
        auto beamora = MakeBeamora();
        beamora->SetInstallMRU(0.0f, 0.0f, 0.0f, 0.0f, c.mruPitchDeg, 0.0f, 0.0f);
        beamora->SetRealtimeStabilized(false, c.pitchStabilized, false);
        beamora->SetMotion(0.0, c.pitchDeg, 0.0, 0.0);
        Sounding s{12345.0, 12345.0, 12345.0, 12345.0};
        beamora->PotitonOneBeam(30.0, 0.01, s.easting, s.northing, s.depth, s.across);
        if (c.written) {
            EXPECT_NE(s.depth, 12345.0);
            EXPECT_NE(s.easting, 12345.0);
        } else {
            EXPECT_EQ(s.easting, 12345.0);
            EXPECT_EQ(s.northing, 12345.0);
            EXPECT_EQ(s.depth, 12345.0);
            EXPECT_EQ(s.across, 12345.0);
        }
    }
}

TEST(BeamoraSsvToOneBeam, RefractsBySnellsLaw) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double v1, angle, v2, expected;
    };
    const Case cases[] = {
        {1500.0, 30.0, 1500.0, 30.0},
        {1500.0, 30.0, 1450.0, std::asin(0.5 * 1450.0 / 1500.0) / kDeg},
        {1480.0, -60.0, 1520.0, -std::asin(std::sin(60.0 * kDeg) * 1520.0 / 1480.0) / kDeg},
        {0.5, 30.0, 1500.0, 0.0},     // no velocity to refract from
        {1400.0, 80.0, 1500.0, 0.0},  // beyond the critical angle: no refracted beam
        {1500.0, nan, 1500.0, 0.0},   // not a number
        {nan, 30.0, 1500.0, 0.0},
    };
    auto beamora = MakeBeamora();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.v1 << " " << c.angle << " " << c.v2);
        EXPECT_NEAR(beamora->SsvToOneBeam(c.v1, c.angle, c.v2), c.expected, 1e-12);
    }
}

}  // namespace
