#include "tools/sonarsim/SonarPackets.h"

#include <algorithm>
#include <cstring>

#include "platform/Binary.h"

namespace sonarsim {

namespace {

template <typename T>
void Put(Bytes& b, std::size_t offset, T value) {
    platform::StoreLE<T>(b.data() + offset, value);
}

void PutText(Bytes& b, std::size_t offset, const std::string& text, std::size_t width) {
    std::memset(b.data() + offset, 0, width);
    std::memcpy(b.data() + offset, text.data(), std::min(text.size(), width));
}

// Date and time at 44..55 of a ping: uint16 year, five uint8 fields, a reserved byte, uint32 µs.
void PutPingClock(Bytes& b, const ClockFields& c) {
    Put<std::uint16_t>(b, 44, static_cast<std::uint16_t>(c.year));
    Put<std::uint8_t>(b, 46, static_cast<std::uint8_t>(c.month));
    Put<std::uint8_t>(b, 47, static_cast<std::uint8_t>(c.day));
    Put<std::uint8_t>(b, 48, static_cast<std::uint8_t>(c.hour));
    Put<std::uint8_t>(b, 49, static_cast<std::uint8_t>(c.minute));
    Put<std::uint8_t>(b, 50, static_cast<std::uint8_t>(c.second));
    Put<std::uint32_t>(b, 52, c.microsecond);
}

// The time block of the sensor packets at 24..35, the same layout shifted.
void PutSensorClock(Bytes& b, const ClockFields& c) {
    Put<std::uint16_t>(b, 24, static_cast<std::uint16_t>(c.year));
    Put<std::uint8_t>(b, 26, static_cast<std::uint8_t>(c.month));
    Put<std::uint8_t>(b, 27, static_cast<std::uint8_t>(c.day));
    Put<std::uint8_t>(b, 28, static_cast<std::uint8_t>(c.hour));
    Put<std::uint8_t>(b, 29, static_cast<std::uint8_t>(c.minute));
    Put<std::uint8_t>(b, 30, static_cast<std::uint8_t>(c.second));
    Put<std::uint32_t>(b, 32, c.microsecond);
}

// Model, device number, ping number and clock: bytes 24..55 of both ping forms.
void PutPingIdentity(Bytes& b, const PingContent& p) {
    PutText(b, 24, p.model, 8);
    PutText(b, 32, p.deviceNumber, 8);
    Put<std::uint32_t>(b, 40, p.pingNumber);
    PutPingClock(b, p.clock);
}

void PutDoubles(std::uint8_t* at, const InstallOffsets& o) {
    const double values[7] = {o.x, o.y, o.z, o.yaw, o.roll, o.pitch, o.latency};
    for (int i = 0; i < 7; ++i) platform::StoreLE<double>(at + 8 * i, values[i]);
}

}  // namespace

Bytes NewPacket(std::uint32_t type, std::size_t length) {
    Bytes b(length, 0);
    Put<std::uint32_t>(b, 0, kPacketMagic);
    Put<std::uint16_t>(b, 4, kPacketHeaderLength);
    Put<std::uint16_t>(b, 6, kPacketVersion);
    Put<std::uint32_t>(b, kOffsetLength, static_cast<std::uint32_t>(length));
    Put<std::uint32_t>(b, kOffsetType, type);
    Put<std::uint32_t>(b, length - kPacketTailLength, kPacketTail);
    return b;
}

Bytes BuildFullPing(const PingContent& p, std::uint32_t type) {
    const std::size_t n = std::min(p.samples.size(), kMaxBeams);
    const std::size_t even = EvenBeamCount(n);
    Bytes b = NewPacket(type, FullPingLength(n));
    PutPingIdentity(b, p);
    Put<float>(b, 56, p.pingInterval);
    // Settings of the device that the survey programs do not use, filled with plausible values so
    // that a reader looking in the wrong place sees something other than zeros.
    Put<float>(b, 60, 400000.0f);  // transmit frequency, Hz
    Put<float>(b, 64, 0.00005f);   // pulse length, s
    Put<float>(b, 68, 200.0f);     // source level
    Put<float>(b, 72, 20.0f);      // receiver gain
    Put<std::uint8_t>(b, 78, p.spacingMode);
    Put<float>(b, 80, 60.0f);  // absorption, dB/km
    Put<float>(b, 92, p.surfaceSoundVelocity);
    Put<float>(b, 96, 1.0f / std::max(p.rangeScale, 1e-9f));  // sample rate, Hz
    Put<std::uint16_t>(b, 120, p.pingFlags);
    Put<std::uint16_t>(b, 122, static_cast<std::uint16_t>(n));
    Put<float>(b, 124, p.tilt);
    Put<float>(b, 128, p.openingAngle);
    Put<float>(b, 132, p.rangeScale);
    Put<float>(b, 136, p.angleScale);
    const std::size_t qualityOffset = kFullPingSamplesOffset + 2 * even;
    const std::size_t angleOffset = kFullPingSamplesOffset + 6 * even;
    for (std::size_t i = 0; i < n; ++i) {
        Put<std::uint16_t>(b, kFullPingSamplesOffset + 2 * i, p.samples[i]);
        const std::uint16_t intensity = i < p.intensity.size() ? p.intensity[i] : 0;
        Put<std::uint16_t>(b, qualityOffset + 4 * i, intensity);
        Put<std::uint16_t>(b, qualityOffset + 4 * i + 2,
                           static_cast<std::uint16_t>(p.samples[i] != 0 ? 3 : 0));
        Put<std::int16_t>(b, angleOffset + 2 * i, i < p.angles.size() ? p.angles[i] : 0);
    }
    return b;
}

Bytes BuildShortPing(const PingContent& p) {
    const std::size_t n = std::min(p.samples.size(), kMaxBeams);
    Bytes b = NewPacket(kTypeShortPing, ShortPingLength(n));
    PutPingIdentity(b, p);
    Put<float>(b, 56, p.pingInterval);
    Put<float>(b, 64, p.surfaceSoundVelocity);
    Put<std::uint8_t>(b, 68, p.spacingMode);
    Put<std::uint8_t>(b, 69, static_cast<std::uint8_t>(p.pingFlags & 0xFF));
    Put<std::uint16_t>(b, 70, static_cast<std::uint16_t>(n));
    Put<float>(b, 72, p.tilt);
    Put<float>(b, 76, p.openingAngle);
    Put<float>(b, 80, p.rangeScale);
    for (std::size_t i = 0; i < n; ++i) Put<std::uint16_t>(b, kShortPingSamplesOffset + 2 * i, p.samples[i]);
    return b;
}

Bytes BuildTimeSignal(const ClockFields& clock) {
    Bytes b = NewPacket(kTypeTimeSignal, kTimeSignalLength);
    PutSensorClock(b, clock);
    return b;
}

Bytes BuildGnssFix(const ClockFields& clock, double latitude, double longitude, std::uint8_t quality,
                   std::uint8_t satellites, float hdop, float altitude, float geoidSeparation) {
    Bytes b = NewPacket(kTypeGnss, kGnssLength);
    PutSensorClock(b, clock);
    Put<double>(b, 36, latitude);
    Put<double>(b, 44, longitude);
    Put<std::uint8_t>(b, 52, quality);
    Put<std::uint8_t>(b, 53, satellites);
    Put<float>(b, 56, hdop);
    Put<float>(b, 60, altitude);
    Put<float>(b, 64, geoidSeparation);
    return b;
}

Bytes BuildHeading(const ClockFields& clock, float heading) {
    Bytes b = NewPacket(kTypeHeading, kHeadingLength);
    PutSensorClock(b, clock);
    Put<float>(b, 36, heading);
    return b;
}

Bytes BuildAttitude(const ClockFields& clock, float roll, float pitch, float heave) {
    Bytes b = NewPacket(kTypeAttitude, kAttitudeLength);
    PutSensorClock(b, clock);
    Put<float>(b, 36, roll);
    Put<float>(b, 40, pitch);
    Put<float>(b, 44, heave);
    return b;
}

std::uint32_t PacketTypeOf(const Bytes& packet) {
    return platform::LoadLE<std::uint32_t>(packet.data() + kOffsetType);
}

void SetPacketFlags(Bytes& packet, std::uint32_t flags) {
    Put<std::uint32_t>(packet, kOffsetFlags, flags);
}

std::array<std::uint8_t, kFileHeaderLength> BuildFileHeader(const std::string& model) {
    std::array<std::uint8_t, kFileHeaderLength> h{};
    platform::StoreLE<std::uint32_t>(h.data(),
                                     static_cast<std::uint32_t>(kDeviceBlockLength + kGeodeticBlockLength));
    const auto text = [&](std::size_t offset, const std::string& s) {
        std::memcpy(h.data() + offset, s.data(), std::min<std::size_t>(s.size(), 7));
    };
    text(4, "1.0.0");
    text(12, model);
    text(20, "1.4.0");
    text(28, "1.2.0");
    text(36, "1.0.0");
    return h;
}

std::array<std::uint8_t, kDeviceBlockLength> BuildDeviceBlock(const DeviceBlockContent& c) {
    std::array<std::uint8_t, kDeviceBlockLength> d{};
    platform::StoreLE<std::uint32_t>(d.data(), static_cast<std::uint32_t>(kDeviceBlockLength));
    d[4] = c.dualHead ? 1 : 0;
    if (c.dualHead)
        PutDoubles(d.data() + 184, c.transducer2);
    PutDoubles(d.data() + 288, c.transducer);
    PutDoubles(d.data() + 344, c.antenna);
    PutDoubles(d.data() + 400, c.motionSensor);
    PutDoubles(d.data() + 456, c.compass);
    return d;
}

}  // namespace sonarsim
