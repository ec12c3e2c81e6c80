// Writes the seed corpus of the grid file fuzz test: a few small grid files built from the layout.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "marivane/grid/MatrixFile.h"
#include "platform/Binary.h"

namespace {

void Write(const std::filesystem::path& path, const marivane::MatrixHeader& h,
           const std::vector<marivane::MatrixCell>& cells) {
    const auto header = marivane::EncodeMatrixHeader(h);
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    platform::ByteWriter w(bytes);
    for (const auto& c : cells) {
        w.Write(c.count);
        w.Write(c.mean);
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

marivane::MatrixHeader Header(double x, double y, std::uint32_t columns, std::uint32_t rows, double cell,
                              double rotation) {
    marivane::MatrixHeader h;
    h.baseX = x;
    h.baseY = y;
    h.length = columns * cell;
    h.width = rows * cell;
    h.cellLength = h.cellWidth = cell;
    h.rotation = rotation;
    h.rows = rows;
    h.columns = columns;
    h.outline = {{{x, y}, {x + h.length, y}, {x + h.length, y + h.width}, {x, y + h.width}}};
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir);
    Write(dir / "small.mtrx", Header(500000.0, 3300000.0, 3, 2, 2.0, 0.0),
          {{1, 40.5f}, {0, 0.0f}, {3, 41.25f}, {2, 1e6f}, {0, 0.0f}, {7, -3.0f}});
    std::vector<marivane::MatrixCell> cells(16);
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = {static_cast<std::uint32_t>(i), 10.0f + static_cast<float>(i)};
    Write(dir / "rotated.mtrx", Header(100.0, 200.0, 4, 4, 0.5, 300.0), cells);
    marivane::MatrixHeader empty = Header(0.0, 0.0, 1, 1, 5.0, 0.0);
    empty.length = 0.0;
    empty.columns = 0;
    Write(dir / "no_length.mtrx", empty, {});
    return 0;
}
