#pragma once
// The records that carry what the sonar reports, from the decoders through the ping processing to
// the user interface and the recorder. Times are "epoch times": seconds since 1970-01-01 00:00:00 of
// the sonar's own clock, with no time-zone conversion anywhere.

#include <array>
#include <cstdint>

namespace platform {
class Clock;
}

namespace marivane {

inline constexpr int kMaxBeams = 512;

struct PingRecord {
    std::uint32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    float second = 0.0f;  // whole seconds plus fraction
    double time = 0.0;    // epoch time of the ping
    std::uint32_t pingNumber = 0;
    std::uint32_t beamCount = 0;  // beams used, at most kMaxBeams
    double surfaceSoundVelocity = 0.0;
    float pingRate = 0.0f;                // pings per second
    std::uint8_t beamSpacingMode = 0;     // 0 equi-distant, otherwise equi-angle
    std::uint8_t stabilisationFlags = 0;  // bit 0 or 3 roll compensated, bit 1 pitch, bit 2 third flag
    std::int32_t deviceNumber = 0;
    std::array<float, kMaxBeams> travelTime{};  // one-way, seconds
    std::array<float, kMaxBeams> angle{};       // degrees from the vertical, positive to starboard
    std::uint8_t head = 0;                      // 0 first head, 1 second head
    std::uint32_t tilted = 0;                   // 1 when |tilt| >= 0.1 degrees
    std::int32_t tilt = 0;                      // whole degrees, truncated toward zero
    float openingAngle = 0.0f;                  // degrees
    char model[8] = {};                         // model text, always zero-terminated (at most 7 characters)
};

struct GnssFix {
    std::uint32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double seconds = 0.0;
    double time = 0.0;
    double latitude = 0.0, longitude = 0.0;  // decimal degrees, south and west negative
    double height = 0.0;                     // ellipsoidal: altitude plus geoid separation
    char latitudeHemisphere = 'N', longitudeHemisphere = 'E';
    double easting = 0.0, northing = 0.0, gridHeight = 0.0;
    std::uint32_t quality = 0;
    std::uint32_t satellites = 0;
    double hdop = 0.0;
};

struct AttitudeSample {
    double time = 0.0;
    double roll = 0.0;   // degrees, starboard down positive
    double pitch = 0.0;  // degrees, bow up positive
    double heave = 0.0;  // metres, up positive
};

struct HeadingSample {
    double time = 0.0;
    double heading = 0.0;  // degrees clockwise from north
};

struct PositionSample {
    double time = 0.0;
    double easting = 0.0, northing = 0.0;  // GNSS antenna, project grid
};

// Also the record of the track file, byte for byte (4 little-endian doubles).
struct TrackPoint {
    double antennaEasting = 0.0, antennaNorthing = 0.0;
    double transducerEasting = 0.0, transducerNorthing = 0.0;
};
static_assert(sizeof(TrackPoint) == 32);

struct BeamSolution {
    double easting = 0.0, northing = 0.0;
    double depth = 0.0;        // positive down
    double acrossTrack = 0.0;  // positive to starboard
    std::uint8_t valid = 0;
};

struct PositionedPing {
    std::uint32_t pingNumber = 0;
    float pingRate = 0.0f;
    double time = 0.0;
    std::array<BeamSolution, kMaxBeams> solutions{};
};

struct SwathEdge {
    double time = 0.0;
    double portEasting = 0.0, portNorthing = 0.0;
    double starboardEasting = 0.0, starboardNorthing = 0.0;
};

// When each stream was last accepted, as local seconds of day of the computer (0..86399).
struct LastSeenStamps {
    std::uint32_t pingHead1 = 0;
    std::uint32_t pingHead2 = 0;
    std::uint32_t heading = 0;
    std::uint32_t attitude = 0;
    std::uint32_t gnss = 0;
    std::uint32_t timeSignal = 0;
    std::int32_t gnssQuality = -1;  // -1 after connecting, until a fix arrives
};

// Seconds from 1970-01-01 to the given date, plus secondsOfDay; 0.0 (without the seconds) for a
// year before 1970, a month outside 1..12 or a day outside the month.
double SecondsSince1970(std::uint32_t year, std::uint32_t month, std::uint32_t day, double secondsOfDay);

// The computer's local time of day in whole seconds (0..86399): the freshness stamps.
std::uint32_t LocalSecondsOfDay(const platform::Clock& clock);
std::uint32_t LocalSecondsOfDay();

}  // namespace marivane
