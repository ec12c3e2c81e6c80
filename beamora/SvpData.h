#pragma once
// One point of a sound velocity profile.

#include <cstdint>

#include "beamora/BeamoraExport.h"

class BEAMORA_API CSvpData {
  public:
    CSvpData();
    CSvpData(const CSvpData&) = default;
    CSvpData& operator=(const CSvpData&) = default;

    double velocity;    // m/s
    double depth;       // m, positive down
    std::int32_t flag;  // 1 when made; kept for the callers, not read by the positioning
};
