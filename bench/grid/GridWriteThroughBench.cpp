// Soundings per second (wall clock, so that waiting on the file counts) applied to the locked depth
// grid and written through to its file, on one core, as the main window does with each batch of
// positioned pings while recording.
//
// The grid: 2000 × 2000 cells of 1 m (a 32 MB file), turned 20 degrees. The pings: a vessel running
// lines across it at 0.5 m a ping, heading 30 degrees, 512 soundings spread over a 200 m swath,
// depths 20 to 60 m, all within the grid, so every sounding changes a cell (the costliest case). The
// batch is the number of pings the main window finds waiting at once (1 for a prompt window, 10 to
// 120 when it has been busy for a moment).
//
// "ApplyAndWrite": everything the main window does: colour each sounding by its band, add it to its
// cell, and write the changed cells through (sorted, in runs, one positioned write per run).
// "ApplyOnly": the same soundings added to the grid in memory, no file.
// "WritePerSounding": for comparison, one positioned 8-byte write per accepted sounding.
//
// Target: 600,000 soundings a second applied and written (ten times the fastest sonar's 61,440).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "marivane/grid/LockedGridFeed.h"
#include "marivane/grid/MatrixLock.h"
#include "platform/Message.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kSide = 2000;
constexpr std::size_t kPingCount = 1200;

class Rig {
  public:
    Rig() {
        dir_ = fs::temp_directory_path() / ("bench_grid_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        marivane::MatrixHeader h;
        h.baseX = 500000.0;
        h.baseY = 3300000.0;
        h.length = h.width = kSide;
        h.cellLength = h.cellWidth = 1.0;
        h.rotation = 20.0;
        path_ = dir_ / "bench.mtrx";
        ok_ = marivane::CreateMatrixFile(path_, h) &&
              marivane::LoadMatrix(grids_, path_, colours_) == marivane::MatrixLoadResult::Loaded &&
              lock_.Lock(0, grids_, true) && lock_.IsOpen();
        MakePings(h);
    }
    ~Rig() {
        lock_.Close(grids_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    bool Ok() const { return ok_; }
    const std::vector<marivane::PositionedPing>& Pings() const { return pings_; }
    marivane::LoadedMatrixList& Grids() { return grids_; }
    marivane::MatrixLock& Lock() { return lock_; }
    const marivane::DepthColourTable& Colours() const { return colours_; }
    const fs::path& Path() const { return path_; }

  private:
    void MakePings(const marivane::MatrixHeader& h) {
        pings_.resize(kPingCount);
        const double heading = 30.0 * 3.14159265358979 / 180.0;
        const double ae = std::sin(heading), an = std::cos(heading);  // along track
        const double xe = an, xn = -ae;                               // to starboard
        std::uint32_t seed = 1;
        for (std::size_t p = 0; p < kPingCount; ++p) {
            // Lines 150 m apart, 600 pings long, from the grid's south-west part.
            const double line = static_cast<double>(p / 600);
            const double along = 0.5 * static_cast<double>(p % 600);
            const double e = h.baseX + 300.0 + line * 150.0 * xe + along * ae;
            const double n = h.baseY + 300.0 + line * 150.0 * xn + along * an;
            for (std::size_t b = 0; b < marivane::kMaxBeams; ++b) {
                seed = seed * 1664525u + 1013904223u;
                const double across = -100.0 + 200.0 * static_cast<double>(b) / (marivane::kMaxBeams - 1);
                auto& s = pings_[p].solutions[b];
                s.easting = e + across * xe;
                s.northing = n + across * xn;
                s.depth = 20.0 + 40.0 * static_cast<double>(seed >> 8) / 16777216.0;
                s.acrossTrack = across;
                s.valid = 1;
            }
            pings_[p].pingNumber = static_cast<std::uint32_t>(p);
        }
    }

    fs::path dir_, path_;
    marivane::DepthColourTable colours_;
    marivane::LoadedMatrixList grids_;
    marivane::MatrixLock lock_;
    std::vector<marivane::PositionedPing> pings_;
    bool ok_ = false;
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void BM_ApplyAndWrite(benchmark::State& state) {
    Rig& rig = TheRig();
    if (!rig.Ok()) {
        state.SkipWithError("the grid file could not be made");
        return;
    }
    marivane::LockedGridFeed feed(rig.Grids(), rig.Lock(), rig.Colours());
    const auto batch = static_cast<std::size_t>(state.range(0));
    const auto& pings = rig.Pings();
    std::size_t at = 0;
    const auto writesBefore = rig.Lock().WriteCalls();
    for (auto _ : state) {
        if (at + batch > pings.size())
            at = 0;
        feed.ConsumePositionedPings(std::span(pings).subspan(at, batch));
        at += batch;
    }
    if (feed.IncompleteBatches() != 0)
        state.SkipWithError("cells could not be written");
    const double soundings = static_cast<double>(state.iterations() * batch * marivane::kMaxBeams);
    state.SetItemsProcessed(static_cast<std::int64_t>(soundings));
    state.counters["soundings/s"] = benchmark::Counter(soundings, benchmark::Counter::kIsRate);
    state.counters["in grid"] = static_cast<double>(feed.SoundingsAdded()) / soundings;
    state.counters["writes/batch"] =
        static_cast<double>(rig.Lock().WriteCalls() - writesBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ApplyAndWrite)->Arg(1)->Arg(10)->Arg(120)->UseRealTime();

void BM_ApplyOnly(benchmark::State& state) {
    Rig& rig = TheRig();
    marivane::DepthMatrix& grid = rig.Grids()[0].matrix;
    const auto& colours = rig.Colours();
    const auto& pings = rig.Pings();
    std::size_t at = 0;
    std::int64_t added = 0;
    for (auto _ : state) {
        for (const auto& s : pings[at].solutions)
            added += grid.AddSounding(colours.SoundingColour(s.depth), s.easting, s.northing, s.depth) >= 0;
        at = (at + 1) % pings.size();
    }
    benchmark::DoNotOptimize(added);
    const double soundings = static_cast<double>(state.iterations() * marivane::kMaxBeams);
    state.SetItemsProcessed(static_cast<std::int64_t>(soundings));
    state.counters["soundings/s"] = benchmark::Counter(soundings, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ApplyOnly)->UseRealTime();

void BM_WritePerSounding(benchmark::State& state) {
    Rig& rig = TheRig();
    marivane::DepthMatrix& grid = rig.Grids()[0].matrix;
    const auto& colours = rig.Colours();
    const auto& pings = rig.Pings();
    const int fd = ::open(rig.Path().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("the grid file could not be opened");
        return;
    }
    std::size_t at = 0;
    bool failed = false;
    for (auto _ : state) {
        for (const auto& s : pings[at].solutions) {
            const std::int32_t cell =
                grid.AddSounding(colours.SoundingColour(s.depth), s.easting, s.northing, s.depth);
            if (cell >= 0) {
                const auto offset =
                    static_cast<off_t>(marivane::MatrixCellOffset(static_cast<std::uint64_t>(cell)));
                failed |= ::pwrite(fd, &grid.Cells()[static_cast<std::size_t>(cell)], 8, offset) != 8;
            }
        }
        at = (at + 1) % pings.size();
    }
    ::close(fd);
    if (failed)
        state.SkipWithError("a write failed");
    const double soundings = static_cast<double>(state.iterations() * marivane::kMaxBeams);
    state.SetItemsProcessed(static_cast<std::int64_t>(soundings));
    state.counters["soundings/s"] = benchmark::Counter(soundings, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WritePerSounding)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
