#pragma once
// The sonar's packet format: a 24-byte header, a body that depends on the packet type and a 4-byte
// tail, all little-endian. The same packets travel on the sonar's TCP stream, follow the header of a
// raw data file and are streamed again by the replay tool.

#include <cstddef>
#include <cstdint>

namespace marivane::packet {

inline constexpr std::uint32_t kMagic = 0x004E4C57;  // "WLN" and a zero byte
inline constexpr std::uint16_t kHeaderLength = 24;
inline constexpr std::uint16_t kVersion = 0x0102;
inline constexpr std::uint32_t kTail = 0x77EEEE77;
inline constexpr std::size_t kHeaderSize = 24;
inline constexpr std::size_t kTailSize = 4;
inline constexpr std::size_t kMinPacketLength = kHeaderSize + kTailSize;

// Header offsets.
inline constexpr std::size_t kOffMagic = 0;
inline constexpr std::size_t kOffHeaderLength = 4;
inline constexpr std::size_t kOffVersion = 6;
inline constexpr std::size_t kOffLength = 8;
inline constexpr std::size_t kOffFlags = 12;
inline constexpr std::size_t kOffType = 20;

// Flag bits.
inline constexpr std::uint32_t kFlagRecordOnly = 1u << 0;  // record, do not decode
inline constexpr std::uint32_t kFlagDiscard = 1u << 1;     // neither record nor decode

// Packet types.
inline constexpr std::uint32_t kTypePingHead1 = 3000;
inline constexpr std::uint32_t kTypePingHead2 = 3300;
inline constexpr std::uint32_t kTypePingExtra = 3001;  // recorded, not decoded
inline constexpr std::uint32_t kTypeShortPing = 3004;
inline constexpr std::uint32_t kTypeTime = 5000;
inline constexpr std::uint32_t kTypeGnss = 5001;
inline constexpr std::uint32_t kTypeHeading = 5004;
inline constexpr std::uint32_t kTypeAttitude = 5005;

// Full ping (3000, 3300); the beam arrays follow at kSamples.
namespace ping {
inline constexpr std::size_t kModel = 24;          // char[8]
inline constexpr std::size_t kDeviceNumber = 32;   // char[8], decimal text
inline constexpr std::size_t kPingNumber = 40;     // uint32
inline constexpr std::size_t kYear = 44;           // uint16
inline constexpr std::size_t kMonth = 46;          // uint8, then day, hour, minute, second
inline constexpr std::size_t kMicroseconds = 52;   // uint32
inline constexpr std::size_t kPingInterval = 56;   // float32, s
inline constexpr std::size_t kSpacingMode = 78;    // uint8
inline constexpr std::size_t kSoundVelocity = 92;  // float32, m/s
inline constexpr std::size_t kPingFlags = 120;     // uint16; low byte: stabilisation flags
inline constexpr std::size_t kBeamCount = 122;     // uint16
inline constexpr std::size_t kTilt = 124;          // float32, degrees
inline constexpr std::size_t kOpeningAngle = 128;  // float32, degrees
inline constexpr std::size_t kRangeScale = 132;    // float32, s per sample count
inline constexpr std::size_t kAngleScale = 136;    // float32, degrees per count
inline constexpr std::size_t kSamples = 144;       // uint16[n]; int16[n] angles at 144 + 6 * even(n)
}  // namespace ping

// Short ping (3004): model, ping number and time as in the full ping.
namespace shortping {
inline constexpr std::size_t kPingInterval = 56;   // float32
inline constexpr std::size_t kSoundVelocity = 64;  // float32
inline constexpr std::size_t kMode = 68;           // uint8: spacing mode and angle table mode
inline constexpr std::size_t kStabilisation = 69;  // uint8
inline constexpr std::size_t kBeamCount = 70;      // uint16
inline constexpr std::size_t kTilt = 72;           // float32
inline constexpr std::size_t kOpeningAngle = 76;   // float32
inline constexpr std::size_t kRangeScale = 80;     // float32
inline constexpr std::size_t kSamples = 84;        // uint16[n]
}  // namespace shortping

// Sensor packets (5000, 5001, 5004, 5005): the time block, then the values.
namespace sensor {
inline constexpr std::size_t kYear = 24;          // uint16
inline constexpr std::size_t kMonth = 26;         // uint8, then day, hour, minute, second
inline constexpr std::size_t kMicroseconds = 32;  // uint32
inline constexpr std::size_t kTimeBlockEnd = 36;

inline constexpr std::size_t kLatitude = 36;         // double
inline constexpr std::size_t kLongitude = 44;        // double
inline constexpr std::size_t kQuality = 52;          // uint8
inline constexpr std::size_t kSatellites = 53;       // uint8
inline constexpr std::size_t kHdop = 56;             // float32
inline constexpr std::size_t kAltitude = 60;         // float32
inline constexpr std::size_t kGeoidSeparation = 64;  // float32
inline constexpr std::size_t kGnssEnd = 68;

inline constexpr std::size_t kHeading = 36;  // float32
inline constexpr std::size_t kHeadingEnd = 40;

inline constexpr std::size_t kRoll = 36;   // float32
inline constexpr std::size_t kPitch = 40;  // float32
inline constexpr std::size_t kHeave = 44;  // float32
inline constexpr std::size_t kAttitudeEnd = 48;
}  // namespace sensor

}  // namespace marivane::packet
