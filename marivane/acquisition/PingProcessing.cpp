#include "marivane/acquisition/PingProcessing.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "beamora/Beamora.h"
#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "marivane/acquisition/WindowMessages.h"
#include "platform/MessageSink.h"

namespace marivane {
namespace {

constexpr double kSameTime = 0.000001;        // s: a sample this close to the time is used as it is
constexpr double kMinTravelTime = 0.000001;   // s: shorter one-way travel times are no echo
constexpr double kMaxReceiveOffset = 1.0;     // s: later two-way times are taken at the ping time
constexpr double kStaleHistory = 5.0;         // s: older brackets drop the samples before them
constexpr double kSwathEdgeInterval = 0.985;  // s
constexpr double kMinBeamDepth = 0.2;         // m
constexpr double kMaxBeamDepth = 1000.0;      // m
constexpr double kNadirAcrossBound = 1000.0;  // m

constexpr std::uint8_t kRollCompensated = 0x01 | 0x08;
constexpr std::uint8_t kPitchCompensated = 0x02;
constexpr std::uint8_t kThirdFlag = 0x04;

// Where a time falls in a history: the sample at or before it (k), the one after it (j) and the
// fraction between them. j == k means sample k is used as it is.
struct Bracket {
    std::size_t k = 0;
    std::size_t j = 0;
    double fraction = 0.0;
};

// `from` and `to` narrow the search when the answer is known to lie between them.
template <typename Sample>
Bracket Locate(const SampleHistory<Sample>& history, double tau, std::size_t from = 1,
               std::size_t to = static_cast<std::size_t>(-1)) {
    if (history.size() == 1)
        return {};
    const std::size_t j = history.FirstLaterThan(tau, from, std::min(to, history.size()));
    if (j == history.size()) {
        // Nothing later (the callers wait until there is): the newest sample.
        return {history.size() - 1, history.size() - 1, 0.0};
    }
    const std::size_t k = j - 1;
    const double tk = history[k].time;
    if (std::fabs(tau - tk) < kSameTime)
        return {k, k, 0.0};
    const double fraction = (tau - tk) / (history[j].time - tk);
    // Two samples of one time (possible only when times go backwards) give no line.
    if (!std::isfinite(fraction))
        return {k, k, 0.0};
    return {k, j, fraction};
}

double Lerp(double a, double b, double fraction) {
    return a + (b - a) * fraction;
}

double HeadingBetween(double a, double b, double fraction) {
    if (a > 270.0 && b < 90.0) {
        a -= 360.0;
    } else if (a < 90.0 && b > 270.0) {
        b -= 360.0;
    }
    double heading = Lerp(a, b, fraction);
    if (heading < 0.0)
        heading += 360.0;
    return heading;
}

// After interpolating at the ping time: a bracket more than 5 s old drops every sample before it.
template <typename Sample>
void DropStale(SampleHistory<Sample>& history, const Bracket& bracket, double t) {
    if (t - history[bracket.k].time > kStaleHistory)
        history.DropFront(bracket.k);
}

// Drops samples that no time at or after `reference` minus the keep period can be bracketed by.
template <typename Sample>
void DropOlderThan(SampleHistory<Sample>& history, double reference) {
    const double cut = reference - PingProcessing::kHistoryKeepSeconds;
    if (history.size() < 2 || !history.Ordered() || !std::isfinite(cut))
        return;
    history.DropFront(history.FirstLaterThan(cut) - 1);
}

double RollAt(const SampleHistory<AttitudeSample>& attitudes, double tau, std::size_t from, std::size_t to) {
    const Bracket b = Locate(attitudes, tau, from, to);
    return b.j == b.k ? attitudes[b.k].roll : Lerp(attitudes[b.k].roll, attitudes[b.j].roll, b.fraction);
}

}  // namespace

// ---- SampleHistory --------------------------------------------------------------------------------

template <typename Sample>
void SampleHistory<Sample>::Append(const Sample& sample) {
    if (!empty() && !(sample.time >= back().time))
        ++descents_;
    items_.push_back(sample);
}

template <typename Sample>
void SampleHistory<Sample>::Append(std::span<const Sample> samples) {
    for (const Sample& s : samples) Append(s);
}

template <typename Sample>
void SampleHistory<Sample>::DropFront(std::size_t n) {
    n = std::min(n, size());
    for (std::size_t i = 0; i < n; ++i, ++head_) {
        if (head_ + 1 < items_.size() && !(items_[head_ + 1].time >= items_[head_].time))
            --descents_;
    }
    // Move the rest down now and then, so that the storage stays about as large as the history.
    if (head_ >= 1024 && head_ * 2 >= items_.size()) {
        items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
}

template <typename Sample>
void SampleHistory<Sample>::Clear() {
    items_.clear();
    head_ = 0;
    descents_ = 0;
}

template <typename Sample>
std::size_t SampleHistory<Sample>::FirstLaterThan(double tau, std::size_t from, std::size_t to) const {
    const std::size_t n = size();
    if (n < 2)
        return n;
    const Sample* first = items_.data() + head_;
    if (Ordered()) {
        from = std::max<std::size_t>(from, 1);
        to = std::min(to, n);
        if (from >= to)
            return to;
        const Sample* found = std::upper_bound(first + from, first + to, tau,
                                               [](double value, const Sample& s) { return value < s.time; });
        return static_cast<std::size_t>(found - first);
    }
    // Out of order: the first in the order received, wherever it is.
    for (std::size_t j = 1; j < n; ++j) {
        if (first[j].time > tau)
            return j;
    }
    return n;
}

template class SampleHistory<PositionSample>;
template class SampleHistory<AttitudeSample>;
template class SampleHistory<HeadingSample>;

// ---- PingProcessing -------------------------------------------------------------------------------

PingProcessing::PingProcessing(AcquisitionEngine& engine, const SoundVelocity& soundVelocity,
                               platform::MessageSink& sink)
    : engine_(engine), soundVelocity_(soundVelocity), sink_(sink) {}

void PingProcessing::Clear() {
    positions_.Clear();
    attitudes_.Clear();
    headings_.Clear();
    pending_.clear();
    positionIn_.clear();
    attitudeIn_.clear();
    headingIn_.clear();
    pingIn_.clear();
    working_ = PositionedPing{};
    lastSwathEdgeTime_ = 0.0;
    lastNadirBeam_ = -1;
}

std::size_t PingProcessing::ProcessPings() {
    TakeInputQueues();
    beamAngleLimitOn_ = engine_.beamAngleLimitOn.load();
    beamAngleLimit_ = engine_.beamAngleLimit.load();

    std::size_t queued = 0;
    if (positions_.empty() || attitudes_.empty() || headings_.empty() || pending_.empty()) {
        DiscardOverfullHistories();
    } else {
        DropPingsBeforeData();
        while (!pending_.empty()) {
            const std::size_t length = PositionFrontPing();
            if (length == 0)
                break;
            queued = length;
            pending_.pop_front();
        }
        BoundHistories();
    }
    if (queued == 0) {
        if (pending_.empty())
            return 0;
        PositionRelative(pending_.back());
    }
    ReportNadir();
    return queued;
}

void PingProcessing::TakeInputQueues() {
    // Swapping keeps the capacity of both vectors; each lock is held only for the swap.
    engine_.positionInput.With([&](std::vector<PositionSample>& q) { q.swap(positionIn_); });
    positions_.Append(positionIn_);
    positionIn_.clear();

    engine_.attitudeInput.With([&](std::vector<AttitudeSample>& q) { q.swap(attitudeIn_); });
    attitudes_.Append(attitudeIn_);
    attitudeIn_.clear();

    engine_.headingInput.With([&](std::vector<HeadingSample>& q) { q.swap(headingIn_); });
    headings_.Append(headingIn_);
    headingIn_.clear();

    engine_.pingInput.With([&](std::vector<PingRecord>& q) { q.swap(pingIn_); });
    pending_.insert(pending_.end(), std::make_move_iterator(pingIn_.begin()),
                    std::make_move_iterator(pingIn_.end()));
    pingIn_.clear();
}

void PingProcessing::DiscardOverfullHistories() {
    if (pending_.size() > kMaxPendingPingsWhileBlocked)
        pending_.clear();
    if (positions_.size() > kMaxSamplesWhileBlocked)
        positions_.Clear();
    if (attitudes_.size() > kMaxSamplesWhileBlocked)
        attitudes_.Clear();
    if (headings_.size() > kMaxSamplesWhileBlocked)
        headings_.Clear();
}

void PingProcessing::DropPingsBeforeData() {
    const double firstPosition = positions_.front().time;
    const double firstAttitude = attitudes_.front().time;
    const double firstHeading = headings_.front().time;
    while (!pending_.empty()) {
        const double t = pending_.front().time;
        if (!(t < firstPosition || t < firstAttitude || t < firstHeading))
            break;
        pending_.pop_front();
    }
}

std::size_t PingProcessing::PositionFrontPing() {
    const PingRecord& ping = pending_.front();
    const double t = ping.time;

    double tmax = t;
    for (int i = 0; i < kMaxBeams; ++i) {
        const double twice = 2.0 * static_cast<double>(ping.travelTime[i]);
        const double ti = twice < kMaxReceiveOffset ? t + twice : t;
        if (ti > tmax)
            tmax = ti;
    }
    if (positions_.back().time <= t || attitudes_.back().time <= tmax || headings_.back().time <= t) {
        return 0;
    }

    Motion m;
    const Bracket p = Locate(positions_, t);
    if (p.j == p.k) {
        m.easting = positions_[p.k].easting;
        m.northing = positions_[p.k].northing;
    } else {
        m.easting = Lerp(positions_[p.k].easting, positions_[p.j].easting, p.fraction);
        m.northing = Lerp(positions_[p.k].northing, positions_[p.j].northing, p.fraction);
    }
    DropStale(positions_, p, t);

    const Bracket a = Locate(attitudes_, t);
    if (a.j == a.k) {
        m.roll = attitudes_[a.k].roll;
        m.pitch = attitudes_[a.k].pitch;
        m.heave = attitudes_[a.k].heave;
    } else {
        const AttitudeSample& ak = attitudes_[a.k];
        const AttitudeSample& aj = attitudes_[a.j];
        m.roll = Lerp(ak.roll, aj.roll, a.fraction);
        m.pitch = Lerp(ak.pitch, aj.pitch, a.fraction);
        m.heave = Lerp(ak.heave, aj.heave, a.fraction);
    }
    DropStale(attitudes_, a, t);

    const Bracket h = Locate(headings_, t);
    m.heading = h.j == h.k ? headings_[h.k].heading
                           : HeadingBetween(headings_[h.k].heading, headings_[h.j].heading, h.fraction);
    DropStale(headings_, h, t);

    working_.pingNumber = ping.pingNumber;
    working_.pingRate = ping.pingRate;
    working_.time = t;

    PositionBeams(ping, m, tmax, BeamoraOf(ping));

    const std::size_t length = engine_.positionedPings.With([&](std::vector<PositionedPing>& q) {
        q.push_back(working_);
        return q.size();
    });
    if (std::fabs(t - lastSwathEdgeTime_) > kSwathEdgeInterval) {
        lastSwathEdgeTime_ = t;
        QueueSwathEdge(t);
    }
    return length;
}

void PingProcessing::PositionBeams(const PingRecord& ping, const Motion& m, double tmax, CBeamora& beamora) {
    beamora.SetMotion(m.roll, m.pitch, m.heave, m.heading);
    const CFPoint transducer = beamora.PosGPSToTransducer(m.easting, m.northing, 0.0);
    if (soundVelocity_.Source() == SoundVelocitySource::Sonar)
        beamora.SetAsv(ping.surfaceSoundVelocity);

    const bool rollCompensated = (ping.stabilisationFlags & kRollCompensated) != 0;
    const bool pitchCompensated = (ping.stabilisationFlags & kPitchCompensated) != 0;
    const bool third = (ping.stabilisationFlags & kThirdFlag) != 0;
    const double halfLimit = std::fabs(beamAngleLimit_ * 0.5);
    const double t = ping.time;
    // Every receive time lies in [t, tmax]: so do the samples that bracket them.
    const std::size_t searchFrom = attitudes_.FirstLaterThan(t);
    const std::size_t searchTo = attitudes_.FirstLaterThan(tmax);

    // Invalid beams lie at the transducer; the valid ones are positioned together, each with the roll
    // at its receive time and the pitch, heave and heading at the ping time, exactly as SetMotion and
    // PotitonOneBeam beam by beam would.
    batch_.count = 0;
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(kMaxBeams); ++i) {
        working_.solutions[i] = BeamSolution{transducer.x, transducer.y, 0.0, 0.0, 0};
        const float travelTime = ping.travelTime[i];
        const double angle = ping.angle[i];
        if (i >= ping.beamCount || travelTime < kMinTravelTime)
            continue;
        double roll = m.roll;
        const double twice = 2.0 * static_cast<double>(travelTime);
        if (twice < kMaxReceiveOffset)
            roll = RollAt(attitudes_, t + twice, searchFrom, searchTo);
        const double r = rollCompensated ? 0.0 : roll;
        if (beamAngleLimitOn_ && std::fabs(angle - r) > halfLimit)
            continue;
        batch_.Add(i, angle, travelTime, roll, transducer.x, transducer.y);
    }
    if (batch_.count > 0) {
        beamora.SetRealtimeStabilized(rollCompensated, pitchCompensated, third);
        batch_.Position(beamora, true, working_.solutions.data());
    }
}

void PingProcessing::BeamBatch::Add(std::uint32_t i, double beamAngle, double travelTime, double beamRoll,
                                    double e, double n) {
    beam[count] = i;
    angle[count] = beamAngle;
    time[count] = travelTime;
    roll[count] = beamRoll;
    easting[count] = e;
    northing[count] = n;
    depth[count] = 0.0;
    across[count] = 0.0;
    ++count;
}

void PingProcessing::BeamBatch::Position(CBeamora& beamora, bool perBeamRoll, BeamSolution* solutions) {
    beamora.PotitonBeams(static_cast<int>(count), angle.data(), time.data(),
                         perBeamRoll ? roll.data() : nullptr, easting.data(), northing.data(), depth.data(),
                         across.data());
    for (std::size_t k = 0; k < count; ++k) {
        if (depth[k] >= kMinBeamDepth && depth[k] <= kMaxBeamDepth)
            solutions[beam[k]] = BeamSolution{easting[k], northing[k], depth[k], across[k], 1};
    }
}

void PingProcessing::QueueSwathEdge(double time) {
    // The outermost beams on each side, compared in single precision; ties keep the lower beam.
    int port = 0;
    int starboard = kMaxBeams - 1;
    float portAcross = 0.0f;
    float starboardAcross = 0.0f;
    for (int i = 0; i < kMaxBeams; ++i) {
        const float across = static_cast<float>(working_.solutions[i].acrossTrack);
        if (across < portAcross) {
            portAcross = across;
            port = i;
        }
        if (across > starboardAcross) {
            starboardAcross = across;
            starboard = i;
        }
    }
    const BeamSolution& p = working_.solutions[port];
    const BeamSolution& s = working_.solutions[starboard];
    const SwathEdge edge{time, p.easting, p.northing, s.easting, s.northing};
    engine_.swathEdges.With([&](std::vector<SwathEdge>& q) { q.push_back(edge); });
}

void PingProcessing::PositionRelative(const PingRecord& ping) {
    CBeamora& beamora = BeamoraOf(ping);
    const double halfLimit = std::fabs(beamAngleLimit_ * 0.5);
    // Level vessel, antenna at the origin, angles as received. The library keeps motion, flags and
    // transducer position through the positioning of beams, so setting them once before the beams is
    // the same as setting them before each (and spares rebuilding a loaded profile for every beam).
    batch_.count = 0;
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(kMaxBeams); ++i) {
        working_.solutions[i] = BeamSolution{};
        const float travelTime = ping.travelTime[i];
        const double angle = ping.angle[i];
        if (i >= ping.beamCount || travelTime < kMinTravelTime ||
            (beamAngleLimitOn_ && std::fabs(angle) > halfLimit)) {
            continue;
        }
        batch_.Add(i, angle, travelTime, 0.0, 0.0, 0.0);
    }
    if (batch_.count > 0) {
        beamora.SetMotion(0.0, 0.0, 0.0, 0.0);
        beamora.PosGPSToTransducer(0.0, 0.0, 0.0);
        beamora.SetRealtimeStabilized(false, false, false);
        batch_.Position(beamora, false, working_.solutions.data());
    }
}

void PingProcessing::ReportNadir() {
    double best = kNadirAcrossBound;
    int nadir = -1;
    for (int i = 0; i < kMaxBeams; ++i) {
        const BeamSolution& s = working_.solutions[i];
        if (s.valid != 0 && std::fabs(s.acrossTrack) < best) {
            best = std::fabs(s.acrossTrack);
            nadir = i;
        }
    }
    if (nadir < 0)
        return;
    lastNadirBeam_ = nadir;
    engine_.nadirDepth.Set(working_.solutions[nadir].depth);
    sink_.Post(platform::MessageTarget::DataPane, WM_DATA_UPDATE, kDataNadirDepth, 0);
}

void PingProcessing::BoundHistories() {
    if (!pending_.empty()) {
        double oldest = pending_.front().time;
        for (const PingRecord& ping : pending_) oldest = std::min(oldest, ping.time);
        DropOlderThan(positions_, oldest);
        DropOlderThan(attitudes_, oldest);
        DropOlderThan(headings_, oldest);
        return;
    }
    // No ping waits: the next one is measured about now, at the newest sample of each stream.
    if (!positions_.empty())
        DropOlderThan(positions_, positions_.back().time);
    if (!attitudes_.empty())
        DropOlderThan(attitudes_, attitudes_.back().time);
    if (!headings_.empty())
        DropOlderThan(headings_, headings_.back().time);
}

CBeamora& PingProcessing::BeamoraOf(const PingRecord& ping) {
    return ping.head == 0 ? engine_.head1 : engine_.head2;
}

}  // namespace marivane
