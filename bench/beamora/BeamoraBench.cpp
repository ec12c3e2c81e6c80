// Beams positioned per second through CBeamora, with the full call sequence of a ping: per ping
// SetMotion and PosGPSToTransducer (which rebuilds the processed profile for the new transducer depth),
// then per beam SetRealtimeStabilized, SetMotion with the beam's own roll, and PotitonOneBeam.
// 512 beams from -65° to +65° on a gently sloping sea floor 60 to 110 m below the transducer.

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

// 50 points to 490 m: a warm mixed layer, a thermocline and a slow deep rise.
void LoadProfile(CBeamora& beamora) {
    static CSvpData svp[CBeamora::kMaxProfilePoints];
    for (int i = 0; i < 50; ++i) {
        const double z = i * 10.0;
        svp[i].depth = z;
        svp[i].velocity = 1505.0 - 18.0 * std::tanh((z - 40.0) / 15.0) + 0.016 * z + 0.5 * std::sin(z / 23.0);
    }
    beamora.SetSVP(svp, 50);
}

void BM_PositionPing(benchmark::State& state, bool withProfile) {
    auto beamora = std::make_unique<CBeamora>();
    beamora->SetInstallTransducer(0.35f, 1.8f, 3.2f, 0.4f, -0.3f, 0.2f, 0.0f);
    beamora->SetInstallGPS(-1.2f, -6.5f, -11.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    beamora->SetInstallMRU(0.0f, 0.0f, 0.0f, 0.05f, -0.1f, 0.0f, 0.0f);
    if (withProfile) {
        LoadProfile(*beamora);
    } else {
        beamora->SetAsv(1495.0);
    }
    const std::array<Beam, kBeams> swath = MakeSwath();

    long ping = 0;
    long rejected = 0;
    for (auto _ : state) {
        const double k = static_cast<double>(ping);
        const double roll = 3.0 * std::sin(k * 0.21);
        const double pitch = 1.5 * std::sin(k * 0.13);
        const double heave = 0.4 * std::sin(k * 0.17);
        const double heading = 87.0 + 0.5 * std::sin(k * 0.05);
        beamora->SetMotion(roll, pitch, heave, heading);
        const CFPoint transducer = beamora->PosGPSToTransducer(512000.0 + k * 0.4, 3456000.0, 0.0);
        benchmark::DoNotOptimize(transducer);
        for (const Beam& b : swath) {
            beamora->SetRealtimeStabilized(false, false, false);
            beamora->SetMotion(roll + b.rollOffsetDeg, pitch, heave, heading);
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
    state.SetItemsProcessed(state.iterations() * kBeams);
    // Every beam of this swath has a position; a non-zero count means the measurement is off.
    state.counters["rejected"] = static_cast<double>(rejected);
}

BENCHMARK_CAPTURE(BM_PositionPing, Profile50Points, true);
BENCHMARK_CAPTURE(BM_PositionPing, SingleVelocity, false);

}  // namespace

BENCHMARK_MAIN();
