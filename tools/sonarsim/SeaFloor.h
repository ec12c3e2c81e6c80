#pragma once
// The synthetic sea floor: a sloping plane with a Gaussian seamount on it. Depths are metres, positive
// down, below the level at which the vessel's reference point sits when the heave is zero.

namespace sonarsim {

struct SeaFloorParams {
    double originEast = 0, originNorth = 0;  // where the plane has depthAtOrigin
    double depthAtOrigin = 40.0;
    double slopeEast = 0.0;                // metres of depth gained per metre eastward
    double slopeNorth = 0.0;               // ... per metre northward
    double mountEast = 0, mountNorth = 0;  // seamount centre
    double mountHeight = 0.0;              // rise of the summit above the plane, m
    double mountWidth = 50.0;              // standard deviation of the Gaussian, m
};

class SeaFloor {
  public:
    explicit SeaFloor(const SeaFloorParams& p = {}) : p_(p) {}

    double Depth(double east, double north) const;

  private:
    SeaFloorParams p_;
};

}  // namespace sonarsim
