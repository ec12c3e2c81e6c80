#pragma once
// The depth grid in memory: the mean depth and the number of soundings of every cell, and a 32-bit
// image of the grid (one pixel per cell, 0x00RRGGBB, rows counted from the bottom of the image) that
// the chart draws. Soundings are placed in the grid's own axes: the column axis runs along the length
// (east at rotation 0), the row axis along the width (north at rotation 0), both turned clockwise by
// the rotation about the base point.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "marivane/grid/ColourTable.h"
#include "marivane/grid/MatrixFile.h"

namespace marivane {

class DepthMatrix {
  public:
    // Not valid: holds no cells.
    DepthMatrix() = default;

    // Builds the object for `header`: only when CheckMatrixGeometry accepts it and the object is not
    // valid yet. All cells and pixels start at zero. Throws std::bad_alloc when memory runs out.
    bool Build(const MatrixHeader& header);

    bool Valid() const { return valid_; }
    std::uint32_t Rows() const { return rows_; }
    std::uint32_t Columns() const { return columns_; }
    std::size_t CellCount() const { return cells_.size(); }

    std::span<const MatrixCell> Cells() const { return cells_; }
    // For loading and tests; the pixels are not touched.
    std::span<MatrixCell> MutableCells() { return cells_; }
    std::span<const std::uint32_t> Pixels() const { return pixels_; }

    // Adds one sounding at easting x, northing y: the cell's count goes up by one and its mean moves
    // toward the depth; its pixel takes `colour`. Returns the cell number (row × columns + column),
    // or −1, changing nothing, when the sounding lies outside the grid or its depth is not within
    // (0, 100000). A sounding less than one cell before the base point is truncated into cell 0.
    std::int32_t AddSounding(ColourRef colour, double x, double y, double depth);

    // Colours every cell that holds soundings by the band of its mean (whole-grid rule); cells
    // without soundings keep their pixel.
    void Recolour(const DepthColourTable& colours);

    // Every cell and pixel back to zero.
    void Clear();

    // Pixel index of a cell: rows from the bottom of the image.
    std::size_t PixelIndex(std::uint32_t row, std::uint32_t column) const {
        return static_cast<std::size_t>(rows_ - 1 - row) * columns_ + column;
    }

    struct LastUpdate {
        std::int32_t row = -1, column = -1;
        ColourRef colour = 0;
    };
    LastUpdate Last() const { return last_; }

    // Changes whenever a pixel may have changed, so the chart knows to refresh its bitmap.
    std::uint64_t PixelVersion() const { return pixelVersion_; }

  private:
    double x0_ = 0.0, y0_ = 0.0;
    double cellLength_ = 0.0, cellWidth_ = 0.0;
    double cosTheta_ = 1.0, sinTheta_ = 0.0;  // of θ′ = −rotation
    std::uint32_t rows_ = 0, columns_ = 0;
    std::vector<MatrixCell> cells_;
    std::vector<std::uint32_t> pixels_;
    bool valid_ = false;
    LastUpdate last_;
    std::uint64_t pixelVersion_ = 0;
};

}  // namespace marivane
