#include "beamora/InstallPara.h"

#include "beamora/BeamoraConstants.h"

namespace {

float Radians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * beamora::kRadiansPerDegree);
}

}  // namespace

CInstallPara::CInstallPara() : x(0.0f), y(0.0f), z(0.0f), roll(0.0f), pitch(0.0f), yaw(0.0f), latency(0.0f) {}

CInstallPara::CInstallPara(float px, float py, float pz, float rollDeg, float pitchDeg, float yawDeg,
                           float latencyS)
    : x(px),
      y(py),
      z(pz),
      roll(Radians(rollDeg)),
      pitch(Radians(pitchDeg)),
      yaw(Radians(yawDeg)),
      latency(latencyS) {}
