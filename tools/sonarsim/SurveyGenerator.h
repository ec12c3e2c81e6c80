#pragma once
// The simulated survey as a stream of sonar packets in the order the sonar sends them.
//
// Timeline: the sensors (attitude, heading, GNSS, a time signal every whole second) start at 0 s; the
// vessel reaches the start of the first line at 1 s, when pinging begins; pinging lasts for the lines
// (or the given duration) and the sensors carry on 1.5 s longer, so that every ping is followed by
// motion data beyond the receive time of its last beam. A ping packet leaves half a ping interval
// after its ping time.
//
// Every sensor value is kept exactly as the receiving side will decode it (single precision fields;
// GNSS positions through GridToGeo, the packet's rounding and back through GeoToGrid), and each ping's
// travel times are solved against the motion interpolated from those values; see BeamSolver.

#include <cstdint>
#include <memory>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "tools/sonarsim/BeamSolver.h"
#include "tools/sonarsim/SampleHistory.h"
#include "tools/sonarsim/SeaFloor.h"
#include "tools/sonarsim/SimClock.h"
#include "tools/sonarsim/SimOptions.h"
#include "tools/sonarsim/SonarPackets.h"
#include "tools/sonarsim/SoundVelocityProfile.h"
#include "tools/sonarsim/SurveyTrack.h"
#include "tools/sonarsim/VesselMotion.h"

namespace sonarsim {

struct SimPacket {
    std::int64_t sendMicros = 0;  // from the start of the survey
    std::uint32_t type = 0;
    Bytes bytes;
};

// The sea floor of a set of options (the seamount in the middle of the lines unless placed).
SeaFloor MakeSeaFloor(const SimOptions& options);

// Angles of the built-in short-ping tables, entry i of 512, degrees in single precision.
float ShortPingTableAngle(const std::string& model, bool equiAngle, double opening, std::size_t i);

class SurveyGenerator {
  public:
    // `startSeconds`: the sonar clock at the start, seconds since 1970. The options must have passed
    // ParseCommandLine; the profile and the coordinate calculator must outlive the generator.
    SurveyGenerator(const SimOptions& options, const SoundVelocityProfile& profile,
                    const geodesy::CCoordinateCal& coordinates, std::int64_t startSeconds);

    // The next packet in sending order; false at the end.
    bool Next(SimPacket& out);

    std::size_t PacketCount() const { return events_.size(); }
    // Time of the last packet, from the start.
    std::int64_t EndMicros() const { return events_.empty() ? 0 : events_.back().micros; }
    const SeaFloor& Floor() const { return floor_; }

  private:
    enum Kind : std::uint8_t { kTime, kGnss, kHeading, kAttitude, kPing, kPing2 };
    struct Event {
        std::int64_t micros = 0;
        Kind kind = kTime;
        std::uint32_t index = 0;
    };
    struct GnssFields {
        double latitude = 0, longitude = 0;
        std::uint8_t quality = 4, satellites = 12;
        float hdop = 1, altitude = 0, separation = 0;
    };
    struct HeadAngles {
        std::vector<std::int16_t> counts;  // full pings
        std::vector<double> degrees;       // as decoded
    };

    void BuildSensors(std::int64_t sensorEnd);
    Bytes BuildPing(std::uint32_t index, bool secondHead);
    double RollAt(double pingTime, double oneWayTime) const;

    SimOptions o_;
    const SoundVelocityProfile& profile_;
    const geodesy::CCoordinateCal& coordinates_;
    SimClock clock_;
    SurveyTrack track_;
    VesselMotion motion_;
    SeaFloor floor_;
    std::unique_ptr<BeamSolver> solver1_, solver2_;
    HeadAngles angles1_, angles2_;
    float pingInterval_ = 0.25f;

    SampleHistory<3> attitude_;  // roll, pitch, heave
    SampleHistory<1> heading_;
    SampleHistory<2> position_;  // easting, northing of the antenna
    std::vector<std::int64_t> attitudeMicros_, headingMicros_, gnssMicros_, pingMicros_;
    std::vector<GnssFields> gnss_;

    std::vector<Event> events_;
    std::size_t cursor_ = 0;
};

}  // namespace sonarsim
