#pragma once
// The locked depth grid: the one grid of the project that receives soundings, by its index in the
// list of loaded grids (−1 for none, kept in the project file), and, while recording, its file held
// open for update so that every changed cell is written through at once.
//
// Cells are written in batches: the cells a batch of pings changed are sorted and written in runs of
// neighbouring cells straight from the grid in memory (the file holds the cells in the same order),
// one positioned write per run. Cells whose write failed stay pending and are written again with
// the next batch, so after every batch that reports success the file holds exactly the cells in
// memory. A failure is shown once until writing succeeds again, and counted.
//
// The open file belongs to a grid by its path and load serial, not by a position in a list: a grid
// that is loaded again or cleared (both replace the file) is followed by opening the file anew, so
// soundings never land in the file of another grid or in a file that has been replaced.
//
// The file-level operations work on any holder of LoadedMatrix entries; the list-level ones below
// them are the commands as they act on a LoadedMatrixList.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "marivane/grid/LoadedMatrices.h"

namespace marivane {

// A grid file open for update.
class MatrixUpdateFile {
  public:
    virtual ~MatrixUpdateFile() = default;
    // Writes all `size` bytes at `offset`; false when that failed.
    virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Closes the file; false when that failed.
    virtual bool Close() = 0;
};

// Opens `path` for update ("rb+"); nothing when it cannot be opened or is shorter than `minimumSize`.
using MatrixFileOpener = std::function<std::unique_ptr<MatrixUpdateFile>(const std::filesystem::path& path,
                                                                         std::uint64_t minimumSize)>;

// The file itself, written with positioned writes.
std::unique_ptr<MatrixUpdateFile> OpenMatrixFileForUpdate(const std::filesystem::path& path,
                                                          std::uint64_t minimumSize);

class MatrixLock {
  public:
    // Runs of changed cells closer than this are written as one, the unchanged cells between them
    // included (they hold in memory what the file holds).
    static constexpr std::uint32_t kRunGapCells = 32;

    explicit MatrixLock(MatrixFileOpener opener = OpenMatrixFileForUpdate);
    ~MatrixLock();
    MatrixLock(const MatrixLock&) = delete;
    MatrixLock& operator=(const MatrixLock&) = delete;

    // ---- The open file ------------------------------------------------------------------------------

    // Opens the file of `grid` for update (one open before is closed first, its pending cells
    // dropped). False, with no file open, when it cannot be opened or is shorter than its cells.
    bool OpenFile(const LoadedMatrix& grid);

    // Closes the open file. When `grid` is the grid it was opened for, pending cells are written
    // once more first. False when cells could not be written or the close failed.
    bool CloseFile(const LoadedMatrix* grid);

    bool IsOpen() const { return file_ != nullptr; }
    const std::filesystem::path& OpenPath() const { return path_; }

    // Makes the open file that of `grid` as it is now: when the grid was loaded again or cleared since
    // the file was opened, the file is opened anew (failure shows "Failed to open the Matrix file!" and
    // leaves no file open). False when no file of this grid is open afterwards.
    bool Follow(const LoadedMatrix& grid);

    // Writes the cells `cells` of `grid` (any order, repeats allowed; the vector is reordered) and any
    // pending ones. True when the file now holds every cell as memory does.
    bool WriteCells(const LoadedMatrix& grid, std::vector<std::uint32_t>& cells);

    std::size_t PendingCells() const { return pending_.size(); }
    std::uint64_t FailedWrites() const { return failedWrites_; }
    std::uint64_t WriteCalls() const { return writeCalls_; }

    // ---- The commands on a list of loaded grids -----------------------------------------------------

    int LockedIndex() const { return index_; }
    // The index read from the project file when a project opens; no file is touched.
    void SetLockedIndex(int index) { index_ = index; }

    // Choosing the grid at `index` as locked. While recording, the open file (if any) is closed and
    // the new grid's file opened; failure shows "Failed to open Matrix file!" and leaves no file open
    // (the index is stored all the same). An index outside the list changes nothing (false).
    bool Lock(int index, const LoadedMatrixList& list, bool recording);

    // −1, and an open file is closed, so that nothing is fed any more.
    void Unlock(const LoadedMatrixList& list);

    enum class OpenResult { Opened, AlreadyOpen, NotLocked, Failed };
    // At the start of recording: when the list is not empty, no file is open and the locked index
    // lies within the list, that grid's file is opened for update; failure shows "Failed to open the
    // Matrix file!" (on Opened the caller writes the index to the project file).
    OpenResult OpenForRecording(const LoadedMatrixList& list);

    // At the end of recording: pending cells are written once more and the file is closed.
    bool Close(const LoadedMatrixList& list);

    // The entry of `list` the open file belongs to, followed (see Follow); nullptr when none.
    LoadedMatrix* Target(LoadedMatrixList& list);

  private:
    void Reset();

    MatrixFileOpener opener_;
    int index_ = -1;
    std::unique_ptr<MatrixUpdateFile> file_;
    std::filesystem::path path_;
    std::uint64_t serial_ = 0;
    std::vector<std::uint32_t> pending_;
    bool failureShown_ = false;
    std::uint64_t failedWrites_ = 0;
    std::uint64_t writeCalls_ = 0;
};

inline constexpr const char* kMatrixLockOpenFailedEn = "Failed to open Matrix file!";
inline constexpr const char* kMatrixRecordOpenFailedEn = "Failed to open the Matrix file!";
inline constexpr const char* kMatrixOpenFailedZh = "矩阵文件打开失败！";
inline constexpr const char* kMatrixWriteFailedEn = "Failed to write the matrix file!";
inline constexpr const char* kMatrixWriteFailedZh = "写入矩阵文件失败！";

}  // namespace marivane
