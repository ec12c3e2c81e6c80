#include "marivane/lines/BorderEditor.h"

namespace marivane {

BorderEditorModel::BorderEditorModel(EditorContext context)
    : FileEditorBase(context, EditedFileKind::Borders) {}

std::vector<PointRow> BorderEditorModel::PointRows() const {
    std::vector<PointRow> rows;
    rows.reserve(border_.size());
    for (std::size_t i = 0; i < border_.size(); ++i)
        rows.push_back(PointRow{static_cast<int>(i) + 1,
                                FormatPointTexts(border_[i], mode_, context_.coordinates, "%.2f")});
    return rows;
}

std::array<Bilingual, 2> BorderEditorModel::ColumnTitles() const {
    if (!modeSwitched_)
        return {Bilingual{"X起点坐标", "X start coordinates"}, Bilingual{"Y起点坐标", "Y start coordinates"}};
    if (mode_ == InputMode::PlanXY)
        return {Bilingual{"X坐标", "X coordinates"}, Bilingual{"Y坐标", "Y coordinates"}};
    return {Bilingual{"B坐标", "B coordinates"}, Bilingual{"L坐标", "L coordinates"}};
}

Bilingual BorderEditorModel::Note() const {
    if (mode_ == InputMode::PlanXY)
        return {"注意：X为北方向坐标，Y为东方向坐标",
                "Note: X is north-direction coordinate, y is East-direction coordinate"};
    return {"注意：格式为 纬度（DD MM SS.SSSS N） 经度（DDD MM SS.SSSS E）",
            "Note: the format: latitude (DD MM SS.SSSS N) longitude (DDD MM SS.SSSS E)"};
}

void BorderEditorModel::SelectPoint(int row) {
    selectedPoint_ = ValidRow(row) ? row : -1;
}

void BorderEditorModel::SetInputMode(InputMode mode) {
    mode_ = mode;
    modeSwitched_ = true;
    selectedPoint_ = -1;
}

void BorderEditorModel::Changed() {
    modified_ = true;
    RefreshChart();
}

void BorderEditorModel::ReplaceBorder(std::vector<PlanPoint> border, const std::filesystem::path& path) {
    border_ = std::move(border);
    path_ = path;
    modified_ = false;
    selectedPoint_ = -1;
    RefreshChart();
}

bool BorderEditorModel::New() {
    if (!ResolveUnsavedChanges())
        return false;
    ReplaceBorder({}, {});
    return true;
}

bool BorderEditorModel::Open() {
    if (!ResolveUnsavedChanges())
        return false;
    const std::optional<std::filesystem::path> chosen = ChooseFileToOpen();
    if (!chosen)
        return false;
    std::optional<std::vector<PlanPoint>> border = ReadBrdIntoEditor(*chosen);
    if (!border)
        return false;
    ReplaceBorder(std::move(*border), *chosen);
    return true;
}

bool BorderEditorModel::Exit() {
    if (!ResolveUnsavedChanges())
        return false;
    picking_ = false;
    ReplaceBorder({}, {});
    return true;
}

bool BorderEditorModel::LoadForEditing(const BorderFileEntry& entry) {
    if (!ResolveUnsavedChanges())
        return false;
    ReplaceBorder(entry.border, entry.path);
    return true;
}

bool BorderEditorModel::WriteWorkingCopy(const std::filesystem::path& path) {
    if (!WriteBrd(path, border_))
        return false;
    modified_ = false;
    return true;
}

std::optional<PlanPoint> BorderEditorModel::DefaultPoint() const {
    if (mode_ == InputMode::PlanXY)
        return PlanPoint{0.0, 0.0};
    const DecodedPoint decoded =
        DecodePointTexts(kAddPointLatitude, kAddPointLongitude, mode_, context_.coordinates);
    if (decoded.error != PointTextError::None) {
        ShowPointTextError(decoded.error);
        return std::nullopt;
    }
    return decoded.point;
}

bool BorderEditorModel::AddPoint() {
    const std::optional<PlanPoint> point = DefaultPoint();
    if (!point)
        return false;
    border_.push_back(*point);
    Changed();
    return true;
}

bool BorderEditorModel::InsertPoint() {
    if (!ValidRow(selectedPoint_)) {
        Message("未选择插入点的位置！", "Failed to select the position of the insertion point!");
        return false;
    }
    const std::optional<PlanPoint> point = DefaultPoint();
    if (!point)
        return false;
    border_.insert(border_.begin() + selectedPoint_, *point);
    selectedPoint_ = -1;
    Changed();
    return true;
}

bool BorderEditorModel::DeletePoint() {
    if (!ValidRow(selectedPoint_)) {
        Message("未选择点！", "No point is selected!");
        return false;
    }
    border_.erase(border_.begin() + selectedPoint_);
    selectedPoint_ = -1;
    Changed();
    return true;
}

bool BorderEditorModel::EditPoint(int row, std::string_view first, std::string_view second) {
    if (!ValidRow(row)) {
        Message("未选择点！", "No point is selected!");
        return false;
    }
    const DecodedPoint decoded = DecodePointTexts(first, second, mode_, context_.coordinates);
    if (decoded.error != PointTextError::None) {
        ShowPointTextError(decoded.error);
        return false;
    }
    border_[static_cast<std::size_t>(row)] = decoded.point;
    Changed();
    return true;
}

bool BorderEditorModel::PickPoint(PlanPoint point) {
    if (!picking_)
        return false;
    border_.push_back(point);
    Changed();
    return true;
}

void BorderEditorModel::EndPick() {
    picking_ = false;
    selectedPoint_ = -1;
}

}  // namespace marivane
