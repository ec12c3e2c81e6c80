// Ray bending through velocity layers against a brute-force integration of the ray equations.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/tools/sonarsim/RayMarch.h"
#include "tools/sonarsim/RayPath.h"

namespace {

using sonarsim::RayPath;
using sonarsim::SoundVelocityProfile;
using Points = std::vector<std::pair<double, double>>;

constexpr double kRad = std::numbers::pi / 180.0;

SoundVelocityProfile Profile(const Points& points) {
    std::vector<sonarsim::VelocityPoint> v;
    for (const auto& [z, c] : points) v.push_back({z, c});
    std::string error;
    auto p = SoundVelocityProfile::FromPoints(v, error);
    EXPECT_TRUE(p.has_value()) << error;
    return *p;
}

TEST(RayPath, StraightRayOfOneVelocity) {
    // 30° from the vertical for 0.01 s at 1500 m/s: 15 m of slant range.
    const RayPath ray(SoundVelocityProfile::Constant(1500), 2.0, 30 * kRad);
    const auto at = ray.At(0.01);
    ASSERT_TRUE(at.has_value());
    EXPECT_NEAR(at->depth, 12.990381056766578, 1e-9);
    EXPECT_NEAR(at->horizontal, 7.5, 1e-9);
    EXPECT_FALSE(ray.At(-0.001).has_value());
}

TEST(RayPath, AgreesWithIntegratedRayEquations) {
    const Points thermocline = {{0, 1540}, {20, 1500}, {60, 1478}, {200, 1495}};
    const Points nearlyFlat = {{0, 1500}, {300, 1500.00003}};  // gradient 1e-7 /s
    const Points strongRise = {{0, 1450}, {5, 1452}, {30, 1520}};
    struct Case {
        const char* name;
        Points points;
        double start, angleDeg, tau;
    };
    const Case cases[] = {
        {"vertical through all layers", thermocline, 3.1, 0, 0.12},
        {"oblique through all layers", thermocline, 3.1, 45, 0.12},
        {"steep into the thermocline", thermocline, 3.1, 70, 0.05},
        {"start between points", thermocline, 35.0, 55, 0.08},
        {"start below the last point", thermocline, 250.0, 40, 0.05},
        {"almost constant gradient", nearlyFlat, 1.0, 60, 0.2},
        {"nearly vertical", strongRise, 0.5, 1e-7, 0.03},
        {"speeding up with depth", strongRise, 0.5, 40, 0.03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RayPath ray(Profile(c.points), c.start, c.angleDeg * kRad);
        const auto at = ray.At(c.tau);
        ASSERT_TRUE(at.has_value());
        const auto ref =
            simtest::MarchRay(simtest::VelocityTable(c.points), c.start, c.angleDeg * kRad, c.tau);
        EXPECT_NEAR(at->depth, ref.depth, 2e-5);
        EXPECT_NEAR(at->horizontal, ref.horizontal, 2e-5);
    }
}

TEST(RayPath, RayThatTurnsEndsAtItsDeepestPoint) {
    // Velocity rising fast with depth bends a 75° ray back up where p·c reaches 1.
    const Points points = {{0, 1480}, {40, 1580}};
    const double start = 2.0;
    const double c0 = 1480 + 100 * start / 40;
    const double p = std::sin(75 * kRad) / c0;
    const double turnDepth = (1 / p - 1480) * 40 / 100 - start;
    const RayPath ray(Profile(points), start, 75 * kRad);
    ASSERT_LT(ray.TurnTime(), 1.0);
    const auto before = ray.At(ray.TurnTime() * 0.9999);
    ASSERT_TRUE(before.has_value());
    EXPECT_NEAR(before->depth, turnDepth, 1e-3);
    EXPECT_FALSE(ray.At(ray.TurnTime() * 1.001).has_value());
}

}  // namespace
