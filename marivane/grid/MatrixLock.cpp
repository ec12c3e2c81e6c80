#include "marivane/grid/MatrixLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/Message.h"

namespace marivane {
namespace {

class PosixMatrixFile final : public MatrixUpdateFile {
  public:
    explicit PosixMatrixFile(int fd) : fd_(fd) {}
    ~PosixMatrixFile() override { Close(); }

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        while (size > 0) {
            const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            size -= static_cast<std::size_t>(n);
            offset += static_cast<std::uint64_t>(n);
        }
        return true;
    }

    bool Close() override {
        if (fd_ < 0)
            return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

std::uint64_t FileSizeFor(const LoadedMatrix& entry) {
    return entry.matrix.Valid() ? MatrixCellOffset(entry.matrix.CellCount()) : kMatrixFileHeaderSize;
}

}  // namespace

std::unique_ptr<MatrixUpdateFile> OpenMatrixFileForUpdate(const std::filesystem::path& path,
                                                          std::uint64_t minimumSize) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) < minimumSize) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixMatrixFile>(fd);
}

MatrixLock::MatrixLock(MatrixFileOpener opener) : opener_(std::move(opener)) {}

MatrixLock::~MatrixLock() {
    Reset();
}

void MatrixLock::Reset() {
    if (file_)
        file_->Close();
    file_.reset();
    path_.clear();
    serial_ = 0;
    pending_.clear();
    failureShown_ = false;
}

bool MatrixLock::OpenFile(const LoadedMatrix& grid) {
    Reset();
    file_ = opener_(grid.path, FileSizeFor(grid));
    if (!file_)
        return false;
    path_ = grid.path;
    serial_ = grid.serial;
    return true;
}

bool MatrixLock::CloseFile(const LoadedMatrix* grid) {
    if (!file_)
        return true;
    bool ok = true;
    // Pending cells belong to the grid as it was when they failed; a replaced grid has its own file.
    if (!pending_.empty() && grid != nullptr && grid->path == path_ && grid->serial == serial_) {
        std::vector<std::uint32_t> none;
        ok = WriteCells(*grid, none);
    }
    ok = file_->Close() && ok;
    Reset();
    return ok;
}

bool MatrixLock::Follow(const LoadedMatrix& grid) {
    if (!file_ || grid.path != path_)
        return false;
    if (grid.serial == serial_)
        return true;
    // Loaded again or cleared: memory now matches the file at that path, not the one held open.
    if (!OpenFile(grid)) {
        platform::ShowBilingualMessage(kMatrixOpenFailedZh, kMatrixRecordOpenFailedEn, platform::kBoxError);
        return false;
    }
    return true;
}

bool MatrixLock::Lock(int index, const LoadedMatrixList& list, bool recording) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        return false;
    index_ = index;
    if (recording) {
        Close(list);
        if (!OpenFile(list[static_cast<std::size_t>(index)]))
            platform::ShowBilingualMessage(kMatrixOpenFailedZh, kMatrixLockOpenFailedEn, platform::kBoxError);
    }
    return true;
}

void MatrixLock::Unlock(const LoadedMatrixList& list) {
    index_ = -1;
    Close(list);
}

MatrixLock::OpenResult MatrixLock::OpenForRecording(const LoadedMatrixList& list) {
    if (list.empty() || index_ < 0 || static_cast<std::size_t>(index_) >= list.size())
        return OpenResult::NotLocked;
    if (file_)
        return OpenResult::AlreadyOpen;
    if (!OpenFile(list[static_cast<std::size_t>(index_)])) {
        platform::ShowBilingualMessage(kMatrixOpenFailedZh, kMatrixRecordOpenFailedEn, platform::kBoxError);
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

bool MatrixLock::Close(const LoadedMatrixList& list) {
    const int at = IndexOfMatrix(list, path_);
    return CloseFile(at >= 0 ? &list[static_cast<std::size_t>(at)] : nullptr);
}

LoadedMatrix* MatrixLock::Target(LoadedMatrixList& list) {
    if (!file_)
        return nullptr;
    const int at = IndexOfMatrix(list, path_);
    if (at < 0)
        return nullptr;
    LoadedMatrix& grid = list[static_cast<std::size_t>(at)];
    return Follow(grid) ? &grid : nullptr;
}

bool MatrixLock::WriteCells(const LoadedMatrix& entry, std::vector<std::uint32_t>& cells) {
    if (!file_ || entry.serial != serial_ || entry.path != path_)
        return false;
    const std::span<const MatrixCell> memory = entry.matrix.Cells();
    cells.insert(cells.end(), pending_.begin(), pending_.end());
    pending_.clear();
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    // Cell numbers come from the grid itself; anything beyond it is dropped rather than trusted.
    cells.erase(std::lower_bound(cells.begin(), cells.end(), memory.size()), cells.end());

    for (std::size_t i = 0; i < cells.size();) {
        std::size_t j = i;
        while (j + 1 < cells.size() && cells[j + 1] - cells[j] <= kRunGapCells + 1) ++j;
        const std::uint32_t first = cells[i];
        const std::uint32_t last = cells[j];
        ++writeCalls_;
        if (!file_->WriteAt(MatrixCellOffset(first), memory.data() + first,
                            (static_cast<std::size_t>(last - first) + 1) * kMatrixFileCellSize)) {
            ++failedWrites_;
            pending_.insert(pending_.end(), cells.begin() + static_cast<std::ptrdiff_t>(i),
                            cells.begin() + static_cast<std::ptrdiff_t>(j) + 1);
        }
        i = j + 1;
    }
    if (!pending_.empty()) {
        if (!failureShown_) {
            failureShown_ = true;
            platform::ShowBilingualMessage(kMatrixWriteFailedZh, kMatrixWriteFailedEn, platform::kBoxError);
        }
        return false;
    }
    failureShown_ = false;
    return true;
}

}  // namespace marivane
