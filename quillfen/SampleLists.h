#pragma once
// The five sample lists a raw data file is read into, and the rules every sample passes on its way
// in, whether it came from a packet or from a text record: the date and time checks, the shift to
// local time, the duplicate rule of its list (per head for pings) and, for fixes, grid coordinates,
// course, speed and the fix counter.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "quillfen/LargeAllocator.h"
#include "quillfen/LocalTime.h"
#include "quillfen/Samples.h"

namespace geodesy {
class CCoordinateCal;
}

namespace quillfen {

// A later sample is a duplicate unless it is at least this much later than the last one accepted.
// Compared in whole microseconds, so that a sample exactly 0.0001 s later is never lost to rounding.
inline constexpr double kDuplicateInterval = 0.0001;
inline constexpr std::int64_t kDuplicateMicros = 100;

// The pings of a whole file, one contiguous list.
using PingList = std::vector<RawPing, LargeAllocator<RawPing>>;

struct FixReading {
    double latitude = 0.0, longitude = 0.0, height = 0.0;
    int quality = 0, satellites = 0;
    float hdop = 0.0f;
};

class SampleLists {
  public:
    explicit SampleLists(const geodesy::CCoordinateCal& coordinates) : coordinates_(coordinates) {}

    // Empties the lists and forgets every last time; the beam count becomes 512 again.
    void Reset();

    // Each returns whether the sample was accepted (valid clock, not a duplicate, values in range).
    bool AddAttitude(const ClockReading& clock, double pitch, double roll, double heave);
    bool AddHeading(const ClockReading& clock, double heading);
    // One reading that gives both: the attitude list's duplicate rule decides for both samples.
    bool AddAttitudeAndHeading(const ClockReading& clock, double pitch, double roll, double heave,
                               double heading);
    bool AddFix(const ClockReading& clock, const FixReading& fix);
    bool AddSoundVelocity(const ClockReading& clock, double velocity);
    // Appends a ping of head 0 or 1 with its time filled and every other field zero, for the caller to
    // fill in place; nullptr when the clock is invalid or the ping is a duplicate of its head.
    RawPing* BeginPing(const ClockReading& clock, int head);
    // Keeps the beams of `ping` (the last begun) in `storedBeams`: zeros for the caller to fill.
    PingBeams& StoreBeams(RawPing& ping);

    std::vector<RawAttitude> attitudes;
    std::vector<RawFix> fixes;
    PingList pings;
    std::vector<PingBeams, LargeAllocator<PingBeams>> storedBeams;  // of text pings
    std::vector<RawHeading> headings;
    std::vector<RawSoundVelocity> soundVelocities;

    int beamCount = static_cast<int>(kBeamSlots);  // set by text sonar records
    std::string lastPingModel;                     // model text of the last ping read

    // Samples refused by the checks or the duplicate rule, for diagnostics.
    std::uint64_t refused = 0;

  private:
    bool Admit(const ClockReading& clock, std::int64_t& lastTime, TimeHead& out);

    const geodesy::CCoordinateCal& coordinates_;
    // Epoch microseconds of the last sample accepted into each list.
    std::int64_t lastAttitude_ = 0, lastFix_ = 0, lastHeading_ = 0, lastSoundVelocity_ = 0;
    std::int64_t lastPing_[2] = {0, 0};
};

// A value read from a file as a number to keep: anything that is not a finite number reads as 0.
inline double Finite(double v) {
    return v - v == 0.0 ? v : 0.0;
}

// The same in single precision: a value beyond its range reads as 0 as well (converting it would be
// undefined).
inline float FiniteFloat(double v) {
    return v >= -std::numeric_limits<float>::max() && v <= std::numeric_limits<float>::max()
               ? static_cast<float>(v)
               : 0.0f;
}

}  // namespace quillfen
