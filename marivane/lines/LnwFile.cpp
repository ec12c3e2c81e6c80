#include "marivane/lines/LnwFile.h"

#include <string>

#include "marivane/lines/TextFile.h"
#include "marivane/lines/Texts.h"
#include "platform/Message.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

using lines_detail::ReplaceFirst;

constexpr std::string_view kKeywordErrorChinese = "测线数目标志错误！";
constexpr std::string_view kKeywordErrorEnglish = "Error of line number flag!";
constexpr std::string_view kCountErrorChinese = "测线数目错误";
constexpr std::string_view kCountErrorEnglish = "Error of the number of lines";
constexpr std::string_view kDisplayFormatErrorEnglish = "Line file format error";

// Text after the first blank; without a blank the whole line.
std::string_view AfterFirstBlank(std::string_view line) {
    const std::size_t blank = line.find(' ');
    return blank == std::string_view::npos ? line : line.substr(blank + 1);
}

PlanPoint ParsePointLine(std::string_view line) {
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos)
        return PlanPoint{0.0, platform::LeadingDouble(line)};
    const std::size_t last = line.rfind(' ');
    // Easting: from just after the first blank up to and including the last blank.
    const std::string_view easting = line.substr(first + 1, last - first);
    // Northing: from the last blank to the end.
    const std::string_view northing = line.substr(last);
    return PlanPoint{platform::LeadingDouble(easting), platform::LeadingDouble(northing)};
}

void AppendName(std::string& out, std::string_view name) {
    for (const char c : name) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
}

}  // namespace

LnwContent ParseLnw(std::string_view text) {
    TextLines reader(text);
    auto next = [&reader]() { return reader.Next().value_or(std::string_view{}); };

    LnwContent content;
    const std::string_view header = next();
    const std::size_t blank = header.find(' ');
    if (blank == std::string_view::npos || header.substr(0, blank) != "LNS") {
        content.status = LnwStatus::BadKeyword;
        return content;
    }
    const int count = platform::LeadingInt(header.substr(blank + 1));
    if (count < 1 || count > kMaxLinesPerLnwFile) {
        content.status = LnwStatus::BadCount;
        return content;
    }
    content.lines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        SurveyLine line;
        const int points = platform::LeadingInt(AfterFirstBlank(next()));
        for (int k = 0; k < points && !reader.AtEnd(); ++k) line.points.push_back(ParsePointLine(next()));
        line.name = std::string(AfterFirstBlank(next()));
        next();  // EOL
        content.lines.push_back(std::move(line));
    }
    return content;
}

std::string FormatLnw(std::span<const SurveyLine> lines) {
    std::string out = "LNS " + std::to_string(lines.size()) + "\r\n";
    for (const SurveyLine& line : lines) {
        out += "LIN " + std::to_string(line.points.size()) + "\r\n";
        for (const PlanPoint& p : line.points) {
            out += "PTS ";
            out += platform::FormatDouble("%.6f", p.easting);
            out += ' ';
            out += platform::FormatDouble("%.6f", p.northing);
            out += "\r\n";
        }
        out += "LNN ";
        AppendName(out, line.name);
        out += "\r\nEOL\r\n";
    }
    return out;
}

bool WriteLnw(const std::filesystem::path& path, std::span<const SurveyLine> lines) {
    if (lines.size() > static_cast<std::size_t>(kMaxLinesPerLnwFile)) {
        platform::ShowBilingualMessage("测线数目超过65535条，文件未保存！",
                                       "A line file holds at most 65535 lines; the file was not saved!",
                                       platform::kBoxError);
        return false;
    }
    return WriteTextFileReported(path, FormatLnw(lines));
}

std::optional<std::vector<SurveyLine>> ReadLnwIntoEditor(const std::filesystem::path& path) {
    const std::optional<std::string> text = ReadTextFileReported(path);
    if (!text) {
        return std::nullopt;
    }
    LnwContent content = ParseLnw(*text);
    switch (content.status) {
        case LnwStatus::Ok:
            return std::move(content.lines);
        case LnwStatus::BadKeyword:
            platform::ShowBilingualMessage(kKeywordErrorChinese, kKeywordErrorEnglish, platform::kBoxError);
            break;
        case LnwStatus::BadCount:
            platform::ShowBilingualMessage(kCountErrorChinese, kCountErrorEnglish, platform::kBoxError);
            break;
    }
    return std::nullopt;
}

bool LoadLineFileForDisplay(LoadedLineFiles& loaded, const std::filesystem::path& path, bool shown) {
    // The current line follows its file to the end of the list when that file is reloaded.
    const int previous = FindLineFile(loaded, path);
    const bool carriesCurrent = previous >= 0 && loaded.current.file == previous;
    const int currentLine = loaded.current.line;
    RemoveLineFile(loaded, path);

    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        const std::string shownPath = path.string();
        platform::ShowBilingualMessage(ReplaceFirst("读取文件\"%s\"失败。", "%s", shownPath),
                                       ReplaceFirst("Failed to read the file \"%s\".", "%s", shownPath),
                                       platform::kBoxError);
        return false;
    }
    LnwContent content = ParseLnw(*text);
    if (content.status != LnwStatus::Ok) {
        platform::ShowBilingualMessage(
            content.status == LnwStatus::BadKeyword ? kKeywordErrorChinese : kCountErrorChinese,
            kDisplayFormatErrorEnglish, platform::kBoxError);
        return false;
    }
    const int lineCount = static_cast<int>(content.lines.size());
    loaded.files.push_back(LineFileEntry{path, shown, std::move(content.lines)});
    if (carriesCurrent) {
        loaded.current.file = static_cast<int>(loaded.files.size()) - 1;
        loaded.current.line = currentLine < lineCount ? currentLine : -1;
    }
    return true;
}

}  // namespace marivane
