#pragma once
// The survey line file (.lnw): text lines ended by CR LF (LF alone is read too).
//
//   LNS <number of lines>
//   then per line:  LIN <number of points>
//                   PTS <easting> <northing>      one per point, "%.6f" each
//                   LNN <name>                    the name as it is, blanks included
//                   EOL
//
// After the header the readers go by position, not by keyword: a LIN line's count is the integer
// after its first blank; a PTS line's easting is the number between its first and its last blank and
// its northing the number after the last blank (one blank only: easting 0); a LNN line's name is
// everything after the first blank (no blank: the whole line); the EOL line is skipped. Numbers that
// are not numbers read as 0. A file that ends early gives empty lines for every missing text line, so
// missing lines come out without points and with empty names; points are only taken from lines that
// are there, so a point count beyond the end of the file gives the points the file holds.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marivane/lines/SurveyLines.h"

namespace marivane {

inline constexpr int kMaxLinesPerLnwFile = 65535;

enum class LnwStatus {
    Ok,
    BadKeyword,  // the first keyword is not exactly "LNS" followed by a blank
    BadCount,    // the number of lines is outside 1...65535
};

struct LnwContent {
    LnwStatus status = LnwStatus::Ok;
    std::vector<SurveyLine> lines;  // empty unless Ok
};

LnwContent ParseLnw(std::string_view text);

// The file's text for `lines`. A line break inside a name would end the name line early and shift
// everything after it, so carriage returns and line feeds in names are written as blanks.
std::string FormatLnw(std::span<const SurveyLine> lines);

// Writes the file in place of any previous one (a new file renamed over it, so a failure leaves the
// old file whole). Failures are shown and give false: "Failed to open the file!" when the file cannot
// be created, "Failed to write the file "<path>"!" when writing fails, and a list of more than 65535
// lines, which no reader would accept, is refused without writing. An empty list writes the header
// "LNS 0" alone, which the readers refuse.
bool WriteLnw(const std::filesystem::path& path, std::span<const SurveyLine> lines);

// The line editor's reader: the lines of the file, or nothing after showing "Failed to open the file
// "<path>"!", "Error of line number flag!" or "Error of the number of lines".
std::optional<std::vector<SurveyLine>> ReadLnwIntoEditor(const std::filesystem::path& path);

// The display reader, the loader of planned line files for the project: removes any entry with the
// same path, reads the file and appends {path, shown, lines}. When the file cannot be opened
// ("Failed to read the file "<path>".") or is not a line file ("Line file format error"; in Chinese
// the editor's two texts) nothing is appended and a removed entry stays removed. The current line
// moves with its entry and is cleared when its entry goes or no longer has that line.
bool LoadLineFileForDisplay(LoadedLineFiles& loaded, const std::filesystem::path& path, bool shown);

}  // namespace marivane
