#include "tools/sonarsim/VesselMotion.h"

#include <cmath>
#include <numbers>

namespace sonarsim {

namespace {

double Swell(double amplitude, double period, double phase, double seconds) {
    if (amplitude == 0.0 || period <= 0.0)
        return 0.0;
    const double w = 2.0 * std::numbers::pi / period;
    return amplitude *
           (std::sin(w * seconds + phase) + 0.25 * std::sin(w / 0.41 * seconds + 2.0 * phase + 1.3));
}

}  // namespace

MotionState VesselMotion::At(double seconds) const {
    MotionState m;
    m.roll = Swell(p_.rollAmplitude, p_.rollPeriod, 0.0, seconds);
    m.pitch = Swell(p_.pitchAmplitude, p_.pitchPeriod, 0.9, seconds);
    m.heave = Swell(p_.heaveAmplitude, p_.heavePeriod, 2.1, seconds);
    m.yaw = Swell(p_.yawAmplitude, p_.yawPeriod, 0.4, seconds);
    return m;
}

}  // namespace sonarsim
