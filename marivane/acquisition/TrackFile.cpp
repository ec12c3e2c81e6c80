#include "marivane/acquisition/TrackFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Binary.h"
#include "platform/Message.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

constexpr std::uint32_t kHeaderSizeField = 64;
constexpr std::uint8_t kHeaderTag[4] = {0x0F, 'T', 'R', 'A'};
constexpr char kHeaderVersion[4] = {'0', '1', '0', '0'};
constexpr std::uint32_t kHeaderMarker = 0xFFFFFFFF;
constexpr std::size_t kEndTagOffset = 60;
constexpr std::uint8_t kEndTag[4] = {'E', 'N', 'D', 0x0F};

std::vector<TrackPoint> ParseBinary(std::span<const std::uint8_t> bytes) {
    std::vector<TrackPoint> points;
    const std::size_t count = (bytes.size() - kTrackFileHeaderSize) / kTrackRecordSize;
    points.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t* p = bytes.data() + kTrackFileHeaderSize + k * kTrackRecordSize;
        points.push_back(TrackPoint{platform::LoadLE<double>(p), platform::LoadLE<double>(p + 8),
                                    platform::LoadLE<double>(p + 16), platform::LoadLE<double>(p + 24)});
    }
    return points;
}

std::vector<TrackPoint> ParseText(std::span<const std::uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<TrackPoint> points;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        const std::size_t blank = line.find_first_of(" \t");
        TrackPoint point;
        if (blank == std::string_view::npos) {
            point.antennaEasting = platform::LeadingDouble(line);
        } else {
            point.antennaEasting = platform::LeadingDouble(line.substr(0, blank));
            point.antennaNorthing = platform::LeadingDouble(line.substr(blank + 1));
        }
        points.push_back(point);
        start = end + 1;
    }
    return points;
}

}  // namespace

std::array<std::uint8_t, kTrackFileHeaderSize> MakeTrackFileHeader() {
    std::array<std::uint8_t, kTrackFileHeaderSize> h{};
    platform::StoreLE<std::uint32_t>(h.data(), kHeaderSizeField);
    std::memcpy(h.data() + 4, kHeaderTag, 4);
    std::memcpy(h.data() + 8, kHeaderVersion, 4);
    platform::StoreLE<std::uint32_t>(h.data() + 12, kHeaderMarker);
    std::memcpy(h.data() + kEndTagOffset, kEndTag, 4);
    return h;
}

bool IsTrackFileHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kTrackFileHeaderSize)
        return false;
    const std::uint8_t* p = bytes.data();
    return platform::LoadLE<std::uint32_t>(p) == kHeaderSizeField && std::memcmp(p + 4, kHeaderTag, 4) == 0 &&
           platform::LoadLE<std::uint32_t>(p + 12) == kHeaderMarker &&
           std::memcmp(p + kEndTagOffset, kEndTag, 4) == 0;
}

std::vector<TrackPoint> ParseTrackFile(std::span<const std::uint8_t> bytes) {
    return IsTrackFileHeader(bytes) ? ParseBinary(bytes) : ParseText(bytes);
}

std::optional<std::vector<TrackPoint>> ReadTrackFile(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    bool failed = false;
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            failed = std::ferror(f) != 0;
            break;
        }
    }
    std::fclose(f);
    if (failed)
        return std::nullopt;
    return ParseTrackFile(bytes);
}

RecordingOpenResult TrackRecorder::Open(const std::filesystem::path& path) {
    const auto header = MakeTrackFileHeader();
    return file_.Open(path, header);
}

bool TrackRecorder::WriteTrackPoint(const TrackPoint& point) {
    std::uint8_t record[kTrackRecordSize];
    platform::StoreLE<double>(record, point.antennaEasting);
    platform::StoreLE<double>(record + 8, point.antennaNorthing);
    platform::StoreLE<double>(record + 16, point.transducerEasting);
    platform::StoreLE<double>(record + 24, point.transducerNorthing);
    return file_.Append(record, sizeof record);
}

void RemoveLoadedTrack(LoadedTrackList& list, const std::filesystem::path& path) {
    std::erase_if(list, [&](const LoadedTrack& entry) { return entry.path == path; });
}

bool LoadTrackFile(LoadedTrackList& list, const std::filesystem::path& path, bool shown) {
    RemoveLoadedTrack(list, path);
    std::optional<std::vector<TrackPoint>> points = ReadTrackFile(path);
    if (!points) {
        const std::string shownPath = path.string();
        platform::ShowBilingualMessage(
            platform::FormatMessageText("打开\"%s\"文件失败", shownPath),
            platform::FormatMessageText("Failed to open the file\"%s\"", shownPath), platform::kBoxError);
        return false;
    }
    list.push_back(LoadedTrack{path, shown, std::move(*points)});
    return true;
}

}  // namespace marivane
