// Speed of the coordinate chain that every GNSS fix and every converted position goes through.
// Anchor: GeoToGrid with the seven-parameter datum shift, the plane transformation and height fitting
// all on must reach 2 million calls per second on one core; "x_anchor" is the measured rate over that.

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "geodesy/CoordinateCal.h"

#ifdef BENCH_WITH_GEOGRAPHICLIB
#include <GeographicLib/TransverseMercator.hpp>
#endif

namespace {

using geodesy::CCoordinateCal;
using geodesy::ParaOfGeo;

constexpr double kAnchorCallsPerSecond = 2.0e6;

template <std::size_t N>
void Set(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

ParaOfGeo EveryStep(int projection) {
    ParaOfGeo p;
    p.ProjectionType = projection;
    Set(p.TargetSemimajor, "6378140.0");
    Set(p.TargetFlattening, "298.257");
    Set(p.DatumLatitude, "30000000000N");
    p.ETransType = 1;
    Set(p.ETransDx, "-15.415");
    Set(p.ETransDy, "157.025");
    Set(p.ETransDz, "94.74");
    Set(p.ETransRx, "1.465");
    Set(p.ETransRy, "-0.312");
    Set(p.ETransRz, "-0.08");
    Set(p.ETransSc, "-0.838");
    p.PTransType = 1;
    Set(p.PTransDx, "-3000100.5");
    Set(p.PTransDy, "-400200.25");
    Set(p.PTransRa, "+001020300000");
    Set(p.PTransSc, "1.0001");
    p.HFittingType = 3;
    Set(p.HFittingA, "-2.5");
    Set(p.HFittingB, "1e-5");
    Set(p.HFittingC, "-2e-5");
    Set(p.HFittingD, "1e-11");
    Set(p.HFittingE, "-1e-11");
    Set(p.HFittingF, "2e-11");
    Set(p.CTransDx, "10");
    Set(p.CTransDy, "20");
    Set(p.CTransDz, "3");
    return p;
}

struct Position {
    double B, L, H;
};

// Positions of a survey area a few degrees wide around the central meridian 117° E.
const std::vector<Position>& Positions() {
    static const std::vector<Position> positions = [] {
        std::vector<Position> v;
        std::uint32_t state = 12345;
        auto next = [&] {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) / double(1 << 24);
        };
        for (int i = 0; i < 4096; ++i)
            v.push_back({20.0 + 20.0 * next(), 114.0 + 6.0 * next(), -50 + 100 * next()});
        return v;
    }();
    return positions;
}

// Calls per second over the anchor's 2 M/s, from the CPU time this thread spent in the timed loop.
class AnchorRatio {
  public:
    AnchorRatio() : start_(ThreadSeconds()) {}
    void Report(benchmark::State& state) const {
        const double elapsed = ThreadSeconds() - start_;
        state.SetItemsProcessed(state.iterations());
        if (elapsed > 0) {
            state.counters["x_anchor"] =
                static_cast<double>(state.iterations()) / elapsed / kAnchorCallsPerSecond;
        }
    }

  private:
    static double ThreadSeconds() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }
    double start_;
};

void BM_GeoToGridEveryStep(benchmark::State& state) {
    CCoordinateCal cal;
    cal.Load(EveryStep(static_cast<int>(state.range(0))));
    const auto& pos = Positions();
    std::size_t i = 0;
    const AnchorRatio ratio;
    for (auto _ : state) {
        const Position& p = pos[i++ & 4095];
        double x, y, h;
        cal.GeoToGrid(p.B, p.L, p.H, x, y, h);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        benchmark::DoNotOptimize(h);
    }
    ratio.Report(state);
}
BENCHMARK(BM_GeoToGridEveryStep)->ArgName("projection")->Arg(0)->Arg(1)->Arg(2);

void BM_GridToGeoEveryStep(benchmark::State& state) {
    CCoordinateCal cal;
    cal.Load(EveryStep(static_cast<int>(state.range(0))));
    std::vector<Position> grid;
    for (const auto& p : Positions()) {
        Position g;
        cal.GeoToGrid(p.B, p.L, p.H, g.B, g.L, g.H);
        grid.push_back(g);
    }
    std::size_t i = 0;
    const AnchorRatio ratio;
    for (auto _ : state) {
        const Position& g = grid[i++ & 4095];
        double B, L, H;
        cal.GridToGeo(g.B, g.L, g.H, B, L, H);
        benchmark::DoNotOptimize(B);
        benchmark::DoNotOptimize(L);
        benchmark::DoNotOptimize(H);
    }
    ratio.Report(state);
}
BENCHMARK(BM_GridToGeoEveryStep)->ArgName("projection")->Arg(0)->Arg(1)->Arg(2);

void BM_BareProjection(benchmark::State& state) {
    ParaOfGeo p;
    p.ProjectionType = static_cast<int>(state.range(0));
    CCoordinateCal cal;
    cal.Load(p);
    const auto& pos = Positions();
    std::size_t i = 0;
    const AnchorRatio ratio;
    for (auto _ : state) {
        const Position& q = pos[i++ & 4095];
        double x, y;
        cal.BLToXY(q.B, q.L, x, y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    }
    ratio.Report(state);
}
BENCHMARK(BM_BareProjection)->ArgName("projection")->Arg(0)->Arg(1)->Arg(2);

#ifdef BENCH_WITH_GEOGRAPHICLIB
// The exact transverse Mercator (Krüger series to n⁶) of GeographicLib, for comparison.
void BM_ReferenceTransverseMercator(benchmark::State& state) {
    const GeographicLib::TransverseMercator tm(6378137.0, 1 / 298.257223563, 1.0);
    const auto& pos = Positions();
    std::size_t i = 0;
    const AnchorRatio ratio;
    for (auto _ : state) {
        const Position& q = pos[i++ & 4095];
        double x, y;
        tm.Forward(117.0, q.B, q.L, x, y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    }
    ratio.Report(state);
}
BENCHMARK(BM_ReferenceTransverseMercator);
#endif

}  // namespace

BENCHMARK_MAIN();
