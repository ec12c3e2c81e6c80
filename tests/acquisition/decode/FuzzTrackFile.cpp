#include <cstdint>
#include <span>

#include "marivane/acquisition/TrackFile.h"

// Any bytes as the content of a track file, binary or text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto points = marivane::ParseTrackFile(bytes);
    if (marivane::IsTrackFileHeader(bytes)) {
        if (points.size() != (size - 64) / 32)
            __builtin_trap();
    } else {
        for (const auto& p : points) {
            if (p.transducerEasting != 0.0 || p.transducerNorthing != 0.0)
                __builtin_trap();
        }
    }
    return 0;
}
