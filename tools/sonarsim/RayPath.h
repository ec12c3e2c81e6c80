#pragma once
// One acoustic ray going down through the water from a start depth, with the sound velocity linear in
// depth between the points of a profile (so every layer bends the ray into an arc of a circle) and
// constant below the last point. The path is set up once per launch angle; At() then gives the depth
// gained and the horizontal distance covered after any one-way time.
//
// The layer formulas are written in a form free of cancellation for small gradients and steep rays:
// with p = sin(w)/c the ray constant (w the angle from the vertical) and a layer from velocity c₁ to c₂
// over a depth step Δz with gradient g,
//   time   = [ ln(c₂/c₁) + ln(1 + p²·g·Δz·(c₁ + c₂) / ((cos w₁ + cos w₂)(1 + cos w₂))) ] / g
//   across = p·Δz·(c₁ + c₂) / (cos w₁ + cos w₂)
// and inside a layer, after a time τ from its top, with E = exp(g·τ) and q = tan(w₁/2):
//   Δz = c₁ · (E − 1)/g · (1 − q²E) / (1 + q²E²).

#include <optional>
#include <vector>

#include "tools/sonarsim/SoundVelocityProfile.h"

namespace sonarsim {

struct RayPoint {
    double depth = 0;       // metres below the start depth
    double horizontal = 0;  // metres covered horizontally, ≥ 0
};

class RayPath {
  public:
    // `angleFromVertical` in radians, 0 ≤ angle < π/2.
    RayPath(const SoundVelocityProfile& profile, double startDepth, double angleFromVertical);

    // Position after a one-way time `tau` (s); nothing for a negative time or once the ray has reached
    // its deepest point and would turn back up.
    std::optional<RayPoint> At(double tau) const;

    // Time at which the ray stops going down (a very large value when it never turns).
    double TurnTime() const { return turnTime_; }

    // Velocity at the start depth.
    double StartVelocity() const { return nodes_.front().c; }

  private:
    struct Node {
        double z = 0;     // depth below the start
        double c = 0;     // velocity
        double cosW = 1;  // cosine of the angle from the vertical
        double t = 0;     // time from the start
        double x = 0;     // horizontal distance from the start
    };
    std::vector<Node> nodes_;  // layer tops; the last node opens a layer of constant velocity
    double p_ = 0;             // ray constant sin(w)/c
    double turnTime_ = 1e300;
    bool lastLayerTurns_ = false;  // the ray turns inside the layer that begins at the last node
    double lastGradient_ = 0;      // gradient of that layer
};

}  // namespace sonarsim
