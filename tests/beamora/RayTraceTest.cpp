// Ray tracing through a layered profile, checked against a numerical integration of the ray equations:
// with the ray parameter p = cos(grazing) / c fixed by Snell's law,
//   dz/dt = c(z) sqrt(1 - p² c(z)²),   dx/dt = c(z) cos(grazing) = p c(z)²,
// integrated with fourth-order Runge-Kutta steps of at most 20 µs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "BeamoraTestSupport.h"

namespace {

using beamora_test::kDeg;
using beamora_test::LoadProfile;
using beamora_test::MakeBeamora;
using beamora_test::Position;
using beamora_test::Profile;
using beamora_test::Sounding;

// Gradient layers of both signs, constant layers (5-8 m, 30-45 m, 100-120 m) and a last point at 200 m.
const Profile kLayered{
    {0.0, 1500.0},   {2.0, 1500.5},   {5.0, 1501.0},   {8.0, 1501.0},   {12.0, 1497.0},
    {20.0, 1490.0},  {30.0, 1488.0},  {45.0, 1488.0},  {60.0, 1492.5},  {80.0, 1495.0},
    {100.0, 1493.0}, {120.0, 1493.0}, {140.0, 1496.0}, {170.0, 1500.0}, {200.0, 1503.0},
};

// c(z): linear between points; the last velocity below the last point.
double Velocity(const Profile& profile, double z) {
    if (z >= profile.back().first) {
        return profile.back().second;
    }
    std::size_t i = 1;
    while (profile[i].first <= z) {
        ++i;
    }
    const auto& [z0, c0] = profile[i - 1];
    const auto& [z1, c1] = profile[i];
    return c0 + (c1 - c0) * (z - z0) / (z1 - z0);
}

struct RayEnd {
    double depthBelowStart;
    double horizontal;  // unsigned
};

RayEnd IntegrateRay(const Profile& profile, double startDepth, double angleFromVertical, double time) {
    const double p = std::sin(std::fabs(angleFromVertical)) / Velocity(profile, startDepth);
    struct Rate {
        double dz, dx;
    };
    const auto rate = [&](double z) {
        const double c = Velocity(profile, z);
        const double pc = p * c;
        return Rate{c * std::sqrt(std::max(0.0, 1.0 - pc * pc)), pc * c};
    };
    const int steps = static_cast<int>(std::ceil(time / 20e-6));
    const double h = time / steps;
    double z = startDepth;
    double x = 0.0;
    for (int i = 0; i < steps; ++i) {
        const Rate k1 = rate(z);
        const Rate k2 = rate(z + 0.5 * h * k1.dz);
        const Rate k3 = rate(z + 0.5 * h * k2.dz);
        const Rate k4 = rate(z + h * k3.dz);
        z += h / 6.0 * (k1.dz + 2.0 * k2.dz + 2.0 * k3.dz + k4.dz);
        x += h / 6.0 * (k1.dx + 2.0 * k2.dx + 2.0 * k3.dx + k4.dx);
    }
    return {z - startDepth, x};
}

struct TraceCase {
    double transducerDepth;
    double angleDeg;
};

void PrintTo(const TraceCase& c, std::ostream* os) {
    *os << "transducer at " << c.transducerDepth << " m, beam at " << c.angleDeg << " deg";
}

class BeamoraRayTrace : public ::testing::TestWithParam<TraceCase> {};

// Times chosen so that every angle has rays ending in gradient layers, in constant layers and below the
// last point of the profile.
TEST_P(BeamoraRayTrace, AgreesWithIntegratedRay) {
    const TraceCase& c = GetParam();
    auto beamora = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*beamora, kLayered));
    beamora->SetInstallTransducer(0.0f, 0.0f, static_cast<float>(c.transducerDepth), 0.0f, 0.0f, 0.0f, 0.0f);
    const CFPoint transducer = beamora->PosGPSToTransducer(1000.0, 2000.0, 0.0, 0.0, 0.0, 0.0, 0.0);
    ASSERT_EQ(transducer.z, c.transducerDepth);

    bool reachedBeyond = false;
    for (double time : {0.0012, 0.004, 0.011, 0.025, 0.06, 0.1, 0.16, 0.3, 0.7}) {
        SCOPED_TRACE(time);
        const Sounding s = Position(*beamora, c.angleDeg, time);
        const RayEnd expected = IntegrateRay(kLayered, c.transducerDepth, c.angleDeg * kDeg, time);
        const double side = c.angleDeg < 0.0 ? -1.0 : 1.0;
        EXPECT_NEAR(s.depth - c.transducerDepth, expected.depthBelowStart, 1e-3);
        EXPECT_NEAR(s.across, side * expected.horizontal, 1e-3);
        EXPECT_NEAR(s.easting - 1000.0, s.across, 1e-9);
        EXPECT_NEAR(s.northing, 2000.0, 1e-9);
        reachedBeyond = reachedBeyond || s.depth > kLayered.back().first + 10.0;
    }
    EXPECT_TRUE(reachedBeyond);
}

// Transducer at the surface, inside constant layers (6.5 m, 37 m) and inside a gradient layer (15.25 m).
// 1e-13° is traced as a vertical ray; 1e-5° is about the smallest angle traced as an oblique one.
INSTANTIATE_TEST_SUITE_P(
    Profiles, BeamoraRayTrace,
    ::testing::Values(TraceCase{0.0, 0.0}, TraceCase{0.0, 30.0}, TraceCase{0.0, 70.0},  //
                      TraceCase{6.5, 0.0}, TraceCase{6.5, 0.5}, TraceCase{6.5, 30.0}, TraceCase{6.5, -45.0},
                      TraceCase{6.5, 70.0},                                                 //
                      TraceCase{37.0, 0.0}, TraceCase{37.0, -20.0}, TraceCase{37.0, 70.0},  //
                      TraceCase{15.25, 1e-13}, TraceCase{15.25, 1e-5}, TraceCase{15.25, -60.0}),
    [](const ::testing::TestParamInfo<TraceCase>& caseInfo) {
        return "Case" + std::to_string(caseInfo.index) + "_At" +
               std::to_string(static_cast<int>(caseInfo.param.transducerDepth * 100.0)) + "cm";
    });

// A profile of one velocity traces straight rays, the same as that single velocity.
TEST(BeamoraRayTraceConstant, SameAsSingleVelocity) {
    auto traced = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*traced, {{0.0, 1500.0}, {100.0, 1500.0}}));
    auto straight = MakeBeamora();
    for (double angle : {0.0, 30.0, -60.0}) {
        for (double time : {0.01, 0.2}) {  // ending inside the layer and below it
            SCOPED_TRACE(::testing::Message() << angle << " " << time);
            const Sounding a = Position(*traced, angle, time);
            const Sounding b = Position(*straight, angle, time);
            EXPECT_NEAR(a.easting, b.easting, 1e-9);
            EXPECT_NEAR(a.northing, b.northing, 1e-9);
            EXPECT_NEAR(a.depth, b.depth, 1e-9);
            EXPECT_NEAR(a.across, b.across, 1e-9);
        }
    }
}

}  // namespace
