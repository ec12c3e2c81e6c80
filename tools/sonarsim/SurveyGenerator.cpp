#include "tools/sonarsim/SurveyGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace sonarsim {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;
constexpr double kDeg = 180.0 / std::numbers::pi;
constexpr std::int64_t kPingStartMicros = 1000000;
constexpr std::int64_t kSensorTailMicros = 1500000;

// Small deterministic generator (SplitMix64), the same sequence on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

  private:
    std::uint64_t state_;
};

double Wrap360(double degrees) {
    double h = std::fmod(degrees, 360.0);
    if (h < 0)
        h += 360.0;
    return h;
}

std::int64_t MicrosAt(std::int64_t first, std::size_t k, double rate) {
    return first + std::llround(static_cast<double>(k) * 1e6 / rate);
}

// Nominal beam angle i of n across the opening (degrees).
double NominalAngle(std::size_t i, std::size_t n, double opening, bool equiAngle) {
    if (n == 1)
        return 0.0;
    const double f = static_cast<double>(i) / static_cast<double>(n - 1);
    if (equiAngle)
        return -opening / 2.0 + f * opening;
    return std::atan(std::tan(opening / 2.0 * kRad) * (2.0 * f - 1.0)) * kDeg;
}

}  // namespace

SeaFloor MakeSeaFloor(const SimOptions& o) {
    SeaFloorParams p;
    p.originEast = o.originEast;
    p.originNorth = o.originNorth;
    p.depthAtOrigin = o.depth;
    p.slopeEast = o.slopeEast;
    p.slopeNorth = o.slopeNorth;
    p.mountHeight = o.mountHeight;
    p.mountWidth = o.mountWidth;
    if (o.mountGiven) {
        p.mountEast = o.mountEast;
        p.mountNorth = o.mountNorth;
    } else {
        const SurveyTrack track(TrackParams{o.originEast, o.originNorth, o.lineHeading, o.lineLength,
                                            o.lineSpacing, o.lines, o.vesselSpeed});
        p.mountEast = track.CentreEast();
        p.mountNorth = track.CentreNorth();
    }
    return SeaFloor(p);
}

float ShortPingTableAngle(const std::string& model, bool equiAngle, double opening, std::size_t i) {
    const double f = 2.0 * static_cast<double>(i) / 511.0 - 1.0;
    if (model == "TR240S1")
        return static_cast<float>(std::atan(2.0 * f) * kDeg);
    static constexpr double kOpenings[] = {28, 53, 90, 113, 128, 143, 152, 157, 160, 164};
    double a = 128;
    for (const double candidate : kOpenings) {
        if (std::fabs(candidate - opening) < 0.1)
            a = candidate;
    }
    if (equiAngle)
        return static_cast<float>(-a / 2.0 + static_cast<double>(i) * a / 511.0);
    return static_cast<float>(std::atan(std::tan(a / 2.0 * kRad) * f) * kDeg);
}

SurveyGenerator::SurveyGenerator(const SimOptions& options, const SoundVelocityProfile& profile,
                                 const geodesy::CCoordinateCal& coordinates, std::int64_t startSeconds)
    : o_(options),
      profile_(profile),
      coordinates_(coordinates),
      clock_(startSeconds),
      track_(TrackParams{o_.originEast, o_.originNorth, o_.lineHeading, o_.lineLength, o_.lineSpacing,
                         o_.lines, o_.vesselSpeed}),
      motion_(MotionParams{o_.roll, o_.rollPeriod, o_.pitch, o_.pitchPeriod, o_.heave, o_.heavePeriod, o_.yaw,
                           o_.yawPeriod}),
      floor_(MakeSeaFloor(o_)) {
    const ChainInstall antenna = ChainInstall::From(o_.antenna);
    const ChainInstall sensor = ChainInstall::From(o_.motionSensor);
    solver1_ =
        std::make_unique<BeamSolver>(floor_, profile_, ChainInstall::From(o_.transducer), antenna, sensor);
    solver2_ = std::make_unique<BeamSolver>(floor_, profile_, ChainInstall::From(o_.SecondTransducer()),
                                            antenna, sensor);
    pingInterval_ = static_cast<float>(1.0 / o_.pingRate);

    // Beam angles: full pings carry counts of the angle scale, short pings use the built-in table.
    const float angleScale = static_cast<float>(o_.angleScale);
    const auto beams = static_cast<std::size_t>(o_.beams);
    for (std::size_t i = 0; i < beams; ++i) {
        const double nominal = NominalAngle(i, beams, o_.opening, o_.equiAngle);
        const auto counts = static_cast<std::int16_t>(std::lround(nominal / static_cast<double>(angleScale)));
        angles2_.counts.push_back(counts);
        angles2_.degrees.push_back(static_cast<float>(counts * static_cast<double>(angleScale)));
    }
    if (o_.shortPings) {
        for (std::size_t i = 0; i < beams; ++i) {
            angles1_.degrees.push_back(ShortPingTableAngle(o_.shortModel, o_.equiAngle, o_.opening, i));
        }
    } else {
        angles1_ = angles2_;
    }

    const double pingSpan = o_.duration > 0 ? o_.duration : track_.Duration();
    const std::int64_t pingEnd = kPingStartMicros + std::llround(pingSpan * 1e6);
    for (std::size_t k = 0;; ++k) {
        const std::int64_t t = MicrosAt(kPingStartMicros, k, o_.pingRate);
        if (t > pingEnd)
            break;
        pingMicros_.push_back(t);
    }
    const std::int64_t sensorEnd =
        (pingMicros_.empty() ? kPingStartMicros : pingMicros_.back()) + kSensorTailMicros;
    BuildSensors(sensorEnd);

    const std::int64_t sendDelay = std::llround(0.5e6 / o_.pingRate);
    for (std::size_t k = 0; k < pingMicros_.size(); ++k) {
        const auto index = static_cast<std::uint32_t>(k);
        events_.push_back({pingMicros_[k] + sendDelay, kPing, index});
        if (o_.dualHead)
            events_.push_back({pingMicros_[k] + sendDelay, kPing2, index});
    }
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        return a.micros != b.micros ? a.micros < b.micros : a.kind < b.kind;
    });
}

void SurveyGenerator::BuildSensors(std::int64_t sensorEnd) {
    Random random(o_.seed);
    for (std::int64_t s = 0; s * 1000000 <= sensorEnd; ++s) {
        events_.push_back({s * 1000000, kTime, static_cast<std::uint32_t>(s)});
    }
    // Attitude: the vessel's motion plus the sensor's own mounting angles.
    for (std::size_t k = 0;; ++k) {
        const std::int64_t us = MicrosAt(0, k, o_.attitudeRate);
        if (us > sensorEnd)
            break;
        const MotionState m = motion_.At(static_cast<double>(us) * 1e-6);
        const float roll = static_cast<float>(m.roll + o_.motionSensor.roll);
        const float pitch = static_cast<float>(m.pitch + o_.motionSensor.pitch);
        const float heave = static_cast<float>(m.heave);
        attitude_.Add(clock_.Epoch(us), {roll, pitch, heave});
        events_.push_back({us, kAttitude, static_cast<std::uint32_t>(attitudeMicros_.size())});
        attitudeMicros_.push_back(us);
    }
    for (std::size_t k = 0;; ++k) {
        const std::int64_t us = MicrosAt(0, k, o_.headingRate);
        if (us > sensorEnd)
            break;
        const double seconds = static_cast<double>(us) * 1e-6;
        const double heading =
            Wrap360(track_.At(seconds - static_cast<double>(kPingStartMicros) * 1e-6).course +
                    motion_.At(seconds).yaw);
        float h = static_cast<float>(heading);
        if (h >= 360.0f)
            h = 0.0f;
        heading_.Add(clock_.Epoch(us), {h});
        events_.push_back({us, kHeading, static_cast<std::uint32_t>(headingMicros_.size())});
        headingMicros_.push_back(us);
    }
    // GNSS: the antenna, carried by the vessel's reference point on the track, through the motion.
    for (std::size_t k = 0;; ++k) {
        const std::int64_t us = MicrosAt(0, k, o_.gnssRate);
        if (us > sensorEnd)
            break;
        const double seconds = static_cast<double>(us) * 1e-6;
        const TrackState ts = track_.At(seconds - static_cast<double>(kPingStartMicros) * 1e-6);
        const MotionState m = motion_.At(seconds);
        const double p = m.pitch * kRad;
        const double r = std::asin(std::sin(m.roll * kRad) / std::cos(p));
        const InstallOffsets& a = o_.antenna;
        const double starboard = std::cos(r) * a.x - std::sin(r) * a.z;
        const double rolledDown = std::sin(r) * a.x + std::cos(r) * a.z;
        const double forward = std::cos(p) * a.y + std::sin(p) * rolledDown;
        const double down = -std::sin(p) * a.y + std::cos(p) * rolledDown;
        const double h = (ts.course + m.yaw) * kRad;
        const double east = ts.east + std::sin(h) * forward + std::cos(h) * starboard;
        const double north = ts.north + std::cos(h) * forward - std::sin(h) * starboard;
        GnssFields g;
        double ellipsoidal = 0;
        coordinates_.GridToGeo(north, east, -down + m.heave, g.latitude, g.longitude, ellipsoidal);
        g.separation = static_cast<float>(o_.geoidSeparation);
        g.altitude = static_cast<float>(ellipsoidal - o_.geoidSeparation);
        g.quality = 4;
        g.satellites = static_cast<std::uint8_t>(11 + random.Next() % 6);
        g.hdop = static_cast<float>(0.6 + 0.4 * random.Uniform());
        // The receiver's view: the fix through GeoToGrid with altitude plus separation as the height.
        double x = 0, y = 0, gridHeight = 0;
        coordinates_.GeoToGrid(g.latitude, g.longitude,
                               static_cast<double>(g.altitude) + static_cast<double>(g.separation), x, y,
                               gridHeight);
        position_.Add(clock_.Epoch(us), {y, x});
        events_.push_back({us, kGnss, static_cast<std::uint32_t>(gnss_.size())});
        gnss_.push_back(g);
        gnssMicros_.push_back(us);
    }
}

double SurveyGenerator::RollAt(double pingTime, double oneWayTime) const {
    // Each beam's roll is taken when its echo comes back, unless that is a second or more later.
    const double twoWay = 2.0 * oneWayTime;
    const double when = oneWayTime >= 0.000001 && twoWay < 1.0 ? pingTime + twoWay : pingTime;
    return attitude_.At(when)[0];
}

Bytes SurveyGenerator::BuildPing(std::uint32_t index, bool secondHead) {
    const std::int64_t us = pingMicros_[index];
    const ClockFields clock = clock_.Fields(us);
    const double t = SimClock::EpochOf(clock);
    const auto att = attitude_.At(t);
    const auto pos = position_.At(t);
    PingMotion motion;
    motion.antennaEast = pos[0];
    motion.antennaNorth = pos[1];
    motion.roll = att[0];
    motion.pitch = att[1];
    motion.heave = att[2];
    motion.heading = heading_.HeadingAt(t);
    BeamSolver& solver = secondHead ? *solver2_ : *solver1_;
    const HeadAngles& angles = secondHead ? angles2_ : angles1_;
    const bool shortForm = !secondHead && o_.shortPings;
    solver.SetPing(motion, static_cast<unsigned>(o_.stabilisation));

    // First pass: unquantised times, with the roll of the echo time found by one refinement.
    const std::size_t n = angles.degrees.size();
    std::vector<std::optional<double>> times(n);
    std::vector<double> rolls(n, att[0]);
    double longest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        times[i] = solver.OneWayTime(angles.degrees[i], rolls[i]);
        if (!times[i])
            continue;
        rolls[i] = RollAt(t, *times[i]);
        times[i] = solver.OneWayTime(angles.degrees[i], rolls[i]);
        if (times[i])
            longest = std::max(longest, 2.0 * *times[i]);
    }
    // The finest scale that still holds the longest two-way time in 16 bits.
    float scale = static_cast<float>(o_.rangeScale);
    if (scale <= 0.0f)
        scale = static_cast<float>(std::ceil(std::max(1e-6, longest / 65000.0) * 1e8) / 1e8);
    const double scaleD = static_cast<double>(scale);

    // Second pass: quantise, and solve again whenever the receiver's roll for the quantised time is
    // not the roll the time was solved with, until both agree.
    PingContent ping;
    ping.model = shortForm ? o_.shortModel : o_.model;
    ping.deviceNumber = o_.deviceNumber;
    ping.pingNumber = index + 1;
    ping.clock = clock;
    ping.pingInterval = pingInterval_;
    ping.spacingMode = o_.equiAngle ? 1 : 0;
    ping.surfaceSoundVelocity = static_cast<float>(profile_.TopVelocity());
    ping.pingFlags = static_cast<std::uint16_t>(o_.stabilisation);
    ping.openingAngle = static_cast<float>(
        shortForm && o_.shortModel == "TR240S1" ? 2.0 * std::atan(2.0) * kDeg : o_.opening);
    ping.rangeScale = scale;
    ping.angleScale = static_cast<float>(o_.angleScale);
    ping.samples.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (!times[i])
            continue;
        double tt = *times[i];
        double rollUsed = rolls[i];
        for (int round = 0; round < 6; ++round) {
            const long long q = std::llround(2.0 * tt / scaleD);
            if (q < 1 || q > 65535) {
                ping.samples[i] = 0;
                break;
            }
            ping.samples[i] = static_cast<std::uint16_t>(q);
            const double decoded = static_cast<float>(static_cast<double>(q) * scaleD * 0.5);
            const double roll = RollAt(t, decoded);
            if (roll == rollUsed)
                break;
            const auto again = solver.OneWayTime(angles.degrees[i], roll);
            if (!again) {
                ping.samples[i] = 0;
                break;
            }
            tt = *again;
            rollUsed = roll;
        }
    }
    if (shortForm)
        return BuildShortPing(ping);
    ping.angles = angles.counts;
    ping.intensity.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        ping.intensity[i] = static_cast<std::uint16_t>(3000.0 + 20000.0 * std::cos(angles.degrees[i] * kRad));
    }
    return BuildFullPing(ping, secondHead ? kTypePingSecondHead : kTypePing);
}

bool SurveyGenerator::Next(SimPacket& out) {
    if (cursor_ >= events_.size())
        return false;
    const Event e = events_[cursor_++];
    out.sendMicros = e.micros;
    switch (e.kind) {
        case kTime:
            out.bytes = BuildTimeSignal(clock_.Fields(e.micros));
            break;
        case kAttitude: {
            const auto& v = attitude_.Value(e.index);
            out.bytes = BuildAttitude(clock_.Fields(attitudeMicros_[e.index]), static_cast<float>(v[0]),
                                      static_cast<float>(v[1]), static_cast<float>(v[2]));
            break;
        }
        case kHeading:
            out.bytes = BuildHeading(clock_.Fields(headingMicros_[e.index]),
                                     static_cast<float>(heading_.Value(e.index)[0]));
            break;
        case kGnss: {
            const GnssFields& g = gnss_[e.index];
            out.bytes = BuildGnssFix(clock_.Fields(gnssMicros_[e.index]), g.latitude, g.longitude, g.quality,
                                     g.satellites, g.hdop, g.altitude, g.separation);
            break;
        }
        case kPing:
            out.bytes = BuildPing(e.index, false);
            break;
        case kPing2:
            out.bytes = BuildPing(e.index, true);
            break;
    }
    out.type = PacketTypeOf(out.bytes);
    return true;
}

}  // namespace sonarsim
