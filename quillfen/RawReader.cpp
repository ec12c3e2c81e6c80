#include "quillfen/RawReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

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

// Where the beams of a full ping packet lie: the count taken (at most the slots) and the offsets of
// the range samples and of the angles; false when the packet is too short for them.
struct FullPingLayout {
    std::size_t beams = 0, anglesAt = 0;
};
bool LayOutFullPing(std::span<const std::uint8_t> packet, FullPingLayout& layout) {
    namespace f = marivane::packet::ping;
    if (!Holds(packet, f::kSamples))
        return false;
    const std::size_t declared = LoadLE<std::uint16_t>(packet.data() + f::kBeamCount);
    layout.beams = std::min<std::size_t>(declared, kBeamSlots);
    layout.anglesAt = f::kSamples + 6 * (declared + (declared & 1));
    return Holds(packet, f::kSamples + 2 * layout.beams) && Holds(packet, layout.anglesAt + 2 * layout.beams);
}

// The beam count of a short ping packet; false when the packet is too short for its samples.
bool LayOutShortPing(std::span<const std::uint8_t> packet, std::size_t& beams) {
    namespace f = marivane::packet::shortping;
    if (!Holds(packet, f::kSamples))
        return false;
    beams = std::min<std::size_t>(LoadLE<std::uint16_t>(packet.data() + f::kBeamCount), kBeamSlots);
    return Holds(packet, f::kSamples + 2 * beams);
}

// The built-in table a short ping's angles come from, as the acquisition program chooses it.
marivane::ShortPingAngles ShortPingTable(std::span<const std::uint8_t> packet) {
    namespace f = marivane::packet::shortping;
    namespace fp = marivane::packet::ping;
    const std::uint8_t* p = packet.data();
    return marivane::ChooseShortPingAngles(
        platform::GetFixedText(reinterpret_cast<const char*>(p + fp::kModel), 8), p[f::kMode],
        WholeDegrees(LoadLE<float>(p + f::kTilt)), LoadLE<float>(p + f::kOpeningAngle));
}

// `beams` little-endian counts times `scale` times `factor` (a ping's travel times and angles); a
// product that is not a finite number reads as 0. When even the largest count gives a finite product,
// every one does, and the check is left out of the loop.
template <typename Count>
void ScaledCounts(const std::uint8_t* counts, std::size_t beams, float scale, float factor,
                  std::array<float, kBeamSlots>& out) {
    constexpr float kLargestCount = std::is_signed_v<Count> ? -static_cast<float>(std::numeric_limits<Count>::min())
                                                            : static_cast<float>(std::numeric_limits<Count>::max());
    if (std::isfinite(kLargestCount * std::fabs(scale))) {
        for (std::size_t i = 0; i < beams; ++i)
            out[i] = static_cast<float>(LoadLE<Count>(counts + 2 * i)) * scale * factor;
        return;
    }
    for (std::size_t i = 0; i < beams; ++i)
        out[i] = FiniteFloat(static_cast<float>(LoadLE<Count>(counts + 2 * i)) * scale * factor);
}

// The angles of a full ping packet laid out by LayOutFullPing.
void FullPingAngles(std::span<const std::uint8_t> packet, const FullPingLayout& layout,
                    std::array<float, kBeamSlots>& angle) {
    ScaledCounts<std::int16_t>(packet.data() + layout.anglesAt, layout.beams,
                               LoadLE<float>(packet.data() + marivane::packet::ping::kAngleScale), 1.0f, angle);
}

// The angles of a short ping packet of `beams` beams from its built-in table; false when no table fits.
bool ShortPingTableAngles(std::span<const std::uint8_t> packet, std::size_t beams,
                          std::array<float, kBeamSlots>& angle) {
    const marivane::ShortPingAngles angles = ShortPingTable(packet);
    if (angles.table == nullptr)
        return false;
    for (std::size_t i = 0; i < beams; ++i) angle[i] = FiniteFloat((*angles.table)[i] - angles.shift);
    return true;
}

// Turns every packet the framer takes into samples. Pings keep only where their beams are: the
// beams are decoded from the file when a writer asks for them.
class PacketCollector final : public marivane::PacketDecoder {
  public:
    PacketCollector(SampleLists& lists, const std::uint8_t* fileStart) : lists_(lists), fileStart_(fileStart) {}

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

    BeamPlace PlaceOf(std::span<const std::uint8_t> packet, BeamStore store) const {
        BeamPlace place;
        place.at = static_cast<std::uint64_t>(packet.data() - fileStart_);
        place.length = static_cast<std::uint32_t>(packet.size());
        place.store = store;
        return place;
    }

    // The ping just listed has angles of its own: later short pings without a table repeat them.
    void OwnAngles() {
        angleBase_ = static_cast<std::uint32_t>(lists_.pings.size() - 1);
        angleLimit_ = kBeamSlots;
    }

    bool FullPing(std::span<const std::uint8_t> packet, int head) {
        namespace f = marivane::packet::ping;
        FullPingLayout layout;
        if (!LayOutFullPing(packet, layout))
            return Malformed();
        const std::uint8_t* p = packet.data();
        RawPing* ping = lists_.BeginPing(ReadClock(p, f::kYear, f::kMicroseconds), head);
        if (ping == nullptr)
            return false;
        ping->firstInteger = platform::LeadingInt(
            platform::GetFixedText(reinterpret_cast<const char*>(p + f::kDeviceNumber), 8));
        ping->pingNumber = LoadLE<std::uint32_t>(p + f::kPingNumber);
        CopyModel(ping->model, p + f::kModel);
        ping->flags = LoadLE<std::uint16_t>(p + f::kPingFlags);
        ping->soundVelocity = FiniteFloat(LoadLE<float>(p + f::kSoundVelocity));
        ping->beams = PlaceOf(packet, BeamStore::FullPacket);
        OwnAngles();
        lists_.lastPingModel = ModelOf(*ping);
        return true;
    }

    // Short pings carry no angles: they come from the built-in tables, chosen as the acquisition
    // program chooses them, or stay those of the previous ping when no table fits.
    bool ShortPing(std::span<const std::uint8_t> packet) {
        namespace f = marivane::packet::shortping;
        namespace fp = marivane::packet::ping;
        std::size_t beams = 0;
        if (!LayOutShortPing(packet, beams))
            return Malformed();
        const std::uint8_t* p = packet.data();
        RawPing* ping = lists_.BeginPing(ReadClock(p, fp::kYear, fp::kMicroseconds), 0);
        if (ping == nullptr)
            return false;
        ping->pingNumber = LoadLE<std::uint32_t>(p + fp::kPingNumber);
        CopyModel(ping->model, p + fp::kModel);
        ping->flags = p[f::kStabilisation];
        ping->soundVelocity = FiniteFloat(LoadLE<float>(p + f::kSoundVelocity));
        ping->beams = PlaceOf(packet, BeamStore::ShortPacket);
        if (ShortPingTable(packet).table != nullptr) {
            OwnAngles();
        } else {
            angleLimit_ = std::min(angleLimit_, beams);
            ping->beams.angleBase = angleBase_;
            ping->beams.angleLimit = static_cast<std::uint16_t>(angleLimit_);
        }
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
    const std::uint8_t* fileStart_;
    // The ping whose angles a short ping without a table repeats, and below which beam.
    std::uint32_t angleBase_ = kNoAngleBase;
    std::size_t angleLimit_ = kBeamSlots;
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

// ---- Reading -------------------------------------------------------------------------------------

// The file's bytes, read from the front.
struct RawDataReader::ByteCursor {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;

    std::size_t Read(std::uint8_t* dst, std::size_t n) {
        const std::size_t take = std::min(n, bytes.size() - at);
        if (take > 0)
            std::memcpy(dst, bytes.data() + at, take);
        at += take;
        return take;
    }
    std::size_t Left() const { return bytes.size() - at; }
};

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
    shortened_ = false;
    file_.Close();
}

void RawDataReader::ClearLists() {
    const int beamCount = lists_.beamCount;
    const std::string model = lists_.lastPingModel;
    lists_.attitudes = {};
    lists_.fixes = {};
    lists_.pings = {};
    lists_.storedBeams = {};
    lists_.headings = {};
    lists_.soundVelocities = {};
    lists_.beamCount = beamCount;
    lists_.lastPingModel = model;
    shortened_ = shortened_ || file_.Shortened();
    file_.Close();
}

bool RawDataReader::SourceShortened() const {
    return shortened_ || file_.Shortened();
}

RawDataReader::OpenResult RawDataReader::OpenRawFile(const std::filesystem::path& path,
                                                     const ReaderOptions& options) {
    Reset();
    std::string error;
    switch (file_.Open(path, error)) {
        case platform::MappedFile::Status::Ok:
            break;
        case platform::MappedFile::Status::ReadFailed:
            return {OpenStatus::ReadFailed, WithValue(msg::kReadFailed, path.string())};
        default:
            return {OpenStatus::OpenFailed, msg::kOpenFailed};
    }
    return Read(options, path.string());
}

RawDataReader::OpenResult RawDataReader::OpenRawBytes(std::span<const std::uint8_t> bytes,
                                                      const ReaderOptions& options) {
    Reset();
    file_.Assign(bytes);
    return Read(options, "(memory)");
}

RawDataReader::OpenResult RawDataReader::Read(const ReaderOptions& options, const std::string& name) {
    fileSize_ = file_.Size();
    ByteCursor source{file_.Bytes()};
    OpenResult result = ReadParameters(source, options, name);
    if (!result.Ok())
        return result;

    if (format_ == BodyFormat::Binary) {
        ReadBinaryBody(source);
    } else {
        ReadTextBody(source);
    }
    if (file_.Shortened()) {
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

RawDataReader::OpenResult RawDataReader::ReadParameters(ByteCursor& source, const ReaderOptions& options,
                                                        const std::string& name) {
    std::array<std::uint8_t, marivane::kRawFilePreambleSize> preamble{};
    const std::size_t got = source.Read(preamble.data(), marivane::kRawFileHeaderSize);
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

void RawDataReader::ReadBinaryBody(ByteCursor& source) {
    // The framer sees the file through a window as it would see the buffer of a live connection fed
    // kChunkSize bytes at a time (what it keeps between calls, and then the next chunk), so that
    // damaged stretches are passed over exactly as in the live stream; the bytes are not copied.
    PacketCollector collector(lists_, source.bytes.data());
    marivane::Framer framer(&collector, nullptr, kRestartFill);
    if (fileSize_ > marivane::kRawFilePreambleSize)
        lists_.pings.reserve((fileSize_ - marivane::kRawFilePreambleSize) / 4244 + 1);

    std::size_t fill = 0;
    bool continuing = true;
    for (;;) {
        const std::size_t room = std::min(kChunkSize, kBufferSize - fill);
        const std::size_t got = std::min(room, source.Left());
        if (got == 0)
            break;
        source.at += got;
        fill += got;
        const marivane::FrameResult r = framer.FrameWindow(source.bytes.data() + (source.at - fill), fill, continuing);
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

void RawDataReader::ReadTextBody(ByteCursor& source) {
    TextBodyReader text(lists_, inputs_);
    while (source.Left() > 0) {
        const std::size_t got = std::min(TextBodyReader::kPieceSize, source.Left());
        text.Feed(std::string_view(reinterpret_cast<const char*>(source.bytes.data() + source.at), got));
        source.at += got;
    }
    text.Finish();
    damage_.bytesDropped += text.BytesDropped();
    damage_.trailingBytes += text.TrailingBytes();
}

// ---- Beams ---------------------------------------------------------------------------------------

std::span<const std::uint8_t> RawDataReader::PacketOf(const BeamPlace& place) const {
    const std::span<const std::uint8_t> bytes = file_.Bytes();
    if (place.at > bytes.size() || place.length > bytes.size() - place.at)
        return {};
    return bytes.subspan(static_cast<std::size_t>(place.at), place.length);
}

bool RawDataReader::OwnAngles(const BeamPlace& place, std::array<float, kBeamSlots>& angle) const {
    const std::span<const std::uint8_t> packet = PacketOf(place);
    if (place.store == BeamStore::FullPacket) {
        FullPingLayout layout;
        if (!LayOutFullPing(packet, layout))
            return false;
        FullPingAngles(packet, layout, angle);
        return true;
    }
    std::size_t beams = 0;
    return place.store == BeamStore::ShortPacket && LayOutShortPing(packet, beams) &&
           ShortPingTableAngles(packet, beams, angle);
}

void RawDataReader::DecodeBeams(std::size_t index, PingBeams& out) const {
    out.travelTime.fill(0.0f);
    out.angle.fill(0.0f);
    if (index >= lists_.pings.size())
        return;
    const BeamPlace& place = lists_.pings[index].beams;
    switch (place.store) {
        case BeamStore::None:
            return;
        case BeamStore::Stored:
            if (place.at < lists_.storedBeams.size())
                out = lists_.storedBeams[static_cast<std::size_t>(place.at)];
            return;
        case BeamStore::FullPacket: {
            namespace f = marivane::packet::ping;
            const std::span<const std::uint8_t> packet = PacketOf(place);
            FullPingLayout layout;
            if (!LayOutFullPing(packet, layout))
                return;
            ScaledCounts<std::uint16_t>(packet.data() + f::kSamples, layout.beams,
                                        LoadLE<float>(packet.data() + f::kRangeScale), 0.5f, out.travelTime);
            FullPingAngles(packet, layout, out.angle);
            return;
        }
        case BeamStore::ShortPacket: {
            namespace f = marivane::packet::shortping;
            const std::span<const std::uint8_t> packet = PacketOf(place);
            std::size_t beams = 0;
            if (!LayOutShortPing(packet, beams))
                return;
            ScaledCounts<std::uint16_t>(packet.data() + f::kSamples, beams,
                                        LoadLE<float>(packet.data() + f::kRangeScale), 0.5f, out.travelTime);
            if (place.angleBase == kNoAngleBase) {
                ShortPingTableAngles(packet, beams, out.angle);
            } else if (place.angleBase < index) {
                std::array<float, kBeamSlots> repeated{};
                if (OwnAngles(lists_.pings[place.angleBase].beams, repeated)) {
                    const std::size_t limit = std::min<std::size_t>(place.angleLimit, beams);
                    std::copy_n(repeated.begin(), limit, out.angle.begin());
                }
            }
            return;
        }
    }
}

PingBeams RawDataReader::BeamsOf(std::size_t index) const {
    PingBeams beams;
    DecodeBeams(index, beams);
    return beams;
}

int RawDataReader::PeekNextRecord(const RecordCursor& cursor, const TimeHead** time) const {
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
    if (time != nullptr)
        *time = bestTime;
    return best;
}

int RawDataReader::NextRecordInTime(const RecordCursor& cursor) {
    const TimeHead* time = nullptr;
    const int best = PeekNextRecord(cursor, &time);
    if (time != nullptr)
        current_ = *time;
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
