#include "marivane/acquisition/ProcessedPingHandler.h"

#include "marivane/acquisition/AcquisitionEngine.h"

namespace marivane {

ProcessedPingHandler::ProcessedPingHandler(AcquisitionEngine& engine) : engine_(engine) {}

void ProcessedPingHandler::OnPingProcessed() {
    engine_.swathEdges.With([&](std::vector<SwathEdge>& q) { q.swap(edges_); });
    chartEdges_.insert(chartEdges_.end(), edges_.begin(), edges_.end());
    if (coverage_ != nullptr && coverage_->CoverageOn() && !edges_.empty())
        coverage_->AddEdges(edges_);
    edges_.clear();
    while (chartEdges_.size() > kChartSwathEdgeCount) chartEdges_.pop_front();
    if (coverage_ != nullptr)
        coverage_->SendCoverage();

    engine_.positionedPings.With([&](std::vector<PositionedPing>& q) { q.swap(pings_); });
    if (consumer_ != nullptr && !pings_.empty())
        consumer_->ConsumePositionedPings(pings_);
    pings_.clear();
}

}  // namespace marivane
