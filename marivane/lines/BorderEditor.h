#pragma once
// The border editor without its window: one working border (a closed polygon of plan points), its
// point list, the input mode, the file commands and the mouse pick mode. It works as the survey line
// editor does, without lines, line commands and generation. When the window is destroyed it posts
// WM_EDITOR_CLOSED with kEditorBorder to the chart view.

#include <array>
#include <string_view>
#include <vector>

#include "marivane/lines/BrdFile.h"
#include "marivane/lines/EditorBase.h"

namespace marivane {

class BorderEditorModel final : public FileEditorBase {
  public:
    // Opens with an empty border, X,Y mode, no file, not modified.
    explicit BorderEditorModel(EditorContext context);

    const std::vector<PlanPoint>& Border() const { return border_; }
    int SelectedPoint() const { return selectedPoint_; }
    // The rows of the point list in the current input mode ("%.2f" in X,Y mode).
    std::vector<PointRow> PointRows() const;
    // "X start coordinates" / "Y start coordinates" until the input mode is first switched.
    std::array<Bilingual, 2> ColumnTitles() const;
    // Status bar pane 0.
    Bilingual Note() const override;

    void SelectPoint(int row);
    void SetInputMode(InputMode mode);

    bool New();
    bool Open();
    bool Exit();
    // Edit from the project tree: the loaded border becomes the working border and its path the file.
    bool LoadForEditing(const BorderFileEntry& entry);

    // Appends the default point ((0, 0), or the fixed L,B position); no selection needed.
    bool AddPoint();
    // Inserts the default point before the selected row.
    bool InsertPoint();
    bool DeletePoint();
    bool EditPoint(int row, std::string_view first, std::string_view second);

    void BeginPick() { picking_ = true; }
    // A left click on the chart in pick mode: appends the point to the border.
    bool PickPoint(PlanPoint point);
    void EndPick();

  private:
    bool WriteWorkingCopy(const std::filesystem::path& path) override;
    bool ValidRow(int row) const { return row >= 0 && static_cast<std::size_t>(row) < border_.size(); }
    std::optional<PlanPoint> DefaultPoint() const;
    void ReplaceBorder(std::vector<PlanPoint> border, const std::filesystem::path& path);
    void Changed();

    std::vector<PlanPoint> border_;
    int selectedPoint_ = -1;
    bool modeSwitched_ = false;
};

}  // namespace marivane
