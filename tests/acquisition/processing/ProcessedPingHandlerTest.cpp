#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/ProcessedPingHandler.h"

namespace {

using marivane::PositionedPing;
using marivane::SwathEdge;

// Records what the coverage output is asked to do, in order.
class RecordingCoverage final : public marivane::CoverageFeed {
  public:
    bool CoverageOn() const override { return on; }
    void AddEdges(std::span<const SwathEdge> edges) override {
        for (const SwathEdge& e : edges) {
            backlog.push_back(e.time);
            calls.push_back("add");
        }
    }
    void SendCoverage() override { calls.push_back("send"); }

    bool on = true;
    std::vector<double> backlog;
    std::vector<std::string> calls;
};

class RecordingConsumer final : public marivane::PositionedPingConsumer {
  public:
    void ConsumePositionedPings(std::span<const PositionedPing> pings) override {
        batches.emplace_back();
        for (const PositionedPing& p : pings) batches.back().push_back(p.pingNumber);
    }
    std::vector<std::vector<std::uint32_t>> batches;
};

class ProcessedPingHandlerTest : public ::testing::Test {
  protected:
    void QueueEdges(int from, int count) {
        engine.swathEdges.With([&](auto& q) {
            for (int i = from; i < from + count; ++i) q.push_back(SwathEdge{double(i), 1.0, 2.0, 3.0, 4.0});
        });
    }
    void QueuePings(std::uint32_t from, std::uint32_t count) {
        engine.positionedPings.With([&](auto& q) {
            for (std::uint32_t i = from; i < from + count; ++i) {
                PositionedPing p;
                p.pingNumber = i;
                q.push_back(p);
            }
        });
    }
    std::vector<double> ChartTimes() const {
        std::vector<double> out;
        for (const SwathEdge& e : handler.ChartSwathEdges()) out.push_back(e.time);
        return out;
    }
    static std::vector<double> Range(int from, int to) {
        std::vector<double> out;
        for (int i = from; i < to; ++i) out.push_back(i);
        return out;
    }

    marivane::AcquisitionEngine engine;
    marivane::ProcessedPingHandler handler{engine};
    RecordingCoverage coverage;
    RecordingConsumer consumer;
};

TEST_F(ProcessedPingHandlerTest, ChartKeepsTheNewestThirtyEdgesAndCoverageGetsEveryEdgeBeforeSending) {
    handler.SetCoverageFeed(&coverage);
    QueueEdges(0, 35);
    handler.OnPingProcessed();

    EXPECT_EQ(ChartTimes(), Range(5, 35));
    EXPECT_EQ(coverage.backlog, Range(0, 35));
    ASSERT_FALSE(coverage.calls.empty());
    EXPECT_EQ(coverage.calls.back(), "send");
    EXPECT_EQ(std::count(coverage.calls.begin(), coverage.calls.end(), "send"), 1);
    EXPECT_TRUE(engine.swathEdges.Copy().empty());

    // Later edges push out the oldest.
    QueueEdges(35, 3);
    handler.OnPingProcessed();
    EXPECT_EQ(ChartTimes(), Range(8, 38));
    EXPECT_EQ(coverage.backlog, Range(0, 38));

    handler.ClearChartSwathEdges();
    EXPECT_TRUE(handler.ChartSwathEdges().empty());
}

TEST_F(ProcessedPingHandlerTest, WithCoverageOffEdgesOnlyReachTheChartButCoverageStillRuns) {
    coverage.on = false;
    handler.SetCoverageFeed(&coverage);
    QueueEdges(0, 3);
    handler.OnPingProcessed();

    EXPECT_EQ(ChartTimes(), Range(0, 3));
    EXPECT_TRUE(coverage.backlog.empty());
    EXPECT_EQ(coverage.calls, (std::vector<std::string>{"send"}));
}

TEST_F(ProcessedPingHandlerTest, PositionedPingsGoToTheConsumerInOrderOrAreDropped) {
    handler.SetPositionedPingConsumer(&consumer);
    QueuePings(1, 4);
    handler.OnPingProcessed();
    QueuePings(5, 2);
    handler.OnPingProcessed();
    EXPECT_EQ(consumer.batches, (std::vector<std::vector<std::uint32_t>>{{1, 2, 3, 4}, {5, 6}}));
    EXPECT_TRUE(engine.positionedPings.Copy().empty());

    // Without a depth grid to take them the queue is emptied all the same.
    handler.SetPositionedPingConsumer(nullptr);
    QueuePings(7, 3);
    handler.OnPingProcessed();
    EXPECT_TRUE(engine.positionedPings.Copy().empty());
    EXPECT_EQ(consumer.batches.size(), 2u);
}

}  // namespace
