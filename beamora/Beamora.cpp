#include "beamora/Beamora.h"

#include <cmath>
#include <limits>

namespace {

using beamora::kDegreesPerRadian;
using beamora::kRadiansPerDegree;

// Largest pitch (80 degrees) for which the attitude is used.
constexpr double kMaxPitch = 1.396263401595463;
constexpr double kHalfPi = 1.5707963267948966;
// The ray tracer measures grazing angles from this rounded right angle; kept so that traced results stay
// identical to those of existing survey data.
constexpr double kHalfPiRounded = 1.570796326795;
// Rays closer than this to the vertical are traced as vertical rays.
constexpr double kVerticalRay = 1e-12;
// Layers whose gradient is not larger than this are traced as constant-velocity layers.
constexpr double kMinGradient = 1e-7;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
    SVPPostProcess();
    svpReady_ = true;
    return true;
}

void CBeamora::SVPPostProcess() {
    const std::uint32_t n = inputCount_;
    if (n < 2) {
        return;
    }
    const double zT = posTransducer_.z;
    if (zT < 0.0000001) {
        // At or above the surface: the loaded profile as it is.
        for (std::uint32_t i = 0; i < n; ++i) {
            depth_[i] = inputDepth_[i];
            velocity_[i] = inputVelocity_[i];
        }
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
            std::uint32_t k = 1;
            for (; i < n; ++i, ++k) {
                depth_[k] = inputDepth_[i];
                velocity_[k] = inputVelocity_[i];
            }
            layerCount_ = k;
        }
    }

    // Layer coefficients. With c(z) = c_j + g (z - z_j), a vertical ray takes ln(c_{j+1} / c_j) / g to
    // cross the layer (the limit (z_{j+1} - z_j) / c_j when the gradient vanishes). A layer of zero or
    // negative thickness or with a velocity that is not positive has no defined ray and is marked
    // with NaN coefficients, which the tracer refuses to enter.
    const std::uint32_t last = layerCount_ - 1;
    for (std::uint32_t j = 0; j < last; ++j) {
        const double thickness = depth_[j + 1] - depth_[j];
        const double c0 = velocity_[j];
        const double c1 = velocity_[j + 1];
        bool usable = thickness > 0.0 && c0 > 0.0 && c1 > 0.0 && std::isfinite(thickness) &&
                      std::isfinite(c0) && std::isfinite(c1);
        double g = kNaN;
        double q = kNaN;
        double tv = kNaN;
        if (usable) {
            g = (c1 - c0) / thickness;
            q = c1 / c0;
            tv = std::fabs(g) > kMinGradient ? std::log(q) / g : thickness / c0;
            usable = std::isfinite(g) && std::isfinite(q) && std::isfinite(tv);
        }
        gradient_[j] = usable ? g : kNaN;
        ratio_[j] = usable ? q : kNaN;
        verticalTime_[j] = usable ? tv : kNaN;
        relDepth_[j] = depth_[j] - depth_[0];
        angleAtTop_[j] = 0.0;
    }
    relDepth_[last] = depth_[last] - depth_[0];
    angleAtTop_[last] = 0.0;
}

// Ray tracing through layers of constant velocity gradient. With the grazing angle θ (from the
// horizontal, positive down), Snell's law keeps cos θ / c constant, so a ray entering layer j at θ_j
// leaves it at θ_{j+1} = acos(cos θ_j · c_{j+1} / c_j). Inside a layer of gradient g the ray is a circular
// arc with dθ/dt = -g cos θ, which integrates to
//   tan((θ + π/2) / 2) = tan((θ_j + π/2) / 2) · exp(-g t),
// giving the time through the layer, the end angle of a ray that stops inside it, its velocity
// c = c_j cos θ / cos θ_j, its depth (c - c_j) / g and its horizontal distance
// c_j (sin θ_j - sin θ) / (g cos θ_j). In a constant-velocity layer the ray is straight. Below the
// deepest point the last velocity and angle continue.
bool CBeamora::AcousticRayTrace(double angle, double time, double& z, double& horizontal) {
    const double b = time;
    const double side = angle < 0.0 ? -1.0 : 1.0;
    const double theta0 = kHalfPiRounded - std::fabs(angle);
    double elapsed = 0.0;
    double distance = 0.0;
    double dt = 0.0;
    double dx = 0.0;
    double thetaEnd = theta0;
    double cEnd = layerCount_ > 0 ? velocity_[0] : 0.0;
    double tau = 0.0;
    double path = 0.0;
    bool written = false;

    if (layerCount_ == 0 || !std::isfinite(angle) || !std::isfinite(b)) {
        return false;
    }
    const std::uint32_t last = layerCount_ - 1;

    if (std::fabs(angle) > kVerticalRay) {
        // A ray that leaves the transducer upwards never reaches the bottom through these layers.
        if (!(theta0 >= 0.0)) {
            return false;
        }
        angleAtTop_[0] = theta0;
        for (std::uint32_t j = 0; j < last && !written; ++j) {
            const double g = gradient_[j];
            if (std::isnan(g)) {
                return false;  // a layer that cannot be traced
            }
            const double c = velocity_[j];
            const double theta = angleAtTop_[j];
            const double cosTheta = std::cos(theta);
            const double sinTheta = std::sin(theta);
            const double cosNext = cosTheta * ratio_[j];
            if (cosNext > 1.0) {
                return false;  // total reflection: the ray cannot reach the next layer
            }
            const double thetaNext = std::acos(cosNext);
            angleAtTop_[j + 1] = thetaNext;
            if (std::fabs(g) > kMinGradient) {
                const double tanTop = std::tan((theta + kHalfPiRounded) / 2.0);
                dt = -std::log(std::tan((thetaNext + kHalfPiRounded) / 2.0) / tanTop) / g;
                dx = side * std::fabs((sinTheta - std::sin(thetaNext)) * c / (cosTheta * g));
                if (b < elapsed + dt) {
                    tau = b - elapsed;
                    thetaEnd = 2.0 * std::atan(tanTop * std::exp(-tau * g)) - kHalfPiRounded;
                    cEnd = std::cos(thetaEnd) * c / cosTheta;
                    z = (cEnd - c) / g + relDepth_[j];
                    horizontal =
                        distance + side * std::fabs((sinTheta - std::sin(thetaEnd)) / (cosTheta * g)) * c;
                    written = true;
                }
            } else {
                const double thickness = depth_[j + 1] - depth_[j];
                // A horizontal ray (sinTheta = 0) never leaves the layer: dt is infinite and it ends here.
                dt = thickness / (sinTheta * c);
                if (b < elapsed + dt) {
                    tau = b - elapsed;
                    path = tau * c;
                    thetaEnd = theta;
                    cEnd = c;
                    z = sinTheta * path + relDepth_[j];
                    horizontal = distance + side * cosTheta * path;
                    written = true;
                } else {
                    dx = side * std::fabs(thickness / std::tan(theta));
                }
            }
            if (!written && b == elapsed + dt) {
                thetaEnd = thetaNext;
                cEnd = velocity_[j + 1];
                z = relDepth_[j + 1];
                horizontal = distance + dx;
                written = true;
            }
            if (!written) {
                elapsed += dt;
                distance += dx;
            }
        }
        if (!written && b > elapsed) {
            const double theta = angleAtTop_[last];
            tau = b - elapsed;
            path = tau * velocity_[last];
            thetaEnd = theta;
            cEnd = velocity_[last];
            z = std::sin(theta) * path + relDepth_[last];
            horizontal = distance + side * std::cos(theta) * path;
            written = true;
        }
    } else {
        // Vertical ray: c(t) = c_j exp(g t) inside a gradient layer, so z = c_j (exp(g t) - 1) / g.
        horizontal = 0.0;
        for (std::uint32_t j = 0; j < last && !written; ++j) {
            const double g = gradient_[j];
            if (std::isnan(g)) {
                return false;
            }
            const double c = velocity_[j];
            if (std::fabs(g) > kMinGradient) {
                dt = verticalTime_[j];
                if (b < elapsed + dt) {
                    tau = b - elapsed;
                    cEnd = c * std::exp(tau * g);
                    z = c * std::expm1(tau * g) / g + relDepth_[j];
                    written = true;
                }
            } else {
                dt = (depth_[j + 1] - depth_[j]) / c;
                if (b < elapsed + dt) {
                    tau = b - elapsed;
                    path = tau * c;
                    cEnd = c;
                    z = path + relDepth_[j];
                    written = true;
                }
            }
            if (!written && b == elapsed + dt) {
                cEnd = velocity_[j + 1];
                z = relDepth_[j + 1];
                written = true;
            }
            if (!written) {
                elapsed += dt;
            }
        }
        if (!written && b > elapsed) {
            tau = b - elapsed;
            path = tau * velocity_[last];
            cEnd = velocity_[last];
            z = path + relDepth_[last];
            written = true;
        }
    }

    rayTime_ = elapsed;
    rayHorizontal_ = distance;
    layerTime_ = dt;
    layerHorizontal_ = dx;
    raySide_ = side;
    grazingStart_ = theta0;
    grazingEnd_ = thetaEnd;
    velocityEnd_ = cEnd;
    timeInLayer_ = tau;
    pathInLayer_ = path;
    return written;
}

// The beam leaves the transducer in its across-track plane at angle t = β - α from the vertical, where
// α is the transducer's roll in the across-track plane; the pitch u then tilts that plane about the
// starboard axis. The beam direction (starboard, forward, down) is (sin t, cos t sin u, cos t cos u):
// its angle from the vertical is w = acos(cos u cos t), signed like t, and its horizontal direction from
// across-track is v = atan(sin u / tan t). For t = 0 the beam lies in the along-track plane: w = u and
// v = π/2, the limit of both neighbouring cases.
void CBeamora::PotitonOneBeam(double angle, double time, double& easting, double& northing, double& depth,
                              double& across) {
    const double rho = rollStabilized_ ? 0.0 : roll_ - mru_.roll;
    const double pitchUsed = pitchStabilized_ ? 0.0 : pitch_ - mru_.pitch;
    if (std::fabs(pitchUsed) > kMaxPitch) {
        return;
    }
    const double alpha = std::asin(std::sin(rho) / std::cos(pitchUsed)) + transducer_.roll;
    const double beta = angle * kRadiansPerDegree;
    const double u = pitchUsed + transducer_.pitch;
    // NaN would steer the comparisons below into the wrong case, so refuse it here.
    if (!Finite(alpha, beta, u, time)) {
        WriteRejected(posTransducer_, easting, northing, depth, across);
        return;
    }
    const double t = beta - alpha;
    double w = u;
    double v = kHalfPi;
    if (beta > alpha) {
        w = std::acos(std::cos(u) * std::cos(t));
        v = std::atan(std::sin(u) / std::tan(t));
    } else if (beta < alpha) {
        w = -std::acos(std::cos(u) * std::cos(t));
        v = std::atan(std::sin(u) / std::tan(t));
    }
    beamTilt_ = w;
    beamAzimuth_ = v;

    double dz = 0.0;
    double h = 0.0;
    if (svpReady_ && layerCount_ != 1) {
        if (!AcousticRayTrace(w, time, dz, h)) {
            WriteRejected(posTransducer_, easting, northing, depth, across);
            return;
        }
    } else {
        const double c = svpReady_ ? velocity_[0] : asv_;
        if (svpReady_ && !(c > 0.0)) {
            WriteRejected(posTransducer_, easting, northing, depth, across);
            return;
        }
        const double slant = time * c;
        dz = std::cos(w) * slant;
        h = std::sin(w) * slant;
    }

    const double acrossPart = std::cos(v) * h;
    const double alongPart = std::sin(v) * h;
    const double g = transducer_.yaw + heading_;
    const double e = std::cos(g) * acrossPart + std::sin(g) * alongPart + posTransducer_.x;
    const double n = std::cos(g) * alongPart - std::sin(g) * acrossPart + posTransducer_.y;
    const double d = posTransducer_.z + dz + tide_;
    if (!Finite(e, n, d, h)) {
        WriteRejected(posTransducer_, easting, northing, depth, across);
        return;
    }
    easting = e;
    northing = n;
    depth = d;
    across = h;
}
