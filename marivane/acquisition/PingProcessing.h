#pragma once
// Turns decoded pings into positioned soundings. Runs on the receiving thread right after each ping is
// decoded: it takes the position, attitude, heading and ping input queues of the engine into private
// histories, waits until position and motion data newer than the oldest pending ping have arrived,
// interpolates them to the ping's time (roll to each beam's receive time), positions the transducer
// and every beam with the head's CBeamora, and queues a PositionedPing, about once a second a
// SwathEdge, and the nadir depth. Without the data it needs it still positions the newest ping
// relative to the vessel so that a depth can be shown.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "marivane/acquisition/PingSink.h"
#include "marivane/acquisition/Records.h"

class CBeamora;

namespace platform {
class MessageSink;
}

namespace marivane {

class AcquisitionEngine;
class SoundVelocity;

// Samples in the order received, with cheap removal from the front and a record of whether their
// times never decrease (which lets lookups search instead of scanning).
template <typename Sample>
class SampleHistory {
  public:
    std::size_t size() const { return items_.size() - head_; }
    bool empty() const { return size() == 0; }
    const Sample& operator[](std::size_t i) const { return items_[head_ + i]; }
    const Sample& front() const { return items_[head_]; }
    const Sample& back() const { return items_.back(); }
    std::span<const Sample> Items() const { return std::span<const Sample>(items_).subspan(head_); }
    // True when every time is a number and none is smaller than the one before it.
    bool Ordered() const { return descents_ == 0; }

    void Append(const Sample& sample);
    void Append(std::span<const Sample> samples);
    // Removes the first n samples.
    void DropFront(std::size_t n);
    void Clear();

    // The first index j >= 1 whose time is later than tau, or size() when there is none.
    std::size_t FirstLaterThan(double tau) const { return FirstLaterThan(tau, 1, size()); }
    // The same when it is known to lie in [from, to] (to when none before it): for ordered samples, the
    // answer for a time between two others lies between their answers.
    std::size_t FirstLaterThan(double tau, std::size_t from, std::size_t to) const;

  private:
    std::vector<Sample> items_;
    std::size_t head_ = 0;      // samples before head_ are removed
    std::size_t descents_ = 0;  // neighbouring pairs out of order (or not numbers)
};

class PingProcessing final : public PingProcessor {
  public:
    // While every stream has data, the histories are bounded further than the 5-second rule: a sample
    // that is more than this many seconds older than every time that may still be looked up (the
    // oldest pending ping, or the newest sample of its stream when no ping waits) is dropped, keeping
    // the one that brackets that time. Without data of some stream the discard limits below apply.
    static constexpr double kHistoryKeepSeconds = 60.0;
    static constexpr std::size_t kMaxPendingPingsWhileBlocked = 600;
    static constexpr std::size_t kMaxSamplesWhileBlocked = 2000;

    PingProcessing(AcquisitionEngine& engine, const SoundVelocity& soundVelocity,
                   platform::MessageSink& sink);
    PingProcessing(const PingProcessing&) = delete;
    PingProcessing& operator=(const PingProcessing&) = delete;

    // Processes what the decoders queued. Returns the length of the positioned-ping queue after the last
    // ping this call positioned, 0 when it positioned none; the ping decoders post WM_PING_PROCESSED to
    // the main window when it is positive. Posts WM_DATA_UPDATE (nadir depth) to the data pane itself.
    std::size_t ProcessPings() override;

    // Forgets every history, pending ping and swath edge time; called when acquisition starts.
    void Clear();

    // What the processing holds, for inspection.
    std::span<const PositionSample> Positions() const { return positions_.Items(); }
    std::span<const AttitudeSample> Attitudes() const { return attitudes_.Items(); }
    std::span<const HeadingSample> Headings() const { return headings_.Items(); }
    std::size_t PendingPingCount() const { return pending_.size(); }
    // The record positioned last (also the relative positioning of a ping waiting for data).
    const PositionedPing& Working() const { return working_; }
    // Beam of the last nadir depth, -1 before the first.
    int LastNadirBeam() const { return lastNadirBeam_; }

  private:
    struct Motion {
        double easting = 0.0, northing = 0.0;
        double roll = 0.0, pitch = 0.0, heave = 0.0;
        double heading = 0.0;
    };

    // The beams of one ping that go to the positioning library, handed over in one call
    // (CBeamora::PotitonBeams): their index in the ping, inputs and outputs.
    struct BeamBatch {
        std::size_t count = 0;
        std::array<std::uint32_t, kMaxBeams> beam{};
        std::array<double, kMaxBeams> angle{}, time{}, roll{};
        std::array<double, kMaxBeams> easting{}, northing{}, depth{}, across{};

        // Queues beam i; its outputs start as (easting, northing, 0, 0), what a beam keeps when the
        // library does not write it (excessive pitch), and which its depth 0 refuses.
        void Add(std::uint32_t i, double beamAngle, double travelTime, double beamRoll, double e, double n);
        // Positions the queued beams and writes the accepted ones into `solutions`.
        void Position(CBeamora& beamora, bool perBeamRoll, BeamSolution* solutions);
    };

    void TakeInputQueues();
    void DiscardOverfullHistories();
    void DropPingsBeforeData();
    // Positions the front pending ping when the data after it have arrived and returns the length of
    // the positioned-ping queue; 0 when it must wait.
    std::size_t PositionFrontPing();
    void PositionBeams(const PingRecord& ping, const Motion& motion, double tmax, CBeamora& beamora);
    void QueueSwathEdge(double time);
    void PositionRelative(const PingRecord& ping);
    void ReportNadir();
    void BoundHistories();
    CBeamora& BeamoraOf(const PingRecord& ping);

    AcquisitionEngine& engine_;
    const SoundVelocity& soundVelocity_;
    platform::MessageSink& sink_;

    SampleHistory<PositionSample> positions_;
    SampleHistory<AttitudeSample> attitudes_;
    SampleHistory<HeadingSample> headings_;
    std::deque<PingRecord> pending_;

    // Receiving buffers swapped with the engine's input queues, so that their capacity is kept.
    std::vector<PositionSample> positionIn_;
    std::vector<AttitudeSample> attitudeIn_;
    std::vector<HeadingSample> headingIn_;
    std::vector<PingRecord> pingIn_;

    PositionedPing working_;
    BeamBatch batch_;
    double lastSwathEdgeTime_ = 0.0;
    int lastNadirBeam_ = -1;
    bool beamAngleLimitOn_ = false;
    double beamAngleLimit_ = 120.0;
};

}  // namespace marivane
