// Ray tracing through a layered profile, checked against a numerical integration of the ray equations:
// with the ray parameter p = cos(grazing) / c fixed by Snell's law,
//   dz/dt = c(z) sqrt(1 - p² c(z)²),   dx/dt = c(z) cos(grazing) = p c(z)²,
// integrated with fourth-order Runge-Kutta steps of at most 20 µs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

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

// A dense cast: 1024 points 0.1 m apart with a thermocline and small wiggles, so that a ray crosses
// hundreds of thin layers of both signs of gradient.
Profile DenseCast() {
    Profile cast;
    for (int i = 0; i < CBeamora::kMaxProfilePoints; ++i) {
        const double z = i * 0.1;
        cast.emplace_back(z, 1505.0 - 18.0 * std::tanh((z - 40.0) / 15.0) + 0.5 * std::sin(z / 7.0));
    }
    return cast;
}
const Profile kDense = DenseCast();

// Velocity falling by 150 m/s in one layer: rays leaving near the horizontal turn steeply down in it
// (the grazing angle's sine grows from 0.02 to over 0.4), far from the thin-layer case.
const Profile kSteepFall{{0.0, 1500.0}, {30.0, 1350.0}, {60.0, 1340.0}, {100.0, 1330.0}};

// c(z): linear between points; the last velocity below the last point.
double Velocity(const Profile& profile, double z) {
    if (z >= profile.back().first) {
        return profile.back().second;
    }
    const auto above = std::upper_bound(profile.begin() + 1, profile.end(), z,
                                        [](double value, const auto& point) { return value < point.first; });
    const auto& [z0, c0] = *(above - 1);
    const auto& [z1, c1] = *above;
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
    const Profile* profile = &kLayered;
};

void PrintTo(const TraceCase& c, std::ostream* os) {
    *os << "transducer at " << c.transducerDepth << " m, beam at " << c.angleDeg << " deg, profile of "
        << c.profile->size() << " points";
}

class BeamoraRayTrace : public ::testing::TestWithParam<TraceCase> {};

// Times chosen so that every angle has rays ending in gradient layers, in constant layers and below the
// last point of the profile.
TEST_P(BeamoraRayTrace, AgreesWithIntegratedRay) {
    const TraceCase& c = GetParam();
    const Profile& profile = *c.profile;
    auto beamora = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*beamora, profile));
    beamora->SetInstallTransducer(0.0f, 0.0f, static_cast<float>(c.transducerDepth), 0.0f, 0.0f, 0.0f, 0.0f);
    const CFPoint transducer = beamora->PosGPSToTransducer(1000.0, 2000.0, 0.0, 0.0, 0.0, 0.0, 0.0);
    ASSERT_EQ(transducer.z, c.transducerDepth);

    bool reachedBeyond = false;
    for (double time : {0.0012, 0.004, 0.011, 0.025, 0.06, 0.1, 0.16, 0.3, 0.7}) {
        SCOPED_TRACE(time);
        const Sounding s = Position(*beamora, c.angleDeg, time);
        const RayEnd expected = IntegrateRay(profile, c.transducerDepth, c.angleDeg * kDeg, time);
        const double side = c.angleDeg < 0.0 ? -1.0 : 1.0;
        EXPECT_NEAR(s.depth - c.transducerDepth, expected.depthBelowStart, 1e-3);
        EXPECT_NEAR(s.across, side * expected.horizontal, 1e-3);
        EXPECT_NEAR(s.easting - 1000.0, s.across, 1e-9);
        EXPECT_NEAR(s.northing, 2000.0, 1e-9);
        reachedBeyond = reachedBeyond || s.depth > profile.back().first + 10.0;
    }
    EXPECT_TRUE(reachedBeyond);
}

// Transducer at the surface, inside constant layers (6.5 m, 37 m) and inside a gradient layer (15.25 m).
// 1e-13° is traced as a vertical ray; 1e-5° is about the smallest angle traced as an oblique one. The
// dense cast adds up the crossing of hundreds of layers; the steep fall takes rays from near the
// horizontal through a layer that bends them by over 20°.
INSTANTIATE_TEST_SUITE_P(
    Profiles, BeamoraRayTrace,
    ::testing::Values(TraceCase{0.0, 0.0}, TraceCase{0.0, 30.0}, TraceCase{0.0, 70.0},  //
                      TraceCase{6.5, 0.0}, TraceCase{6.5, 0.5}, TraceCase{6.5, 30.0}, TraceCase{6.5, -45.0},
                      TraceCase{6.5, 70.0},                                                 //
                      TraceCase{37.0, 0.0}, TraceCase{37.0, -20.0}, TraceCase{37.0, 70.0},  //
                      TraceCase{15.25, 1e-13}, TraceCase{15.25, 1e-5}, TraceCase{15.25, -60.0},
                      TraceCase{3.375, 0.0, &kDense}, TraceCase{3.375, 0.002, &kDense},
                      TraceCase{3.375, 30.0, &kDense}, TraceCase{3.375, -65.0, &kDense},
                      TraceCase{0.0, 80.0, &kSteepFall}, TraceCase{0.0, -88.8, &kSteepFall},
                      TraceCase{12.0, 89.0, &kSteepFall}),
    [](const ::testing::TestParamInfo<TraceCase>& caseInfo) {
        return "Case" + std::to_string(caseInfo.index) + "_At" +
               std::to_string(static_cast<int>(caseInfo.param.transducerDepth * 100.0)) + "cm";
    });

// The ray of a layered profile by the angle formulas, in long double: with grazing angles θ (from the
// horizontal) and Snell's law cos θ_{j+1} = cos θ_j c_{j+1} / c_j, a gradient layer takes
//   Δt = -ln(tan((θ_{j+1} + π/2) / 2) / tan((θ_j + π/2) / 2)) / g,
//   Δx = c_j (sin θ_j - sin θ_{j+1}) / (g cos θ_j),
// and a ray that ends in it after τ has tan((θ + π/2) / 2) = tan((θ_j + π/2) / 2) exp(-g τ), depth
// (c_j cos θ / cos θ_j - c_j) / g and distance c_j (sin θ_j - sin θ) / (g cos θ_j) below and beyond the
// layer top. Ill-conditioned near the vertical (tan near its pole), so used only for oblique rays.
RayEnd TraceByAngles(const Profile& profile, double startDepth, double angleFromVertical, double time) {
    using Real = long double;
    const Real halfPi = std::acos(Real(-1)) / 2;
    // The profile from the start depth down.
    std::vector<std::pair<Real, Real>> points{{startDepth, Velocity(profile, startDepth)}};
    for (const auto& [z, c] : profile) {
        if (z > startDepth)
            points.emplace_back(z, c);
    }
    Real theta = halfPi - std::fabs(Real(angleFromVertical));
    Real elapsed = 0;
    Real x = 0;
    for (std::size_t j = 0; j + 1 < points.size(); ++j) {
        const auto [z0, c0] = points[j];
        const auto [z1, c1] = points[j + 1];
        const Real g = (c1 - c0) / (z1 - z0);
        const Real next = std::acos(std::cos(theta) * c1 / c0);
        const Real tanTop = std::tan((theta + halfPi) / 2);
        const Real dt = g != 0 ? -std::log(std::tan((next + halfPi) / 2) / tanTop) / g
                               : (z1 - z0) / (c0 * std::sin(theta));
        if (time < elapsed + dt) {
            const Real tau = time - elapsed;
            if (g == 0) {
                return {static_cast<double>(z0 + c0 * tau * std::sin(theta) - startDepth),
                        static_cast<double>(x + c0 * tau * std::cos(theta))};
            }
            const Real end = 2 * std::atan(tanTop * std::exp(-g * tau)) - halfPi;
            return {static_cast<double>(z0 + (c0 * std::cos(end) / std::cos(theta) - c0) / g - startDepth),
                    static_cast<double>(x + c0 * (std::sin(theta) - std::sin(end)) / (g * std::cos(theta)))};
        }
        x += g != 0 ? c0 * (std::sin(theta) - std::sin(next)) / (g * std::cos(theta))
                    : (z1 - z0) / std::tan(theta);
        elapsed += dt;
        theta = next;
    }
    const auto [zLast, cLast] = points.back();
    const Real path = (time - elapsed) * cLast;
    return {static_cast<double>(zLast + path * std::sin(theta) - startDepth),
            static_cast<double>(x + path * std::cos(theta))};
}

// Far tighter than the integration above (they agree to about 1e-10 m): a layer whose crossing time is
// off by a part in 10⁸ shows.
TEST(BeamoraRayTraceAngleFormulas, AgreeToTenNanometres) {
    struct Case {
        const Profile* profile;
        double transducerDepth;
        double angleDeg;
    };
    const Case cases[] = {
        {&kLayered, 0.0, 30.0},   {&kLayered, 6.5, -70.0},    {&kLayered, 15.25, 45.0},
        {&kDense, 3.375, 20.0},   {&kDense, 3.375, -65.0},    {&kSteepFall, 0.0, 80.0},
        {&kSteepFall, 0.0, 88.8}, {&kSteepFall, 12.0, -89.0},
    };
    for (const Case& c : cases) {
        auto beamora = MakeBeamora();
        ASSERT_TRUE(LoadProfile(*beamora, *c.profile));
        beamora->SetPosTransducer(0.0, 0.0, c.transducerDepth);
        for (double time : {0.004, 0.03, 0.1, 0.4}) {
            SCOPED_TRACE(::testing::Message() << c.profile->size() << " points, from " << c.transducerDepth
                                              << " m at " << c.angleDeg << " deg for " << time << " s");
            const Sounding s = Position(*beamora, c.angleDeg, time);
            const RayEnd expected = TraceByAngles(*c.profile, c.transducerDepth, c.angleDeg * kDeg, time);
            const double side = c.angleDeg < 0.0 ? -1.0 : 1.0;
            EXPECT_NEAR(s.depth - c.transducerDepth, expected.depthBelowStart, 1e-8);
            EXPECT_NEAR(s.across, side * expected.horizontal, 1e-8);
        }
    }
}

// A beam a hair off the vertical lands where the vertical ray does: the depths differ by the depth times
// w²/2 (below 1e-7 m here) and the horizontal distance is at most the slant range times sin w (with the
// largest velocity). The angle form loses the grazing angle's complement to rounding there and was off
// by centimetres to decimetres.
TEST(BeamoraRayTraceNearVertical, LandsByTheVerticalRay) {
    for (const Profile* profile : {&kLayered, &kDense, &kSteepFall}) {
        auto beamora = MakeBeamora();
        ASSERT_TRUE(LoadProfile(*beamora, *profile));
        beamora->SetPosTransducer(0.0, 0.0, 3.375);
        double fastest = 0.0;
        for (const auto& point : *profile) fastest = std::max(fastest, point.second);
        for (double time : {0.02, 0.1, 0.3}) {
            const Sounding vertical = Position(*beamora, 0.0, time);
            for (double angleDeg : {1e-9, -3e-7, 1e-6, 2e-5, -1e-3}) {
                SCOPED_TRACE(::testing::Message()
                             << profile->size() << " points, " << angleDeg << " deg for " << time << " s");
                const Sounding s = Position(*beamora, angleDeg, time);
                EXPECT_NEAR(s.depth, vertical.depth, 1e-7);
                EXPECT_GE(s.across * angleDeg, 0.0);
                EXPECT_LE(std::fabs(s.across), std::sin(std::fabs(angleDeg) * kDeg) * time * fastest);
            }
        }
    }
}

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
