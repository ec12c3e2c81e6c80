#pragma once
// The survey line editor without its window: the working list of lines, the selection, the input
// mode, the commands of the editor's menu and toolbars, the mouse pick mode and line generation. The
// window shows what the model holds and forwards the user's actions; every message and question goes
// through platform::ShowBilingualMessage and the EditorPrompt of the context, every change that the
// chart shows posts WM_REFRESH_VIEWS (0, 0). When the window is destroyed it posts WM_EDITOR_CLOSED
// with kEditorLine to the chart view.

#include <array>
#include <string_view>
#include <vector>

#include "marivane/lines/EditorBase.h"
#include "marivane/lines/LineGeneration.h"
#include "marivane/lines/SurveyLines.h"

namespace marivane {

class LineEditorModel final : public FileEditorBase {
  public:
    // Opens with one line named 1 without points, selected; X,Y mode; no file; not modified.
    explicit LineEditorModel(EditorContext context);

    const std::vector<SurveyLine>& Lines() const { return lines_; }
    // The line selected in the line list and the row selected in the point list, -1 for none.
    int SelectedLine() const { return selectedLine_; }
    int SelectedPoint() const { return selectedPoint_; }
    // The rows of the point list: the selected line's points in the current input mode.
    std::vector<PointRow> PointRows() const;
    std::array<Bilingual, 2> ColumnTitles() const;
    // Status bar pane 0: "Lines num:%d" (at opening "Lines num: 1").
    const Bilingual& CountStatus() const { return countStatus_; }
    // Status bar pane 1.
    Bilingual Note() const override;

    // Selection change in the line list; "Failed to select a line!" when `index` names no line.
    bool SelectLine(int index);
    // Selection change in the point list; an index that names no row clears it.
    void SelectPoint(int row);
    void SetInputMode(InputMode mode);

    // File commands. Each starts with the save question and does nothing more when the user stays.
    bool New();
    bool Open();
    // Empties the editor; true when the window may close.
    bool Exit();
    // Edit from the project tree: the lines of a loaded file become the working list and its path the
    // editor's file.
    bool LoadForEditing(const LineFileEntry& entry);

    // Line commands.
    void AddLine();
    bool DeleteLine();
    bool RenameSelectedLine(std::string_view name);

    // Point commands on the selected line; L,B mode adds and inserts its fixed default positions.
    bool AddPoint();
    bool InsertPoint();
    bool DeletePoint();
    // The user finished editing a row: its point becomes what the two cells say.
    bool EditPoint(int row, std::string_view first, std::string_view second);

    // Pick mode: the selected line becomes the target of the chart's left clicks.
    void BeginPick();
    int PickTarget() const { return pickTarget_; }
    // A left click on the chart in pick mode: appends the point to the target line.
    bool PickPoint(PlanPoint point);
    // A right click, or the editor restored from its minimised state.
    void EndPick();

    // Line generation around the selected (reference) line. True when lines were added.
    bool GenerateParallelLines(const ParallelLineRequest& request);
    bool GenerateStairSteps(const StairStepRequest& request);

  private:
    bool WriteWorkingCopy(const std::filesystem::path& path) override;
    bool ValidLine(int index) const;
    void ReplaceLines(std::vector<SurveyLine> lines, const std::filesystem::path& path);
    void ShowCount();
    std::optional<PlanPoint> DefaultPoint(std::string_view latitude, std::string_view longitude) const;
    std::optional<int> ReferenceLine() const;
    void InsertGenerated(int reference, GeneratedLines generated);
    void Changed();

    std::vector<SurveyLine> lines_;
    int selectedLine_ = -1;
    int selectedPoint_ = -1;
    int pickTarget_ = -1;
    Bilingual countStatus_;
};

}  // namespace marivane
