#include "beamora/Beamora.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "beamora/RayTracing.h"

namespace {

using beamora::kDegreesPerRadian;
using beamora::kRadiansPerDegree;

// Largest pitch (80 degrees) for which the attitude is used.
constexpr double kMaxPitch = 1.396263401595463;
constexpr double kHalfPi = 1.5707963267948966;
// The ray tracer measures grazing angles from this rounded right angle, as existing survey data were
// processed: a ray at w from the vertical leaves at θ0 = kHalfPiRounded - |w|. The tracer works with
// sin θ0 = cos(|w| - ε) = cos w + ε sin |w| and cos θ0 = sin(|w| - ε) = sin |w| - ε cos w, where ε is
// the excess of the rounded value over π/2 (1.03e-13; its square is below the precision of a double).
constexpr double kHalfPiRounded = 1.570796326795;
constexpr double kRightAngleExcess = kHalfPiRounded - kHalfPi;
// Rays closer than this to the vertical are traced as vertical rays.
constexpr double kVerticalRay = 1e-12;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Beams handled together by PotitonBeams: enough to fill the tracer's groups, little stack.
constexpr int kBeamBlock = 64;

bool Finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// The outputs of a beam that has no position.
void WriteRejected(const CFPoint& transducer, double& easting, double& northing, double& depth,
                   double& across) {
    easting = std::isfinite(transducer.x) ? transducer.x : 0.0;
    northing = std::isfinite(transducer.y) ? transducer.y : 0.0;
    depth = beamora::kRejectedDepth;
    across = 0.0;
}

}  // namespace

CBeamora::CBeamora() = default;
CBeamora::CBeamora(const CBeamora& other) = default;
CBeamora& CBeamora::operator=(const CBeamora& other) = default;

void CBeamora::SetInstallTransducer(CInstallPara para) {
    transducer_ = para;
}

void CBeamora::SetInstallTransducer(float x, float y, float z, float roll, float pitch, float yaw,
                                    float latency) {
    transducer_ = CInstallPara(x, y, z, roll, pitch, yaw, latency);
}

CInstallPara CBeamora::GetInstallTransducer() {
    return transducer_;
}

void CBeamora::SetInstallGPS(CInstallPara para) {
    gps_ = para;
}

void CBeamora::SetInstallGPS(float x, float y, float z, float roll, float pitch, float yaw, float latency) {
    gps_ = CInstallPara(x, y, z, roll, pitch, yaw, latency);
}

CInstallPara CBeamora::GetInstallGPS() {
    return gps_;
}

void CBeamora::SetInstallMRU(CInstallPara para) {
    mru_ = para;
}

void CBeamora::SetInstallMRU(float x, float y, float z, float roll, float pitch, float yaw, float latency) {
    mru_ = CInstallPara(x, y, z, roll, pitch, yaw, latency);
}

CInstallPara CBeamora::GetInstallMRU() {
    return mru_;
}

void CBeamora::SetInstallCompass(CInstallPara para) {
    compass_ = para;
}

void CBeamora::SetInstallCompass(float x, float y, float z, float roll, float pitch, float yaw,
                                 float latency) {
    compass_ = CInstallPara(x, y, z, roll, pitch, yaw, latency);
}

CInstallPara CBeamora::GetInstallCompass() {
    return compass_;
}

void CBeamora::SetPosGPS(CFPoint pos) {
    posGPS_ = pos;
}

void CBeamora::SetPosGPS(double x, double y, double z) {
    posGPS_ = CFPoint(x, y, z);
}

CFPoint CBeamora::GetPosGPS() {
    return posGPS_;
}

void CBeamora::SetPosTransducer(CFPoint pos) {
    posTransducer_ = pos;
    if (svpReady_) {
        SVPPostProcess();
    }
}

void CBeamora::SetPosTransducer(double x, double y, double z) {
    SetPosTransducer(CFPoint(x, y, z));
}

CFPoint CBeamora::GetPosTransducer() {
    return posTransducer_;
}

// The attitude is applied as a roll r' about the forward axis followed by a pitch p about the level
// starboard axis: an offset a = (x, y, z) becomes
//   starboard S = cos r' x - sin r' z
//   forward   F = sin p sin r' x + cos p y + sin p cos r' z
//   down      V = cos p sin r' x - sin p y + cos p cos r' z.
// The measured roll is the angle of the starboard axis below the horizontal, so sin(roll) = cos p sin r'.
// The horizontal difference between the transducer and antenna offsets is turned by the heading into
// easting and northing; the depth is the transducer's own down offset less heave.
CFPoint CBeamora::PosGPSToTransducer(CFPoint antenna) {
    if (std::fabs(pitch_) > kMaxPitch) {
        return CFPoint();
    }
    const double p = pitch_ - mru_.pitch;
    const double sinP = std::sin(p);
    const double cosP = std::cos(p);
    const double r = std::asin(std::sin(roll_ - mru_.roll) / cosP);
    const double sinR = std::sin(r);
    const double cosR = std::cos(r);

    const auto forward = [&](const CInstallPara& a) {
        return cosP * a.y + sinP * sinR * a.x + sinP * cosR * a.z;
    };
    const auto starboard = [&](const CInstallPara& a) { return cosR * a.x - sinR * a.z; };

    const double down = -sinP * transducer_.y + cosP * sinR * transducer_.x + cosP * cosR * transducer_.z;
    const double dF = forward(transducer_) - forward(gps_);
    const double dS = starboard(transducer_) - starboard(gps_);
    const double sinH = std::sin(heading_);
    const double cosH = std::cos(heading_);

    const CFPoint result(antenna.x + sinH * dF + cosH * dS, antenna.y + cosH * dF - sinH * dS, down - heave_);
    // No real attitude (|sin roll| > cos p) or a value that is not finite: refuse like an excessive pitch.
    if (!std::isfinite(result.x) || !std::isfinite(result.y) || !std::isfinite(result.z)) {
        return CFPoint();
    }
    posTransducer_ = result;
    if (svpReady_) {
        SVPPostProcess();
    }
    return result;
}

CFPoint CBeamora::PosGPSToTransducer() {
    return PosGPSToTransducer(posGPS_);
}

CFPoint CBeamora::PosGPSToTransducer(double x, double y, double z) {
    return PosGPSToTransducer(CFPoint(x, y, z));
}

CFPoint CBeamora::PosGPSToTransducer(CFPoint antenna, double roll, double pitch, double heave,
                                     double heading) {
    SetMotion(roll, pitch, heave, heading);
    return PosGPSToTransducer(antenna);
}

CFPoint CBeamora::PosGPSToTransducer(double x, double y, double z, double roll, double pitch, double heave,
                                     double heading) {
    SetMotion(roll, pitch, heave, heading);
    return PosGPSToTransducer(CFPoint(x, y, z));
}

void CBeamora::SetMotion(double roll, double pitch, double heave, double heading) {
    roll_ = roll * kRadiansPerDegree;
    pitch_ = pitch * kRadiansPerDegree;
    heave_ = heave;
    heading_ = heading * kRadiansPerDegree;
}

void CBeamora::SetRealtimeStabilized(bool roll, bool pitch, bool third) {
    rollStabilized_ = roll;
    pitchStabilized_ = pitch;
    thirdFlag_ = third;
}

double CBeamora::SsvToOneBeam(double v1, double angle, double v2) {
    if (v1 < 1.0) {
        return 0.0;
    }
    const double refracted = std::asin(std::sin(angle * kRadiansPerDegree) * v2 / v1) * kDegreesPerRadian;
    return std::isfinite(refracted) ? refracted : 0.0;
}

void CBeamora::SetAsv(double c) {
    asv_ = c;
    svpReady_ = false;
    inputCount_ = 0;
    layerCount_ = 0;
}

void CBeamora::SetTide(double t) {
    tide_ = t;
}

bool CBeamora::SetSVP(const CSvpData (&svp)[kMaxProfilePoints], int n) {
    if (n < 2 || n > kMaxProfilePoints) {
        svpReady_ = false;
        inputCount_ = 0;
        layerCount_ = 0;
        return false;
    }
    inputCount_ = static_cast<std::uint32_t>(n);
    for (int i = 0; i < n; ++i) {
        inputDepth_[i] = svp[i].depth;
        inputVelocity_[i] = svp[i].velocity;
    }
    for (int i = 0; i + 1 < n; ++i) {
        const beamora::trace::LayerTerms terms = beamora::trace::MakeLayer(
            inputDepth_[i], inputVelocity_[i], inputDepth_[i + 1], inputVelocity_[i + 1]);
        inputGradient_[i] = terms.gradient;
        inputRatio_[i] = terms.ratio;
        inputVerticalTime_[i] = terms.verticalTime;
        inputSquareStep_[i] = terms.squareStep;
        inputThicknessSum_[i] = terms.thicknessSum;
    }
    SVPPostProcess();
    svpReady_ = true;
    return true;
}

void CBeamora::SVPPostProcess() {
    const std::uint32_t n = inputCount_;
    if (n < 2) {
        return;
    }
    // Processed point k >= 1 is loaded point `from` + k - 1 (every layer below point 1 is a loaded
    // layer); without a point at the transducer the loaded profile is used as it is.
    const double zT = posTransducer_.z;
    std::uint32_t from = 0;
    if (zT < 0.0000001) {
        // At or above the surface: the loaded profile as it is.
        std::copy(inputDepth_, inputDepth_ + n, depth_);
        std::copy(inputVelocity_, inputVelocity_ + n, velocity_);
        layerCount_ = n;
    } else if (!(zT > 0.0) || zT >= inputDepth_[n - 1]) {
        // Below the deepest point (or not a number): one point with the deepest velocity.
        depth_[0] = zT;
        velocity_[0] = inputVelocity_[n - 1];
        layerCount_ = 1;
    } else {
        // Inside the profile: a point at the transducer, then every loaded point below it.
        std::uint32_t i = 1;
        while (i < n && !(inputDepth_[i] > zT)) {
            ++i;
        }
        if (i == n) {
            // No deeper point although the last one is not above: the depths are not numbers.
            depth_[0] = zT;
            velocity_[0] = kNaN;
            layerCount_ = 1;
        } else {
            // Linear velocity between points i - 1 and i, extended upwards when the transducer lies
            // above point 0. Points at one depth give no line and leave the layer without a velocity.
            const double span = inputDepth_[i] - inputDepth_[i - 1];
            depth_[0] = zT;
            velocity_[0] = span > 0.0 ? inputVelocity_[i - 1] + (inputVelocity_[i] - inputVelocity_[i - 1]) *
                                                                    (zT - inputDepth_[i - 1]) / span
                                      : kNaN;
            std::copy(inputDepth_ + i, inputDepth_ + n, depth_ + 1);
            std::copy(inputVelocity_ + i, inputVelocity_ + n, velocity_ + 1);
            layerCount_ = n - i + 1;
            from = i;
        }
    }

    // Layer coefficients (see beamora::trace::MakeLayer). A layer of zero or negative thickness or with a
    // velocity that is not positive has no defined ray and is marked with NaN coefficients, which the
    // tracer refuses to enter. Only a layer starting at the transducer is new; the others are loaded
    // layers whose coefficients SetSVP worked out.
    const std::uint32_t last = layerCount_ - 1;
    std::uint32_t copiedFrom = 0;
    if (from > 0 && last > 0) {
        const beamora::trace::LayerTerms terms =
            beamora::trace::MakeLayer(depth_[0], velocity_[0], depth_[1], velocity_[1]);
        gradient_[0] = terms.gradient;
        ratio_[0] = terms.ratio;
        verticalTime_[0] = terms.verticalTime;
        squareStep_[0] = terms.squareStep;
        thicknessSum_[0] = terms.thicknessSum;
        copiedFrom = 1;
    }
    if (last > copiedFrom) {
        // Processed layer k is loaded layer k + shift.
        const std::uint32_t shift = from > 0 ? from - 1 : 0;
        const std::uint32_t begin = copiedFrom + shift;
        const std::uint32_t end = last + shift;
        std::copy(inputGradient_ + begin, inputGradient_ + end, gradient_ + copiedFrom);
        std::copy(inputRatio_ + begin, inputRatio_ + end, ratio_ + copiedFrom);
        std::copy(inputVerticalTime_ + begin, inputVerticalTime_ + end, verticalTime_ + copiedFrom);
        std::copy(inputSquareStep_ + begin, inputSquareStep_ + end, squareStep_ + copiedFrom);
        std::copy(inputThicknessSum_ + begin, inputThicknessSum_ + end, thicknessSum_ + copiedFrom);
    }
    for (std::uint32_t j = 0; j <= last; ++j) {
        relDepth_[j] = depth_[j] - depth_[0];
    }
    std::fill(angleAtTop_, angleAtTop_ + layerCount_, 0.0);
}

// One ray given its signed angle from the vertical (radians). PotitonBeams traces with the same parts.
bool CBeamora::AcousticRayTrace(double angle, double time, double& z, double& horizontal) {
    if (layerCount_ == 0 || !std::isfinite(angle) || !std::isfinite(time)) {
        return false;
    }
    const beamora::trace::Profile profile{velocity_,
                                          relDepth_,
                                          gradient_,
                                          verticalTime_,
                                          squareStep_,
                                          thicknessSum_,
                                          static_cast<int>(layerCount_) - 1};
    const double side = angle < 0.0 ? -1.0 : 1.0;
    const double tilt = std::fabs(angle);
    beamora::trace::RayEnd end{};
    double p = 0.0;
    if (tilt > kVerticalRay) {
        const double sinStart = std::cos(tilt) + kRightAngleExcess * std::sin(tilt);
        const double cosStart = std::sin(tilt) - kRightAngleExcess * std::cos(tilt);
        // A ray that leaves the transducer upwards never reaches the bottom through these layers.
        if (!(sinStart >= 0.0)) {
            return false;
        }
        p = cosStart / velocity_[0];
        beamora::trace::Progress progress{};
        beamora::trace::CrossLayers(profile, 1, &p, &sinStart, &time, &progress);
        if (!beamora::trace::FinishRay(profile, p, time, progress, end)) {
            return false;
        }
        rayTime_ = progress.elapsed;
        rayHorizontal_ = side * progress.distance;
        grazingStart_ = std::atan2(sinStart, cosStart);
    } else if (beamora::trace::TraceVertical(profile, time, end)) {
        rayTime_ = time - end.timeInLayer;
        rayHorizontal_ = 0.0;
        grazingStart_ = kHalfPiRounded - tilt;
    } else {
        return false;
    }
    z = end.depth;
    horizontal = side * end.horizontal;
    layerTime_ = end.layerTime;
    layerHorizontal_ = side * end.layerHorizontal;
    raySide_ = side;
    grazingEnd_ = std::atan2(end.sinEnd, p * end.velocityEnd);
    velocityEnd_ = end.velocityEnd;
    timeInLayer_ = end.timeInLayer;
    pathInLayer_ = end.pathInLayer;
    return true;
}

void CBeamora::PotitonOneBeam(double angle, double time, double& easting, double& northing, double& depth,
                              double& across) {
    PotitonBeams(1, &angle, &time, nullptr, &easting, &northing, &depth, &across);
}

// The beam leaves the transducer in its across-track plane at angle t = β - α from the vertical, where
// α is the transducer's roll in the across-track plane; the pitch u then tilts that plane about the
// starboard axis. The beam direction (starboard, forward, down) is (sin t, cos t sin u, cos t cos u):
// its angle w from the vertical, signed like t, has
//   cos w = cos t cos u,   sin |w| = √(sin² t cos² u + sin² u)   (the horizontal part's length),
// and its horizontal direction v from across-track, tan v = sin u / tan t, has
//   cos v = |sin t| / sin |w|,   sin v = ±sin u cos t / sin |w|   (the sign of sin t).
// For t = 0 the beam lies in the along-track plane: w = u and v = π/2, the limit of both neighbouring
// cases. Rays through a profile are traced for a block of beams at once (beamora::trace::CrossLayers).
void CBeamora::PotitonBeams(int count, const double* angle, const double* time, const double* roll,
                            double* easting, double* northing, double* depth, double* across) {
    if (count <= 0) {
        return;
    }
    const double rollSet = roll_;
    if (roll != nullptr) {
        roll_ = roll[count - 1] * kRadiansPerDegree;
    }
    const double pitchUsed = pitchStabilized_ ? 0.0 : pitch_ - mru_.pitch;
    if (std::fabs(pitchUsed) > kMaxPitch) {
        return;
    }
    const double cosPitch = std::cos(pitchUsed);
    const auto alphaOf = [&](double rollRadians) {
        const double rho = rollStabilized_ ? 0.0 : rollRadians - mru_.roll;
        return std::asin(std::sin(rho) / cosPitch) + transducer_.roll;
    };
    const bool oneAlpha = roll == nullptr || rollStabilized_;
    const double commonAlpha = oneAlpha ? alphaOf(rollSet) : 0.0;
    const double u = pitchUsed + transducer_.pitch;
    const double sinU = std::sin(u);
    const double cosU = std::cos(u);
    const double gridTurn = transducer_.yaw + heading_;
    const double sinG = std::sin(gridTurn);
    const double cosG = std::cos(gridTurn);

    const bool traced = svpReady_ && layerCount_ != 1;
    const double straightVelocity = svpReady_ ? velocity_[0] : asv_;
    const bool straightUsable = !svpReady_ || straightVelocity > 0.0;
    const beamora::trace::Profile profile{velocity_,
                                          relDepth_,
                                          gradient_,
                                          verticalTime_,
                                          squareStep_,
                                          thicknessSum_,
                                          static_cast<int>(layerCount_) - 1};

    // Per beam of a block: how it is placed, and for oblique traced rays what the tracer needs.
    enum class Beam { Placed, Rejected, Traced };
    Beam state[kBeamBlock];
    double side[kBeamBlock], acrossShare[kBeamBlock], alongShare[kBeamBlock], dz[kBeamBlock], h[kBeamBlock];
    int tracedBeam[kBeamBlock];
    double rayP[kBeamBlock], raySin[kBeamBlock], rayTime[kBeamBlock];
    beamora::trace::Progress progress[kBeamBlock];

    for (int first = 0; first < count; first += kBeamBlock) {
        const int n = std::min(kBeamBlock, count - first);
        int rays = 0;
        for (int k = 0; k < n; ++k) {
            const int i = first + k;
            const double alpha = oneAlpha ? commonAlpha : alphaOf(roll[i] * kRadiansPerDegree);
            const double beta = angle[i] * kRadiansPerDegree;
            // NaN would steer the comparisons below into the wrong case, so refuse it here.
            if (!Finite(alpha, beta, u, time[i])) {
                state[k] = Beam::Rejected;
                continue;
            }
            const double t = beta - alpha;
            const double sinT = std::sin(t);
            const double cosT = std::cos(t);
            const double cosW = cosT * cosU;
            const double sinW = std::sqrt(sinT * sinT * cosU * cosU + sinU * sinU);  // sin |w|
            side[k] = t > 0.0 ? 1.0 : t < 0.0 ? -1.0 : (u < 0.0 ? -1.0 : 1.0);
            if (t == 0.0 || !(sinW > 0.0)) {
                acrossShare[k] = 0.0;
                alongShare[k] = 1.0;
            } else {
                acrossShare[k] = std::fabs(sinT) / sinW;
                alongShare[k] = (sinT < 0.0 ? -sinU : sinU) * cosT / sinW;
            }
            if (i == count - 1) {
                beamTilt_ = side[k] * std::atan2(sinW, cosW);
                beamAzimuth_ = t == 0.0 ? kHalfPi : std::atan(sinU / std::tan(t));
            }

            if (!traced) {
                if (!straightUsable) {
                    state[k] = Beam::Rejected;
                    continue;
                }
                const double slant = time[i] * straightVelocity;
                dz[k] = cosW * slant;
                h[k] = side[k] * sinW * slant;
                state[k] = Beam::Placed;
            } else if (sinW <= kVerticalRay) {
                double z = 0.0;
                double horizontal = 0.0;
                const bool ok = AcousticRayTrace(0.0, time[i], z, horizontal);
                state[k] = ok ? Beam::Placed : Beam::Rejected;
                dz[k] = z;
                h[k] = 0.0;
            } else {
                const double sinStart = cosW + kRightAngleExcess * sinW;
                const double cosStart = sinW - kRightAngleExcess * cosW;
                // A ray that leaves the transducer upwards never reaches the bottom through these layers.
                if (!(sinStart >= 0.0)) {
                    state[k] = Beam::Rejected;
                    continue;
                }
                tracedBeam[rays] = k;
                rayP[rays] = cosStart / velocity_[0];
                raySin[rays] = sinStart;
                rayTime[rays] = time[i];
                ++rays;
                state[k] = Beam::Traced;
            }
        }

        if (rays > 0) {
            beamora::trace::CrossLayers(profile, rays, rayP, raySin, rayTime, progress);
            for (int r = 0; r < rays; ++r) {
                const int k = tracedBeam[r];
                beamora::trace::RayEnd end{};
                if (!beamora::trace::FinishRay(profile, rayP[r], rayTime[r], progress[r], end)) {
                    state[k] = Beam::Rejected;
                    continue;
                }
                dz[k] = end.depth;
                h[k] = side[k] * end.horizontal;
                state[k] = Beam::Placed;
                if (first + k == count - 1) {
                    rayTime_ = progress[r].elapsed;
                    rayHorizontal_ = side[k] * progress[r].distance;
                    layerTime_ = end.layerTime;
                    layerHorizontal_ = side[k] * end.layerHorizontal;
                    raySide_ = side[k];
                    grazingStart_ = std::atan2(raySin[r], rayP[r] * velocity_[0]);
                    grazingEnd_ = std::atan2(end.sinEnd, rayP[r] * end.velocityEnd);
                    velocityEnd_ = end.velocityEnd;
                    timeInLayer_ = end.timeInLayer;
                    pathInLayer_ = end.pathInLayer;
                }
            }
        }

        for (int k = 0; k < n; ++k) {
            const int i = first + k;
            if (state[k] == Beam::Placed) {
                const double acrossPart = acrossShare[k] * h[k];
                const double alongPart = alongShare[k] * h[k];
                const double east = cosG * acrossPart + sinG * alongPart + posTransducer_.x;
                const double north = cosG * alongPart - sinG * acrossPart + posTransducer_.y;
                const double down = posTransducer_.z + dz[k] + tide_;
                if (Finite(east, north, down, h[k])) {
                    easting[i] = east;
                    northing[i] = north;
                    depth[i] = down;
                    across[i] = h[k];
                    continue;
                }
            }
            WriteRejected(posTransducer_, easting[i], northing[i], depth[i], across[i]);
        }
    }
}
