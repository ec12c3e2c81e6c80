#pragma once
// The program-wide list of loaded depth grids: one entry per grid file of the project, each with its
// path, the project tree's shown flag, the header as read and the grid object. A path is listed once;
// loading it again replaces the entry and moves it to the end.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "marivane/grid/ColourTable.h"
#include "marivane/grid/DepthMatrix.h"
#include "marivane/grid/MatrixFile.h"

namespace marivane {

struct LoadedMatrix {
    std::filesystem::path path;
    bool shown = true;
    MatrixHeader header;  // all 256 bytes as read
    DepthMatrix matrix;   // not valid when the header describes no grid
    // New at every load and every clear of this entry: the file held open for update notices that
    // the grid it belongs to was replaced and opens the file again.
    std::uint64_t serial = 0;
};
using LoadedMatrixList = std::vector<LoadedMatrix>;

// Reads one grid file (the loader): the entry with its path, header, grid (coloured by the whole-grid
// rule) and a new serial; the shown flag is left true. When the file cannot be opened for update
// ("rb+"), its header is incomplete, the cells the header promises are not all there, or memory for
// them runs out, "Failed to read the matrix file <path> !" is shown and nothing is returned. A header
// that describes no grid gives an entry without a grid (nothing to draw or feed).
std::optional<LoadedMatrix> ReadMatrixFile(const std::filesystem::path& path,
                                           const DepthColourTable& colours);

enum class MatrixLoadResult {
    Loaded,             // the grid is in the list, its cells read and coloured
    LoadedWithoutGrid,  // listed, but the header describes no grid (nothing is drawn or fed)
    Failed,             // message shown; the list is unchanged
};

// Reads a grid file into the list (ReadMatrixFile). On failure the list stays as it was; otherwise an
// entry with the same path is removed and the new entry goes to the end.
MatrixLoadResult LoadMatrix(LoadedMatrixList& list, const std::filesystem::path& path,
                            const DepthColourTable& colours, bool shown = true);

enum class MatrixClearResult { Cleared, Cancelled, Failed, NoGrid };

// Empties one grid without asking: the file is rewritten with the same header and zero cells (beside
// the target, then renamed into place), and only then are the cells and pixels in memory zeroed and
// the serial renewed. A write failure shows "Failed to save the matrix file!" and leaves memory and
// file as they were. An entry without a grid is left alone (NoGrid).
MatrixClearResult ClearMatrixData(LoadedMatrix& grid);

// The clear command on the grid at `index`: after the question "Are you sure you want to empty the
// matrix file data?" (OK, Cancel), ClearMatrixData. An entry without a grid, or an index outside the
// list, is left alone (NoGrid) without asking.
MatrixClearResult ClearMatrix(LoadedMatrixList& list, std::size_t index);

// Recolours every valid grid of the list (after the depth colours changed).
void RecolourMatrices(LoadedMatrixList& list, const DepthColourTable& colours);

// The index of the entry with this path, or −1.
int IndexOfMatrix(const LoadedMatrixList& list, const std::filesystem::path& path);

// The locked grid's index in the project file: section "MatrixFolder", key "PosMatrixFileLocked",
// written with "%d"; −1 when absent.
int ReadLockedMatrixIndex(const std::filesystem::path& projectFile);
bool WriteLockedMatrixIndex(const std::filesystem::path& projectFile, int index);

inline constexpr const char* kMatrixClearQuestionEn = "Are you sure you want to empty the matrix file data?";
inline constexpr const char* kMatrixClearQuestionZh = "确定要清空矩形文件数据吗？";

}  // namespace marivane
