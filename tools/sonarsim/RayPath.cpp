#include "tools/sonarsim/RayPath.h"

#include <algorithm>
#include <cmath>

namespace sonarsim {

namespace {

// Time to cross a layer from velocity c1 to c2 over the depth step dz (gradient g) for the ray
// constant p, with the cosines of the angle from the vertical at both ends.
double LayerTime(double p, double c1, double c2, double cos1, double cos2, double dz, double g) {
    if (g == 0.0)
        return cos1 > 0 ? dz / (c1 * cos1) : 1e300;
    const double sum = (cos1 + cos2) * (1.0 + cos2);
    if (sum <= 0)
        return 1e300;
    return (std::log1p(g * dz / c1) + std::log1p(p * p * g * dz * (c1 + c2) / sum)) / g;
}

}  // namespace

RayPath::RayPath(const SoundVelocityProfile& profile, double startDepth, double angleFromVertical) {
    const std::vector<VelocityPoint>& pts = profile.Points();
    const std::size_t n = pts.size();
    // Velocity at the start: on the segment that holds the start depth (the first segment also above
    // its top), the last velocity at or below the last point.
    double c0 = pts.back().velocity;
    std::size_t next = n;
    if (n > 1) {
        std::size_t i = 1;
        while (i < n && pts[i].depth <= startDepth) ++i;
        if (i < n) {
            const VelocityPoint& a = pts[i - 1];
            const VelocityPoint& b = pts[i];
            c0 = a.velocity + (b.velocity - a.velocity) * (startDepth - a.depth) / (b.depth - a.depth);
            next = i;
        }
    }
    p_ = std::sin(angleFromVertical) / c0;
    nodes_.push_back({0.0, c0, std::cos(angleFromVertical), 0.0, 0.0});
    for (std::size_t k = next; k < n; ++k) {
        const Node top = nodes_.back();
        const double dz = pts[k].depth - startDepth - top.z;
        const double c2 = pts[k].velocity;
        const double g = (c2 - top.c) / dz;
        const double s2 = p_ * c2;
        if (s2 >= 1.0) {
            // The ray turns inside this layer where p·c reaches 1 (only possible with g > 0).
            lastLayerTurns_ = true;
            lastGradient_ = g;
            const double cTurn = 1.0 / p_;
            turnTime_ = top.t + LayerTime(p_, top.c, cTurn, top.cosW, 0.0, (cTurn - top.c) / g, g);
            return;
        }
        const double cos2 = std::sqrt(1.0 - s2 * s2);
        const double dt = LayerTime(p_, top.c, c2, top.cosW, cos2, dz, g);
        const double dx = p_ * dz * (top.c + c2) / (top.cosW + cos2);
        nodes_.push_back({top.z + dz, c2, cos2, top.t + dt, top.x + dx});
    }
}

std::optional<RayPoint> RayPath::At(double tau) const {
    if (!(tau >= 0.0) || tau > turnTime_)
        return std::nullopt;
    const auto after = std::upper_bound(nodes_.begin(), nodes_.end(), tau,
                                        [](double value, const Node& node) { return value < node.t; });
    const std::size_t k = static_cast<std::size_t>(after - nodes_.begin()) - 1;
    const Node& top = nodes_[k];
    double g = 0.0;
    if (k + 1 < nodes_.size()) {
        g = (nodes_[k + 1].c - top.c) / (nodes_[k + 1].z - top.z);
    } else if (lastLayerTurns_) {
        g = lastGradient_;
    }
    const double tp = tau - top.t;
    double dz = 0, dx = 0;
    if (g == 0.0) {
        dz = top.c * top.cosW * tp;
        dx = p_ * top.c * top.c * tp;
    } else {
        const double m = std::expm1(g * tp) / g;  // (E − 1)/g
        const double e = 1.0 + g * m;
        const double q = p_ * top.c / (1.0 + top.cosW);
        dz = top.c * m * (1.0 - q * q * e) / (1.0 + q * q * e * e);
        const double c = top.c + g * dz;
        const double cosW = std::sqrt(std::max(0.0, 1.0 - p_ * p_ * c * c));
        dx = top.cosW + cosW > 0 ? p_ * dz * (c + top.c) / (top.cosW + cosW) : 0.0;
    }
    return RayPoint{top.z + dz, top.x + dx};
}

}  // namespace sonarsim
