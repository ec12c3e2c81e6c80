// Conversion throughput in megabytes of raw data file per second, for HSX and both XTF flavours,
// beside a plain `cp` of the same file from the page cache, all in one run. The raw data file is a
// simulated survey of at least 200 MB, written to the temporary folder on first use (never to the
// tree) and kept there for later runs; QUILLFEN_BENCH_RAW names another file to use instead.
//
// Also: the fixed-point number text the HSX writer is bound by, against snprintf.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "quillfen/FixedFormat.h"
#include "quillfen/HsxWriter.h"
#include "quillfen/OutputFile.h"
#include "quillfen/RawReader.h"
#include "quillfen/XtfWriter.h"
#include "tools/sonarsim/SonarSimApp.h"

extern char** environ;

namespace {

constexpr std::uintmax_t kMinimumRawBytes = 200'000'000;

std::filesystem::path RawFile() {
    if (const char* given = std::getenv("QUILLFEN_BENCH_RAW"))
        return given;
    return std::filesystem::temp_directory_path() / "quillfen_bench_survey.mbm";
}

// The simulated survey, made when missing or too small, and read once so that it is in the page cache.
const std::filesystem::path& Survey() {
    static const std::filesystem::path path = [] {
        const std::filesystem::path p = RawFile();
        std::error_code ec;
        if (!std::filesystem::exists(p, ec) || std::filesystem::file_size(p, ec) < kMinimumRawBytes) {
            std::fprintf(stderr, "writing a %ju MB simulated survey to %s ...\n", kMinimumRawBytes / 1000000,
                         p.c_str());
            std::istringstream in;
            std::ostringstream out, err;
            const int status = sonarsim::RunSonarSim(
                {"write", p.string(), "--duration", "10000", "--lines", "40", "--line-length", "800"}, in,
                out, err);
            if (status != 0) {
                std::fprintf(stderr, "sonarsim failed: %s\n", err.str().c_str());
                std::exit(1);
            }
        }
        std::ifstream warm(p, std::ios::binary);
        std::vector<char> buffer(1 << 20);
        while (warm.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || warm.gcount() > 0) {
        }
        return p;
    }();
    return path;
}

std::filesystem::path OutputFolder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path f =
            std::filesystem::temp_directory_path() / ("quillfen_bench_out_" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

void RemoveOutputs() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(OutputFolder(), ec))
        std::filesystem::remove(e.path(), ec);
}

std::uintmax_t OutputBytes() {
    std::uintmax_t total = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(OutputFolder(), ec)) total += e.file_size(ec);
    return total;
}

// `cp SOURCE DEST` as a shell user would run it.
void BM_Cp(benchmark::State& state) {
    const std::filesystem::path& raw = Survey();
    const std::string target = (OutputFolder() / "copy.mbm").string();
    for (auto _ : state) {
        pid_t pid = 0;
        const char* argv[] = {"cp", raw.c_str(), target.c_str(), nullptr};
        if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            state.SkipWithError("cp could not be started");
            break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
        state.PauseTiming();
        RemoveOutputs();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(raw)));
}

// Read the raw data file, write the output, rename it into place: what one file of a conversion run costs.
void Convert(benchmark::State& state, int type) {
    const std::filesystem::path& raw = Survey();
    std::uintmax_t written = 0;
    for (auto _ : state) {
        quillfen::RawDataReader reader;
        if (!reader.OpenRawFile(raw).Ok()) {
            state.SkipWithError("the raw data file cannot be read");
            break;
        }
        const quillfen::WriteOutcome out =
            type == 0 ? quillfen::WriteHsx(reader, OutputFolder() / "survey.HSX", {})
                      : quillfen::WriteXtf(reader, OutputFolder() / "survey.xtf", type, {});
        std::string error;
        if (!out.Ok() || !quillfen::CommitOutputs(out.outputs, error)) {
            state.SkipWithError("the conversion failed");
            break;
        }
        state.PauseTiming();
        written += OutputBytes();
        RemoveOutputs();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(raw)));
    state.counters["output_MB_per_s"] =
        benchmark::Counter(static_cast<double>(written) / 1e6, benchmark::Counter::kIsRate);
}

void BM_ConvertHsx(benchmark::State& state) {
    Convert(state, 0);
}
void BM_ConvertXtf1(benchmark::State& state) {
    Convert(state, 1);
}
void BM_ConvertXtf2(benchmark::State& state) {
    Convert(state, 2);
}

// Writing as many bytes as a flavour 1 conversion writes (17,280 bytes a ping: 4.1 times the ping's
// packet) through the converters' own output file, from a ready buffer, with nothing read or
// formatted: the floor under any flavour 1 conversion.
void BM_WriteXtf1Volume(benchmark::State& state) {
    const std::filesystem::path& raw = Survey();
    quillfen::RawDataReader reader;
    if (!reader.OpenRawFile(raw).Ok()) {
        state.SkipWithError("the raw data file cannot be read");
        return;
    }
    const std::size_t bytes = reader.Pings().size() * (quillfen::kXtfPingHeaderSize + quillfen::kXtfPayload1Size) +
                              (reader.Attitudes().size() + reader.Fixes().size()) * quillfen::kXtfPacketSize;
    reader.ClearLists();
    const std::vector<std::uint8_t> block(quillfen::kXtfPingHeaderSize + quillfen::kXtfPayload1Size, 0x5A);
    for (auto _ : state) {
        quillfen::OutputFile file;
        if (!file.Create(OutputFolder() / "volume.bin")) {
            state.SkipWithError("the output cannot be created");
            break;
        }
        for (std::size_t left = bytes; left > 0;) {
            const std::size_t n = std::min(left, block.size());
            file.Write(block.data(), n);
            left -= n;
        }
        quillfen::PendingOutput pending;
        std::string error;
        if (!file.Close(pending) || !quillfen::CommitOutputs({pending}, error)) {
            state.SkipWithError("writing failed");
            break;
        }
        state.PauseTiming();
        RemoveOutputs();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(raw)));
}

BENCHMARK(BM_Cp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ConvertHsx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ConvertXtf1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WriteXtf1Volume)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ConvertXtf2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Slant ranges and angles as the HSX writer prints them.
std::vector<double> Values() {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> range(0.0, 300.0), angle(-75.0, 75.0);
    std::vector<double> v;
    for (int i = 0; i < 1 << 16; ++i) v.push_back(i % 2 == 0 ? range(rng) : angle(rng));
    return v;
}

void BM_FormatFixed3(benchmark::State& state) {
    const std::vector<double> values = Values();
    char buffer[quillfen::kMaxFixedText];
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const double v : values) {
            char* end = quillfen::FormatFixed(buffer, v, 3);
            bytes += static_cast<std::size_t>(end - buffer);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_Snprintf3(benchmark::State& state) {
    const std::vector<double> values = Values();
    char buffer[400];
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const double v : values) {
            bytes += static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%.3f", v));
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_FormatFixed3);
BENCHMARK(BM_Snprintf3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(OutputFolder(), ec);
    return 0;
}
