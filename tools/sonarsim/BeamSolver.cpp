#include "tools/sonarsim/BeamSolver.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonarsim {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;

double Single(double v) {
    return static_cast<double>(static_cast<float>(v));
}

}  // namespace

ChainInstall ChainInstall::From(const InstallOffsets& o) {
    ChainInstall c;
    c.x = Single(o.x);
    c.y = Single(o.y);
    c.z = Single(o.z);
    c.roll = Single(o.roll * kRad);
    c.pitch = Single(o.pitch * kRad);
    c.yaw = Single(o.yaw * kRad);
    return c;
}

BeamSolver::BeamSolver(const SeaFloor& floor, const SoundVelocityProfile& profile,
                       const ChainInstall& transducer, const ChainInstall& antenna,
                       const ChainInstall& motionSensor)
    : floor_(floor),
      profile_(profile),
      transducerInstall_(transducer),
      antennaInstall_(antenna),
      sensorInstall_(motionSensor) {}

void BeamSolver::SetPing(const PingMotion& m, unsigned stabilisationFlags) {
    const double pitch = m.pitch * kRad - sensorInstall_.pitch;
    const double roll = std::asin(std::sin(m.roll * kRad - sensorInstall_.roll) / std::cos(pitch));
    // A lever arm (starboard, forward, down) in the levelled frame: rolled about the forward axis,
    // then pitched about the starboard axis.
    struct Arm {
        double starboard, forward, down;
    };
    const auto turn = [&](const ChainInstall& a) {
        const double starboard = std::cos(roll) * a.x - std::sin(roll) * a.z;
        const double rolledDown = std::sin(roll) * a.x + std::cos(roll) * a.z;
        return Arm{starboard, std::cos(pitch) * a.y + std::sin(pitch) * rolledDown,
                   -std::sin(pitch) * a.y + std::cos(pitch) * rolledDown};
    };
    const Arm t = turn(transducerInstall_);
    const Arm g = turn(antennaInstall_);
    const double h = m.heading * kRad;
    const double dForward = t.forward - g.forward;
    const double dStarboard = t.starboard - g.starboard;
    transducer_.east = m.antennaEast + std::sin(h) * dForward + std::cos(h) * dStarboard;
    transducer_.north = m.antennaNorth + std::cos(h) * dForward - std::sin(h) * dStarboard;
    transducer_.depth = t.down - m.heave;
    pitchRad_ = PitchCompensated(stabilisationFlags) ? 0.0 : pitch;
    headingRad_ = h;
    rollCompensated_ = RollCompensated(stabilisationFlags);
}

BeamSolver::Launch BeamSolver::BeamLaunch(double angleDeg, double beamRollDeg) const {
    const double rho = rollCompensated_ ? 0.0 : beamRollDeg * kRad - sensorInstall_.roll;
    const double alpha = std::asin(std::sin(rho) / std::cos(pitchRad_)) + transducerInstall_.roll;
    const double t = angleDeg * kRad - alpha;
    const double u = pitchRad_ + transducerInstall_.pitch;
    const double across = std::sin(t);
    const double along = std::cos(t) * std::sin(u);
    const double down = std::cos(t) * std::cos(u);
    const double horizontal = std::hypot(across, along);
    Launch launch;
    launch.fromVertical = std::atan2(horizontal, down);
    if (horizontal > 0) {
        const double a = across / horizontal;
        const double l = along / horizontal;
        const double g = headingRad_ + transducerInstall_.yaw;
        launch.unitEast = std::cos(g) * a + std::sin(g) * l;
        launch.unitNorth = std::cos(g) * l - std::sin(g) * a;
    }
    return launch;
}

double BeamSolver::RayStartDepth() const {
    // A transducer at or above the surface has its rays traced from the top of the profile.
    return transducer_.depth >= 0.0000001 ? transducer_.depth : profile_.Points().front().depth;
}

std::optional<GridPoint> BeamSolver::Along(const Launch& launch, const RayPath& ray, double tau) const {
    const auto p = ray.At(tau);
    if (!p)
        return std::nullopt;
    return GridPoint{transducer_.east + p->horizontal * launch.unitEast,
                     transducer_.north + p->horizontal * launch.unitNorth, transducer_.depth + p->depth};
}

std::optional<double> BeamSolver::OneWayTime(double angleDeg, double beamRollDeg, double maxTime) const {
    const Launch launch = BeamLaunch(angleDeg, beamRollDeg);
    if (!(launch.fromVertical < std::numbers::pi / 2))
        return std::nullopt;
    const RayPath ray(profile_, RayStartDepth(), launch.fromVertical);
    // Height of the beam above the floor below it (negative while it is still in the water).
    const auto above = [&](double tau, double& out) {
        const auto p = Along(launch, ray, tau);
        if (!p)
            return false;
        out = p->depth - floor_.Depth(p->east, p->north);
        return true;
    };
    double a = 0, fa = 0;
    above(0.0, fa);
    if (!(fa < 0))
        return std::nullopt;

    // March out in steps a fraction of the time to a flat floor, so that the first crossing is found
    // even over a rough floor, then close in on it.
    const double guess = -fa / (ray.StartVelocity() * std::max(std::cos(launch.fromVertical), 0.05));
    double step = std::clamp(guess / 8.0, 1e-5, 0.05);
    double b = 0, fb = 0;
    bool bracketed = false;
    while (a < maxTime) {
        b = std::min(a + step, maxTime);
        if (!above(b, fb))
            return std::nullopt;
        if (fb >= 0) {
            bracketed = true;
            break;
        }
        a = b;
        fa = fb;
        if (a > 2.0 * guess)
            step *= 2.0;
    }
    if (!bracketed)
        return std::nullopt;
    if (fb == 0)
        return b;

    // Regula falsi with the Illinois modification.
    double c = b;
    int side = 0;
    for (int i = 0; i < 200; ++i) {
        c = (a * fb - b * fa) / (fb - fa);
        double fc = 0;
        if (!above(c, fc))
            return std::nullopt;
        if (std::fabs(fc) < 1e-10 || b - a < 1e-14)
            break;
        if ((fc > 0) == (fb > 0)) {
            b = c;
            fb = fc;
            if (side == -1)
                fa /= 2;
            side = -1;
        } else {
            a = c;
            fa = fc;
            if (side == 1)
                fb /= 2;
            side = 1;
        }
    }
    return c;
}

}  // namespace sonarsim
