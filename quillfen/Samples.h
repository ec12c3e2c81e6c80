#pragma once
// The samples a raw data file is read into: five time-ordered lists (attitude, GNSS fix, ping, heading
// and sound velocity), every sample with the same date and time head. Times are the sonar's clock
// shifted 8 hours ahead (the local time the outputs show).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillfen {

inline constexpr std::size_t kBeamSlots = 512;

// Date and time of a sample. `secondMicros` is the whole seconds and the fraction in microseconds
// (0 ... 60,000,000), so that every sub-second field the writers derive from it is exact.
struct TimeHead {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::int64_t secondMicros = 0;
    double secondsOfDay = 0.0;   // hour * 3600 + minute * 60 + seconds
    double absolute = 0.0;       // seconds since 1970-01-01 00:00:00 of the shifted date and time
    std::int64_t dayNumber = 0;  // whole days since 1970-01-01 of the shifted date

    double Seconds() const { return static_cast<double>(secondMicros) * 1e-6; }
    int WholeSeconds() const { return static_cast<int>(secondMicros / 1000000); }
    // Microseconds after the whole second (0 ... 999,999).
    int FractionMicros() const { return static_cast<int>(secondMicros % 1000000); }
    // Milliseconds since the start of the day, truncated.
    std::int64_t MillisecondsOfDay() const {
        return (static_cast<std::int64_t>(hour) * 3600 + minute * 60) * 1000 + secondMicros / 1000;
    }
    // Microseconds since 1970-01-01 00:00:00, exact.
    std::int64_t EpochMicros() const {
        return (dayNumber * 86400 + static_cast<std::int64_t>(hour) * 3600 + minute * 60) * 1000000 +
               secondMicros;
    }
    // Day of the year, 1 for 1 January.
    int DayOfYear() const;
};

struct RawAttitude {
    TimeHead time;
    double values[3] = {0, 0, 0};  // pitch, roll, heave (degrees, degrees, metres)
};

struct RawHeading {
    TimeHead time;
    double heading = 0.0;  // degrees
};

struct RawFix {
    int counter = 0;  // 1 for the first accepted fix of the file
    float hdop = 0.0f;
    TimeHead time;
    double latitude = 0.0, longitude = 0.0;  // degrees, south and west negative
    double height = 0.0;                     // ellipsoidal, m
    double easting = 0.0, northing = 0.0, gridHeight = 0.0;
    double course = 0.0;  // degrees 0 ... 360
    double speed = 0.0;   // knots
    int quality = 0;
    int satellites = 0;
};

// Where the reader finds the beams of a ping again when a writer asks for them: binary pings keep
// theirs in the file (decoded on demand), text pings in a list of their own.
enum class BeamStore : std::uint8_t {
    None,         // every beam 0
    Stored,       // `at` indexes the reader's stored beams
    FullPacket,   // `at`, `length`: the ping packet in the file
    ShortPacket,  // the same, a short ping: angles from a built-in table or repeated
};
inline constexpr std::uint32_t kNoAngleBase = 0xFFFFFFFFu;

struct BeamPlace {
    std::uint64_t at = 0;
    std::uint32_t length = 0;
    // A short ping whose angles no table gives repeats those of ping `angleBase` (the last earlier
    // one whose angles are its own) below beam `angleLimit`; zeros with no such ping.
    std::uint32_t angleBase = kNoAngleBase;
    std::uint16_t angleLimit = 0;
    BeamStore store = BeamStore::None;
};

// A ping as listed: everything but its beams, which RawDataReader::DecodeBeams gives.
struct RawPing {
    std::int32_t firstInteger = 0;  // binary: the device number text as a number
    std::uint32_t pingNumber = 0;
    char model[8] = {};  // zero-terminated, at most 7 characters
    std::int32_t head = 0;
    TimeHead time;
    std::int32_t flags = 0;      // binary: the whole 16-bit ping flags
    float soundVelocity = 0.0f;  // at the transducer, m/s
    BeamPlace beams;
};

// The beams of a ping; the slots above its beam count are 0.
struct PingBeams {
    std::array<float, kBeamSlots> travelTime{};  // one-way, s
    std::array<float, kBeamSlots> angle{};       // degrees
};

struct RawSoundVelocity {
    TimeHead time;
    double velocity = 0.0;  // m/s
};

// Installation offsets as the writers use them: seven values per sensor (X, Y, Z, forward, roll,
// pitch, latency), single precision.
enum Sensor : std::size_t {
    kSonarHead1 = 0,
    kSonarHead2 = 1,
    kGnssAntenna = 2,
    kMotionSensor = 3,
    kCompass = 4
};
using SensorValues = std::array<float, 7>;
using InstallationSet = std::array<SensorValues, 5>;

// The model text of a ping as a string.
std::string ModelOf(const RawPing& ping);

}  // namespace quillfen
