#include "quillfen/SampleLists.h"

#include <cmath>

#include "geodesy/CoordinateCal.h"

namespace quillfen {
namespace {

constexpr double kPi = 3.14159265;  // the value the course has always been computed with
constexpr double kKnotsPerMetrePerSecond = 1.944;
constexpr double kStandingStill = 0.01;  // metres moved in either direction that count as none

}  // namespace

void SampleLists::Reset() {
    attitudes.clear();
    fixes.clear();
    pings.clear();
    storedBeams.clear();
    headings.clear();
    soundVelocities.clear();
    beamCount = static_cast<int>(kBeamSlots);
    lastPingModel.clear();
    refused = 0;
    lastAttitude_ = lastFix_ = lastHeading_ = lastSoundVelocity_ = 0;
    lastPing_[0] = lastPing_[1] = 0;
}

bool SampleLists::Admit(const ClockReading& clock, std::int64_t& lastTime, TimeHead& out) {
    if (!ClockValid(clock)) {
        ++refused;
        return false;
    }
    out = ShiftToLocal(clock);
    const std::int64_t micros = out.EpochMicros();
    if (micros - lastTime < kDuplicateMicros) {
        ++refused;
        return false;
    }
    lastTime = micros;
    return true;
}

bool SampleLists::AddAttitude(const ClockReading& clock, double pitch, double roll, double heave) {
    RawAttitude a;
    if (!Admit(clock, lastAttitude_, a.time))
        return false;
    a.values[0] = Finite(pitch);
    a.values[1] = Finite(roll);
    a.values[2] = Finite(heave);
    attitudes.push_back(a);
    return true;
}

bool SampleLists::AddHeading(const ClockReading& clock, double heading) {
    RawHeading h;
    if (!Admit(clock, lastHeading_, h.time))
        return false;
    h.heading = Finite(heading);
    headings.push_back(h);
    return true;
}

bool SampleLists::AddAttitudeAndHeading(const ClockReading& clock, double pitch, double roll, double heave,
                                        double heading) {
    if (!AddAttitude(clock, pitch, roll, heave))
        return false;
    RawHeading h;
    h.time = attitudes.back().time;
    h.heading = Finite(heading);
    lastHeading_ = h.time.EpochMicros();
    headings.push_back(h);
    return true;
}

bool SampleLists::AddFix(const ClockReading& clock, const FixReading& reading) {
    // Written so that a value that is not a number is refused as well.
    if (!(std::fabs(reading.latitude) <= 90.0) || !(std::fabs(reading.longitude) <= 180.0)) {
        ++refused;
        return false;
    }
    RawFix f;
    if (!Admit(clock, lastFix_, f.time))
        return false;
    f.latitude = reading.latitude;
    f.longitude = reading.longitude;
    f.height = Finite(reading.height);
    f.quality = reading.quality;
    f.satellites = reading.satellites;
    f.hdop = FiniteFloat(reading.hdop);
    coordinates_.GeoToGrid(f.latitude, f.longitude, f.height, f.northing, f.easting, f.gridHeight);
    f.northing = Finite(f.northing);
    f.easting = Finite(f.easting);
    f.gridHeight = Finite(f.gridHeight);

    if (!fixes.empty()) {
        const RawFix& previous = fixes.back();
        const double dE = f.easting - previous.easting;
        const double dN = f.northing - previous.northing;
        if (std::fabs(dE) > kStandingStill || std::fabs(dN) > kStandingStill) {
            f.course = std::atan2(dE, dN) * 180.0 / kPi;
            if (f.course < 0.0)
                f.course += 360.0;
            const double dt = f.time.absolute - previous.time.absolute;
            if (dt > kDuplicateInterval)
                f.speed = Finite(std::hypot(dE, dN) * kKnotsPerMetrePerSecond / dt);
        }
    }
    f.counter = static_cast<int>(fixes.size()) + 1;
    fixes.push_back(f);
    return true;
}

bool SampleLists::AddSoundVelocity(const ClockReading& clock, double velocity) {
    RawSoundVelocity s;
    if (!Admit(clock, lastSoundVelocity_, s.time))
        return false;
    s.velocity = Finite(velocity);
    soundVelocities.push_back(s);
    return true;
}

RawPing* SampleLists::BeginPing(const ClockReading& clock, int head) {
    TimeHead time;
    if (head < 0 || head > 1 || !Admit(clock, lastPing_[head], time))
        return nullptr;
    RawPing& p = pings.emplace_back();
    p.head = head;
    p.time = time;
    return &p;
}

PingBeams& SampleLists::StoreBeams(RawPing& ping) {
    ping.beams.store = BeamStore::Stored;
    ping.beams.at = storedBeams.size();
    return storedBeams.emplace_back();
}

}  // namespace quillfen
