#pragma once
// A point of three coordinates in metres: grid easting, northing and depth (positive down) for
// positions, or starboard, forward and down offsets in the vessel frame.

#include "beamora/BeamoraExport.h"

class BEAMORA_API CFPoint {
  public:
    CFPoint();
    CFPoint(double px, double py, double pz);
    CFPoint(const CFPoint&) = default;
    CFPoint& operator=(const CFPoint&) = default;

    double x;
    double y;
    double z;
};
