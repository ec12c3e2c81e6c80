#include "marivane/shell/ViewColors.h"

#include <optional>
#include <string>

#include "platform/Message.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

constexpr std::array<ViewColorInfo, kViewColorCount> kTable{{
    {ViewColor::Border, "PBorderColor", "边界线", RgbColor(0, 128, 192)},
    {ViewColor::SurveyLine, "PSurColor", "测线", RgbColor(61, 94, 0)},
    {ViewColor::CurrentLine, "PReSurColor", "选中测线", RgbColor(128, 0, 128)},
    {ViewColor::DirectionArrow, "PShipOrientColor", "测线方向箭头", RgbColor(255, 0, 0)},
    {ViewColor::Track, "PTrackColor", "航迹线", RgbColor(0, 255, 255)},
    {ViewColor::MatrixOutline, "PMatrixLineColor", "矩形文件", RgbColor(128, 128, 0)},
    {ViewColor::Coverage, "PCoverLineColor", "覆盖线", RgbColor(153, 217, 234)},
    {ViewColor::Measure, "PMeasurDisCorlor", "测距线", RgbColor(255, 128, 0)},
    {ViewColor::HelperSolid, "PFuzhuSolidLineColor", "辅助实线", RgbColor(255, 255, 0)},
    {ViewColor::HelperDashed, "PFuzhuDotLineColor", "辅助虚线", RgbColor(255, 55, 55)},
    {ViewColor::Text, "PTextColor", "文字", RgbColor(0, 0, 0)},
    {ViewColor::Vessel, "PBoatColor", "船", RgbColor(255, 0, 0)},
    {ViewColor::Background, "PViewBKColor", "视图背景色", RgbColor(255, 255, 255)},
    {ViewColor::Navigation, "PViewNaviColor", "视图导航色", RgbColor(255, 104, 32)},
}};

constexpr std::uint32_t kLargestColour = 0x00FFFFFF;

}  // namespace

std::span<const ViewColorInfo, kViewColorCount> ViewColorTable() {
    return kTable;
}

std::array<std::uint32_t, kViewColorCount> ViewColors::StartValues() {
    std::array<std::uint32_t, kViewColorCount> values{};
    for (std::size_t i = 0; i < kViewColorCount; ++i) values[i] = kTable[i].start;
    return values;
}

bool ReadViewColors(ViewColors& colours, const std::filesystem::path& projectFile) {
    const std::optional<platform::ProfileText> text = platform::ProfileText::Load(projectFile);
    if (!text)
        return false;
    for (const ViewColorInfo& info : kTable) {
        const std::optional<std::string> value = text->Value(kViewColorSection, info.key);
        if (!value || value->empty())
            continue;
        const std::int64_t number = platform::ParseLeadingInteger(*value).value_or(0);
        if (number < 0 || number > kLargestColour)
            continue;
        colours[info.colour] = static_cast<std::uint32_t>(number);
    }
    return true;
}

bool WriteViewColors(const ViewColors& colours, const std::filesystem::path& projectFile) {
    if (projectFile.empty())
        return true;
    bool ok = true;
    for (const ViewColorInfo& info : kTable) {
        ok = platform::WriteProfileString(projectFile, kViewColorSection, info.key,
                                          std::to_string(colours[info.colour])) &&
             ok;
    }
    return ok;
}

bool ChooseViewColor(ViewColors& dialogColours, ViewColor row, std::uint32_t chosen) {
    chosen &= kLargestColour;
    if (row == ViewColor::Vessel && chosen == kWhite) {
        platform::ShowBilingualMessage("请选择其他颜色！", "Please select a different color!",
                                       platform::kBoxWarning);
        return false;
    }
    dialogColours[row] = chosen;
    return true;
}

bool ConfirmViewColors(ViewColors& current, const ViewColors& chosen,
                       const std::filesystem::path& projectFile) {
    current = chosen;
    if (WriteViewColors(current, projectFile))
        return true;
    const std::string shown = projectFile.string();
    platform::ShowBilingualMessage(
        platform::FormatMessageText("视图颜色保存到\"%s\"失败！", shown),
        platform::FormatMessageText("Failed to save the view colours to \"%s\"!", shown),
        platform::kBoxError);
    return false;
}

}  // namespace marivane
