#include "marivane/grid/LoadedMatrices.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "platform/Message.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

std::uint64_t NextSerial() {
    static std::atomic<std::uint64_t> serial{0};
    return ++serial;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void ShowReadFailed(const std::filesystem::path& path) {
    platform::ShowBilingualMessage(platform::FormatMessageText(kMatrixReadFailedZh, path.string()),
                                   platform::FormatMessageText(kMatrixReadFailedEn, path.string()),
                                   platform::kBoxError);
}

// The entry read from the file, or nothing when the file cannot be read as a grid file.
std::optional<LoadedMatrix> ReadGrid(const std::filesystem::path& path, const DepthColourTable& colours) {
    FilePtr file(std::fopen(path.c_str(), "rb+"));
    if (!file)
        return std::nullopt;
    struct stat info {};
    if (::fstat(::fileno(file.get()), &info) != 0)
        return std::nullopt;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::array<std::uint8_t, kMatrixFileHeaderSize> bytes{};
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return std::nullopt;
    LoadedMatrix entry;
    entry.path = path;
    entry.header = DecodeMatrixHeader(bytes);
    if (CheckMatrixGeometry(entry.header) != MatrixGeometry::Ok)
        return entry;  // listed without a grid
    // The size is checked before anything is allocated, so a damaged header cannot ask for memory
    // that the file does not back.
    const std::uint64_t cells = static_cast<std::uint64_t>(entry.header.rows) * entry.header.columns;
    if (size < MatrixCellOffset(cells))
        return std::nullopt;
    try {
        entry.matrix.Build(entry.header);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    const auto target = entry.matrix.MutableCells();
    if (std::fread(target.data(), kMatrixFileCellSize, target.size(), file.get()) != target.size())
        return std::nullopt;
    entry.matrix.Recolour(colours);
    return entry;
}

}  // namespace

std::optional<LoadedMatrix> ReadMatrixFile(const std::filesystem::path& path,
                                           const DepthColourTable& colours) {
    std::optional<LoadedMatrix> grid = ReadGrid(path, colours);
    if (!grid) {
        ShowReadFailed(path);
        return std::nullopt;
    }
    grid->serial = NextSerial();
    return grid;
}

MatrixLoadResult LoadMatrix(LoadedMatrixList& list, const std::filesystem::path& path,
                            const DepthColourTable& colours, bool shown) {
    std::optional<LoadedMatrix> entry = ReadMatrixFile(path, colours);
    if (!entry)
        return MatrixLoadResult::Failed;
    entry->shown = shown;
    const bool grid = entry->matrix.Valid();
    std::erase_if(list, [&](const LoadedMatrix& e) { return e.path == path; });
    list.push_back(std::move(*entry));
    return grid ? MatrixLoadResult::Loaded : MatrixLoadResult::LoadedWithoutGrid;
}

MatrixClearResult ClearMatrix(LoadedMatrixList& list, std::size_t index) {
    if (index >= list.size() || !list[index].matrix.Valid())
        return MatrixClearResult::NoGrid;
    if (platform::ShowBilingualMessage(kMatrixClearQuestionZh, kMatrixClearQuestionEn,
                                       platform::kBoxDestructiveConfirm) != platform::MessageAnswer::Ok)
        return MatrixClearResult::Cancelled;
    return ClearMatrixData(list[index]);
}

MatrixClearResult ClearMatrixData(LoadedMatrix& entry) {
    if (!entry.matrix.Valid())
        return MatrixClearResult::NoGrid;
    if (!WriteEmptyMatrixFile(entry.path, entry.header, entry.matrix.CellCount())) {
        platform::ShowBilingualMessage(kMatrixSaveFailedZh, kMatrixSaveFailedEn, platform::kBoxError);
        return MatrixClearResult::Failed;
    }
    entry.matrix.Clear();
    entry.serial = NextSerial();
    return MatrixClearResult::Cleared;
}

void RecolourMatrices(LoadedMatrixList& list, const DepthColourTable& colours) {
    for (LoadedMatrix& entry : list) entry.matrix.Recolour(colours);
}

int IndexOfMatrix(const LoadedMatrixList& list, const std::filesystem::path& path) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].path == path)
            return static_cast<int>(i);
    }
    return -1;
}

int ReadLockedMatrixIndex(const std::filesystem::path& projectFile) {
    return platform::GetProfileInt(projectFile, "MatrixFolder", "PosMatrixFileLocked", -1);
}

bool WriteLockedMatrixIndex(const std::filesystem::path& projectFile, int index) {
    return platform::WriteProfileString(projectFile, "MatrixFolder", "PosMatrixFileLocked",
                                        std::to_string(index));
}

}  // namespace marivane
