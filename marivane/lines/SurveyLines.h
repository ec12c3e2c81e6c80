#pragma once
// Planned survey lines and the program-wide list of loaded line files that the chart draws, the
// project tree lists and line guidance follows (user-interface thread only, no lock).

#include <filesystem>
#include <string>
#include <vector>

#include "marivane/lines/PlanPoint.h"

namespace marivane {

// A named polyline of the project grid; any number of points, none and one included. Guidance runs
// a line from its first to its last point.
struct SurveyLine {
    std::string name;
    std::vector<PlanPoint> points;
    friend bool operator==(const SurveyLine&, const SurveyLine&) = default;
};

// One LNW file as loaded for display.
struct LineFileEntry {
    std::filesystem::path path;  // full path; identifies the entry (exact, case-sensitive)
    bool shown = false;          // drawn and used by guidance
    std::vector<SurveyLine> lines;
};

// The line that guidance follows: a position in LoadedLineFiles::files and a line within that file,
// -1 for none.
struct CurrentLine {
    int file = -1;
    int line = -1;
    friend bool operator==(const CurrentLine&, const CurrentLine&) = default;
};

// The loaded line files in load order, and the current line as positions in them. Every function
// below that removes or moves an entry moves `current` with it, so that it never names a line that
// is not the one it named before: an entry that moves carries the current line along, an entry that
// goes takes it away ({-1, -1}).
struct LoadedLineFiles {
    std::vector<LineFileEntry> files;
    CurrentLine current;
};

// Position of the entry with exactly this path, -1 when none.
int FindLineFile(const LoadedLineFiles& loaded, const std::filesystem::path& path);

// Removes the entry with this path (the project tree's remove and delete); true when there was one.
bool RemoveLineFile(LoadedLineFiles& loaded, const std::filesystem::path& path);

// Empties the list and clears the current line (a project is released).
void ClearLineFiles(LoadedLineFiles& loaded);

// Makes a line current; false (and nothing changed) unless both positions name a loaded line. A
// line index of -1 with a valid file index is accepted (a file without a chosen line).
bool SetCurrentLine(LoadedLineFiles& loaded, int file, int line);

// The current line, or nullptr when the positions name no loaded line.
const SurveyLine* CurrentSurveyLine(const LoadedLineFiles& loaded);

}  // namespace marivane
