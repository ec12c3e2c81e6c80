#include "marivane/shell/LockedGrid.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <vector>

#include "platform/Binary.h"

namespace marivane {

namespace fs = std::filesystem;

bool ZeroMatrixFileCells(const fs::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb+");
    if (f == nullptr)
        return false;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    std::array<std::uint8_t, kMatrixHeaderSize> header{};
    bool ok = !ec;
    if (ok && size >= kMatrixHeaderSize && std::fread(header.data(), 1, header.size(), f) == header.size()) {
        const std::uint64_t rows = platform::LoadLE<std::uint32_t>(header.data() + kMatrixRowsOffset);
        const std::uint64_t columns = platform::LoadLE<std::uint32_t>(header.data() + kMatrixColumnsOffset);
        const std::uint64_t inFile = (size - kMatrixHeaderSize) / kMatrixCellSize;
        // rows and columns are below 2^32 each, so their product fits 64 bits.
        std::uint64_t cells = std::min<std::uint64_t>(rows * columns, inFile);
        const std::vector<std::uint8_t> zeros(64 * 1024, 0);
        ok = std::fseek(f, static_cast<long>(kMatrixHeaderSize), SEEK_SET) == 0;
        std::uint64_t bytes = cells * kMatrixCellSize;
        while (ok && bytes > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, zeros.size()));
            ok = std::fwrite(zeros.data(), 1, n, f) == n;
            bytes -= n;
        }
    }
    const bool closed = std::fclose(f) == 0;
    return ok && closed;
}

MatrixFileHolder::~MatrixFileHolder() {
    Close();
}

bool MatrixFileHolder::Open(LoadedFile& matrix) {
    Close();
    file_ = std::fopen(matrix.path.c_str(), "rb+");
    if (file_ == nullptr)
        return false;
    path_ = matrix.path;
    return true;
}

void MatrixFileHolder::Close() {
    if (file_ == nullptr)
        return;
    std::fflush(file_);
    std::fclose(file_);
    file_ = nullptr;
    path_.clear();
}

}  // namespace marivane
