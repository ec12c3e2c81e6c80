#pragma once
// The border file (.brd): one point per text line, "%.2f %.2f" (easting, northing), lines ended by
// CR LF; no header, no count. A border is one closed polygon; the chart closes it back to its first
// point.
//
// The two readers split a line differently: the editor's reader trims blanks from both ends first,
// the display reader does not, so a line with a leading blank gives 0 as its first value there. Both
// split at the first blank and take the leading number of each part (0 when there is none); a line
// without a blank gives 0 and the number of the whole line. Blank lines carry no point.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marivane/lines/PlanPoint.h"

namespace marivane {

std::string FormatBrd(std::span<const PlanPoint> border);

std::vector<PlanPoint> ParseBrdForEditor(std::string_view text);
std::vector<PlanPoint> ParseBrdForDisplay(std::string_view text);

// Writes the file in place of any previous one (renamed into place, so a failure leaves the old file
// whole). Failures are shown ("Failed to open the file!" / "Failed to write the file "<path>"!") and
// give false. An empty border writes an empty file.
bool WriteBrd(const std::filesystem::path& path, std::span<const PlanPoint> border);

// The border editor's reader: the points, or nothing after "Failed to open the file "<path>"!".
std::optional<std::vector<PlanPoint>> ReadBrdIntoEditor(const std::filesystem::path& path);

// One BRD file as loaded for display.
struct BorderFileEntry {
    std::filesystem::path path;  // full path; identifies the entry (exact, case-sensitive)
    bool shown = false;
    std::vector<PlanPoint> border;
};

// The loaded border files in load order (user-interface thread only).
using LoadedBorderFiles = std::vector<BorderFileEntry>;

int FindBorderFile(const LoadedBorderFiles& loaded, const std::filesystem::path& path);
bool RemoveBorderFile(LoadedBorderFiles& loaded, const std::filesystem::path& path);

// The display reader, the loader of border files for the project: removes any entry with the same
// path, reads the file and appends {path, shown, points}. When the file cannot be opened, "Failed to
// read the file "<path>"." is shown, nothing is appended and a removed entry stays removed.
bool LoadBorderFileForDisplay(LoadedBorderFiles& loaded, const std::filesystem::path& path, bool shown);

}  // namespace marivane
