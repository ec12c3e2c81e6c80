#pragma once
// The replay speeds: nine levels, each a chunk size sent once per interval. Level 0 is the fastest
// (about 2.4 MB/s), level 8 the slowest (about 46 KB/s); a replay starts at level 3.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace rewindle {

struct SpeedLevel {
    std::size_t chunkBytes;
    std::chrono::milliseconds interval;
};

inline constexpr int kSlowestLevel = 8;
inline constexpr int kFastestLevel = 0;
inline constexpr int kInitialLevel = 3;

inline constexpr std::array<SpeedLevel, 9> kSpeedTable{{
    {24576, std::chrono::milliseconds(10)},
    {24576, std::chrono::milliseconds(20)},
    {22528, std::chrono::milliseconds(30)},
    {20480, std::chrono::milliseconds(40)},
    {18432, std::chrono::milliseconds(50)},
    {16384, std::chrono::milliseconds(75)},
    {12288, std::chrono::milliseconds(100)},
    {9216, std::chrono::milliseconds(150)},
    {9216, std::chrono::milliseconds(200)},
}};

// The level clamped to 0..8.
constexpr int ClampLevel(int level) {
    return level < kFastestLevel ? kFastestLevel : level > kSlowestLevel ? kSlowestLevel : level;
}

constexpr const SpeedLevel& Speed(int level) {
    return kSpeedTable[static_cast<std::size_t>(ClampLevel(level))];
}

// How many ticks send a file of `fileBytes` at `level` when every chunk goes out whole (the tick that
// finds the end of the file and reports completion comes after these).
constexpr std::uint64_t SendingTicks(std::uint64_t fileBytes, int level) {
    const std::uint64_t chunk = Speed(level).chunkBytes;
    return (fileBytes + chunk - 1) / chunk;
}

}  // namespace rewindle
