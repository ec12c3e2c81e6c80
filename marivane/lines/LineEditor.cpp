#include "marivane/lines/LineEditor.h"

#include <cmath>
#include <string>

#include "marivane/lines/LnwFile.h"
#include "marivane/lines/Texts.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

using lines_detail::ReplaceFirst;
using lines_detail::WithNumbers;

constexpr double kMinimumDistance = 1e-7;

bool InGenerationRange(int count) {
    return count >= 0 && count <= kMaxGeneratedLines;
}

void ShowGenerationRangeError() {
    platform::ShowBilingualMessage("请输入一个介于0和500之间的整数。",
                                   "Please enter an integer between 0 and 500.", platform::kBoxError);
}

}  // namespace

LineEditorModel::LineEditorModel(EditorContext context)
    : FileEditorBase(context, EditedFileKind::PlannedLines) {
    lines_.push_back(SurveyLine{"1", {}});
    selectedLine_ = 0;
    countStatus_ = Bilingual{"测线数： 1", "Lines num: 1"};
}

bool LineEditorModel::ValidLine(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < lines_.size();
}

std::vector<PointRow> LineEditorModel::PointRows() const {
    std::vector<PointRow> rows;
    if (!ValidLine(selectedLine_))
        return rows;
    const SurveyLine& line = lines_[static_cast<std::size_t>(selectedLine_)];
    rows.reserve(line.points.size());
    for (std::size_t i = 0; i < line.points.size(); ++i)
        rows.push_back(PointRow{static_cast<int>(i) + 1,
                                FormatPointTexts(line.points[i], mode_, context_.coordinates, "%.6f")});
    return rows;
}

std::array<Bilingual, 2> LineEditorModel::ColumnTitles() const {
    if (mode_ == InputMode::PlanXY)
        return {Bilingual{"X坐标", "X coordinates"}, Bilingual{"Y坐标", "Y coordinates"}};
    return {Bilingual{"B坐标", "B coordinates"}, Bilingual{"L坐标", "L coordinates"}};
}

Bilingual LineEditorModel::Note() const {
    if (mode_ == InputMode::PlanXY)
        return {"注意：X为北方向坐标，Y为东方向坐标",
                "Note: X is north-direction coordinate, y is East-direction coordinate"};
    return {"注意：格式为 纬度（XX XX xx.xxxx N） 经度（XXX XX xx.xxxx E）",
            "Note: the format: latitude (XX XX xx.xxxx N) longitude (XXX XX xx.xxxx E)"};
}

bool LineEditorModel::SelectLine(int index) {
    selectedPoint_ = -1;
    if (!ValidLine(index)) {
        selectedLine_ = -1;
        Message("未选择测线！", "Failed to select a line!");
        return false;
    }
    selectedLine_ = index;
    return true;
}

void LineEditorModel::SelectPoint(int row) {
    const bool valid =
        ValidLine(selectedLine_) && row >= 0 &&
        static_cast<std::size_t>(row) < lines_[static_cast<std::size_t>(selectedLine_)].points.size();
    selectedPoint_ = valid ? row : -1;
}

void LineEditorModel::SetInputMode(InputMode mode) {
    mode_ = mode;
    selectedPoint_ = -1;
}

void LineEditorModel::ShowCount() {
    const int count = static_cast<int>(lines_.size());
    countStatus_ = Bilingual{WithNumbers("测线数：%d", count), WithNumbers("Lines num:%d", count)};
}

void LineEditorModel::Changed() {
    modified_ = true;
    RefreshChart();
}

void LineEditorModel::ReplaceLines(std::vector<SurveyLine> lines, const std::filesystem::path& path) {
    lines_ = std::move(lines);
    path_ = path;
    modified_ = false;
    selectedLine_ = -1;
    selectedPoint_ = -1;
    pickTarget_ = -1;
    ShowCount();
    RefreshChart();
}

bool LineEditorModel::New() {
    if (!ResolveUnsavedChanges())
        return false;
    ReplaceLines({SurveyLine{"1", {}}}, {});
    selectedLine_ = 0;
    return true;
}

bool LineEditorModel::Open() {
    if (!ResolveUnsavedChanges())
        return false;
    const std::optional<std::filesystem::path> chosen = ChooseFileToOpen();
    if (!chosen)
        return false;
    std::optional<std::vector<SurveyLine>> lines = ReadLnwIntoEditor(*chosen);
    if (!lines)
        return false;
    ReplaceLines(std::move(*lines), *chosen);
    return true;
}

bool LineEditorModel::Exit() {
    if (!ResolveUnsavedChanges())
        return false;
    picking_ = false;
    ReplaceLines({}, {});
    return true;
}

bool LineEditorModel::LoadForEditing(const LineFileEntry& entry) {
    if (!ResolveUnsavedChanges())
        return false;
    ReplaceLines(entry.lines, entry.path);
    return true;
}

bool LineEditorModel::WriteWorkingCopy(const std::filesystem::path& path) {
    if (!WriteLnw(path, lines_))
        return false;
    // A file without lines (the header alone) cannot be read back, so the changes stay unsaved.
    if (!lines_.empty())
        modified_ = false;
    return true;
}

void LineEditorModel::AddLine() {
    // The integer value of the last name plus one; a name that is no number counts as 0.
    const long long next =
        lines_.empty() ? 1 : static_cast<long long>(platform::LeadingInt(lines_.back().name)) + 1;
    lines_.push_back(SurveyLine{std::to_string(next), {}});
    selectedLine_ = static_cast<int>(lines_.size()) - 1;
    selectedPoint_ = -1;
    ShowCount();
    Changed();
}

bool LineEditorModel::DeleteLine() {
    if (!ValidLine(selectedLine_)) {
        Message("未选择测线！", "Failed to select a line!");
        return false;
    }
    const int deleted = selectedLine_;
    lines_.erase(lines_.begin() + deleted);
    if (lines_.empty())
        selectedLine_ = -1;
    else
        selectedLine_ = deleted == 0 ? static_cast<int>(lines_.size()) - 1 : deleted - 1;
    selectedPoint_ = -1;
    ShowCount();
    Changed();
    return true;
}

bool LineEditorModel::RenameSelectedLine(std::string_view name) {
    if (!ValidLine(selectedLine_)) {
        Message("未选择测线！", "Failed to select a line!");
        return false;
    }
    lines_[static_cast<std::size_t>(selectedLine_)].name = std::string(name);
    Changed();
    return true;
}

std::optional<PlanPoint> LineEditorModel::DefaultPoint(std::string_view latitude,
                                                       std::string_view longitude) const {
    if (mode_ == InputMode::PlanXY)
        return PlanPoint{0.0, 0.0};
    const DecodedPoint decoded = DecodePointTexts(latitude, longitude, mode_, context_.coordinates);
    if (decoded.error != PointTextError::None) {
        ShowPointTextError(decoded.error);
        return std::nullopt;
    }
    return decoded.point;
}

bool LineEditorModel::AddPoint() {
    if (!ValidLine(selectedLine_)) {
        Message("请选择插入点所属的测线！", "Please select a line that the insertion point belongs to!");
        return false;
    }
    const std::optional<PlanPoint> point = DefaultPoint(kAddPointLatitude, kAddPointLongitude);
    if (!point)
        return false;
    lines_[static_cast<std::size_t>(selectedLine_)].points.push_back(*point);
    Changed();
    return true;
}

bool LineEditorModel::InsertPoint() {
    if (!ValidLine(selectedLine_)) {
        Message("请选择插入点所属的测线！！", "Please select a line that the insertion point belongs to!!");
        return false;
    }
    std::vector<PlanPoint>& points = lines_[static_cast<std::size_t>(selectedLine_)].points;
    if (selectedPoint_ < 0 || static_cast<std::size_t>(selectedPoint_) >= points.size()) {
        Message("未选择点！", "No point is selected!");
        return false;
    }
    const std::optional<PlanPoint> point = DefaultPoint(kInsertPointLatitude, kInsertPointLongitude);
    if (!point)
        return false;
    points.insert(points.begin() + selectedPoint_, *point);
    selectedPoint_ = -1;
    Changed();
    return true;
}

bool LineEditorModel::DeletePoint() {
    if (!ValidLine(selectedLine_)) {
        Message("没有选中测线！", "No line is selected!");
        return false;
    }
    std::vector<PlanPoint>& points = lines_[static_cast<std::size_t>(selectedLine_)].points;
    if (selectedPoint_ < 0 || static_cast<std::size_t>(selectedPoint_) >= points.size()) {
        Message("未选择点！", "No point is selected!");
        return false;
    }
    points.erase(points.begin() + selectedPoint_);
    selectedPoint_ = -1;
    Changed();
    return true;
}

bool LineEditorModel::EditPoint(int row, std::string_view first, std::string_view second) {
    if (!ValidLine(selectedLine_)) {
        Message("未选择测线！", "Failed to select a line!");
        return false;
    }
    std::vector<PlanPoint>& points = lines_[static_cast<std::size_t>(selectedLine_)].points;
    if (row < 0 || static_cast<std::size_t>(row) >= points.size()) {
        Message("未选择点！", "No point is selected!");
        return false;
    }
    const DecodedPoint decoded = DecodePointTexts(first, second, mode_, context_.coordinates);
    if (decoded.error != PointTextError::None) {
        ShowPointTextError(decoded.error);
        return false;
    }
    points[static_cast<std::size_t>(row)] = decoded.point;
    Changed();
    return true;
}

void LineEditorModel::BeginPick() {
    picking_ = true;
    pickTarget_ = selectedLine_;
}

bool LineEditorModel::PickPoint(PlanPoint point) {
    if (!picking_)
        return false;
    if (!ValidLine(pickTarget_)) {
        Message("没有选中测线，无法添加点！", "No line is selected, can not add point!");
        return false;
    }
    lines_[static_cast<std::size_t>(pickTarget_)].points.push_back(point);
    Changed();
    return true;
}

void LineEditorModel::EndPick() {
    picking_ = false;
    pickTarget_ = -1;
    selectedPoint_ = -1;
}

std::optional<int> LineEditorModel::ReferenceLine() const {
    if (!ValidLine(selectedLine_)) {
        Message("请先选择参考测线！", "Please select a reference line first!");
        return std::nullopt;
    }
    const std::size_t count = lines_[static_cast<std::size_t>(selectedLine_)].points.size();
    if (count < 2) {
        Message("所选参考测线的点数少于2！",
                "The number of point in the selected reference line less than 2!");
        return std::nullopt;
    }
    if (count > 2) {
        Message("当前版本只支持点数等于2的参考测线！",
                "The current version only supports point number equal to 2!");
        return std::nullopt;
    }
    return selectedLine_;
}

void LineEditorModel::InsertGenerated(int reference, GeneratedLines generated) {
    const auto at = lines_.begin() + reference;
    lines_.insert(at + 1, std::make_move_iterator(generated.after.begin()),
                  std::make_move_iterator(generated.after.end()));
    lines_.insert(lines_.begin() + reference, std::make_move_iterator(generated.before.begin()),
                  std::make_move_iterator(generated.before.end()));
    for (std::size_t i = 0; i < lines_.size(); ++i) lines_[i].name = std::to_string(i + 1);
    selectedLine_ = reference + static_cast<int>(generated.before.size());
    selectedPoint_ = -1;
    ShowCount();
    modified_ = true;
    platform::ShowBilingualMessage("偏移完成", "Offset completed", platform::kBoxInformation);
    RefreshChart();
}

bool LineEditorModel::GenerateParallelLines(const ParallelLineRequest& request) {
    if (!InGenerationRange(request.left) || !InGenerationRange(request.right)) {
        ShowGenerationRangeError();
        return false;
    }
    const std::optional<int> reference = ReferenceLine();
    if (!reference)
        return false;
    if (request.left < 1 && request.right < 1)
        return false;
    if (!std::isfinite(request.spacing) || std::fabs(request.spacing) < kMinimumDistance) {
        Message("线间距不能为0！", "The distance can't be 0!");
        return false;
    }
    const SurveyLine& line = lines_[static_cast<std::size_t>(*reference)];
    const PlanPoint p0 = line.points[0];
    const PlanPoint p1 = line.points[1];
    if (IsDegenerateSegment(p0, p1)) {
        Message("参考测线的两个点重合，无法确定方向！",
                "The two points of the reference line coincide; it has no direction!");
        return false;
    }

    const std::string spacing = platform::FormatDouble("%.1f", request.spacing);
    std::string chinese = "当前操作：\n";
    std::string english = "The current operation:\n";
    if (request.left > 0) {
        chinese += WithNumbers("中心线左侧%d条测线\n", request.left);
        english += WithNumbers("%d lines left of center \n", request.left);
    }
    if (request.right > 0) {
        chinese += WithNumbers("中心线右侧%d条测线\n", request.right);
        english += WithNumbers("%d lines right of center \n", request.right);
    }
    chinese += ReplaceFirst("测线间距为%.1f米。", "%.1f", spacing);
    english += ReplaceFirst("Distance between lines is %.1f.", "%.1f", spacing);
    if (context_.prompt.Ask(chinese, english, platform::kBoxDestructiveConfirm) !=
        platform::MessageAnswer::Ok)
        return false;

    InsertGenerated(*reference, MakeParallelLines(p0, p1, request));
    return true;
}

bool LineEditorModel::GenerateStairSteps(const StairStepRequest& request) {
    if (!InGenerationRange(request.count)) {
        ShowGenerationRangeError();
        return false;
    }
    const std::optional<int> reference = ReferenceLine();
    if (!reference)
        return false;
    const auto usable = [](double d) { return std::isfinite(d) && std::fabs(d) >= kMinimumDistance; };
    if (request.count < 1 || !usable(request.dx) || !usable(request.dy))
        return false;
    const SurveyLine& line = lines_[static_cast<std::size_t>(*reference)];
    InsertGenerated(*reference, MakeStairSteps(line.points[0], line.points[1], request));
    return true;
}

}  // namespace marivane
