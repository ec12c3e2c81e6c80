#pragma once
// The depth grid file (.mtrx), little-endian: a 256-byte header followed by rows × columns cells,
// row by row from row 0, each row from column 0. A cell is 8 bytes: the number of soundings (u32)
// and their mean depth (float). The file is updated cell by cell while the grid is fed, so the cell
// of number k always sits at offset 256 + 8·k.
//
// Header: base point X (easting) and Y (northing), length (along the column axis, east at rotation
// 0), width (along the row axis, north at rotation 0), cell length, cell width, rotation (degrees),
// all doubles at 0 … 48; rows (u32, 56) = whole part of width / cell width; columns (u32, 60) =
// whole part of length / cell length; the outline used while editing (4 corners, X then Y, 64 …
// 127): base point, end of the length side, opposite corner, end of the width side; 128 zero bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace marivane {

inline constexpr std::size_t kMatrixFileHeaderSize = 256;
inline constexpr std::size_t kMatrixFileCellSize = 8;
inline constexpr std::uint64_t kMaxMatrixCells = 100'000'000;

// A point of the plan in grid metres: easting, northing.
struct MatrixPoint {
    double x = 0.0;  // easting
    double y = 0.0;  // northing

    friend bool operator==(const MatrixPoint&, const MatrixPoint&) = default;
};

// Corners of the outline.
enum OutlineCornerIndex : std::size_t { kP0 = 0, kP1 = 1, kP2 = 2, kP3 = 3 };

struct MatrixHeader {
    double baseX = 0.0, baseY = 0.0;
    double length = 0.0, width = 0.0;
    double cellLength = 0.0, cellWidth = 0.0;
    double rotation = 0.0;  // degrees
    std::uint32_t rows = 0, columns = 0;
    std::array<MatrixPoint, 4> outline{};  // P0 … P3
    std::array<std::uint8_t, 128> reserved{};

    friend bool operator==(const MatrixHeader&, const MatrixHeader&) = default;
};

// The cell record, byte for byte as in the file (the suite runs on little-endian hosts only).
struct MatrixCell {
    std::uint32_t count = 0;
    float mean = 0.0f;

    friend bool operator==(const MatrixCell&, const MatrixCell&) = default;
};
static_assert(sizeof(MatrixCell) == kMatrixFileCellSize);

std::array<std::uint8_t, kMatrixFileHeaderSize> EncodeMatrixHeader(const MatrixHeader& header);
MatrixHeader DecodeMatrixHeader(std::span<const std::uint8_t, kMatrixFileHeaderSize> bytes);

constexpr std::uint64_t MatrixCellOffset(std::uint64_t cell) {
    return kMatrixFileHeaderSize + kMatrixFileCellSize * cell;
}

enum class MatrixGeometry {
    Ok,
    NotFinite,  // a size, the base point or the rotation is NaN or infinite
    Empty,  // the far corner is not 1e-9 beyond the base point, a cell size below 1e-9, or no row or column
    TooManyCells,  // more than kMaxMatrixCells
};

// Whether a grid object can be built from the header as it stands (its stored rows and columns).
MatrixGeometry CheckMatrixGeometry(const MatrixHeader& header);

// Rows and columns from the sizes: whole parts of width / cell width and length / cell length;
// nothing when either is not a number, negative, or beyond the u32 range.
struct RowsColumns {
    std::uint32_t rows = 0, columns = 0;
};
std::optional<RowsColumns> ComputeRowsColumns(const MatrixHeader& header);

// The figures the editor shows: cells = whole part of (length × width) / (cell length × cell width)
// and the file size (cells × 8 + 256) / 1048576 MB. `withinLimit` is false when the count is over
// 1e8, not a number, or does not fit a signed 32-bit integer; the figures are then 0.
struct MatrixSizeFigures {
    bool withinLimit = false;
    std::int32_t cells = 0;
    double sizeMB = 0.0;
};
MatrixSizeFigures ComputeSizeFigures(const MatrixHeader& header);
// "Cells number:%d" / "单元格数：%d" and "Size(MB):%.2f" / "大小(MB):%.2f" in the message language.
std::string CellsFigureText(const MatrixSizeFigures& figures);
std::string SizeFigureText(const MatrixSizeFigures& figures);

// The cell count check before saving: over the limit shows "The total number of cells is over 100
// million. Please reset the length and width of the matrix." and returns false.
bool CheckCellCount(const MatrixHeader& header);

// Creates the grid file for `header`: rows and columns are computed into the header, bytes 128 …
// 255 zeroed, and the header with rows × columns zero cells is written beside the target and renamed
// over it. A header that gives no grid (see CheckMatrixGeometry) is refused. Failure shows "Failed to
// save the matrix file!" and leaves any previous file (and the header) as they were.
bool CreateMatrixFile(const std::filesystem::path& path, MatrixHeader& header);

// Writes `header` unchanged with `cells` zero cells, beside the target and renamed over it.
bool WriteEmptyMatrixFile(const std::filesystem::path& path, const MatrixHeader& header, std::uint64_t cells);

// Reads the 256-byte header of a grid file; nothing when the file cannot be opened or is shorter.
std::optional<MatrixHeader> ReadMatrixHeader(const std::filesystem::path& path);

// Message texts (English, Chinese).
inline constexpr const char* kMatrixReadFailedEn = "Failed to read the matrix file %s !";
inline constexpr const char* kMatrixReadFailedZh = "读取矩阵文件%s失败！";
inline constexpr const char* kMatrixSaveFailedEn = "Failed to save the matrix file!";
inline constexpr const char* kMatrixSaveFailedZh = "保存矩阵文件失败！";
inline constexpr const char* kMatrixTooManyCellsEn =
    "The total number of cells is over 100 million. Please reset the length and width of the matrix.";
inline constexpr const char* kMatrixTooManyCellsZh = "总格数已经超过1亿点,请重新设置矩阵长宽或单元格长宽";

}  // namespace marivane
