// Writes the seed corpora of the framer and track file fuzz tests: a few small streams built from
// the packet layout, and track files in both forms.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestPackets.h"

namespace {

using namespace testpackets;

void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The first byte chooses the read size of the fuzz entry point.
Bytes Stream(std::uint8_t readSize, const Bytes& stream) {
    Bytes out{readSize};
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <framer corpus dir> <track corpus dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path framer(argv[1]);
    const std::filesystem::path track(argv[2]);
    std::filesystem::create_directories(framer);
    std::filesystem::create_directories(track);

    FullPing ping;
    ping.samples = {100, 200, 300, 400, 500};
    ping.counts = {-100, -50, 0, 50, 100};
    FullPing second = ping;
    second.type = 3300;
    second.tilt = 2.0f;
    ShortPing tilted;
    tilted.mode = 4;
    tilted.tilt = -3.0f;
    ShortPing level;
    level.mode = 7;
    level.tilt = 5.0f;
    level.model = "TR240S1";
    Gnss fix;
    Stamp later;
    later.second = 1;
    Gnss fix2;
    fix2.stamp = later;

    Write(framer / "pings", Stream(0, Concat({Build(ping), Build(second)})));
    Write(framer / "short_pings", Stream(12, Concat({Build(tilted), Build(level)})));
    Write(framer / "sensors", Stream(30, Concat({Heading(Stamp{}, 90.0f), Attitude(Stamp{}, 1, 2, 3),
                                                 Build(fix), Build(fix2), TimeSignal(Stamp{})})));
    Write(framer / "flags_and_garbage", Stream(5, Concat({Bytes{1, 2, 3, 'W', 'L', 'N', 0}, Plain(3001, 8, 1),
                                                          Plain(3000, 8, 2), Plain(42, 0)})));
    Write(framer / "raw_ping", Build(ping));  // read as a whole packet by the decoders

    Bytes binary(64, 0);
    binary[0] = 64;
    const std::uint8_t tag[] = {0x0F, 'T', 'R', 'A', '0', '1', '0', '0', 0xFF, 0xFF, 0xFF, 0xFF};
    std::memcpy(binary.data() + 4, tag, sizeof tag);
    const std::uint8_t end[] = {'E', 'N', 'D', 0x0F};
    std::memcpy(binary.data() + 60, end, 4);
    for (int i = 0; i < 3; ++i) {
        const double v[4] = {500000.0 + i, 2500000.0 - i, 500001.0 + i, 2500001.0 - i};
        const auto* p = reinterpret_cast<const std::uint8_t*>(v);
        binary.insert(binary.end(), p, p + sizeof v);
    }
    binary.insert(binary.end(), 5, 0x01);
    Write(track / "binary", binary);
    const std::string text = "500000.5 2500000.25\n500001 2500001x\r\nabc 1\n\n 2 3\n";
    Write(track / "text", Bytes(text.begin(), text.end()));
    return 0;
}
