#pragma once
// The user-interface half of the ping processing: what the main window does when the receiving thread
// tells it (WM_PING_PROCESSED) that positioned pings and swath edges wait in the engine's queues. The
// swath edges go to the chart's list of recent edges and to the coverage output, the positioned pings
// to whoever keeps the soundings (the depth grid).

#include <cstddef>
#include <deque>
#include <span>
#include <vector>

#include "marivane/acquisition/Records.h"

namespace marivane {

class AcquisitionEngine;

// The coverage output as the main window sees it.
class CoverageFeed {
  public:
    virtual ~CoverageFeed() = default;
    // CoverageOn of the network settings.
    virtual bool CoverageOn() const = 0;
    // Adds the coverage record of each edge, in order, to the backlog.
    virtual void AddEdges(std::span<const SwathEdge> edges) = 0;
    // Sends what the backlog holds (and empties it when coverage is off).
    virtual void SendCoverage() = 0;
};

// A CoverageFeed over any object with those three members (the coverage server).
template <typename Output>
class CoverageFeedOf final : public CoverageFeed {
  public:
    explicit CoverageFeedOf(Output& output) : output_(output) {}
    bool CoverageOn() const override { return output_.CoverageOn(); }
    void AddEdges(std::span<const SwathEdge> edges) override { output_.AddEdges(edges); }
    void SendCoverage() override { output_.SendCoverage(); }

  private:
    Output& output_;
};

// Takes the soundings of positioned pings.
class PositionedPingConsumer {
  public:
    virtual ~PositionedPingConsumer() = default;
    // One batch, oldest ping first, all 512 solutions of each, valid or not.
    virtual void ConsumePositionedPings(std::span<const PositionedPing> pings) = 0;
};

class ProcessedPingHandler {
  public:
    static constexpr std::size_t kChartSwathEdgeCount = 30;

    explicit ProcessedPingHandler(AcquisitionEngine& engine);
    ProcessedPingHandler(const ProcessedPingHandler&) = delete;
    ProcessedPingHandler& operator=(const ProcessedPingHandler&) = delete;

    // Not owned; nullptr for none. Without a consumer (no depth grid open for update) the positioned
    // pings are dropped.
    void SetCoverageFeed(CoverageFeed* feed) { coverage_ = feed; }
    void SetPositionedPingConsumer(PositionedPingConsumer* consumer) { consumer_ = consumer; }

    // On WM_PING_PROCESSED, on the user-interface thread.
    void OnPingProcessed();

    // The newest swath edges, oldest first, for the chart.
    const std::deque<SwathEdge>& ChartSwathEdges() const { return chartEdges_; }
    void ClearChartSwathEdges() { chartEdges_.clear(); }

  private:
    AcquisitionEngine& engine_;
    CoverageFeed* coverage_ = nullptr;
    PositionedPingConsumer* consumer_ = nullptr;
    std::deque<SwathEdge> chartEdges_;
    // Swapped with the engine's queues so that both keep their capacity.
    std::vector<SwathEdge> edges_;
    std::vector<PositionedPing> pings_;
};

}  // namespace marivane
