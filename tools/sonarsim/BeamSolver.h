#pragma once
// Travel times of the beams: for the vessel's position and motion as the receiving side will see them
// at a ping, finds the one-way time after which each beam, positioned the way the survey programs
// position it, lies exactly on the sea floor.
//
// The positioning chain modelled here:
//  - transducer position: the lever arms of transducer and antenna turned by the motion sensor's roll
//    and pitch (less the sensor's mounting angles; the roll taken in the pitched frame,
//    r′ = asin(sin r / cos p)) and by the heading; its depth is the turned transducer arm less heave;
//  - beam direction: with ρ the beam's roll and π′ the pitch (both less the sensor's mounting angles,
//    and 0 when the sonar reports that it compensated them), α = asin(sin ρ / cos π′) + the
//    transducer's mounting roll, t = beam angle − α and u = π′ + the transducer's mounting pitch, the
//    beam leaves along (across, along, down) = (sin t, cos t·sin u, cos t·cos u), turned to the grid by
//    the heading plus the transducer's mounting yaw;
//  - the ray through the water from the transducer depth (from the top of the profile when the
//    transducer is not below the surface), bent by the velocity layers;
//  - the depth of the sounding is the transducer depth plus the depth the ray gained.

#include <optional>

#include "tools/sonarsim/RayPath.h"
#include "tools/sonarsim/SeaFloor.h"
#include "tools/sonarsim/SonarPackets.h"
#include "tools/sonarsim/SoundVelocityProfile.h"

namespace sonarsim {

// An installation as the receiving side holds it: lengths and angles (radians) in single precision.
struct ChainInstall {
    double x = 0, y = 0, z = 0;
    double roll = 0, pitch = 0, yaw = 0;
    static ChainInstall From(const InstallOffsets& o);
};

// The vessel at the ping time, as interpolated from the decoded sensor samples.
struct PingMotion {
    double antennaEast = 0, antennaNorth = 0;
    double roll = 0, pitch = 0, heave = 0, heading = 0;  // degrees, degrees, metres, degrees
};

struct GridPoint {
    double east = 0, north = 0, depth = 0;
};

// Stabilisation flags of a ping: bit 0 or bit 3 roll compensated, bit 1 pitch compensated.
inline bool RollCompensated(unsigned flags) {
    return (flags & 0x09u) != 0;
}
inline bool PitchCompensated(unsigned flags) {
    return (flags & 0x02u) != 0;
}

class BeamSolver {
  public:
    BeamSolver(const SeaFloor& floor, const SoundVelocityProfile& profile, const ChainInstall& transducer,
               const ChainInstall& antenna, const ChainInstall& motionSensor);

    // Sets the vessel for the next beams: transducer position and the pitch, heading and flags.
    void SetPing(const PingMotion& motion, unsigned stabilisationFlags);

    // One-way time (s) after which the beam at `angleDeg` (the angle exactly as the receiver decodes
    // it), positioned with the beam roll `beamRollDeg`, reaches the sea floor; nothing when it does not
    // within `maxTime` (it turns back up, or the floor lies above the transducer).
    std::optional<double> OneWayTime(double angleDeg, double beamRollDeg, double maxTime = 2.0) const;

  private:
    struct Launch {
        double fromVertical = 0;             // radians
        double unitEast = 0, unitNorth = 0;  // horizontal direction on the grid
    };
    Launch BeamLaunch(double angleDeg, double beamRollDeg) const;
    double RayStartDepth() const;
    std::optional<GridPoint> Along(const Launch& launch, const RayPath& ray, double tau) const;

    const SeaFloor& floor_;
    const SoundVelocityProfile& profile_;
    ChainInstall transducerInstall_, antennaInstall_, sensorInstall_;
    GridPoint transducer_;
    double pitchRad_ = 0;    // π′ of the beams, radians
    double headingRad_ = 0;  // heading, radians
    bool rollCompensated_ = false;
};

}  // namespace sonarsim
