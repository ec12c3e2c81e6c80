#include "marivane/acquisition/RawFile.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "platform/Binary.h"
#include "platform/FixedText.h"

namespace marivane {
namespace {

// Zero-terminated, zero-padded 8-byte text.
void PutText8(std::uint8_t* at, std::string_view text) {
    std::memset(at, 0, 8);
    std::memcpy(at, text.data(), text.size() < 8 ? text.size() : 7);
}

void PutOffsets(std::uint8_t* at, const SensorOffsets& values) {
    for (std::size_t i = 0; i < values.size(); ++i) platform::StoreLE<double>(at + 8 * i, values[i]);
}

// Seven doubles; a value that is not a finite number reads as 0 and is counted.
SensorOffsets GetOffsets(const std::uint8_t* at, int& nonFinite) {
    SensorOffsets values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = platform::LoadLE<double>(at + 8 * i);
        if (std::isfinite(v)) {
            values[i] = v;
        } else {
            ++nonFinite;
        }
    }
    return values;
}

std::string GetText8(const std::uint8_t* at) {
    return platform::GetFixedText(reinterpret_cast<const char*>(at), 8);
}

// A header text for a message: printable ASCII kept, every other byte as "\xHH".
std::string Shown(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
            out.push_back(ch);
        } else {
            out += "\\x";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        }
    }
    return out;
}

RawPreambleResult Failure(RawPreambleStatus status, std::string message) {
    RawPreambleResult r;
    r.status = status;
    r.message = std::move(message);
    return r;
}

}  // namespace

std::string_view RawFileModelName(int modelNo) {
    switch (modelNo) {
        case 1:
            return "TR120";
        case 2:
            return "TR240P";
        case 3:
            return "TR240H";
        case 4:
            return "TR9600";
        default:
            return "TR240";
    }
}

int RawFileModelNumber(std::string_view name) {
    for (int modelNo = 1; modelNo <= 4; ++modelNo) {
        if (RawFileModelName(modelNo) == name)
            return modelNo;
    }
    return 0;
}

std::array<std::uint8_t, kRawFileHeaderSize> MakeRawFileHeader(int modelNo) {
    std::array<std::uint8_t, kRawFileHeaderSize> h{};
    platform::StoreLE<std::uint32_t>(h.data(), kRawDeviceBlockSize + geodesy::kParaOfGeoBlockSize);  // 1768
    PutText8(h.data() + 4, "1.0.0");
    PutText8(h.data() + 12, RawFileModelName(modelNo));
    PutText8(h.data() + 20, "1.4.0");
    PutText8(h.data() + 28, "1.2.0");  // format version of the body
    PutText8(h.data() + 36, "1.0.0");
    return h;
}

std::array<std::uint8_t, kRawDeviceBlockSize> MakeRawDeviceBlock(const RawFileDevice& device) {
    std::array<std::uint8_t, kRawDeviceBlockSize> b{};
    platform::StoreLE<std::uint32_t>(b.data(), static_cast<std::uint32_t>(kRawDeviceBlockSize));
    b[kRawDeviceDualHead] = static_cast<std::uint8_t>(device.dualHead);
    if (device.dualHead == 1)
        PutOffsets(b.data() + kRawDeviceTransducer2, device.transducer2);
    PutOffsets(b.data() + kRawDeviceTransducer, device.transducer);
    PutOffsets(b.data() + kRawDeviceGnss, device.gnss);
    PutOffsets(b.data() + kRawDeviceAttitude, device.attitude);
    PutOffsets(b.data() + kRawDeviceCompass, device.compass);
    return b;
}

std::vector<std::uint8_t> MakeRawFilePreamble(const RawFileDevice& device, const geodesy::ParaOfGeo& geo) {
    std::vector<std::uint8_t> out;
    out.reserve(kRawFilePreambleSize);
    const auto header = MakeRawFileHeader(device.modelNo);
    const auto block = MakeRawDeviceBlock(device);
    const auto geoBlock = geodesy::ToBlock(geo);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), geoBlock.begin(), geoBlock.end());
    return out;
}

RawPreambleResult ParseRawFilePreamble(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kRawFileHeaderSize) {
        return Failure(RawPreambleStatus::TooShort,
                       "too short for a raw data file: " + std::to_string(bytes.size()) +
                           " bytes, the header alone takes " + std::to_string(kRawFileHeaderSize));
    }
    const std::uint8_t* h = bytes.data();
    const std::uint32_t areaSize = platform::LoadLE<std::uint32_t>(h);
    const std::string version = GetText8(h + kRawHeaderFormatVersion);
    const bool binary = areaSize == kRawBinaryAreaSize && version == kRawBinaryFormat;
    if (!binary) {
        if ((areaSize == kRawLegacyAreaSize && version == "1.0.0") ||
            (areaSize == kRawBinaryAreaSize && version == "1.1.0")) {
            return Failure(RawPreambleStatus::TextFormat,
                           "not a binary 1.2.0 raw data file: format \"" + version + "\" holds text records");
        }
        return Failure(RawPreambleStatus::NotRawFile, "not a raw data file: the header's first field is " +
                                                          std::to_string(areaSize) +
                                                          " (1768 expected) and its format version \"" +
                                                          Shown(version) + "\" (\"1.2.0\" expected)");
    }
    if (bytes.size() < kRawFilePreambleSize) {
        return Failure(RawPreambleStatus::TooShort,
                       "too short for a raw data file: " + std::to_string(bytes.size()) +
                           " bytes, the header and its blocks take " + std::to_string(kRawFilePreambleSize));
    }

    RawPreambleResult r;
    RawFilePreamble& p = r.preamble;
    p.model = GetText8(h + kRawHeaderModel);
    p.formatVersion = version;
    p.device.modelNo = RawFileModelNumber(p.model);

    const std::uint8_t* d = h + kRawFileHeaderSize;
    p.device.dualHead = d[kRawDeviceDualHead];
    p.device.transducer2 = GetOffsets(d + kRawDeviceTransducer2, p.nonFiniteOffsets);
    p.device.transducer = GetOffsets(d + kRawDeviceTransducer, p.nonFiniteOffsets);
    p.device.gnss = GetOffsets(d + kRawDeviceGnss, p.nonFiniteOffsets);
    p.device.attitude = GetOffsets(d + kRawDeviceAttitude, p.nonFiniteOffsets);
    p.device.compass = GetOffsets(d + kRawDeviceCompass, p.nonFiniteOffsets);

    const std::span<const std::uint8_t> geoBlock =
        bytes.subspan(kRawFileHeaderSize + kRawDeviceBlockSize, geodesy::kParaOfGeoBlockSize);
    p.geo = geodesy::DefaultParaOfGeo();
    geodesy::FromBlock(geoBlock, p.geo);  // cannot fail: the block is complete
    p.dataOffset = kRawFilePreambleSize;
    r.status = RawPreambleStatus::Ok;
    return r;
}

RecordingOpenResult RawRecorder::Open(const std::filesystem::path& path, const RawFileDevice& device,
                                      const geodesy::ParaOfGeo& geo) {
    const std::vector<std::uint8_t> preamble = MakeRawFilePreamble(device, geo);
    return file_.Open(path, preamble);
}

bool RawRecorder::RecordPacket(const std::uint8_t* bytes, std::size_t length) {
    return file_.Append(bytes, length);
}

}  // namespace marivane
