#pragma once
// The sonar's wire format as this simulator writes it: self-delimiting little-endian packets with a
// 24-byte header (magic "WLN\0", header length 24, version 0x0102, total length, flags, reserved,
// type) and a 4-byte tail 77 EE EE 77; and the fixed head of a raw data file (64-byte file header,
// 512-byte device block, 1256-byte geodetic block).
//
// Packet bodies by type:
//   3000/3300  full ping: model, device number, ping number, clock, interval, spacing mode, surface
//              sound velocity, ping flags, beam count n, tilt, opening, range and angle scale; two-way
//              times (uint16 samples) at 144, a per-beam intensity/quality block of 4·N′ bytes at
//              144 + 2·N′, beam angles (int16 counts) at 144 + 6·N′, where N′ is n rounded up to even.
//              Both per-beam arrays are padded to N′ entries, so the packet is 148 + 8·N′ bytes.
//   3004       short ping: the same first 56 bytes, then interval, sound velocity, mode, stabilisation
//              flags, n, tilt, opening, range scale and the two-way times at 84 (padded to N′): 88 + 2·N′.
//   5000       time signal (clock only), 40 bytes.
//   5001       GNSS fix, 72 bytes;  5004 heading, 44 bytes;  5005 attitude, 52 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sonarsim/SimClock.h"

namespace sonarsim {

inline constexpr std::uint32_t kPacketMagic = 0x004E4C57;  // "WLN\0"
inline constexpr std::uint16_t kPacketHeaderLength = 24;
inline constexpr std::uint16_t kPacketVersion = 0x0102;
inline constexpr std::uint32_t kPacketTail = 0x77EEEE77;  // bytes 77 EE EE 77
inline constexpr std::size_t kPacketTailLength = 4;

// Header offsets.
inline constexpr std::size_t kOffsetLength = 8;
inline constexpr std::size_t kOffsetFlags = 12;
inline constexpr std::size_t kOffsetType = 20;

// Header flag bits.
inline constexpr std::uint32_t kFlagRecordOnly = 1u << 0;
inline constexpr std::uint32_t kFlagDiscard = 1u << 1;

enum PacketType : std::uint32_t {
    kTypePing = 3000,
    kTypePingSecondHead = 3300,
    kTypeShortPing = 3004,
    kTypeTimeSignal = 5000,
    kTypeGnss = 5001,
    kTypeHeading = 5004,
    kTypeAttitude = 5005,
};

inline constexpr std::size_t kMaxBeams = 512;

// Beam count rounded up to an even number.
inline constexpr std::size_t EvenBeamCount(std::size_t n) {
    return (n + 1) & ~std::size_t{1};
}

inline constexpr std::size_t kFullPingSamplesOffset = 144;
inline constexpr std::size_t kShortPingSamplesOffset = 84;
inline constexpr std::size_t FullPingLength(std::size_t n) {
    return 148 + 8 * EvenBeamCount(n);
}
inline constexpr std::size_t ShortPingLength(std::size_t n) {
    return 88 + 2 * EvenBeamCount(n);
}

inline constexpr std::size_t kTimeSignalLength = 40;
inline constexpr std::size_t kGnssLength = 72;
inline constexpr std::size_t kHeadingLength = 44;
inline constexpr std::size_t kAttitudeLength = 52;

// Everything a ping packet carries. Full pings use all fields; short pings carry no angles and no
// device number (the latter is written in its slot all the same).
struct PingContent {
    std::string model;         // at most 8 characters, zero-padded
    std::string deviceNumber;  // decimal text, at most 8 characters, zero-padded
    std::uint32_t pingNumber = 0;
    ClockFields clock;
    float pingInterval = 0.25f;    // seconds
    std::uint8_t spacingMode = 0;  // 0 equi-distant, otherwise equi-angle (short pings: table mode)
    float surfaceSoundVelocity = 1500.0f;
    std::uint16_t pingFlags = 0;  // low byte: stabilisation flags
    float tilt = 0.0f;
    float openingAngle = 130.0f;
    float rangeScale = 1e-6f;              // seconds per sample
    float angleScale = 0.01f;              // degrees per count
    std::vector<std::uint16_t> samples;    // two-way travel time per beam (n = samples.size())
    std::vector<std::int16_t> angles;      // full pings only: one per beam
    std::vector<std::uint16_t> intensity;  // full pings only, optional: per-beam filler of the unread block
};

using Bytes = std::vector<std::uint8_t>;

// Header of `length` bytes with the tail already in place; the body is zero.
Bytes NewPacket(std::uint32_t type, std::size_t length);

Bytes BuildFullPing(const PingContent& ping, std::uint32_t type = kTypePing);
Bytes BuildShortPing(const PingContent& ping);
Bytes BuildTimeSignal(const ClockFields& clock);
Bytes BuildGnssFix(const ClockFields& clock, double latitude, double longitude, std::uint8_t quality,
                   std::uint8_t satellites, float hdop, float altitude, float geoidSeparation);
Bytes BuildHeading(const ClockFields& clock, float heading);
Bytes BuildAttitude(const ClockFields& clock, float roll, float pitch, float heave);

// Header fields of a built packet.
std::uint32_t PacketTypeOf(const Bytes& packet);
void SetPacketFlags(Bytes& packet, std::uint32_t flags);

// --- Raw data file head ---------------------------------------------------------------------------

inline constexpr std::size_t kFileHeaderLength = 64;
inline constexpr std::size_t kDeviceBlockLength = 512;
inline constexpr std::size_t kGeodeticBlockLength = 1256;
inline constexpr std::size_t kFileHeadLength = kFileHeaderLength + kDeviceBlockLength + kGeodeticBlockLength;

// One installation as the device settings hold it: lever arm in metres (x starboard, y forward,
// z down), angles in degrees, latency in seconds.
struct InstallOffsets {
    double x = 0, y = 0, z = 0;
    double roll = 0, pitch = 0, yaw = 0;
    double latency = 0;
};

struct DeviceBlockContent {
    bool dualHead = false;
    InstallOffsets transducer2;  // written only with dualHead
    InstallOffsets transducer;
    InstallOffsets antenna;
    InstallOffsets motionSensor;
    InstallOffsets compass;
};

// 64 bytes: 1768, "1.0.0", model, "1.4.0", "1.2.0", "1.0.0", zeros.
std::array<std::uint8_t, kFileHeaderLength> BuildFileHeader(const std::string& model);
// 512 bytes; each installation as seven doubles X, Y, Z, Forward (yaw), Roll, Pitch, Latency.
std::array<std::uint8_t, kDeviceBlockLength> BuildDeviceBlock(const DeviceBlockContent& content);

}  // namespace sonarsim
