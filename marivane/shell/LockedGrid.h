#pragma once
// The locked depth grid as the project flows see it: the matrix file that recording holds open for
// update and fills with soundings, and the clear-data command of the project tree. The depth grid
// model plugs in here with its own GridUpdater; until then MatrixFileHolder holds the file and clears
// it at the file level, and no soundings are taken.

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "marivane/acquisition/ProcessedPingHandler.h"
#include "marivane/shell/LoadedFiles.h"

namespace marivane {

// MTRX layout used by the file-level clear: a 256-byte header with the row count (u32 at 56) and the
// column count (u32 at 60), then rows x columns cells of 8 bytes.
inline constexpr std::size_t kMatrixHeaderSize = 256;
inline constexpr std::size_t kMatrixRowsOffset = 56;
inline constexpr std::size_t kMatrixColumnsOffset = 60;
inline constexpr std::size_t kMatrixCellSize = 8;

class GridUpdater {
  public:
    virtual ~GridUpdater() = default;
    // Opens the file of a loaded matrix for reading and writing ("rb+"), closing one open before;
    // false when it cannot be opened (then none is open).
    virtual bool Open(LoadedFile& matrix) = 0;
    // Flushes and closes the open file; nothing when none is open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual std::filesystem::path OpenPath() const = 0;
    // Takes the positioned pings while a file is open; nullptr when soundings are dropped.
    virtual PositionedPingConsumer* Soundings() = 0;
    // Soundings written into the open (or last) grid.
    virtual std::uint64_t SoundingsAdded() const = 0;
    // Clear data: every cell zero in the file and in memory, the image cleared. False when the file
    // cannot be opened, and then nothing is cleared.
    virtual bool ClearData(LoadedFile& matrix) = 0;
};

// Sets every cell of a matrix file to zero: the cells the header counts, but never beyond the end of
// the file. False when the file cannot be opened for update or a write fails.
bool ZeroMatrixFileCells(const std::filesystem::path& path);

class MatrixFileHolder final : public GridUpdater {
  public:
    MatrixFileHolder() = default;
    ~MatrixFileHolder() override;
    MatrixFileHolder(const MatrixFileHolder&) = delete;
    MatrixFileHolder& operator=(const MatrixFileHolder&) = delete;

    bool Open(LoadedFile& matrix) override;
    void Close() override;
    bool IsOpen() const override { return file_ != nullptr; }
    std::filesystem::path OpenPath() const override { return path_; }
    PositionedPingConsumer* Soundings() override { return nullptr; }
    std::uint64_t SoundingsAdded() const override { return 0; }
    bool ClearData(LoadedFile& matrix) override { return ZeroMatrixFileCells(matrix.path); }

  private:
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
};

}  // namespace marivane
