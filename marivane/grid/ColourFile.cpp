#include "marivane/grid/ColourFile.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>

#include "marivane/grid/ReplaceFile.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

// Far beyond any real colour file (kMaxBandCount entries take some 30 KB); a larger file is not read.
constexpr std::uintmax_t kMaxColourFileSize = 1 << 22;
constexpr std::size_t kHeaderTokens = 9;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

// An int token as "%d" reads it (saturated to the int range), or nothing.
std::optional<std::int32_t> IntToken(std::string_view token) {
    const auto v = platform::ParseLeadingInteger(token);
    if (!v)
        return std::nullopt;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(*v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::string ColourText(ColourRef c) {
    return std::to_string(static_cast<std::int32_t>(c));
}

}  // namespace

std::optional<std::string> ReadTextFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxColourFileSize)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return text;
}

std::string FormatColourFile(const BandSettings& s, std::span<const LegendEntry> legend) {
    std::string out = std::to_string(legend.size()) + "\n";
    out += platform::FormatDouble("%.2f", s.maxDepth) + "\n";
    out += platform::FormatDouble("%.2f", s.minDepth) + "\n";
    out += platform::FormatDouble("%.2f", s.step) + "\n";
    for (std::size_t k = 0; k < s.keys.size(); ++k)
        out += ColourText(s.keys[k]) + (k + 1 < s.keys.size() ? " " : "\n");
    for (std::size_t i = 0; i < legend.size(); ++i) {
        if (i > 0)
            out += "\n";
        out += legend[i].label + " " + ColourText(legend[i].colour);
    }
    return out;
}

bool WriteColourFile(const std::filesystem::path& path, const BandSettings& settings,
                     std::span<const LegendEntry> legend) {
    const std::string text = FormatColourFile(settings, legend);
    return ReplaceFileWith(
        path, [&](std::FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); });
}

std::optional<BandSettings> ParseColourFileSettings(std::string_view text) {
    const auto t = Tokens(text);
    if (t.size() < kHeaderTokens)
        return std::nullopt;
    BandSettings s;
    s.maxDepth = platform::LeadingDouble(t[1]);
    s.minDepth = platform::LeadingDouble(t[2]);
    s.step = platform::LeadingDouble(t[3]);
    for (std::size_t k = 0; k < 5; ++k) s.keys[k] = static_cast<ColourRef>(platform::LeadingInt(t[4 + k]));
    if (CheckBandLayout(s) != BandLayoutProblem::None)
        return std::nullopt;
    return s;
}

std::optional<ColourFileContent> ParseColourFile(std::string_view text) {
    const auto t = Tokens(text);
    if (t.size() < kHeaderTokens)
        return std::nullopt;
    const auto count = IntToken(t[0]);
    const auto maxDepth = platform::ParseLeadingDouble(t[1]);
    const auto minDepth = platform::ParseLeadingDouble(t[2]);
    const auto step = platform::ParseLeadingDouble(t[3]);
    if (!count || !maxDepth || !minDepth || !step)
        return std::nullopt;
    ColourFileContent content;
    content.settings.maxDepth = *maxDepth;
    content.settings.minDepth = *minDepth;
    content.settings.step = *step;
    for (std::size_t k = 0; k < 5; ++k) {
        const auto colour = IntToken(t[4 + k]);
        if (!colour)
            return std::nullopt;
        content.settings.keys[k] = static_cast<ColourRef>(*colour);
    }
    if (CheckBandLayout(content.settings) != BandLayoutProblem::None)
        return std::nullopt;
    const std::size_t rest = t.size() - kHeaderTokens;
    if (rest % 2 != 0 || rest / 2 > static_cast<std::size_t>(kMaxBandCount))
        return std::nullopt;
    for (std::size_t i = kHeaderTokens; i < t.size(); i += 2) {
        const auto colour = IntToken(t[i + 1]);
        if (!colour)
            return std::nullopt;
        content.legend.push_back(
            {static_cast<ColourRef>(*colour), std::string(t[i].substr(0, kLegendLabelLength))});
    }
    if (*count < 0 || static_cast<std::size_t>(*count) != content.legend.size())
        return std::nullopt;
    return content;
}

bool LoadColourFile(DepthColourTable& table, const std::filesystem::path& path) {
    const auto text = ReadTextFile(path);
    if (!text || text->empty())
        return false;
    const auto settings = ParseColourFileSettings(*text);
    if (!settings)
        return false;
    table.SetSettings(*settings);
    table.RebuildLegend();
    return true;
}

ColourFileWrite ConfirmColourSettings(DepthColourTable& table, const BandSettings& copy,
                                      const std::filesystem::path& projectColourFile) {
    table.SetSettings(copy);
    table.UseLegendColours();
    ColourFileWrite result = ColourFileWrite::NoFile;
    std::error_code ec;
    if (std::filesystem::is_regular_file(projectColourFile, ec)) {
        result = WriteColourFile(projectColourFile, table.Settings(), table.Legend())
                     ? ColourFileWrite::Written
                     : ColourFileWrite::Failed;
    }
    table.ClearLegend();
    return result;
}

}  // namespace marivane
