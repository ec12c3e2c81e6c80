#pragma once
// Beam positioning: turns the grid position of the GNSS antenna into the position of the transducer
// through the installation lever arms and the vessel's attitude, and positions beams (one at a time or
// a ping's beams together) from their angle and one-way travel time, either along straight rays with one
// sound velocity or by ray tracing through a sound velocity profile whose velocity varies linearly with
// depth inside each layer.
//
// Frames: vessel x to starboard, y forward, z down (metres); roll positive starboard down, pitch
// positive bow up, heave positive up; heading clockwise from north. Grid positions are easting (x) and
// northing (y); depths are positive down. Every angle of the interface is in degrees; the object holds
// radians. An object keeps all its state in itself and must be used by one thread at a time.

#include <cstdint>

#include "beamora/BeamoraConstants.h"
#include "beamora/BeamoraExport.h"
#include "beamora/FPoint.h"
#include "beamora/InstallPara.h"
#include "beamora/SvpData.h"

class BEAMORA_API CBeamora {
  public:
    static constexpr int kMaxProfilePoints = 1024;

    // Zero installations and positions, level attitude, 1500 m/s and no profile: straight rays.
    CBeamora();
    CBeamora(const CBeamora& other);
    CBeamora& operator=(const CBeamora& other);

    // Installations. The CInstallPara forms store the record as it is (angles already in radians);
    // the float forms take the angles in degrees. Getters give the angles in radians.
    void SetInstallTransducer(CInstallPara para);
    void SetInstallTransducer(float x, float y, float z, float roll, float pitch, float yaw, float latency);
    CInstallPara GetInstallTransducer();
    void SetInstallGPS(CInstallPara para);
    void SetInstallGPS(float x, float y, float z, float roll, float pitch, float yaw, float latency);
    CInstallPara GetInstallGPS();
    void SetInstallMRU(CInstallPara para);
    void SetInstallMRU(float x, float y, float z, float roll, float pitch, float yaw, float latency);
    CInstallPara GetInstallMRU();
    void SetInstallCompass(CInstallPara para);
    void SetInstallCompass(float x, float y, float z, float roll, float pitch, float yaw, float latency);
    CInstallPara GetInstallCompass();

    void SetPosGPS(CFPoint pos);
    void SetPosGPS(double x, double y, double z);
    CFPoint GetPosGPS();

    // Stores the transducer position; with a profile loaded, the profile is rebuilt from its depth.
    void SetPosTransducer(CFPoint pos);
    void SetPosTransducer(double x, double y, double z);
    CFPoint GetPosTransducer();

    // Transducer grid position from the antenna position, the lever arms and the current motion.
    // Refused with (0, 0, 0) and nothing changed when |pitch| exceeds 80 degrees, when the roll and
    // pitch have no common solution, or when a value involved is not finite. Otherwise the result is
    // stored as the transducer position (rebuilding the profile when one is loaded) and returned.
    CFPoint PosGPSToTransducer(CFPoint antenna);
    CFPoint PosGPSToTransducer();
    CFPoint PosGPSToTransducer(double x, double y, double z);
    CFPoint PosGPSToTransducer(CFPoint antenna, double roll, double pitch, double heave, double heading);
    CFPoint PosGPSToTransducer(double x, double y, double z, double roll, double pitch, double heave,
                               double heading);

    // Degrees, degrees, metres, degrees.
    void SetMotion(double roll, double pitch, double heave, double heading);
    // Whether the sonar has already removed roll and pitch from the beam angles.
    void SetRealtimeStabilized(bool roll, bool pitch, bool third);

    // Snell's law across a velocity change: the angle (degrees) of a beam of angle `angle` at velocity
    // v1 once it travels at v2. 0 when v1 < 1, when there is no refracted beam, or when an input is not
    // finite.
    double SsvToOneBeam(double v1, double angle, double v2);

    // One sound velocity for straight rays; drops a loaded profile.
    void SetAsv(double c);
    void SetTide(double t);

    // Loads points 0..n-1 of `svp` (depths increasing) and processes them for the current transducer
    // depth. n outside 2..1024 drops any loaded profile and returns false.
    bool SetSVP(const CSvpData (&svp)[kMaxProfilePoints], int n);

    // Positions one beam. `angle`: degrees across track from the transducer's vertical, positive to
    // starboard; `time`: one-way travel time in seconds. Writes the grid easting and northing, the depth
    // (transducer depth + depth along the ray + tide) and the signed horizontal distance. Writes nothing
    // when the pitch used exceeds 80 degrees. A beam without a position gets the transducer's easting and
    // northing, depth beamora::kRejectedDepth and across 0; no output is ever NaN or infinite.
    void PotitonOneBeam(double angle, double time, double& easting, double& northing, double& depth,
                        double& across);

    // Positions `count` beams of one ping at once: beam i gives the same outputs as
    //   SetMotion(roll[i], pitch, heave, heading); PotitonOneBeam(angle[i], time[i], ...)
    // with the pitch, heave and heading last set, and leaves the object as that sequence would (its roll
    // is roll[count - 1]). `roll` (degrees, one per beam) may be null: every beam then uses the roll last
    // set. Rays through a profile are traced together, layer by layer, which is several times faster
    // than one beam at a time. Writes nothing when the pitch used exceeds 80 degrees.
    void PotitonBeams(int count, const double* angle, const double* time, const double* roll, double* easting,
                      double* northing, double* depth, double* across);

  private:
    // Rebuilds the processed profile so that it starts at the transducer depth.
    void SVPPostProcess();
    // Traces a ray leaving the transducer at `angle` (radians from the vertical, signed) for `time`
    // seconds; writes its depth below the transducer and its signed horizontal distance. False when the
    // ray has no end point (see kRejectedDepth).
    bool AcousticRayTrace(double angle, double time, double& z, double& horizontal);

    CInstallPara transducer_;
    CInstallPara gps_;
    CInstallPara mru_;
    CInstallPara compass_;
    CFPoint posGPS_;
    CFPoint posTransducer_;
    double roll_ = 0.0;     // radians
    double pitch_ = 0.0;    // radians
    double heave_ = 0.0;    // metres
    double heading_ = 0.0;  // radians
    double asv_ = 1500.0;   // m/s
    double tide_ = 0.0;     // metres
    bool svpReady_ = false;
    bool rollStabilized_ = false;
    bool pitchStabilized_ = false;
    bool thirdFlag_ = false;

    // The profile as loaded.
    std::uint32_t inputCount_ = 0;
    double inputDepth_[kMaxProfilePoints] = {};
    double inputVelocity_[kMaxProfilePoints] = {};
    // Coefficients of the loaded profile's layers (as for the processed profile below), worked out once
    // by SetSVP: below the transducer the processed layers are loaded layers and are copied from here.
    double inputGradient_[kMaxProfilePoints] = {};
    double inputRatio_[kMaxProfilePoints] = {};
    double inputVerticalTime_[kMaxProfilePoints] = {};
    double inputSquareStep_[kMaxProfilePoints] = {};
    double inputThicknessSum_[kMaxProfilePoints] = {};

    // The processed profile: point 0 at the transducer depth, then the deeper loaded points.
    std::uint32_t layerCount_ = 0;
    double depth_[kMaxProfilePoints] = {};
    double velocity_[kMaxProfilePoints] = {};
    // Work area for the grazing angle at each point; zeroed when the profile is rebuilt. The tracer
    // carries the sine of the grazing angle from layer to layer instead and does not write it.
    double angleAtTop_[kMaxProfilePoints] = {};
    // Per layer j (between points j and j + 1): velocity gradient (1/s), velocity ratio c[j+1] / c[j],
    // time of a vertical ray through it; per point: depth below point 0. A layer that cannot be traced
    // has NaN gradient, ratio and vertical time.
    double gradient_[kMaxProfilePoints] = {};
    double ratio_[kMaxProfilePoints] = {};
    double verticalTime_[kMaxProfilePoints] = {};
    double relDepth_[kMaxProfilePoints] = {};
    // Per layer, the two terms from which the tracer finds how an oblique ray crosses it:
    // c[j+1]² - c[j]² (m²/s²; NaN for a layer that cannot be traced) and
    // (z[j+1] - z[j]) (c[j] + c[j+1]) (m²/s).
    double squareStep_[kMaxProfilePoints] = {};
    double thicknessSum_[kMaxProfilePoints] = {};

    // Intermediate values of the last beam positioned, kept for inspection in a debugger.
    double rayTime_ = 0.0;          // time accumulated over the layers crossed
    double rayHorizontal_ = 0.0;    // horizontal distance accumulated over the layers crossed
    double layerTime_ = 0.0;        // time to cross the whole layer where the ray ends (0 below the last)
    double layerHorizontal_ = 0.0;  // horizontal distance covered crossing that layer
    double raySide_ = 1.0;          // -1 for a ray to port, 1 otherwise
    double grazingStart_ = 0.0;     // grazing angle at the transducer
    double grazingEnd_ = 0.0;       // grazing angle at the end of the ray
    double velocityEnd_ = 0.0;      // velocity at the end of the ray
    double timeInLayer_ = 0.0;      // time spent in the layer where the ray ends
    double pathInLayer_ = 0.0;      // straight path length in that layer (constant velocity)
    double beamTilt_ = 0.0;         // signed angle of the beam from the vertical
    double beamAzimuth_ = 0.0;      // direction of the beam in the horizontal plane from across-track
};
