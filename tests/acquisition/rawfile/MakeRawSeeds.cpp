// Writes the seed corpus of the raw file preamble fuzz test.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "marivane/acquisition/RawFile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void SetHeader(Bytes& b, std::uint32_t areaSize, const char* version) {
    std::memcpy(b.data(), &areaSize, 4);
    std::memset(b.data() + marivane::kRawHeaderFormatVersion, 0, 8);
    std::memcpy(b.data() + marivane::kRawHeaderFormatVersion, version, std::strlen(version));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir);

    marivane::RawFileDevice device;
    device.modelNo = 3;
    device.dualHead = 1;
    for (std::size_t i = 0; i < 7; ++i) {
        device.transducer[i] = 0.5 + static_cast<double>(i);
        device.transducer2[i] = -0.25 * static_cast<double>(i);
        device.gnss[i] = 10.0 + static_cast<double>(i);
        device.attitude[i] = 0.125 * static_cast<double>(i);
        device.compass[i] = 1.0e-3 * static_cast<double>(i);
    }
    const Bytes dual = marivane::MakeRawFilePreamble(device, geodesy::DefaultParaOfGeo());
    Write(dir / "dual_head", dual);
    device.dualHead = 0;
    device.modelNo = 0;
    Bytes single = marivane::MakeRawFilePreamble(device, geodesy::DefaultParaOfGeo());
    Write(dir / "single_head", single);

    Bytes withPackets = single;
    const std::uint8_t packet[32] = {'W', 'L', 'N', 0, 24,   0,    2, 1, 32, 0, 0, 0, 0,    0,    0,    0,
                                     0,   0,   0,   0, 0xB9, 0x0B, 0, 0, 0,  0, 0, 0, 0x77, 0xEE, 0xEE, 0x77};
    withPackets.insert(withPackets.end(), packet, packet + sizeof packet);
    Write(dir / "with_packet", withPackets);

    Bytes textFormat = single;
    SetHeader(textFormat, 1768, "1.1.0");
    Write(dir / "format_1_1_0", textFormat);
    Bytes legacy(marivane::kRawFileHeaderSize + marivane::kRawDeviceBlockSize, 0);
    SetHeader(legacy, 512, "1.0.0");
    Write(dir / "format_1_0_0", legacy);
    Write(dir / "header_only", Bytes(single.begin(), single.begin() + marivane::kRawFileHeaderSize));
    return 0;
}
