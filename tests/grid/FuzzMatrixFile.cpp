// Any bytes as a depth grid file: read it as the project does, and when it gives a grid, feed that
// grid a ping through its open file and work its header with the editor's outline maths.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "marivane/grid/LoadedMatrices.h"
#include "marivane/grid/LockedGridFeed.h"
#include "marivane/grid/MatrixEditor.h"
#include "marivane/grid/MatrixLock.h"
#include "marivane/grid/MatrixOutline.h"
#include "platform/Message.h"

namespace {

class Silent final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view, std::string_view, unsigned, bool) override {
        return platform::MessageAnswer::Ok;
    }
};

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The input as a file in memory (a truncated file on disk can cost milliseconds per run), reached by
// a path like any other file.
class MemoryFile {
  public:
    MemoryFile()
        : fd_(::memfd_create("fuzz_matrix", MFD_CLOEXEC)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
    bool Fill(const std::uint8_t* data, std::size_t size) {
        if (fd_ < 0 || ::ftruncate(fd_, 0) != 0)
            return false;
        return size == 0 || ::pwrite(fd_, data, size, 0) == static_cast<ssize_t>(size);
    }
    const std::filesystem::path& Path() const { return path_; }

  private:
    int fd_;
    std::filesystem::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Silent silent;
    platform::SetMessagePresenter(&silent);
    static MemoryFile file;
    if (!file.Fill(data, size))
        return 0;
    const auto& path = file.Path();

    marivane::DepthColourTable colours;
    marivane::LoadedMatrixList list;
    const auto result = marivane::LoadMatrix(list, path, colours);
    Check((result == marivane::MatrixLoadResult::Failed) == list.empty());
    if (!list.empty()) {
        marivane::LoadedMatrix& grid = list[0];
        if (grid.matrix.Valid()) {
            Check(marivane::CheckMatrixGeometry(grid.header) == marivane::MatrixGeometry::Ok);
            const std::uint64_t cells = grid.matrix.CellCount();
            Check(cells == static_cast<std::uint64_t>(grid.header.rows) * grid.header.columns);
            Check(size >= marivane::MatrixCellOffset(cells));
            Check(grid.matrix.Pixels().size() == cells);

            // A ping over the grid, written through: the file then holds the cells of memory.
            marivane::MatrixLock lock;
            marivane::LockedGridFeed feed(list, lock, colours);
            Check(lock.Lock(0, list, true));
            std::vector<marivane::PositionedPing> pings(1);
            for (std::size_t i = 0; i < pings[0].solutions.size(); ++i) {
                auto& s = pings[0].solutions[i];
                s.easting = grid.header.baseX + static_cast<double>(i % 23) * grid.header.cellLength;
                s.northing = grid.header.baseY + static_cast<double>(i / 23) * grid.header.cellWidth;
                s.depth = 1.0 + static_cast<double>(i % 7);
            }
            feed.ConsumePositionedPings(pings);
            Check(lock.Close(list));
        }
        // The editor's maths on whatever the header holds.
        marivane::MatrixHeader h = grid.header;
        marivane::SetOutlineLength(h, 10.0);
        marivane::SetOutlineWidth(h, 5.0);
        marivane::SetOutlineRotation(h, h.rotation + 725.0);
        marivane::DragOutline(h, {false, true, false, false}, {h.baseX + 3.0, h.baseY - 4.0});
        marivane::DragOutline(h, {false, false, true, false}, {h.baseX - 1.0, h.baseY + 2.0});
        marivane::ComputeSizeFigures(h);
    }
    marivane::MatrixEditor editor;
    editor.Open(path);
    platform::SetMessagePresenter(nullptr);
    return 0;
}
