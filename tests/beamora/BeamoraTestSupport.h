#pragma once
// Small helpers shared by the positioning tests.

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "beamora/Beamora.h"

namespace beamora_test {

inline constexpr double kDeg = beamora::kRadiansPerDegree;

// (depth, velocity) pairs, depth first as in profile files.
using Profile = std::vector<std::pair<double, double>>;

// The caller's fixed array of profile points; on the heap, it is 24 kB.
struct SvpArray {
    CSvpData points[CBeamora::kMaxProfilePoints];
};

inline std::unique_ptr<SvpArray> MakeSvpArray(const Profile& profile) {
    auto svp = std::make_unique<SvpArray>();
    for (std::size_t i = 0; i < profile.size() && i < CBeamora::kMaxProfilePoints; ++i) {
        svp->points[i].depth = profile[i].first;
        svp->points[i].velocity = profile[i].second;
    }
    return svp;
}

inline bool LoadProfile(CBeamora& beamora, const Profile& profile) {
    return beamora.SetSVP(MakeSvpArray(profile)->points, static_cast<int>(profile.size()));
}

struct Sounding {
    double easting = 0.0;
    double northing = 0.0;
    double depth = 0.0;
    double across = 0.0;
};

inline Sounding Position(CBeamora& beamora, double angleDeg, double time) {
    Sounding s;
    beamora.PotitonOneBeam(angleDeg, time, s.easting, s.northing, s.depth, s.across);
    return s;
}

// CBeamora is large (the profile arrays); tests keep theirs on the heap.
inline std::unique_ptr<CBeamora> MakeBeamora() {
    return std::make_unique<CBeamora>();
}

}  // namespace beamora_test
