// Any bytes as a raw data file: the reader must answer without reading outside them, keep every
// sample it accepts finite and in time order, and the writers must turn whatever it read into files
// without a single value that is not a number.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include <unistd.h>

#include "quillfen/HsxWriter.h"
#include "quillfen/RawReader.h"
#include "quillfen/XtfWriter.h"

namespace {

// Stops at the first broken promise, naming the line.
void CheckAt(bool ok, int line) {
    if (!ok) {
        std::fprintf(stderr, "check at line %d failed\n", line);
        std::abort();
    }
}
#define Check(ok) CheckAt((ok), __LINE__)

template <typename List>
void CheckOrdered(const List& samples) {
    for (std::size_t k = 1; k < samples.size(); ++k)
        Check(samples[k].time.EpochMicros() - samples[k - 1].time.EpochMicros() >=
              quillfen::kDuplicateMicros);
    for (const auto& s : samples) Check(std::isfinite(s.time.absolute) && s.time.year >= 2000);
}

struct Folder {
    Folder() {
        path = std::filesystem::temp_directory_path() / ("quillfen_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Folder folder;
    quillfen::RawDataReader reader;
    const auto r = reader.OpenRawBytes(std::span<const std::uint8_t>(data, size));
    if (!r.Ok()) {
        Check(!r.message.english.empty() && !r.message.chinese.empty());
        Check(reader.Pings().empty() && reader.Fixes().empty());
        return 0;
    }
    CheckOrdered(reader.Attitudes());
    CheckOrdered(reader.Fixes());
    if (reader.Format() == quillfen::BodyFormat::Binary)
        CheckOrdered(reader.Headings());  // text records may give a heading with an attitude sample
    for (const auto& a : reader.Attitudes())
        for (const double v : a.values) Check(std::isfinite(v));
    for (const auto& f : reader.Fixes())
        Check(std::isfinite(f.easting) && std::isfinite(f.northing) && std::isfinite(f.course) &&
              std::isfinite(f.speed) && f.course >= 0 && f.course < 360 && std::fabs(f.latitude) <= 90);
    quillfen::PingBeams beams;
    for (std::size_t k = 0; k < reader.Pings().size(); ++k) {
        const auto& p = reader.Pings()[k];
        Check(p.head == 0 || p.head == 1);
        reader.DecodeBeams(k, beams);
        for (std::size_t i = 0; i < quillfen::kBeamSlots; ++i)
            Check(std::isfinite(beams.travelTime[i]) && std::isfinite(beams.angle[i]));
        Check(p.model[7] == 0);
    }
    Check(reader.BeamCount() >= 0 && reader.BeamCount() <= 512);
    Check(std::isfinite(reader.DefaultSoundVelocity()));
    if (reader.Pings().empty() || reader.Pings().size() > 64)
        return 0;

    // Write both ways from the same data: read it again for the second writer (the lists are cleared).
    const quillfen::WriteOutcome hsx = quillfen::WriteHsx(reader, folder.path / "f.HSX", {});
    Check(hsx.files >= 1);
    for (const auto& o : hsx.outputs) {
        std::FILE* f = std::fopen(o.temporary.c_str(), "rb");
        Check(f != nullptr);
        std::string text;
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        std::fclose(f);
        Check(text.find("nan") == std::string::npos && text.find("inf") == std::string::npos);
    }
    quillfen::DiscardOutputs(hsx.outputs);
    Check(reader.OpenRawBytes(std::span<const std::uint8_t>(data, size)).Ok());
    const quillfen::WriteOutcome xtf = quillfen::WriteXtf(reader, folder.path / "f.xtf", 2, {});
    Check(xtf.files >= 1);
    quillfen::DiscardOutputs(xtf.outputs);
    return 0;
}
