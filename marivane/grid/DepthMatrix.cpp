#include "marivane/grid/DepthMatrix.h"

#include <cmath>
#include <limits>

namespace marivane {

bool DepthMatrix::Build(const MatrixHeader& header) {
    if (valid_ || CheckMatrixGeometry(header) != MatrixGeometry::Ok)
        return false;
    const std::size_t count = static_cast<std::size_t>(header.rows) * header.columns;
    std::vector<MatrixCell> cells(count);
    std::vector<std::uint32_t> pixels(count, 0);
    x0_ = header.baseX;
    y0_ = header.baseY;
    cellLength_ = header.cellLength;
    cellWidth_ = header.cellWidth;
    const double theta = -header.rotation * 3.14159265 / 180.0;
    cosTheta_ = std::cos(theta);
    sinTheta_ = std::sin(theta);
    rows_ = header.rows;
    columns_ = header.columns;
    cells_ = std::move(cells);
    pixels_ = std::move(pixels);
    last_ = {};
    valid_ = true;
    ++pixelVersion_;
    return true;
}

std::int32_t DepthMatrix::AddSounding(ColourRef colour, double x, double y, double depth) {
    if (!valid_ || !(depth > 0.0 && depth < 100000.0))
        return -1;
    const double dx = x - x0_;
    const double dy = y - y0_;
    const double r = (cosTheta_ * dy - sinTheta_ * dx) / cellWidth_;
    const double c = (sinTheta_ * dy + cosTheta_ * dx) / cellLength_;
    // Truncation toward zero keeps anything above −1 in index 0; compared as doubles first, so that
    // far-away (or not-a-number) positions never reach the integer conversion.
    if (!(r > -1.0 && r < static_cast<double>(rows_) && c > -1.0 && c < static_cast<double>(columns_)))
        return -1;
    const auto row = static_cast<std::uint32_t>(r);
    const auto column = static_cast<std::uint32_t>(c);
    const std::size_t index = static_cast<std::size_t>(row) * columns_ + column;
    MatrixCell& cell = cells_[index];
    // A count at its largest (only from a damaged file) stays there rather than wrapping to zero.
    if (cell.count < std::numeric_limits<std::uint32_t>::max())
        ++cell.count;
    cell.mean = static_cast<float>(cell.mean + (depth - cell.mean) / cell.count);
    pixels_[PixelIndex(row, column)] = PixelColour(colour);
    last_ = {static_cast<std::int32_t>(row), static_cast<std::int32_t>(column), colour};
    ++pixelVersion_;
    return static_cast<std::int32_t>(index);
}

void DepthMatrix::Recolour(const DepthColourTable& colours) {
    if (!valid_)
        return;
    for (std::uint32_t row = 0; row < rows_; ++row) {
        const MatrixCell* line = cells_.data() + static_cast<std::size_t>(row) * columns_;
        for (std::uint32_t column = 0; column < columns_; ++column) {
            if (line[column].count > 0)
                pixels_[PixelIndex(row, column)] = PixelColour(colours.CellColour(line[column].mean));
        }
    }
    ++pixelVersion_;
}

void DepthMatrix::Clear() {
    std::fill(cells_.begin(), cells_.end(), MatrixCell{});
    std::fill(pixels_.begin(), pixels_.end(), 0u);
    last_ = {};
    ++pixelVersion_;
}

}  // namespace marivane
