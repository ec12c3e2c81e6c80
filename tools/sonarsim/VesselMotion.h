#pragma once
// The vessel's motion on the waves: roll, pitch and heave as a sum of two sines each, and a slow yaw
// oscillation about the course. Each motion is A·sin(2πt/P + φ) + 0.25·A·sin(2πt/(0.41·P) + φ′), so an
// amplitude of 0 switches it off.

namespace sonarsim {

struct MotionParams {
    double rollAmplitude = 0, rollPeriod = 8;    // degrees, seconds (positive starboard down)
    double pitchAmplitude = 0, pitchPeriod = 6;  // degrees, seconds (positive bow up)
    double heaveAmplitude = 0, heavePeriod = 5;  // metres, seconds (positive up)
    double yawAmplitude = 0, yawPeriod = 20;     // degrees, seconds
};

struct MotionState {
    double roll = 0, pitch = 0, heave = 0, yaw = 0;
};

class VesselMotion {
  public:
    explicit VesselMotion(const MotionParams& params = {}) : p_(params) {}
    MotionState At(double seconds) const;

  private:
    MotionParams p_;
};

}  // namespace sonarsim
