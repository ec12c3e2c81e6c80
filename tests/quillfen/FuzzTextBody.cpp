// Any text as the body of an older raw data file, in pieces of any size and with any input settings:
// every record is cut and parsed without reading outside the text, and every sample is finite.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "geodesy/CoordinateCal.h"
#include "quillfen/SampleLists.h"
#include "quillfen/TextBody.h"

namespace {

// Stops at the first broken promise, naming the line.
void CheckAt(bool ok, int line) {
    if (!ok) {
        std::fprintf(stderr, "check at line %d failed\n", line);
        std::abort();
    }
}
#define Check(ok) CheckAt((ok), __LINE__)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const geodesy::CCoordinateCal coordinates;
    quillfen::SampleLists lists(coordinates);
    // The first byte: which ports and formats the sensors use, and the size of the pieces.
    const std::uint8_t s = data[0];
    quillfen::InputSettings settings;
    settings.gnssPort = s & 1;
    settings.gnssFormat = (s >> 1) & 1;
    settings.motionPort = (s >> 2) & 1;
    settings.motionFormat = (s >> 3) & 7;
    settings.headingSource = (s & 0x40) != 0 ? 3 : 0;
    settings.velocityPort = (s >> 7) & 1;
    const std::size_t piece = 1 + static_cast<std::size_t>(s) * 37;

    quillfen::TextBodyReader reader(lists, settings);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    for (std::size_t at = 0; at < text.size(); at += piece) reader.Feed(text.substr(at, piece));
    reader.Finish();

    for (const auto& a : lists.attitudes)
        for (const double v : a.values) Check(std::isfinite(v));
    for (const auto& h : lists.headings) Check(std::isfinite(h.heading));
    for (const auto& v : lists.soundVelocities) Check(v.velocity >= 1300 && v.velocity <= 1700);
    for (const auto& f : lists.fixes)
        Check(std::isfinite(f.easting) && std::isfinite(f.speed) && f.counter >= 1);
    Check(lists.storedBeams.size() == lists.pings.size());
    for (std::size_t k = 0; k < lists.pings.size(); ++k) {
        const auto& p = lists.pings[k];
        Check(p.time.year >= 2000 && p.time.hour >= 0 && p.time.hour <= 23);
        Check(p.beams.store == quillfen::BeamStore::Stored && p.beams.at == k);
        const quillfen::PingBeams& b = lists.storedBeams[k];
        for (std::size_t i = 0; i < quillfen::kBeamSlots; ++i)
            Check(std::isfinite(b.travelTime[i]) && b.travelTime[i] >= 0 && std::isfinite(b.angle[i]));
    }
    Check(lists.beamCount >= 0 && lists.beamCount <= 512);
    return 0;
}
