// Pings per second through PingProcessing::ProcessPings on one core: 512 beams a ping at 20 pings/s,
// GNSS and heading at 10 Hz, attitude at 50 Hz, the vessel rolling, pitching and turning slowly over
// a sea floor 60 to 110 m deep. Sound velocity from one velocity (the sonar's surface probe, argument
// 0), or from a profile of that many points with the given spacing: 50 points 2 m apart to 98 m; 1024
// points 0.1 m apart to 102.3 m (a dense cast: the deep beams cross several hundred layers) or 1 m
// apart to 1023 m (the beams cross at most about 110 layers).
//
// "Settled": the motion data are a second ahead of the pings, so every call positions one ping.
// "Live": the data are only 0.1 s ahead, as from the sonar, so each ping waits in the pending list
// until the attitude after its last echo has arrived, a few calls later.
// "Overhead": everything but the beams themselves: a beam angle limit of 0 refuses every beam after
// its roll has been looked up, so what remains is the queues, the histories, the interpolation, the
// 512 roll lookups, the transducer position and the output records.
//
// Targets, per core: 1000 pings/s with the 50-point profile, 250 pings/s with the 1024-point cast.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "beamora/Beamora.h"
#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/PingProcessing.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "platform/MessageSink.h"

namespace {

using marivane::AttitudeSample;
using marivane::HeadingSample;
using marivane::PingRecord;
using marivane::PositionSample;

constexpr double kStart = 1'700'000'000.0;
constexpr double kPingInterval = 0.05;
constexpr double kSurfaceVelocity = 1495.0;
constexpr double kDeg = beamora::kRadiansPerDegree;

double Velocity(double z) {
    return 1505.0 - 18.0 * std::tanh((z - 40.0) / 15.0) + 0.5 * std::sin(z / 7.0);
}

void LoadProfile(CBeamora& beamora, int points, double spacing) {
    static CSvpData svp[CBeamora::kMaxProfilePoints];
    for (int i = 0; i < points; ++i) {
        svp[i].depth = i * spacing;
        svp[i].velocity = Velocity(i * spacing);
    }
    beamora.SetSVP(svp, points);
}

class Survey {
  public:
    // profilePoints 0: the sonar's surface velocity; otherwise a profile of that many points.
    Survey(int profilePoints, double spacing, bool live, bool refuseBeams = false)
        : engine_(std::make_unique<marivane::AcquisitionEngine>()),
          soundVelocity_(*engine_),
          processing_(*engine_, soundVelocity_, sink_),
          lead_(live ? 0.1 : 1.0) {
        engine_->head1.SetInstallTransducer(0.35f, 1.8f, 3.2f, 0.4f, -0.3f, 0.2f, 0.0f);
        engine_->head1.SetInstallGPS(-1.2f, -6.5f, -11.0f, 0.0f, 0.0f, 0.0f, 0.0f);
        if (profilePoints > 0) {
            soundVelocity_.SetSource(marivane::SoundVelocitySource::ProfileFile);
            LoadProfile(engine_->head1, profilePoints, spacing);
        }
        if (refuseBeams) {
            engine_->beamAngleLimitOn = true;
            engine_->beamAngleLimit = 0.0;
        }
        for (int i = 0; i < marivane::kMaxBeams; ++i) {
            const double angle = -65.0 + 130.0 * i / (marivane::kMaxBeams - 1);
            const double depth = 85.0 + 25.0 * std::sin(angle * kDeg);
            ping_.angle[i] = static_cast<float>(angle);
            ping_.travelTime[i] = static_cast<float>(depth / (kSurfaceVelocity * std::cos(angle * kDeg)));
        }
        ping_.beamCount = marivane::kMaxBeams;
        ping_.surfaceSoundVelocity = kSurfaceVelocity;
        ping_.pingRate = 20.0f;
        // A minute of data before the first ping, as after a while of surveying, and enough pings for
        // the live order to settle.
        pingTime_ = kStart + 60.0;
        for (int i = 0; i < 20; ++i) Step();
        Drain();
    }

    // One ping of the survey: its sensor data, the ping, the processing; the user interface's share
    // (emptying the output queues) is left out of the timing by the caller.
    std::size_t Step() {
        pingTime_ += kPingInterval;
        FeedSensorsUntil(pingTime_ + lead_);
        ping_.time = pingTime_;
        ++ping_.pingNumber;
        engine_->pingInput.With([&](std::vector<PingRecord>& q) { q.push_back(ping_); });
        return processing_.ProcessPings();
    }

    void Drain() {
        engine_->positionedPings.With([](auto& q) { q.clear(); });
        engine_->swathEdges.With([](auto& q) { q.clear(); });
    }

    std::size_t AttitudeHistory() const { return processing_.Attitudes().size(); }

  private:
    void FeedSensorsUntil(double until) {
        for (; kStart + gnss_ * 0.1 <= until; ++gnss_) {
            const double t = kStart + gnss_ * 0.1;
            const double s = t - kStart;
            engine_->positionInput.With([&](auto& q) {
                q.push_back(PositionSample{t, 500000.0 + 2.5 * s, 3000000.0 + 0.3 * std::sin(s / 20.0)});
            });
            engine_->headingInput.With([&](auto& q) {
                q.push_back(HeadingSample{t, 88.0 + 4.0 * std::sin(s / 30.0)});
            });
        }
        for (; kStart + motion_ * 0.02 <= until; ++motion_) {
            const double t = kStart + motion_ * 0.02;
            const double s = t - kStart;
            engine_->attitudeInput.With([&](auto& q) {
                q.push_back(AttitudeSample{t, 3.0 * std::sin(s * 1.1), 1.2 * std::sin(s * 0.7),
                                           0.25 * std::sin(s * 0.9)});
            });
        }
    }

    std::unique_ptr<marivane::AcquisitionEngine> engine_;
    marivane::SoundVelocity soundVelocity_;
    platform::NullMessageSink sink_;
    marivane::PingProcessing processing_;
    double lead_;
    PingRecord ping_;
    double pingTime_ = 0.0;
    int gnss_ = 0;
    int motion_ = 0;
};

void BM_ProcessPings(benchmark::State& state, bool live, bool refuseBeams = false) {
    Survey survey(static_cast<int>(state.range(0)), static_cast<double>(state.range(1)) / 100.0, live,
                  refuseBeams);
    std::size_t positioned = 0;
    for (auto _ : state) {
        positioned += survey.Step();
        state.PauseTiming();
        survey.Drain();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["pings/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["attitudes kept"] = static_cast<double>(survey.AttitudeHistory());
    if (state.iterations() >= 100 && positioned == 0)
        state.SkipWithError("no ping was positioned");
}

void BM_ProcessPingsSettled(benchmark::State& state) {
    BM_ProcessPings(state, false);
}
void BM_ProcessPingsLive(benchmark::State& state) {
    BM_ProcessPings(state, true);
}
void BM_ProcessPingsOverhead(benchmark::State& state) {
    BM_ProcessPings(state, false, true);
}

// Arguments: points of the profile (0: the sonar's surface velocity) and their spacing in centimetres.
void Profiles(benchmark::internal::Benchmark* b) {
    b->ArgNames({"profile", "spacing_cm"})
        ->Args({0, 0})
        ->Args({50, 200})
        ->Args({1024, 10})
        ->Args({1024, 100});
    b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_ProcessPingsSettled)->Apply(Profiles);
BENCHMARK(BM_ProcessPingsLive)->Apply(Profiles);
BENCHMARK(BM_ProcessPingsOverhead)
    ->ArgNames({"profile", "spacing_cm"})
    ->Args({0, 0})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
