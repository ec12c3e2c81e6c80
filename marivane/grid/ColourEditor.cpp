#include "marivane/grid/ColourEditor.h"

#include <utility>

#include "marivane/grid/ColourFile.h"
#include "platform/Message.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

bool ProjectFileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

ColourEditor::ColourEditor(DepthColourTable& table, const BandSettings& copy)
    : table_(table), values_(CheckBandLayout(copy) == BandLayoutProblem::None ? copy : table.Settings()) {
    table_.RebuildLegendFrom(values_);
    entries_ = MakeLegend(values_);
    depthTexts_ = {platform::FormatDouble("%.2f", values_.minDepth),
                   platform::FormatDouble("%.2f", values_.maxDepth),
                   platform::FormatDouble("%.2f", values_.step)};
}

void ColourEditor::Regenerate() {
    entries_ = MakeLegend(values_);
}

BandLayoutProblem ColourEditor::Take(const BandSettings& values) {
    const BandLayoutProblem problem = CheckBandLayout(values);
    if (problem == BandLayoutProblem::None) {
        values_ = values;
        Regenerate();
    }
    return problem;
}

void ColourEditor::SetKeyColour(std::size_t index, ColourRef colour) {
    if (index >= values_.keys.size())
        return;
    values_.keys[index] = colour;
    Regenerate();
}

BandLayoutProblem ColourEditor::Apply(std::string_view minText, std::string_view maxText,
                                      std::string_view stepText) {
    BandSettings values = values_;
    values.minDepth = platform::LeadingDouble(minText);
    values.maxDepth = platform::LeadingDouble(maxText);
    values.step = platform::LeadingDouble(stepText);
    return Take(values);
}

BandLayoutProblem ColourEditor::FineUp(std::string_view fineText) {
    fine_ = platform::LeadingDouble(fineText);
    BandSettings values = values_;
    values.minDepth += fine_;
    values.maxDepth += fine_;
    return Take(values);
}

BandLayoutProblem ColourEditor::FineDown(std::string_view fineText) {
    if (!(values_.minDepth > 0.0))
        return BandLayoutProblem::None;
    fine_ = platform::LeadingDouble(fineText);
    BandSettings values = values_;
    if (fine_ < values.minDepth) {
        values.minDepth -= fine_;
        values.maxDepth -= fine_;
        return Take(values);
    }
    values.maxDepth -= values.minDepth;
    values.minDepth = 0.0;
    const BandLayoutProblem problem = CheckBandLayout(values);
    if (problem == BandLayoutProblem::None)
        values_ = values;
    return problem;
}

void ColourEditor::Reverse() {
    std::swap(values_.keys[0], values_.keys[4]);
    std::swap(values_.keys[1], values_.keys[3]);
    ReverseLegendColours(table_.MutableLegend());
    ReverseLegendColours(entries_);
}

void ColourEditor::RestoreDefaults() {
    values_ = BandSettings{};
    fine_ = 0.1;
    Regenerate();
}

ColourEditor::OpenResult ColourEditor::Open(const std::filesystem::path& projectColourFile,
                                            const std::filesystem::path& chosen) {
    if (!ProjectFileExists(projectColourFile))
        return OpenResult::NoProjectFile;
    const auto text = ReadTextFile(chosen);
    if (!text)
        return OpenResult::Unreadable;
    auto content = ParseColourFile(*text);
    if (!content) {
        platform::ShowBilingualMessage(kColourFileDamagedZh, kColourFileDamagedEn, platform::kBoxError);
        return OpenResult::Damaged;
    }
    values_ = content->settings;
    entries_ = content->legend;
    table_.MutableLegend() = std::move(content->legend);
    return OpenResult::Opened;
}

ColourEditor::SaveResult ColourEditor::Save(const std::filesystem::path& projectColourFile) const {
    if (!ProjectFileExists(projectColourFile))
        return SaveResult::NoProjectFile;
    return WriteColourFile(projectColourFile, values_, table_.Legend()) ? SaveResult::Written
                                                                        : SaveResult::Failed;
}

BandSettings ColourEditor::Ok() {
    table_.RebuildLegendFrom(values_);
    return values_;
}

}  // namespace marivane
