#pragma once
// The matrix editor without its widgets: the program-wide header of the grid being defined (also
// drawn and dragged by the chart), the path of the current file, the fields, and the File menu's
// open, new and save, and the registration of a saved grid in the project.
//
// Typed values are checked: sizes must be positive numbers and, together with the size of the same
// axis already set, give at least one row or column; a refused value changes nothing.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "marivane/grid/MatrixFile.h"

namespace marivane {

enum class MatrixField { BaseX, BaseY, Length, Width, CellLength, CellWidth, Rotation };

class MatrixEditor {
  public:
    static constexpr double kStartCellSize = 5.0;

    // The header cleared, both cell sizes 5.0, no current file.
    MatrixEditor();

    const MatrixHeader& Header() const { return header_; }
    // For the chart's outline dragging (DragOutline).
    MatrixHeader& MutableHeader() { return header_; }
    const std::filesystem::path& CurrentPath() const { return path_; }

    // Enter in a field: the text read as a leading number. The outline follows; after a length,
    // width or cell size the cell count check runs (its message does not refuse the value).
    bool TakeField(MatrixField field, std::string_view text);

    // "%.2f" base point, "%.1f" sizes, "%.2f" rotation.
    std::string FieldText(MatrixField field) const;
    MatrixSizeFigures Figures() const { return ComputeSizeFigures(header_); }

    // A notification code from the chart: the fields to show again (the rotation shown as the rotation
    // plus 1e-12 — see RotationTextAfterDrag); codes 22 and 44 run the cell count check.
    std::vector<MatrixField> OnOutlineNotification(int code);
    std::string RotationTextAfterDrag() const;

    // "新建": no current file, the header cleared (cell sizes 5.0 again).
    void New();

    enum class OpenResult { AlreadyCurrent, Opened, Missing, Failed };
    // "打开" with the chosen file. The current file again does nothing. A missing file shows "<path>
    // File path error!", one that cannot be opened for update or read whole (256 bytes) or holds values
    // that are not numbers "Failed to read the matrix file <path> !"; the editor is then unchanged.
    OpenResult Open(const std::filesystem::path& path);

    // Saving needs a name first when there is no current file ("另存为").
    bool NeedsName() const { return path_.empty(); }

    enum class SaveResult { Saved, Refused, Failed };
    // "保存" / "另存为" to `target`: the cell count check, then a grid of at least one row and one
    // column, then CreateMatrixFile (which empties an existing grid). On success `target` is current.
    SaveResult Save(const std::filesystem::path& target);

  private:
    void Clear();

    MatrixHeader header_;
    std::filesystem::path path_;
};

// `name` with ".mtrx" appended unless it ends in it already.
std::filesystem::path WithMatrixExtension(const std::filesystem::path& name);

enum class MatrixRegistration { InFolder, Copied, Declined, CopyFailed, ProjectFileFailed };

// Registers a saved grid in the project: a file already in the matrix folder is used where it is;
// any other is copied there (after "The file already exists.\nDo you want to replace it?" when the
// name is taken; No ends without registering). Then the key of its name in section "MatrixFolder" of
// the project file is set to "true". `registered` receives the path in the matrix folder, which the
// caller lists, loads (LoadMatrix) and shows in the project tree.
MatrixRegistration RegisterMatrixFile(const std::filesystem::path& file,
                                      const std::filesystem::path& matrixFolder,
                                      const std::filesystem::path& projectFile,
                                      std::filesystem::path& registered);

inline constexpr const char* kMatrixPathErrorEn = "%s File path error!";
inline constexpr const char* kMatrixPathErrorZh = "%s文件路径错误！";
inline constexpr const char* kMatrixNoCellsEn =
    "The matrix has no cells. Please set the length and width of the matrix and of its cells.";
inline constexpr const char* kMatrixNoCellsZh = "矩阵没有单元格，请重新设置矩阵长宽和单元格长宽";
inline constexpr const char* kMatrixReplaceEn = "The file already exists.\nDo you want to replace it?";
inline constexpr const char* kMatrixReplaceZh = "当前工程文件夹下已有该文件，是否覆盖该文件？";

}  // namespace marivane
