// Beams positioned per second through CBeamora, with the full call sequence of a ping: per ping
// SetMotion and PosGPSToTransducer (which rebuilds the processed profile for the new transducer depth),
// then either per beam SetRealtimeStabilized, SetMotion with the beam's own roll and PotitonOneBeam
// ("OneByOne"), or SetRealtimeStabilized once and PotitonBeams with every beam's roll ("Batch").
// 512 beams from -65° to +65° on a gently sloping sea floor 60 to 110 m below the transducer.
// Profiles: 50 points 10 m apart to 490 m (the beams cross up to about 11 layers), or a dense cast of
// 1024 points 0.1 m apart to 102.3 m (several hundred layers, every layer below about 100 m).
// "RebuildProfile" times PosGPSToTransducer alone with a loaded profile, which rebuilds the processed
// profile for the transducer's new depth on every ping.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>

#include "beamora/Beamora.h"

namespace {

constexpr int kBeams = 512;

struct Beam {
    double angleDeg;
    double time;  // one-way travel time, s
    double rollOffsetDeg;
};

std::array<Beam, kBeams> MakeSwath() {
    std::array<Beam, kBeams> swath{};
    for (int i = 0; i < kBeams; ++i) {
        const double angle = -65.0 + 130.0 * i / (kBeams - 1);
        const double depth = 85.0 + 25.0 * std::sin(angle * beamora::kRadiansPerDegree);
        swath[i] = {angle, depth / (1495.0 * std::cos(angle * beamora::kRadiansPerDegree)), 0.002 * (i % 7)};
    }
    return swath;
}

enum class Velocity { Single, Profile50, Dense1024 };

double ProfileVelocity(double z) {
    return 1505.0 - 18.0 * std::tanh((z - 40.0) / 15.0) + 0.016 * z + 0.5 * std::sin(z / 23.0);
}

void LoadVelocity(CBeamora& beamora, Velocity velocity) {
    static CSvpData svp[CBeamora::kMaxProfilePoints];
    const int points = velocity == Velocity::Profile50 ? 50 : CBeamora::kMaxProfilePoints;
    const double spacing = velocity == Velocity::Profile50 ? 10.0 : 0.1;
    if (velocity == Velocity::Single) {
        beamora.SetAsv(1495.0);
        return;
    }
    for (int i = 0; i < points; ++i) {
        svp[i].depth = i * spacing;
        svp[i].velocity = ProfileVelocity(i * spacing);
    }
    beamora.SetSVP(svp, points);
}

std::unique_ptr<CBeamora> MakeBeamora(Velocity velocity) {
    auto beamora = std::make_unique<CBeamora>();
    beamora->SetInstallTransducer(0.35f, 1.8f, 3.2f, 0.4f, -0.3f, 0.2f, 0.0f);
    beamora->SetInstallGPS(-1.2f, -6.5f, -11.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    beamora->SetInstallMRU(0.0f, 0.0f, 0.0f, 0.05f, -0.1f, 0.0f, 0.0f);
    LoadVelocity(*beamora, velocity);
    return beamora;
}

struct Motion {
    double roll, pitch, heave, heading;
};

Motion MotionOfPing(long ping) {
    const double k = static_cast<double>(ping);
    return {3.0 * std::sin(k * 0.21), 1.5 * std::sin(k * 0.13), 0.4 * std::sin(k * 0.17),
            87.0 + 0.5 * std::sin(k * 0.05)};
}

void Finish(benchmark::State& state, long rejected) {
    state.SetItemsProcessed(state.iterations() * kBeams);
    state.counters["pings/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    // Every beam of this swath has a position; a non-zero count means the measurement is off.
    state.counters["rejected"] = static_cast<double>(rejected);
}

void BM_PositionPing(benchmark::State& state, Velocity velocity) {
    auto beamora = MakeBeamora(velocity);
    const std::array<Beam, kBeams> swath = MakeSwath();

    long ping = 0;
    long rejected = 0;
    for (auto _ : state) {
        const Motion m = MotionOfPing(ping);
        beamora->SetMotion(m.roll, m.pitch, m.heave, m.heading);
        const CFPoint transducer =
            beamora->PosGPSToTransducer(512000.0 + static_cast<double>(ping) * 0.4, 3456000.0, 0.0);
        benchmark::DoNotOptimize(transducer);
        for (const Beam& b : swath) {
            beamora->SetRealtimeStabilized(false, false, false);
            beamora->SetMotion(m.roll + b.rollOffsetDeg, m.pitch, m.heave, m.heading);
            double easting = 0.0;
            double northing = 0.0;
            double depth = 0.0;
            double across = 0.0;
            beamora->PotitonOneBeam(b.angleDeg, b.time, easting, northing, depth, across);
            benchmark::DoNotOptimize(easting);
            benchmark::DoNotOptimize(northing);
            benchmark::DoNotOptimize(depth);
            benchmark::DoNotOptimize(across);
            rejected += depth < 0.2 || depth > 1000.0;
        }
        ++ping;
    }
    Finish(state, rejected);
}

void BM_PositionPingBatch(benchmark::State& state, Velocity velocity) {
    auto beamora = MakeBeamora(velocity);
    const std::array<Beam, kBeams> swath = MakeSwath();
    std::array<double, kBeams> angle{}, time{}, roll{}, easting{}, northing{}, depth{}, across{};
    for (int i = 0; i < kBeams; ++i) {
        angle[i] = swath[i].angleDeg;
        time[i] = swath[i].time;
    }

    long ping = 0;
    long rejected = 0;
    for (auto _ : state) {
        const Motion m = MotionOfPing(ping);
        beamora->SetMotion(m.roll, m.pitch, m.heave, m.heading);
        const CFPoint transducer =
            beamora->PosGPSToTransducer(512000.0 + static_cast<double>(ping) * 0.4, 3456000.0, 0.0);
        benchmark::DoNotOptimize(transducer);
        for (int i = 0; i < kBeams; ++i) roll[i] = m.roll + swath[i].rollOffsetDeg;
        beamora->SetRealtimeStabilized(false, false, false);
        beamora->PotitonBeams(kBeams, angle.data(), time.data(), roll.data(), easting.data(), northing.data(),
                              depth.data(), across.data());
        benchmark::DoNotOptimize(easting.data());
        benchmark::ClobberMemory();
        for (double d : depth) rejected += d < 0.2 || d > 1000.0;
        ++ping;
    }
    Finish(state, rejected);
}

void BM_RebuildProfile(benchmark::State& state, Velocity velocity) {
    auto beamora = MakeBeamora(velocity);
    long ping = 0;
    for (auto _ : state) {
        const Motion m = MotionOfPing(ping);
        beamora->SetMotion(m.roll, m.pitch, m.heave, m.heading);
        const CFPoint transducer =
            beamora->PosGPSToTransducer(512000.0 + static_cast<double>(ping) * 0.4, 3456000.0, 0.0);
        benchmark::DoNotOptimize(transducer);
        ++ping;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_PositionPing, Profile50Points, Velocity::Profile50);
BENCHMARK_CAPTURE(BM_PositionPing, SingleVelocity, Velocity::Single);
BENCHMARK_CAPTURE(BM_PositionPing, Dense1024Points, Velocity::Dense1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PositionPingBatch, Profile50Points, Velocity::Profile50);
BENCHMARK_CAPTURE(BM_PositionPingBatch, SingleVelocity, Velocity::Single);
BENCHMARK_CAPTURE(BM_PositionPingBatch, Dense1024Points, Velocity::Dense1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RebuildProfile, Profile50Points, Velocity::Profile50);
BENCHMARK_CAPTURE(BM_RebuildProfile, Dense1024Points, Velocity::Dense1024);

}  // namespace

BENCHMARK_MAIN();
