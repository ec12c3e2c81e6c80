#pragma once
// The depth colour editor without its widgets: the values it edits (minimum, maximum, step and the
// five key colours), its own list of entries (colour and label) and what each of its buttons does.
// It opens on the colour settings dialog's copy of the values and hands its values back on OK. The
// legend it changes is the program-wide one of the colour table.
//
// Layouts are checked wherever values change: a step that is not a positive number, a maximum below
// the minimum, or more than kMaxBandCount bands are refused and change nothing; the refusal is
// returned so that the dialog can say so.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "marivane/grid/ColourTable.h"

namespace marivane {

class ColourEditor {
  public:
    // Opening: the legend and the current minimum, maximum and step are rebuilt from `copy`, the entry
    // list is generated from it, and the fine adjustment value is 0.
    ColourEditor(DepthColourTable& table, const BandSettings& copy);

    const BandSettings& Values() const { return values_; }
    const std::vector<LegendEntry>& Entries() const { return entries_; }
    double FineValue() const { return fine_; }

    // The three depth edits as filled at opening ("%.2lf" of minimum, maximum, step). The buttons
    // change the values without rewriting the edits.
    const std::array<std::string, 3>& DepthTexts() const { return depthTexts_; }

    // A key colour chosen in the colour dialog (index 0 … 4); the entry list is regenerated.
    void SetKeyColour(std::size_t index, ColourRef colour);

    // "应用": the three edits read as leading numbers become minimum, maximum and step and the entry
    // list is regenerated.
    BandLayoutProblem Apply(std::string_view minText, std::string_view maxText, std::string_view stepText);

    // "＋": minimum and maximum go up by the fine value read from `fineText`; the list is regenerated.
    BandLayoutProblem FineUp(std::string_view fineText);
    // "－": only while the minimum is above 0. With f below the minimum both go down by f and the list
    // is regenerated; otherwise the maximum goes down by the minimum, the minimum becomes 0 and the
    // list stays as it is.
    BandLayoutProblem FineDown(std::string_view fineText);

    // "反   向": K1 ↔ K5, K2 ↔ K4, and the colours of the legend and of the entry list in reverse
    // order (the labels stay in place).
    void Reverse();

    // "恢复默认": start values, the fine value 0.1, the list regenerated.
    void RestoreDefaults();

    enum class OpenResult {
        NoProjectFile,  // the project has no colour file: nothing happens
        Unreadable,     // the chosen file cannot be read: nothing changes
        Damaged,        // "Pexa Color Files have been destroyed!" shown; nothing changes
        Opened,         // values, legend and entry list taken from the file
    };
    // "打开" with the file chosen in the file dialog (only offered when the project's colour file
    // exists): the values and the key colours are taken, the pairs become both the legend and the
    // entry list; nothing is regenerated.
    OpenResult Open(const std::filesystem::path& projectColourFile, const std::filesystem::path& chosen);

    enum class SaveResult { NoProjectFile, Written, Failed };
    // "保存": only when the project's colour file exists, rewritten from the editor's values and the legend.
    SaveResult Save(const std::filesystem::path& projectColourFile) const;

    // OK: the legend and the current minimum, maximum and step are rebuilt from the editor's values,
    // which are returned for the colour settings dialog's copy.
    BandSettings Ok();

  private:
    BandLayoutProblem Take(const BandSettings& values);
    void Regenerate();

    DepthColourTable& table_;
    BandSettings values_;
    std::vector<LegendEntry> entries_;
    double fine_ = 0.0;
    std::array<std::string, 3> depthTexts_;
};

inline constexpr const char* kColourFileDamagedEn = "Pexa Color Files have been destroyed!";
inline constexpr const char* kColourFileDamagedZh = "颜色文件损害!";

}  // namespace marivane
