#pragma once
// The raw data file (.mbm): a 64-byte file header, the 512-byte device block, the 1256-byte
// geodetic block, then every packet the framer took while the file was open, exactly as received.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/LockedAppendFile.h"
#include "marivane/acquisition/PacketHandlers.h"

namespace marivane {

inline constexpr std::size_t kRawFileHeaderSize = 64;
inline constexpr std::size_t kRawDeviceBlockSize = 512;
inline constexpr std::size_t kRawFilePreambleSize =
    kRawFileHeaderSize + kRawDeviceBlockSize + geodesy::kParaOfGeoBlockSize;  // 1832
static_assert(kRawFilePreambleSize == 1832);

// Device block offsets.
inline constexpr std::size_t kRawDeviceDualHead = 4;
inline constexpr std::size_t kRawDeviceTransducer2 = 184;
inline constexpr std::size_t kRawDeviceTransducer = 288;
inline constexpr std::size_t kRawDeviceGnss = 344;
inline constexpr std::size_t kRawDeviceAttitude = 400;
inline constexpr std::size_t kRawDeviceCompass = 456;

// Seven values per sensor: X, Y, Z, Forward (yaw), Roll, Pitch, Latency.
using SensorOffsets = std::array<double, 7>;

// What the raw file header records of the device settings.
struct RawFileDevice {
    int modelNo = 0;   // ModelNo
    int dualHead = 0;  // DualHead, 1 for two heads
    SensorOffsets transducer{};
    SensorOffsets transducer2{};  // written only when dualHead is 1
    SensorOffsets gnss{};
    SensorOffsets attitude{};
    SensorOffsets compass{};
};

// 1 "TR120", 2 "TR240P", 3 "TR240H", 4 "TR9600", anything else "TR240".
std::string_view RawFileModelName(int modelNo);
// The model number of a header's model name: the reverse of RawFileModelName, 0 for any other text.
int RawFileModelNumber(std::string_view name);

std::array<std::uint8_t, kRawFileHeaderSize> MakeRawFileHeader(int modelNo);
std::array<std::uint8_t, kRawDeviceBlockSize> MakeRawDeviceBlock(const RawFileDevice& device);
// Header, device block and geodetic block: everything written before the first packet.
std::vector<std::uint8_t> MakeRawFilePreamble(const RawFileDevice& device, const geodesy::ParaOfGeo& geo);

// ---- Reading the preamble ---------------------------------------------------------------------------

// Header fields read back; the uint32 at offset 0 is the size of the blocks after the header.
inline constexpr std::size_t kRawHeaderModel = 12;          // char[8]
inline constexpr std::size_t kRawHeaderFormatVersion = 28;  // char[8]
inline constexpr std::uint32_t kRawBinaryAreaSize =
    kRawDeviceBlockSize + geodesy::kParaOfGeoBlockSize;                   // 1768
inline constexpr std::uint32_t kRawLegacyAreaSize = kRawDeviceBlockSize;  // 512
inline constexpr std::string_view kRawBinaryFormat = "1.2.0";

enum class RawPreambleStatus {
    Ok,
    TooShort,    // the bytes end inside the header or the blocks
    NotRawFile,  // the size field and the version text match no format of raw data file
    TextFormat,  // "1.0.0" (512) or "1.1.0" (1768): text records follow, not packets
};

struct RawFilePreamble {
    std::string model;          // header text at 12, at most 8 bytes as stored (not checked)
    std::string formatVersion;  // header text at 28
    // modelNo from the model text, DualHead as stored (0..255), the five groups as stored except that
    // a value that is not a finite number reads as 0.
    RawFileDevice device;
    geodesy::ParaOfGeo geo;      // geodesy::FromBlock: texts cut to their width, flags 0 or 1
    std::size_t dataOffset = 0;  // where the first packet starts: kRawFilePreambleSize
    int nonFiniteOffsets = 0;    // device offsets that were NaN or infinite and read as 0
};

struct RawPreambleResult {
    RawPreambleStatus status = RawPreambleStatus::NotRawFile;
    std::string message;  // what is wrong, in English; empty when the status is Ok
    RawFilePreamble preamble;

    bool Ok() const { return status == RawPreambleStatus::Ok; }
};

// Reads the preamble of a binary (format "1.2.0") raw data file from the first bytes of the file
// (at least kRawFilePreambleSize of them for success; more are ignored). Every field is bounded: the
// texts are read within their 8 bytes, the blocks within their sizes.
RawPreambleResult ParseRawFilePreamble(std::span<const std::uint8_t> bytes);

// The open raw data file. The framer records through it on the receiving thread; the recording
// commands open and close it on the user-interface thread; all of it under the raw-file lock.
class RawRecorder final : public PacketRecorder {
  public:
    // Opens `path` for appending, unless a raw file is open already, and writes the preamble.
    RecordingOpenResult Open(const std::filesystem::path& path, const RawFileDevice& device,
                             const geodesy::ParaOfGeo& geo);
    // Flushes and closes; false when that failed.
    bool Close() { return file_.Close(); }
    bool IsOpen() const { return file_.IsOpen(); }
    std::filesystem::path Path() const { return file_.Path(); }

    // Appends one packet while a file is open; false only when the write failed.
    bool RecordPacket(const std::uint8_t* bytes, std::size_t length) override;

    std::uint64_t WriteErrors() const { return file_.WriteErrors(); }
    std::uint64_t PacketsRecorded() const { return file_.Appended(); }

  private:
    LockedAppendFile file_;
};

}  // namespace marivane
