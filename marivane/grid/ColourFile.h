#pragma once
// The depth colour file (.clr), text, each value on its own line and read back as whitespace-separated
// tokens: the number of legend entries ("%d"), the maximum depth, the minimum depth and the step
// ("%.2f" each), the five key colours ("%d %d %d %d %d"), then one "label colour" line per legend
// entry, the last without a line feed. With an empty legend the file ends after the key colours.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marivane/grid/ColourTable.h"

namespace marivane {

std::string FormatColourFile(const BandSettings& settings, std::span<const LegendEntry> legend);

// Writes the file beside the target and renames it into place; false (the previous file untouched)
// when that failed.
bool WriteColourFile(const std::filesystem::path& path, const BandSettings& settings,
                     std::span<const LegendEntry> legend);

// The values read at project open: the count (ignored), maximum, minimum and step (leading numbers,
// 0 when a token has none), the five key colours (leading integers). Nothing when fewer than nine
// tokens are there or the layout would be refused.
std::optional<BandSettings> ParseColourFileSettings(std::string_view text);

// The whole file as the colour editor opens it. Nothing (a damaged file) when the count, a depth, the
// step or a key colour is missing or not a number, the layout would be refused, a label is left without
// its colour, the colour is not a number, more than kMaxBandCount entries follow, or the count differs
// from the number of entries read. Labels are cut to kLegendLabelLength characters.
struct ColourFileContent {
    BandSettings settings;
    std::vector<LegendEntry> legend;
};
std::optional<ColourFileContent> ParseColourFile(std::string_view text);

// At project open: only when the file exists and is not empty, the values become current, the band
// colours are generated and the legend rebuilt from them. False, with the table unchanged, otherwise.
bool LoadColourFile(DepthColourTable& table, const std::filesystem::path& path);

// The colour settings dialog's OK: its copy of the values becomes current; then, in this order, the
// legend's colours (when there is a legend) become the band colours, the project's colour file is
// rewritten from the current values and the legend when it exists, and the legend is emptied. The
// caller then recolours every loaded grid.
enum class ColourFileWrite { Written, NoFile, Failed };
ColourFileWrite ConfirmColourSettings(DepthColourTable& table, const BandSettings& copy,
                                      const std::filesystem::path& projectColourFile);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadTextFile(const std::filesystem::path& path);

}  // namespace marivane
