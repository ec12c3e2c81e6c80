#include "marivane/acquisition/Decoders.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "beamora/Beamora.h"
#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/BeamAngleTables.h"
#include "marivane/acquisition/PacketFormat.h"
#include "marivane/acquisition/PingSink.h"
#include "marivane/acquisition/Records.h"
#include "marivane/acquisition/TrackFile.h"
#include "marivane/acquisition/WindowMessages.h"
#include "platform/Binary.h"
#include "platform/FixedText.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

using platform::LoadLE;
using platform::MessageTarget;

constexpr double kMicrosecond = 0.000001;
constexpr double kMinQueuedTime = 0.000001;

// True when the fields up to `end` lie before the packet's tail.
bool Holds(std::span<const std::uint8_t> packet, std::size_t end) {
    return packet.size() >= packet::kTailSize && end <= packet.size() - packet::kTailSize;
}

struct SonarClock {
    std::uint32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    double seconds = 0.0;  // second plus microseconds

    double SecondsOfDay() const { return hour * 3600.0 + minute * 60.0 + seconds; }
    double Epoch() const { return SecondsSince1970(year, month, day, SecondsOfDay()); }
};

// The clock fields: uint16 year, five uint8 (month, day, hour, minute, second), a reserved byte,
// uint32 microseconds.
SonarClock ReadClock(const std::uint8_t* p, std::size_t yearAt, std::size_t microsecondsAt) {
    SonarClock c;
    c.year = LoadLE<std::uint16_t>(p + yearAt);
    c.month = p[yearAt + 2];
    c.day = p[yearAt + 3];
    c.hour = p[yearAt + 4];
    c.minute = p[yearAt + 5];
    c.second = p[yearAt + 6];
    c.seconds = c.second + LoadLE<std::uint32_t>(p + microsecondsAt) * kMicrosecond;
    return c;
}

bool PingClockValid(const SonarClock& c) {
    return c.year >= 2000 && c.year <= 2220 && c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= 31 &&
           c.hour <= 23 && c.minute <= 59 && c.seconds >= 0.0 && c.seconds <= 60.0;
}

// Truncated toward zero; a value that is not a number gives 0, one beyond the int range saturates.
std::int32_t WholeDegrees(float v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2.0e9f)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2.0e9f)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

float PingRate(float interval) {
    return interval > 0.001f ? 1.0f / interval : 1.0f;
}

// The packet's model text: up to the first zero byte, all 8 bytes when there is none.
std::string ModelText(const std::uint8_t* p) {
    return platform::GetFixedText(reinterpret_cast<const char*>(p), 8);
}

// Model text of the packet, at most 7 characters so that the record's field stays terminated.
void CopyModel(char (&model)[8], const std::uint8_t* p) {
    std::memset(model, 0, sizeof model);
    for (std::size_t i = 0; i < 7 && p[i] != 0; ++i) model[i] = static_cast<char>(p[i]);
}

void FillClock(PingRecord& r, const SonarClock& c, double time) {
    r.year = c.year;
    r.month = c.month;
    r.day = c.day;
    r.hour = c.hour;
    r.minute = c.minute;
    r.second = static_cast<float>(c.seconds);
    r.time = time;
}

void FillTilt(PingRecord& r, float tilt) {
    r.tilt = WholeDegrees(tilt);
    r.tilted = std::fabs(tilt) >= 0.1f ? 1u : 0u;
}

}  // namespace

Decoders::Decoders(AcquisitionEngine& engine, const geodesy::CCoordinateCal& coordinates,
                   platform::MessageSink& sink, const platform::Clock& clock)
    : engine_(engine), coordinates_(coordinates), sink_(sink), clock_(clock) {}

bool Decoders::Decode(std::span<const std::uint8_t> packet) {
    if (packet.size() < packet::kHeaderSize)
        return false;
    switch (LoadLE<std::uint32_t>(packet.data() + packet::kOffType)) {
        case packet::kTypePingHead1:
            return DecodePing(packet, 0);
        case packet::kTypePingHead2:
            return DecodePing(packet, 1);
        case packet::kTypeShortPing:
            return DecodeShortPing(packet);
        case packet::kTypeTime:
            return DecodeTime(packet);
        case packet::kTypeGnss:
            return DecodeGnss(packet);
        case packet::kTypeHeading:
            return DecodeHeading(packet);
        case packet::kTypeAttitude:
            return DecodeAttitude(packet);
        default:
            return true;  // recorded only
    }
}

void Decoders::QueuePing(double time) {
    if (time <= kMinQueuedTime)
        return;
    engine_.pingInput.With([&](std::vector<PingRecord>& q) { q.push_back(engine_.workingPing); });
    if (processor_ != nullptr && processor_->ProcessPings() > 0) {
        sink_.Post(MessageTarget::MainFrame, WM_PING_PROCESSED, 0, 0);
    }
}

bool Decoders::DecodePing(std::span<const std::uint8_t> packet, std::uint8_t head) {
    namespace f = packet::ping;
    if (head > 1 || !Holds(packet, f::kSamples))
        return false;
    const std::uint8_t* p = packet.data();
    const std::size_t declared = LoadLE<std::uint16_t>(p + f::kBeamCount);
    const std::size_t beams = std::min<std::size_t>(declared, kMaxBeams);
    const std::size_t anglesAt = f::kSamples + 6 * (declared + (declared & 1));
    if (!Holds(packet, f::kSamples + 2 * beams) || !Holds(packet, anglesAt + 2 * beams))
        return false;

    // 1-2: time checks and the duplicate rule of this head.
    const SonarClock clock = ReadClock(p, f::kYear, f::kMicroseconds);
    if (!PingClockValid(clock))
        return false;
    const double t = clock.Epoch();
    if (t - last_.ping[head] < kDuplicateInterval)
        return false;
    last_.ping[head] = t;

    // 3-4: the working record.
    PingRecord& r = engine_.workingPing;
    FillClock(r, clock, t);
    r.pingNumber = LoadLE<std::uint32_t>(p + f::kPingNumber);
    r.beamCount = static_cast<std::uint32_t>(beams);
    r.surfaceSoundVelocity = LoadLE<float>(p + f::kSoundVelocity);
    r.pingRate = PingRate(LoadLE<float>(p + f::kPingInterval));
    r.beamSpacingMode = p[f::kSpacingMode];
    r.stabilisationFlags = p[f::kPingFlags];
    r.deviceNumber =
        platform::LeadingInt(platform::GetFixedText(reinterpret_cast<const char*>(p + f::kDeviceNumber), 8));
    CopyModel(r.model, p + f::kModel);
    r.head = head;
    FillTilt(r, LoadLE<float>(p + f::kTilt));
    r.openingAngle = LoadLE<float>(p + f::kOpeningAngle);
    const float rangeScale = LoadLE<float>(p + f::kRangeScale);
    const float angleScale = LoadLE<float>(p + f::kAngleScale);
    for (std::size_t i = 0; i < beams; ++i) {
        r.travelTime[i] = LoadLE<std::uint16_t>(p + f::kSamples + 2 * i) * rangeScale * 0.5f;
        r.angle[i] = LoadLE<std::int16_t>(p + anglesAt + 2 * i) * angleScale;
    }

    // 5-7: stamp, queue and process, snapshot.
    const std::uint32_t now = LocalSecondsOfDay(clock_);
    engine_.stamps.With([&](LastSeenStamps& s) { (head == 0 ? s.pingHead1 : s.pingHead2) = now; });
    QueuePing(t);
    engine_.currentPing.Set(r);
    sink_.Post(MessageTarget::DataPane, WM_DATA_UPDATE, kDataPing, 0);
    return true;
}

bool Decoders::DecodeShortPing(std::span<const std::uint8_t> packet) {
    namespace f = packet::shortping;
    namespace fp = packet::ping;
    if (!Holds(packet, f::kSamples))
        return false;
    const std::uint8_t* p = packet.data();
    const std::size_t beams = std::min<std::size_t>(LoadLE<std::uint16_t>(p + f::kBeamCount), kMaxBeams);
    if (!Holds(packet, f::kSamples + 2 * beams))
        return false;

    const SonarClock clock = ReadClock(p, fp::kYear, fp::kMicroseconds);
    if (!PingClockValid(clock))
        return false;
    const double t = clock.Epoch();
    if (t - last_.ping[0] < kDuplicateInterval)
        return false;

    // The head is left as it was; short pings carry no device number.
    PingRecord& r = engine_.workingPing;
    FillClock(r, clock, t);
    r.pingNumber = LoadLE<std::uint32_t>(p + fp::kPingNumber);
    r.beamCount = static_cast<std::uint32_t>(beams);
    r.surfaceSoundVelocity = LoadLE<float>(p + f::kSoundVelocity);
    r.pingRate = PingRate(LoadLE<float>(p + f::kPingInterval));
    r.beamSpacingMode = p[f::kMode];
    r.stabilisationFlags = p[f::kStabilisation];
    r.deviceNumber = 0;
    CopyModel(r.model, p + fp::kModel);
    FillTilt(r, LoadLE<float>(p + f::kTilt));
    r.openingAngle = LoadLE<float>(p + f::kOpeningAngle);
    const float rangeScale = LoadLE<float>(p + f::kRangeScale);
    for (std::size_t i = 0; i < beams; ++i) {
        r.travelTime[i] = LoadLE<std::uint16_t>(p + f::kSamples + 2 * i) * rangeScale * 0.5f;
    }
    const ShortPingAngles angles =
        ChooseShortPingAngles(ModelText(p + fp::kModel), r.beamSpacingMode, r.tilt, r.openingAngle);
    if (angles.table != nullptr) {
        for (std::size_t i = 0; i < beams; ++i) r.angle[i] = (*angles.table)[i] - angles.shift;
    }

    const std::uint32_t now = LocalSecondsOfDay(clock_);
    engine_.stamps.With([&](LastSeenStamps& s) { s.pingHead1 = now; });
    QueuePing(t);
    engine_.currentPing.Set(r);
    sink_.Post(MessageTarget::DataPane, WM_DATA_UPDATE, kDataPing, 0);
    last_.ping[0] = t;
    return true;
}

bool Decoders::DecodeGnss(std::span<const std::uint8_t> packet) {
    namespace f = packet::sensor;
    if (!Holds(packet, f::kGnssEnd))
        return false;
    const std::uint8_t* p = packet.data();
    const SonarClock clock = ReadClock(p, f::kYear, f::kMicroseconds);
    const double t = clock.Epoch();
    if (t - last_.fix < kDuplicateInterval)
        return false;
    last_.fix = t;  // also for a fix rejected below

    const double latitude = LoadLE<double>(p + f::kLatitude);
    const double longitude = LoadLE<double>(p + f::kLongitude);
    // Written so that a value that is not a number is rejected as well.
    if (!(std::fabs(latitude) <= 90.0) || !(std::fabs(longitude) <= 180.0))
        return false;

    GnssFix& fix = engine_.workingFix;
    fix.year = clock.year;
    fix.month = clock.month;
    fix.day = clock.day;
    fix.hour = clock.hour;
    fix.minute = clock.minute;
    fix.seconds = clock.seconds;
    fix.time = t;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.height = static_cast<double>(LoadLE<float>(p + f::kAltitude)) +
                 static_cast<double>(LoadLE<float>(p + f::kGeoidSeparation));
    fix.latitudeHemisphere = latitude < 0.0 ? 'S' : 'N';
    fix.longitudeHemisphere = longitude < 0.0 ? 'W' : 'E';
    coordinates_.GeoToGrid(latitude, longitude, fix.height, fix.northing, fix.easting, fix.gridHeight);
    fix.quality = p[f::kQuality];
    fix.satellites = p[f::kSatellites];
    fix.hdop = LoadLE<float>(p + f::kHdop);

    const std::uint32_t now = LocalSecondsOfDay(clock_);
    engine_.stamps.With([&](LastSeenStamps& s) {
        s.gnssQuality = static_cast<std::int32_t>(fix.quality);
        s.gnss = now;
    });
    engine_.positionInput.With([&](std::vector<PositionSample>& q) {
        q.push_back(PositionSample{t, fix.easting, fix.northing});
    });

    if (t - last_.trackPoint > kTrackPointInterval) {
        const AttitudeSample attitude = engine_.currentAttitude.Copy();
        const double heading = engine_.currentHeading.Copy();
        engine_.track.SetMotion(attitude.roll, attitude.pitch, attitude.heave, heading);
        const CFPoint transducer = engine_.track.PosGPSToTransducer(fix.easting, fix.northing, 0.0);
        const TrackPoint point{fix.easting, fix.northing, transducer.x, transducer.y};
        engine_.trackList.With([&](std::vector<TrackPoint>& list) { list.push_back(point); });
        if (track_ != nullptr)
            track_->WriteTrackPoint(point);
        sink_.Post(MessageTarget::MainFrame, WM_REFRESH_VIEWS, kRefreshChart, kRefreshAppendTrack);
        last_.trackPoint = t;
    }

    engine_.AppendFix(fix);
    sink_.Post(MessageTarget::DataPane, WM_DATA_UPDATE, kDataGnssFix, 0);
    return true;
}

bool Decoders::DecodeHeading(std::span<const std::uint8_t> packet) {
    namespace f = packet::sensor;
    if (!Holds(packet, f::kHeadingEnd))
        return false;
    const std::uint8_t* p = packet.data();
    const double t = ReadClock(p, f::kYear, f::kMicroseconds).Epoch();
    if (t - last_.heading < kDuplicateInterval)
        return false;
    const double heading = LoadLE<float>(p + f::kHeading);

    const std::uint32_t now = LocalSecondsOfDay(clock_);
    engine_.stamps.With([&](LastSeenStamps& s) { s.heading = now; });
    engine_.headingInput.With([&](std::vector<HeadingSample>& q) { q.push_back(HeadingSample{t, heading}); });
    engine_.currentHeading.Set(heading);
    sink_.Post(MessageTarget::DataPane, WM_DATA_UPDATE, kDataHeading, 0);
    last_.heading = t;
    return true;
}

bool Decoders::DecodeAttitude(std::span<const std::uint8_t> packet) {
    namespace f = packet::sensor;
    if (!Holds(packet, f::kAttitudeEnd))
        return false;
    const std::uint8_t* p = packet.data();
    const double t = ReadClock(p, f::kYear, f::kMicroseconds).Epoch();
    if (t - last_.attitude < kDuplicateInterval)
        return false;
    const AttitudeSample sample{t, LoadLE<float>(p + f::kRoll), LoadLE<float>(p + f::kPitch),
                                LoadLE<float>(p + f::kHeave)};

    const std::uint32_t now = LocalSecondsOfDay(clock_);
    engine_.stamps.With([&](LastSeenStamps& s) { s.attitude = now; });
    engine_.attitudeInput.With([&](std::vector<AttitudeSample>& q) { q.push_back(sample); });
    engine_.currentAttitude.Set(sample);
    sink_.Post(MessageTarget::DataPane, WM_DATA_UPDATE, kDataAttitude, 0);
    last_.attitude = t;
    return true;
}

bool Decoders::DecodeTime(std::span<const std::uint8_t> packet) {
    namespace f = packet::sensor;
    if (!Holds(packet, f::kTimeBlockEnd))
        return false;
    const SonarClock c = ReadClock(packet.data(), f::kYear, f::kMicroseconds);
    const double t = c.Epoch();
    const bool accepted = t - last_.timeSignal >= kDuplicateInterval && c.year >= 2010 && c.year <= 3017 &&
                          c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= 31 && c.hour <= 24 &&
                          c.minute <= 60 && c.second <= 60;
    if (!accepted)
        return false;
    const std::uint32_t now = LocalSecondsOfDay(clock_);
    engine_.stamps.With([&](LastSeenStamps& s) { s.timeSignal = now; });
    last_.timeSignal = t;
    return true;
}

}  // namespace marivane
