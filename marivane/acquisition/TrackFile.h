#pragma once
// The track file (.tra): a 64-byte header followed by one TrackPoint (four little-endian doubles:
// antenna easting, northing, transducer easting, northing) per track point made while it is open.
// Also read back, together with an older text form of "easting northing" lines, into the list of
// loaded track files that the chart draws.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "marivane/acquisition/LockedAppendFile.h"
#include "marivane/acquisition/Records.h"

namespace marivane {

inline constexpr std::size_t kTrackFileHeaderSize = 64;
inline constexpr std::size_t kTrackRecordSize = 32;

std::array<std::uint8_t, kTrackFileHeaderSize> MakeTrackFileHeader();

// True when `bytes` begins with a complete track file header (the version text is not checked).
bool IsTrackFileHeader(std::span<const std::uint8_t> bytes);

// The points of a file's content: after a track file header every complete 32-byte block (an
// incomplete last block is ignored); otherwise the content as text, one point per line, split at the
// first blank (space or tab) into antenna easting and northing (leading numbers, 0 when none), transducer 0.
std::vector<TrackPoint> ParseTrackFile(std::span<const std::uint8_t> bytes);

// The points of a file, or nothing when it cannot be opened or read.
std::optional<std::vector<TrackPoint>> ReadTrackFile(const std::filesystem::path& path);

// The open track file. The GNSS decoder writes on the receiving thread; the recording commands open
// and close it on the user-interface thread; all of it under the track-file lock.
class TrackRecorder {
  public:
    RecordingOpenResult Open(const std::filesystem::path& path);
    bool Close() { return file_.Close(); }
    bool IsOpen() const { return file_.IsOpen(); }
    std::filesystem::path Path() const { return file_.Path(); }

    // Appends one record while a file is open; false only when the write failed.
    bool WriteTrackPoint(const TrackPoint& point);

    std::uint64_t WriteErrors() const { return file_.WriteErrors(); }
    std::uint64_t PointsWritten() const { return file_.Appended(); }

  private:
    LockedAppendFile file_;
};

// One entry of the list of loaded track files (user-interface thread only).
struct LoadedTrack {
    std::filesystem::path path;
    bool shown = false;
    std::vector<TrackPoint> points;
};
using LoadedTrackList = std::vector<LoadedTrack>;

// Removes every entry with this path.
void RemoveLoadedTrack(LoadedTrackList& list, const std::filesystem::path& path);

// Adds one track file to `list`: any entry with the same path is removed first; on success the new
// entry (path, shown, points) goes to the end. On failure "Failed to open the file\"<path>\"" is
// shown and nothing is added (a removed entry stays removed).
bool LoadTrackFile(LoadedTrackList& list, const std::filesystem::path& path, bool shown);

}  // namespace marivane
