#pragma once
// Installation of one sensor on the vessel: lever arm (x starboard, y forward, z down, metres),
// mounting angles (radians once stored) and latency (seconds), all single precision.

#include "beamora/BeamoraExport.h"

class BEAMORA_API CInstallPara {
  public:
    CInstallPara();
    // The three angles are given in degrees and stored in radians; the other values are stored as given.
    CInstallPara(float px, float py, float pz, float rollDeg, float pitchDeg, float yawDeg, float latencyS);
    CInstallPara(const CInstallPara&) = default;
    CInstallPara& operator=(const CInstallPara&) = default;

    float x;
    float y;
    float z;
    float roll;
    float pitch;
    float yaw;
    float latency;
};
