#pragma once
// The data files of the open project as the program holds them: one list per kind of file, each
// entry with its full path, its name as the project lists it, the shown flag that mirrors its check
// box in the project tree, and its content. A path is listed once: loading it again replaces the
// entry and moves it to the end.
//
// The content of each kind is read by the loader registered for that kind, so that the readers of
// survey lines, borders, background charts and depth grids plug in without touching the project
// flows. A kind without a loader is still listed and remembered with its shown flag (no content).
// Track files have their loader from the start.
//
// Two positions into these lists are kept consistent with every change of the lists: the locked
// depth grid (the one that recording fills) and the current survey line. The locked grid follows its
// file when the file is reloaded (moved to the end) and is unlocked when the file goes. The current
// line follows its planned line file in the same way; it is cleared when its file goes and its line
// part is cleared when the reloaded file no longer has that line. So neither ever names anything
// that is not loaded.

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "marivane/acquisition/Records.h"
#include "marivane/lines/SurveyLines.h"
#include "marivane/shell/ProjectState.h"

namespace marivane {

enum class FileKind : int {
    Borders,
    PlannedLines,
    Tracks,
    BackgroundDxf,
    BackgroundTif,
    Matrices,
    Multibeam,  // raw data files: paths only
};
inline constexpr std::size_t kFileKindCount = 7;
inline constexpr std::array<FileKind, kFileKindCount> kFileKinds = {
    FileKind::Borders,       FileKind::PlannedLines, FileKind::Tracks,   FileKind::BackgroundDxf,
    FileKind::BackgroundTif, FileKind::Matrices,     FileKind::Multibeam};

DataFolder FolderOf(FileKind kind);
// The kinds listed under a folder, in the order the tree shows them (background: DXF, then TIF).
std::vector<FileKind> KindsOf(DataFolder folder);
// The background kind of a file by its lower-cased extension (".dxf", ".tif"), or nothing.
std::optional<FileKind> BackgroundKindOf(const std::filesystem::path& path);

// What a loader read from a file. Planned line files expose their survey lines as items.
class FileContent {
  public:
    virtual ~FileContent() = default;
    virtual std::size_t ItemCount() const { return 0; }
    virtual std::string ItemName(std::size_t /*index*/) const { return {}; }
};

// The points of a track file.
class TrackFileContent final : public FileContent {
  public:
    TrackFileContent() = default;
    explicit TrackFileContent(std::vector<TrackPoint> p) : points(std::move(p)) {}
    std::vector<TrackPoint> points;
};

struct LoadedFile {
    std::filesystem::path path;
    std::string listedName;  // the name as the file list and the folder's section hold it
    bool shown = false;
    std::unique_ptr<FileContent> content;  // null for kinds without a loader

    // The last part of the path, as the project tree shows it.
    std::string FileName() const { return path.filename().string(); }
};

// Reads one file; null when it could not be read (the loader has shown why).
using FileLoader = std::function<std::unique_ptr<FileContent>(const std::filesystem::path& path)>;

// The loader registry: one loader per kind of data file, plus the colour table reader and the
// converter of DXF drawings into planned line files.
class FileLoaders {
  public:
    FileLoaders();  // with the track file loader

    void Set(FileKind kind, FileLoader loader) { loaders_[Slot(kind)] = std::move(loader); }
    const FileLoader& Get(FileKind kind) const { return loaders_[Slot(kind)]; }

    // Reads the depth colour table from a colour file; false when it could not (the reader says why).
    std::function<bool(const std::filesystem::path& colourFile)> colourTable;
    // Converts a DXF drawing into a planned line file at `lnw`; false when it could not (the
    // converter says why).
    std::function<bool(const std::filesystem::path& dxf, const std::filesystem::path& lnw)> dxfToLnw;

  private:
    static std::size_t Slot(FileKind kind) { return static_cast<std::size_t>(kind); }
    std::array<FileLoader, kFileKindCount> loaders_;
};

// Reads a track file (the built-in loader); "Failed to open the file\"<path>\"" when it cannot.
std::unique_ptr<FileContent> LoadTrackFileContent(const std::filesystem::path& path);

// The current survey line (CurrentLine, from the survey line model) holds positions in the planned
// line list: the planned line file and the line in it.

class LoadedFiles {
  public:
    std::vector<LoadedFile>& List(FileKind kind) { return lists_[Slot(kind)]; }
    const std::vector<LoadedFile>& List(FileKind kind) const { return lists_[Slot(kind)]; }

    std::optional<std::size_t> Find(FileKind kind, const std::filesystem::path& path) const;

    // Loads a file into its list: an entry with the same path is removed first; when the kind has a
    // loader and it fails, nothing is added (the removed entry stays removed). True when listed.
    bool Load(FileKind kind, const std::filesystem::path& path, std::string listedName, bool shown,
              const FileLoaders& loaders);
    // Adds an entry read elsewhere, replacing one with the same path.
    void Add(FileKind kind, LoadedFile entry);
    // Drops one entry (and its content).
    void Remove(FileKind kind, std::size_t index);
    // Empties every list; nothing locked, no current line.
    void Clear();

    // Index of the locked depth grid in the matrix list, -1 for none. Setting an index outside the
    // list unlocks.
    int LockedMatrix() const { return lockedMatrix_; }
    void SetLockedMatrix(int index);

    CurrentLine Current() const { return current_; }
    // Sets the current line; positions that name nothing loaded are refused (false, unchanged).
    // A line of -1 keeps only the file.
    bool SetCurrentLine(CurrentLine line);
    void ClearCurrentLineItem() { current_.line = -1; }

  private:
    static std::size_t Slot(FileKind kind) { return static_cast<std::size_t>(kind); }
    // The entry at `index` leaves its list; the positions that follow it are told.
    void Erase(FileKind kind, std::size_t index);
    // A new entry went to the end; the locked grid and the current line follow it when its earlier
    // entry was theirs.
    void Appended(FileKind kind, bool lockedWasThere, bool currentWasThere, int currentItem);

    std::array<std::vector<LoadedFile>, kFileKindCount> lists_;
    int lockedMatrix_ = -1;
    CurrentLine current_;
};

}  // namespace marivane
