#pragma once
// Small helpers of the sonarsim tests: temporary folders, running the command in-process, and reading
// little-endian fields out of byte buffers without any of the simulator's own code.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/sonarsim/SonarSimApp.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("sonarsim_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

struct RunResult {
    int status = -1;
    std::string out, err;
};

inline RunResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    RunResult r;
    r.status = sonarsim::RunSonarSim(args, in, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

inline Bytes ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
T Get(const Bytes& b, std::size_t offset) {
    T v{};
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

inline std::string Text(const Bytes& b, std::size_t offset, std::size_t width) {
    std::string s(reinterpret_cast<const char*>(b.data() + offset), width);
    return s.substr(0, s.find('\0'));
}

// Magic "WLN\0", header length 24 and version 0x0102 at `offset`.
inline bool HeaderAt(const Bytes& b, std::size_t offset) {
    static const std::uint8_t kHead[8] = {0x57, 0x4C, 0x4E, 0x00, 0x18, 0x00, 0x02, 0x01};
    return offset + 8 <= b.size() && std::memcmp(b.data() + offset, kHead, 8) == 0;
}

inline bool TailAt(const Bytes& b, std::size_t end) {
    static const std::uint8_t kTail[4] = {0x77, 0xEE, 0xEE, 0x77};
    return end >= 4 && end <= b.size() && std::memcmp(b.data() + end - 4, kTail, 4) == 0;
}

// Seconds since 1970 of the clock block at `at` (44 in pings, 24 in sensor packets): uint16 year, uint8
// month, day, hour, minute, second, a reserved byte, uint32 microseconds.
inline double EpochAt(const Bytes& b, std::size_t at) {
    using namespace std::chrono;
    const year_month_day date{year{Get<std::uint16_t>(b, at)}, month{b[at + 2]}, day{b[at + 3]}};
    const double days = static_cast<double>(sys_days{date}.time_since_epoch().count());
    return days * 86400.0 + b[at + 4] * 3600.0 + b[at + 5] * 60.0 + b[at + 6] +
           Get<std::uint32_t>(b, at + 8) * 0.000001;
}

// One packet found by walking a stream of well-formed packets.
struct Packet {
    std::size_t offset = 0;
    std::uint32_t length = 0, flags = 0, type = 0;
};

// Walks back-to-back packets from `offset` to the end; stops (and fails the check of the caller) at
// the first thing that is not a whole packet.
inline std::vector<Packet> Walk(const Bytes& b, std::size_t offset, std::size_t* stoppedAt = nullptr) {
    std::vector<Packet> packets;
    while (offset + 28 <= b.size() && HeaderAt(b, offset)) {
        Packet p{offset, Get<std::uint32_t>(b, offset + 8), Get<std::uint32_t>(b, offset + 12),
                 Get<std::uint32_t>(b, offset + 20)};
        if (p.length < 28 || offset + p.length > b.size() || !TailAt(b, offset + p.length))
            break;
        packets.push_back(p);
        offset += p.length;
    }
    if (stoppedAt != nullptr)
        *stoppedAt = offset;
    return packets;
}

}  // namespace simtest
