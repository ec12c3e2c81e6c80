#include "quillfen/RawReader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "marivane/acquisition/BeamAngleTables.h"
#include "marivane/acquisition/Framer.h"
#include "marivane/acquisition/PacketFormat.h"
#include "marivane/acquisition/PacketHandlers.h"
#include "marivane/acquisition/RawFile.h"
#include "platform/Binary.h"
#include "platform/FixedText.h"
#include "platform/NumberText.h"

namespace quillfen {
namespace {

using platform::LoadLE;

constexpr std::string_view kLegacyFormat = "1.0.0";
constexpr std::string_view kTextFormat = "1.1.0";
constexpr std::string_view kBinaryFormat = "1.2.0";

// Where each sensor's seven values lie in the device block, in installation set order.
constexpr std::size_t kSensorOffsets[5] = {marivane::kRawDeviceTransducer, marivane::kRawDeviceTransducer2,
                                           marivane::kRawDeviceGnss, marivane::kRawDeviceAttitude,
                                           marivane::kRawDeviceCompass};

// True when the fields up to `end` lie before the packet's tail.
bool Holds(std::span<const std::uint8_t> packet, std::size_t end) {
    return packet.size() >= marivane::packet::kTailSize && end <= packet.size() - marivane::packet::kTailSize;
}

// uint16 year, five uint8 (month, day, hour, minute, second), a reserved byte, uint32 microseconds.
ClockReading ReadClock(const std::uint8_t* p, std::size_t yearAt, std::size_t microsecondsAt) {
    ClockReading c;
    c.year = LoadLE<std::uint16_t>(p + yearAt);
    c.month = p[yearAt + 2];
    c.day = p[yearAt + 3];
    c.hour = p[yearAt + 4];
    c.minute = p[yearAt + 5];
    c.secondMicros =
        static_cast<std::int64_t>(p[yearAt + 6]) * 1000000 + LoadLE<std::uint32_t>(p + microsecondsAt);
    return c;
}

// Whole degrees toward zero as the acquisition decoders take a tilt; not-a-number gives 0.
std::int32_t WholeDegrees(float v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2.0e9f)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2.0e9f)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

void CopyModel(char (&model)[8], const std::uint8_t* p) {
    std::memset(model, 0, sizeof model);
    for (std::size_t i = 0; i < 7 && p[i] != 0; ++i) model[i] = static_cast<char>(p[i]);
}

// Turns every packet the framer takes into samples.
class PacketCollector final : public marivane::PacketDecoder {
  public:
    explicit PacketCollector(SampleLists& lists) : lists_(lists) {}

    bool Decode(std::span<const std::uint8_t> packet) override {
        namespace pk = marivane::packet;
        if (packet.size() < pk::kHeaderSize)
            return Malformed();
        switch (LoadLE<std::uint32_t>(packet.data() + pk::kOffType)) {
            case pk::kTypePingHead1:
                return FullPing(packet, 0);
            case pk::kTypePingHead2:
                return FullPing(packet, 1);
            case pk::kTypeShortPing:
                return ShortPing(packet);
            case pk::kTypeGnss:
                return Fix(packet);
            case pk::kTypeHeading:
                return Heading(packet);
            case pk::kTypeAttitude:
                return Attitude(packet);
            default:
                return true;  // consumed silently
        }
    }

    std::uint64_t malformed = 0;

  private:
    bool Malformed() {
        ++malformed;
        return false;
    }

    bool FullPing(std::span<const std::uint8_t> packet, int head) {
        namespace f = marivane::packet::ping;
        if (!Holds(packet, f::kSamples))
            return Malformed();
        const std::uint8_t* p = packet.data();
        const std::size_t declared = LoadLE<std::uint16_t>(p + f::kBeamCount);
        const std::size_t beams = std::min<std::size_t>(declared, kBeamSlots);
        const std::size_t anglesAt = f::kSamples + 6 * (declared + (declared & 1));
        if (!Holds(packet, f::kSamples + 2 * beams) || !Holds(packet, anglesAt + 2 * beams))
            return Malformed();
        RawPing* ping = lists_.BeginPing(ReadClock(p, f::kYear, f::kMicroseconds), head);
        if (ping == nullptr)
            return false;
        ping->firstInteger = platform::LeadingInt(
            platform::GetFixedText(reinterpret_cast<const char*>(p + f::kDeviceNumber), 8));
        ping->pingNumber = LoadLE<std::uint32_t>(p + f::kPingNumber);
        CopyModel(ping->model, p + f::kModel);
        ping->flags = LoadLE<std::uint16_t>(p + f::kPingFlags);
        ping->soundVelocity = FiniteFloat(LoadLE<float>(p + f::kSoundVelocity));
        const float rangeScale = LoadLE<float>(p + f::kRangeScale);
        const float angleScale = LoadLE<float>(p + f::kAngleScale);
        for (std::size_t i = 0; i < beams; ++i) {
            ping->travelTime[i] =
                FiniteFloat(LoadLE<std::uint16_t>(p + f::kSamples + 2 * i) * rangeScale * 0.5f);
            ping->angle[i] = FiniteFloat(LoadLE<std::int16_t>(p + anglesAt + 2 * i) * angleScale);
        }
        previousAngles_ = ping->angle;
        lists_.lastPingModel = ModelOf(*ping);
        return true;
    }

    // Short pings carry no angles: they come from the built-in tables, chosen as the acquisition
    // program chooses them, or stay those of the previous ping when no table fits.
    bool ShortPing(std::span<const std::uint8_t> packet) {
        namespace f = marivane::packet::shortping;
        namespace fp = marivane::packet::ping;
        if (!Holds(packet, f::kSamples))
            return Malformed();
        const std::uint8_t* p = packet.data();
        const std::size_t beams = std::min<std::size_t>(LoadLE<std::uint16_t>(p + f::kBeamCount), kBeamSlots);
        if (!Holds(packet, f::kSamples + 2 * beams))
            return Malformed();
        RawPing* ping = lists_.BeginPing(ReadClock(p, fp::kYear, fp::kMicroseconds), 0);
        if (ping == nullptr)
            return false;
        ping->pingNumber = LoadLE<std::uint32_t>(p + fp::kPingNumber);
        CopyModel(ping->model, p + fp::kModel);
        ping->flags = p[f::kStabilisation];
        ping->soundVelocity = FiniteFloat(LoadLE<float>(p + f::kSoundVelocity));
        const float rangeScale = LoadLE<float>(p + f::kRangeScale);
        for (std::size_t i = 0; i < beams; ++i)
            ping->travelTime[i] =
                FiniteFloat(LoadLE<std::uint16_t>(p + f::kSamples + 2 * i) * rangeScale * 0.5f);
        const marivane::ShortPingAngles angles = marivane::ChooseShortPingAngles(
            platform::GetFixedText(reinterpret_cast<const char*>(p + fp::kModel), 8), p[f::kMode],
            WholeDegrees(LoadLE<float>(p + f::kTilt)), LoadLE<float>(p + f::kOpeningAngle));
        for (std::size_t i = 0; i < beams; ++i) {
            ping->angle[i] =
                angles.table != nullptr ? FiniteFloat((*angles.table)[i] - angles.shift) : previousAngles_[i];
        }
        previousAngles_ = ping->angle;
        lists_.lastPingModel = ModelOf(*ping);
        return true;
    }

    bool Fix(std::span<const std::uint8_t> packet) {
        namespace f = marivane::packet::sensor;
        if (!Holds(packet, f::kGnssEnd))
            return Malformed();
        const std::uint8_t* p = packet.data();
        FixReading fix;
        fix.latitude = LoadLE<double>(p + f::kLatitude);
        fix.longitude = LoadLE<double>(p + f::kLongitude);
        fix.quality = p[f::kQuality];
        fix.satellites = p[f::kSatellites];
        fix.hdop = LoadLE<float>(p + f::kHdop);
        fix.height = static_cast<double>(LoadLE<float>(p + f::kAltitude)) +
                     static_cast<double>(LoadLE<float>(p + f::kGeoidSeparation));
        return lists_.AddFix(ReadClock(p, f::kYear, f::kMicroseconds), fix);
    }

    bool Heading(std::span<const std::uint8_t> packet) {
        namespace f = marivane::packet::sensor;
        if (!Holds(packet, f::kHeadingEnd))
            return Malformed();
        const std::uint8_t* p = packet.data();
        return lists_.AddHeading(ReadClock(p, f::kYear, f::kMicroseconds), LoadLE<float>(p + f::kHeading));
    }

    bool Attitude(std::span<const std::uint8_t> packet) {
        namespace f = marivane::packet::sensor;
        if (!Holds(packet, f::kAttitudeEnd))
            return Malformed();
        const std::uint8_t* p = packet.data();
        return lists_.AddAttitude(ReadClock(p, f::kYear, f::kMicroseconds), LoadLE<float>(p + f::kPitch),
                                  LoadLE<float>(p + f::kRoll), LoadLE<float>(p + f::kHeave));
    }

    SampleLists& lists_;
    std::array<float, kBeamSlots> previousAngles_{};
};

marivane::SensorOffsets ReadOffsets(const std::uint8_t* at) {
    marivane::SensorOffsets values{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = Finite(LoadLE<double>(at + 8 * i));
    return values;
}

// A printable form of header text for a message.
std::string Shown(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x20 && b < 0x7F ? ch : '?');
    }
    return out;
}

}  // namespace

// ---- Sources --------------------------------------------------------------------------------------

class RawDataReader::Source {
  public:
    virtual ~Source() = default;
    // Up to `n` bytes; fewer only at the end of the data or on failure.
    virtual std::size_t Read(std::uint8_t* dst, std::size_t n) = 0;
    virtual bool Failed() const = 0;
};

class RawDataReader::FileSource final : public RawDataReader::Source {
  public:
    explicit FileSource(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                ::close(fd_);
                fd_ = -1;
            } else {
                size_ = static_cast<std::uint64_t>(st.st_size);
            }
        }
    }
    ~FileSource() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    std::uint64_t Size() const { return size_; }

    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        std::size_t got = 0;
        while (got < n && !failed_) {
            const ssize_t r = ::read(fd_, dst + got, n - got);
            if (r > 0) {
                got += static_cast<std::size_t>(r);
            } else if (r == 0) {
                break;
            } else if (errno != EINTR) {
                failed_ = true;
            }
        }
        return got;
    }
    bool Failed() const override { return failed_; }

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool failed_ = false;
};

class RawDataReader::MemorySource final : public RawDataReader::Source {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        const std::size_t take = std::min(n, bytes_.size() - at_);
        if (take > 0)
            std::memcpy(dst, bytes_.data() + at_, take);
        at_ += take;
        return take;
    }
    bool Failed() const override { return false; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// ---- Reader ---------------------------------------------------------------------------------------

RawDataReader::RawDataReader() : lists_(coordinates_) {}

void RawDataReader::Reset() {
    lists_.Reset();
    fileParameters_ = geodesy::DefaultParaOfGeo();
    installation_ = {};
    dualHead_ = false;
    inputs_ = {};
    defaultSoundVelocity_ = 1500.0;
    formatVersion_.clear();
    format_ = BodyFormat::None;
    damage_ = {};
    current_ = {};
    fileSize_ = 0;
}

void RawDataReader::ClearLists() {
    const int beamCount = lists_.beamCount;
    const std::string model = lists_.lastPingModel;
    lists_.attitudes = {};
    lists_.fixes = {};
    lists_.pings = {};
    lists_.headings = {};
    lists_.soundVelocities = {};
    lists_.beamCount = beamCount;
    lists_.lastPingModel = model;
}

RawDataReader::OpenResult RawDataReader::OpenRawFile(const std::filesystem::path& path,
                                                     const ReaderOptions& options) {
    Reset();
    FileSource source(path);
    if (!source.IsOpen())
        return {OpenStatus::OpenFailed, msg::kOpenFailed};
    fileSize_ = source.Size();
    return Read(source, options, path.string());
}

RawDataReader::OpenResult RawDataReader::OpenRawBytes(std::span<const std::uint8_t> bytes,
                                                      const ReaderOptions& options) {
    Reset();
    fileSize_ = bytes.size();
    MemorySource source(bytes);
    return Read(source, options, "(memory)");
}

RawDataReader::OpenResult RawDataReader::Read(Source& source, const ReaderOptions& options,
                                              const std::string& name) {
    OpenResult result = ReadParameters(source, options, name);
    if (!result.Ok())
        return result;

    if (format_ == BodyFormat::Binary) {
        ReadBinaryBody(source);
    } else {
        ReadTextBody(source);
    }
    if (source.Failed()) {
        lists_.Reset();
        return {OpenStatus::ReadFailed, WithValue(msg::kReadFailed, name)};
    }

    if (options.surfaceSoundVelocity) {
        defaultSoundVelocity_ = options.surfaceSoundVelocityValue;
    } else if (!lists_.soundVelocities.empty()) {
        defaultSoundVelocity_ = lists_.soundVelocities.front().velocity;
    } else if (!lists_.pings.empty()) {
        defaultSoundVelocity_ = lists_.pings.front().soundVelocity;
    } else {
        defaultSoundVelocity_ = 1500.0;
    }
    return result;
}

RawDataReader::OpenResult RawDataReader::ReadParameters(Source& source, const ReaderOptions& options,
                                                        const std::string& name) {
    std::array<std::uint8_t, marivane::kRawFilePreambleSize> preamble{};
    const std::size_t got = source.Read(preamble.data(), marivane::kRawFileHeaderSize);
    if (source.Failed())
        return {OpenStatus::ReadFailed, WithValue(msg::kReadFailed, name)};
    if (got == 0)
        return {OpenStatus::Empty, WithValue(msg::kEmptyFile, name)};
    if (got < marivane::kRawFileHeaderSize)
        return {OpenStatus::Truncated, WithValue(msg::kTruncatedHeader, name)};

    const std::uint32_t areaSize = LoadLE<std::uint32_t>(preamble.data());
    const std::string version = platform::GetFixedText(
        reinterpret_cast<const char*>(preamble.data() + marivane::kRawHeaderFormatVersion), 8);
    const bool legacy = areaSize == marivane::kRawLegacyAreaSize && version == kLegacyFormat;
    const bool text = areaSize == marivane::kRawBinaryAreaSize && version == kTextFormat;
    const bool binary = areaSize == marivane::kRawBinaryAreaSize && version == kBinaryFormat;
    if (!legacy && !text && !binary) {
        return {OpenStatus::UnknownFormat,
                WithValue(msg::kUnknownFormat,
                          name + " (" + std::to_string(areaSize) + ", \"" + Shown(version) + "\")")};
    }

    const std::size_t areaGot = source.Read(preamble.data() + marivane::kRawFileHeaderSize, areaSize);
    if (source.Failed())
        return {OpenStatus::ReadFailed, WithValue(msg::kReadFailed, name)};
    if (areaGot < areaSize)
        return {OpenStatus::Truncated, WithValue(msg::kTruncatedHeader, name)};

    const std::span<const std::uint8_t, marivane::kRawDeviceBlockSize> block(
        preamble.data() + marivane::kRawFileHeaderSize, marivane::kRawDeviceBlockSize);
    formatVersion_ = version;
    if (binary) {
        const marivane::RawPreambleResult parsed = marivane::ParseRawFilePreamble(preamble);
        if (!parsed.Ok())  // cannot happen after the checks above; kept as a guard
            return {OpenStatus::UnknownFormat, WithValue(msg::kUnknownFormat, name)};
        const marivane::RawFileDevice& d = parsed.preamble.device;
        const marivane::SensorOffsets* groups[5] = {&d.transducer, &d.transducer2, &d.gnss, &d.attitude,
                                                    &d.compass};
        for (std::size_t s = 0; s < 5; ++s) {
            for (std::size_t k = 0; k < 7; ++k) installation_[s][k] = FiniteFloat((*groups[s])[k]);
        }
        dualHead_ = d.dualHead != 0;
        fileParameters_ = parsed.preamble.geo;
        format_ = BodyFormat::Binary;
    } else {
        for (std::size_t s = 0; s < 5; ++s) {
            if (legacy && s == kSonarHead2)
                continue;  // the legacy block has no second head
            const marivane::SensorOffsets values = ReadOffsets(block.data() + kSensorOffsets[s]);
            for (std::size_t k = 0; k < 7; ++k) installation_[s][k] = FiniteFloat(values[k]);
        }
        dualHead_ = !legacy && block[marivane::kRawDeviceDualHead] != 0;
        if (legacy) {
            fileParameters_ = ParaOfGeoFromLegacyBlock(block);
        } else {
            geodesy::FromBlock(std::span<const std::uint8_t>(preamble).subspan(marivane::kRawFileHeaderSize +
                                                                               marivane::kRawDeviceBlockSize),
                               fileParameters_);
        }
        inputs_ = ReadInputSettings(block);
        format_ = BodyFormat::Text;
    }

    coordinates_.Load(options.resetCoordinateSystem ? options.ownParameters : fileParameters_);
    return {};
}

void RawDataReader::ReadBinaryBody(Source& source) {
    // The buffer grows to what a pending packet needs, up to kBufferSize.
    std::vector<std::uint8_t> buffer(4 * kChunkSize);
    PacketCollector collector(lists_);
    marivane::Framer framer(&collector, nullptr, kRestartFill);
    if (fileSize_ > marivane::kRawFilePreambleSize)
        lists_.pings.reserve((fileSize_ - marivane::kRawFilePreambleSize) / 4244 + 1);

    std::size_t fill = 0;
    bool continuing = true;
    for (;;) {
        const std::size_t room = std::min(kChunkSize, kBufferSize - fill);
        if (buffer.size() < fill + room)
            buffer.resize(std::min(kBufferSize, std::max(buffer.size() * 2, fill + room)));
        const std::size_t got = source.Read(buffer.data() + fill, room);
        if (got == 0)
            break;
        fill += got;
        const marivane::FrameResult r = framer.Frame(buffer.data(), fill, continuing);
        fill = r.fill;
        continuing = true;
        if (fill > kRestartFill) {
            damage_.bytesDropped += fill;
            fill = 0;
            continuing = false;
        }
        if (got < room)
            break;
    }
    const marivane::FramerCounters& counters = framer.Counters();
    damage_.bytesSkipped += counters.bytesSkipped;
    damage_.brokenPackets += counters.brokenPackets;
    damage_.bytesDropped += counters.bytesDropped;
    damage_.malformedPackets += collector.malformed;
    damage_.trailingBytes += fill;
}

void RawDataReader::ReadTextBody(Source& source) {
    TextBodyReader text(lists_, inputs_);
    std::vector<std::uint8_t> piece(TextBodyReader::kPieceSize);
    for (;;) {
        const std::size_t got = source.Read(piece.data(), piece.size());
        if (got == 0)
            break;
        text.Feed(std::string_view(reinterpret_cast<const char*>(piece.data()), got));
        if (got < piece.size())
            break;
    }
    text.Finish();
    damage_.bytesDropped += text.BytesDropped();
    damage_.trailingBytes += text.TrailingBytes();
}

int RawDataReader::NextRecordInTime(const RecordCursor& cursor) {
    int best = kNoRecord;
    const TimeHead* bestTime = nullptr;
    const auto consider = [&](int list, std::size_t index, const auto& samples) {
        if (index >= samples.size())
            return;
        const TimeHead& t = samples[index].time;
        if (bestTime == nullptr || t.absolute < bestTime->absolute) {
            best = list;
            bestTime = &t;
        }
    };
    consider(kAttitudeList, cursor.attitude, lists_.attitudes);
    consider(kFixList, cursor.fix, lists_.fixes);
    consider(kPingList, cursor.ping, lists_.pings);
    consider(kHeadingList, cursor.heading, lists_.headings);
    if (bestTime != nullptr)
        current_ = *bestTime;
    return best;
}

// ---- Legacy parameter block -----------------------------------------------------------------------

geodesy::ParaOfGeo ParaOfGeoFromLegacyBlock(std::span<const std::uint8_t, 512> block) {
    const std::uint8_t* b = block.data();
    const auto real = [&](std::size_t at) { return Finite(LoadLE<double>(b + at)); };
    const auto text = [&](char* field, std::size_t size, const char* format, double v) {
        platform::SetFixedText(field, size, platform::FormatDouble(format, v));
    };
    geodesy::ParaOfGeo g = geodesy::DefaultParaOfGeo();

    const std::int32_t ellipsoid = LoadLE<std::int32_t>(b + 4);
    if (ellipsoid >= 0 && ellipsoid <= 4) {
        const geodesy::EllipsoidEntry* entry = geodesy::FindEllipsoid(ellipsoid + 1);
        g.TargetEllipsoid = ellipsoid + 1;
        if (entry != nullptr) {
            platform::SetFixedText(g.TargetSemimajor, entry->semimajor);
            platform::SetFixedText(g.TargetFlattening, entry->inverseFlattening);
        }
    } else {
        g.TargetEllipsoid = 0;
        text(g.TargetSemimajor, sizeof g.TargetSemimajor, "%f", real(224));
        text(g.TargetFlattening, sizeof g.TargetFlattening, "%f", real(232));
    }
    g.ProjectionType = LoadLE<std::int32_t>(b + 8);
    platform::SetFixedText(g.CentralMeridian, geodesy::FormatLongitudeText(real(16)));
    text(g.EastConst, sizeof g.EastConst, "%.10f", real(24));
    text(g.NorthConst, sizeof g.NorthConst, "%.10f", real(32));
    text(g.ScaleRadio, sizeof g.ScaleRadio, "%.10f", real(40));
    platform::SetFixedText(g.DatumLatitude, geodesy::FormatLatitudeText(real(56)));

    const std::int32_t model = LoadLE<std::int32_t>(b + 12);
    char* datum[7] = {g.ETransDx, g.ETransDy, g.ETransDz, g.ETransRx, g.ETransRy, g.ETransRz, g.ETransSc};
    if (model == 7) {
        for (std::size_t k = 0; k < 7; ++k) text(datum[k], sizeof g.ETransDx, "%f", real(64 + 8 * k));
        g.ETransType = 1;
    } else if (model == 3) {
        for (std::size_t k = 0; k < 3; ++k) text(datum[k], sizeof g.ETransDx, "%f", real(152 + 8 * k));
        g.ETransType = 1;
    }
    const auto plane = [&](std::size_t at) {
        text(g.PTransDx, sizeof g.PTransDx, "%f", real(at));
        text(g.PTransDy, sizeof g.PTransDy, "%f", real(at + 8));
        platform::SetFixedText(g.PTransRa, geodesy::FormatSignedAngleText(real(at + 16)));
        text(g.PTransSc, sizeof g.PTransSc, "%f", real(at + 24));
        g.PTransType = 1;
    };
    if (model == 4)
        plane(120);
    if (LoadLE<std::int32_t>(b + 216) != 0)
        plane(176);
    return g;
}

}  // namespace quillfen
