#include "marivane/lines/BrdFile.h"

#include "marivane/lines/TextFile.h"
#include "marivane/lines/Texts.h"
#include "platform/Message.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

using lines_detail::ReplaceFirst;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

PlanPoint SplitAtFirstBlank(std::string_view line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos)
        return PlanPoint{0.0, platform::LeadingDouble(line)};
    return PlanPoint{platform::LeadingDouble(line.substr(0, blank)),
                     platform::LeadingDouble(line.substr(blank + 1))};
}

template <bool kTrim>
std::vector<PlanPoint> ParseBrd(std::string_view text) {
    std::vector<PlanPoint> points;
    TextLines reader(text);
    while (const std::optional<std::string_view> raw = reader.Next()) {
        if (Trim(*raw).empty())
            continue;
        points.push_back(SplitAtFirstBlank(kTrim ? Trim(*raw) : *raw));
    }
    return points;
}

}  // namespace

std::string FormatBrd(std::span<const PlanPoint> border) {
    std::string out;
    for (const PlanPoint& p : border) {
        out += platform::FormatDouble("%.2f", p.easting);
        out += ' ';
        out += platform::FormatDouble("%.2f", p.northing);
        out += "\r\n";
    }
    return out;
}

std::vector<PlanPoint> ParseBrdForEditor(std::string_view text) {
    return ParseBrd<true>(text);
}
std::vector<PlanPoint> ParseBrdForDisplay(std::string_view text) {
    return ParseBrd<false>(text);
}

bool WriteBrd(const std::filesystem::path& path, std::span<const PlanPoint> border) {
    return WriteTextFileReported(path, FormatBrd(border));
}

std::optional<std::vector<PlanPoint>> ReadBrdIntoEditor(const std::filesystem::path& path) {
    const std::optional<std::string> text = ReadTextFileReported(path);
    if (!text) {
        return std::nullopt;
    }
    return ParseBrdForEditor(*text);
}

int FindBorderFile(const LoadedBorderFiles& loaded, const std::filesystem::path& path) {
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        if (loaded[i].path.native() == path.native())
            return static_cast<int>(i);
    }
    return -1;
}

bool RemoveBorderFile(LoadedBorderFiles& loaded, const std::filesystem::path& path) {
    return std::erase_if(loaded, [&](const BorderFileEntry& e) { return e.path.native() == path.native(); }) >
           0;
}

bool LoadBorderFileForDisplay(LoadedBorderFiles& loaded, const std::filesystem::path& path, bool shown) {
    RemoveBorderFile(loaded, path);
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        const std::string shownPath = path.string();
        platform::ShowBilingualMessage(ReplaceFirst("读取文件\"%s\"失败。", "%s", shownPath),
                                       ReplaceFirst("Failed to read the file \"%s\".", "%s", shownPath),
                                       platform::kBoxError);
        return false;
    }
    loaded.push_back(BorderFileEntry{path, shown, ParseBrdForDisplay(*text)});
    return true;
}

}  // namespace marivane
