// Any bytes as the start of a raw data file: the reader must answer without reading outside them, and
// whatever it accepts must be usable as it is.

#include <cmath>
#include <cstdint>
#include <span>

#include "marivane/acquisition/RawFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const marivane::RawPreambleResult r = marivane::ParseRawFilePreamble(bytes);
    if (!r.Ok()) {
        if (r.message.empty())
            __builtin_trap();
        return 0;
    }
    const marivane::RawFilePreamble& p = r.preamble;
    if (p.dataOffset != marivane::kRawFilePreambleSize || size < p.dataOffset || p.model.size() > 8 ||
        p.formatVersion != "1.2.0" || p.device.modelNo < 0 || p.device.modelNo > 4 || p.device.dualHead > 255)
        __builtin_trap();
    for (const auto* group : {&p.device.transducer, &p.device.transducer2, &p.device.gnss, &p.device.attitude,
                              &p.device.compass}) {
        for (const double v : *group) {
            if (!std::isfinite(v))
                __builtin_trap();
        }
    }
    if (geodesy::FieldText(p.geo.CentralMeridian).size() >= sizeof p.geo.CentralMeridian)
        __builtin_trap();
    // What was read writes back to the same blocks, the texts of the header aside.
    const auto again = marivane::MakeRawFilePreamble(p.device, p.geo);
    if (!marivane::ParseRawFilePreamble(again).Ok())
        __builtin_trap();
    return 0;
}
