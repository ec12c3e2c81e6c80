#pragma once
// Builds sonar packets for the tests straight from the byte layout of the format, without any of the
// code under test: header, body fields at their absolute offsets, tail.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace testpackets {

using Bytes = std::vector<std::uint8_t>;

// Sonar clock of a packet.
struct Stamp {
    std::uint16_t year = 2024;
    std::uint8_t month = 3, day = 1, hour = 12, minute = 0, second = 0;
    std::uint32_t microseconds = 0;
};

// Epoch seconds of 2024-03-01 00:00:00, the day most tests use.
inline constexpr double kMarch1st2024 = 1709251200.0;

class Builder {
  public:
    Builder(std::uint32_t type, std::size_t length) : bytes_(length, 0) {
        Put<std::uint8_t>(0, 'W');
        Put<std::uint8_t>(1, 'L');
        Put<std::uint8_t>(2, 'N');
        Put<std::uint16_t>(4, 24);
        Put<std::uint16_t>(6, 0x0102);
        Put<std::uint32_t>(8, static_cast<std::uint32_t>(length));
        Put<std::uint32_t>(20, type);
        if (length >= 4) {
            const std::uint8_t tail[4] = {0x77, 0xEE, 0xEE, 0x77};
            std::memcpy(bytes_.data() + length - 4, tail, 4);
        }
    }
    template <typename T>
    Builder& Put(std::size_t offset, T value) {
        if (offset + sizeof(T) <= bytes_.size())
            std::memcpy(bytes_.data() + offset, &value, sizeof(T));
        return *this;
    }
    Builder& Text(std::size_t offset, std::string_view text) {
        for (std::size_t i = 0; i < text.size() && offset + i < bytes_.size(); ++i) {
            bytes_[offset + i] = static_cast<std::uint8_t>(text[i]);
        }
        return *this;
    }
    Builder& Flags(std::uint32_t flags) { return Put<std::uint32_t>(12, flags); }
    Builder& Clock(std::size_t yearAt, std::size_t microsecondsAt, const Stamp& s) {
        Put<std::uint16_t>(yearAt, s.year);
        Put<std::uint8_t>(yearAt + 2, s.month);
        Put<std::uint8_t>(yearAt + 3, s.day);
        Put<std::uint8_t>(yearAt + 4, s.hour);
        Put<std::uint8_t>(yearAt + 5, s.minute);
        Put<std::uint8_t>(yearAt + 6, s.second);
        return Put<std::uint32_t>(microsecondsAt, s.microseconds);
    }
    Bytes Build() const { return bytes_; }

  private:
    Bytes bytes_;
};

// A packet of any type with `bodyBytes` zero bytes between header and tail.
inline Bytes Plain(std::uint32_t type, std::size_t bodyBytes = 8, std::uint32_t flags = 0) {
    return Builder(type, 24 + bodyBytes + 4).Flags(flags).Build();
}

struct FullPing {
    std::uint32_t type = 3000;
    Stamp stamp;
    const char* model = "TR240";
    const char* deviceText = "00001234";
    std::uint32_t pingNumber = 77;
    float interval = 0.25f;
    std::uint8_t spacingMode = 1;
    float soundVelocity = 1510.5f;
    std::uint16_t pingFlags = 0x0109;
    float tilt = 0.0f;
    float opening = 128.0f;
    float rangeScale = 0.0001f;
    float angleScale = 0.01f;
    std::vector<std::uint16_t> samples = {1000, 2000, 3000};
    std::vector<std::int16_t> counts = {-6000, 0, 6000};
    int declaredCount = -1;  // the beam count field; -1: samples.size()
};

// 144-byte fixed part, n samples padded to an even count, 4 bytes per beam not read, n angle
// counts (padded likewise), tail.
inline Bytes Build(const FullPing& p) {
    const std::size_t n = p.samples.size();
    const std::size_t even = n + (n & 1);
    Builder b(p.type, 144 + 8 * even + 4);
    b.Text(24, p.model).Text(32, p.deviceText).Put<std::uint32_t>(40, p.pingNumber).Clock(44, 52, p.stamp);
    b.Put<float>(56, p.interval).Put<std::uint8_t>(78, p.spacingMode).Put<float>(92, p.soundVelocity);
    b.Put<std::uint16_t>(120, p.pingFlags);
    b.Put<std::uint16_t>(122, static_cast<std::uint16_t>(p.declaredCount < 0 ? n : p.declaredCount));
    b.Put<float>(124, p.tilt)
        .Put<float>(128, p.opening)
        .Put<float>(132, p.rangeScale)
        .Put<float>(136, p.angleScale);
    for (std::size_t i = 0; i < n; ++i) b.Put<std::uint16_t>(144 + 2 * i, p.samples[i]);
    for (std::size_t i = 0; i < p.counts.size() && i < n; ++i)
        b.Put<std::int16_t>(144 + 6 * even + 2 * i, p.counts[i]);
    return b.Build();
}

struct ShortPing {
    Stamp stamp;
    const char* model = "TR240";
    std::uint32_t pingNumber = 5;
    float interval = 0.5f;
    float soundVelocity = 1500.0f;
    std::uint8_t mode = 0;
    std::uint8_t stabilisation = 0x02;
    float tilt = 0.0f;
    float opening = 128.0f;
    float rangeScale = 0.0001f;
    std::vector<std::uint16_t> samples = {100, 200, 300, 400};
};

inline Bytes Build(const ShortPing& p) {
    const std::size_t n = p.samples.size();
    Builder b(3004, 84 + 2 * n + 4);
    b.Text(24, p.model).Put<std::uint32_t>(40, p.pingNumber).Clock(44, 52, p.stamp);
    b.Put<float>(56, p.interval).Put<float>(64, p.soundVelocity).Put<std::uint8_t>(68, p.mode);
    b.Put<std::uint8_t>(69, p.stabilisation).Put<std::uint16_t>(70, static_cast<std::uint16_t>(n));
    b.Put<float>(72, p.tilt).Put<float>(76, p.opening).Put<float>(80, p.rangeScale);
    for (std::size_t i = 0; i < n; ++i) b.Put<std::uint16_t>(84 + 2 * i, p.samples[i]);
    return b.Build();
}

struct Gnss {
    Stamp stamp;
    double latitude = 22.5;
    double longitude = 114.25;
    std::uint8_t quality = 4;
    std::uint8_t satellites = 12;
    float hdop = 0.8f;
    float altitude = 10.0f;
    float geoidSeparation = -2.5f;
};

inline Bytes Build(const Gnss& g) {
    Builder b(5001, 72);
    b.Clock(24, 32, g.stamp).Put<double>(36, g.latitude).Put<double>(44, g.longitude);
    b.Put<std::uint8_t>(52, g.quality).Put<std::uint8_t>(53, g.satellites).Put<float>(56, g.hdop);
    b.Put<float>(60, g.altitude).Put<float>(64, g.geoidSeparation);
    return b.Build();
}

inline Bytes Heading(const Stamp& s, float heading) {
    return Builder(5004, 44).Clock(24, 32, s).Put<float>(36, heading).Build();
}

inline Bytes Attitude(const Stamp& s, float roll, float pitch, float heave) {
    return Builder(5005, 52)
        .Clock(24, 32, s)
        .Put<float>(36, roll)
        .Put<float>(40, pitch)
        .Put<float>(44, heave)
        .Build();
}

inline Bytes TimeSignal(const Stamp& s) {
    return Builder(5000, 40).Clock(24, 32, s).Build();
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace testpackets
