#pragma once
// Brute-force reference for ray bending: the ray equations of a medium whose sound velocity depends on
// depth only, integrated in small time steps (classic fourth-order Runge-Kutta). With p = sin(w)/c
// constant along the ray (Snell), dz/dt = c·√(1 − p²c²) and dx/dt = p·c².

#include <cmath>
#include <utility>
#include <vector>

namespace simtest {

// Velocity linear between (depth, velocity) points, constant below the last and above the first.
class VelocityTable {
  public:
    explicit VelocityTable(std::vector<std::pair<double, double>> points) : p_(std::move(points)) {}
    double At(double z) const {
        if (z <= p_.front().first)
            return p_.front().second;
        for (std::size_t i = 1; i < p_.size(); ++i) {
            if (z <= p_[i].first) {
                const double f = (z - p_[i - 1].first) / (p_[i].first - p_[i - 1].first);
                return p_[i - 1].second + f * (p_[i].second - p_[i - 1].second);
            }
        }
        return p_.back().second;
    }

  private:
    std::vector<std::pair<double, double>> p_;
};

struct Marched {
    double depth = 0;       // below the start
    double horizontal = 0;  // from the start
};

// The ray leaving depth `z0` at `angle` (radians from the vertical), after `tau` seconds.
inline Marched MarchRay(const VelocityTable& c, double z0, double angle, double tau, double dt = 1e-5) {
    const double p = std::sin(angle) / c.At(z0);
    const auto dz = [&](double z) {
        const double v = c.At(z);
        return v * std::sqrt(std::max(0.0, 1.0 - p * p * v * v));
    };
    const auto dx = [&](double z) {
        const double v = c.At(z);
        return p * v * v;
    };
    double z = z0, x = 0, t = 0;
    while (t < tau) {
        const double h = std::min(dt, tau - t);
        const double k1 = dz(z), l1 = dx(z);
        const double k2 = dz(z + h / 2 * k1), l2 = dx(z + h / 2 * k1);
        const double k3 = dz(z + h / 2 * k2), l3 = dx(z + h / 2 * k2);
        const double k4 = dz(z + h * k3), l4 = dx(z + h * k3);
        z += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
        x += h / 6 * (l1 + 2 * l2 + 2 * l3 + l4);
        t += h;
    }
    return {z - z0, x};
}

}  // namespace simtest
