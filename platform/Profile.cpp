#include "platform/Profile.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/FixedText.h"
#include "platform/NumberText.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// One line of the text, located by byte offsets; `end` excludes the line break.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;  // start of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            lines.push_back({pos, text.size(), text.size()});
            break;
        }
        std::size_t end = nl;
        if (end > pos && text[end - 1] == '\r') --end;
        lines.push_back({pos, end, nl + 1});
        pos = nl + 1;
    }
    return lines;
}

// The name of a section header line ("[name]"), or nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// Key and raw value of an entry line ("key=value"); comment lines are not entries.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#' || trimmed.front() == '[') {
        return false;
    }
    const std::size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(trimmed.substr(0, eq));
    value = Trim(trimmed.substr(eq + 1));
    return !key.empty();
}

struct SectionRange {
    std::size_t header;     // index of the header line
    std::size_t firstLine;  // first line after the header
    std::size_t endLine;    // one past the last line of the section
};

std::optional<SectionRange> FindSection(const std::string& text, const std::vector<Line>& lines,
                                        std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(std::string_view(text).substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (!name || !SameName(*name, Trim(section))) continue;
        std::size_t j = i + 1;
        while (j < lines.size() &&
               !SectionName(std::string_view(text).substr(lines[j].begin, lines[j].end - lines[j].begin))) {
            ++j;
        }
        return SectionRange{i, i + 1, j};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::string& text, const std::vector<Line>& lines,
                                   const SectionRange& range, std::string_view key, std::string_view* value) {
    for (std::size_t i = range.firstLine; i < range.endLine; ++i) {
        std::string_view k, v;
        if (SplitEntry(std::string_view(text).substr(lines[i].begin, lines[i].end - lines[i].begin), k, v) &&
            SameName(k, Trim(key))) {
            if (value) *value = v;
            return i;
        }
    }
    return std::nullopt;
}

std::string LineBreakOf(const std::string& text) {
    const std::size_t nl = text.find('\n');
    if (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') return "\r\n";
    return "\n";
}

bool IsQuoted(std::string_view v) {
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

// A value is stored as it is, unless reading would change it: blanks at either end would be
// trimmed, so such a value goes between double quotes. A value that is already between matching
// quotes is the caller's own quoting and is stored as it is.
std::string StoredForm(std::string_view value) {
    if (!value.empty() && !IsQuoted(value) && (IsBlank(value.front()) || IsBlank(value.back()))) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(buffer).str();
}

// Writes the text beside the file and renames it into place, so a failed write (a full disk)
// never leaves a damaged file behind.
bool ReplaceFile(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::path temp = file;
    temp += ".tmp~";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

template <typename Edit>
bool EditFile(const std::filesystem::path& file, Edit edit) {
    std::error_code ec;
    std::string text;
    if (std::filesystem::exists(file, ec)) {
        auto existing = ReadWholeFile(file);
        if (!existing) return false;
        text = std::move(*existing);
    }
    ProfileText profile(std::move(text));
    if (!edit(profile)) return false;
    return ReplaceFile(file, profile.Text());
}

}  // namespace

ProfileText::ProfileText(std::string text) : text_(std::move(text)) {}

std::optional<ProfileText> ProfileText::Load(const std::filesystem::path& file) {
    auto text = ReadWholeFile(file);
    if (!text) return std::nullopt;
    return ProfileText(std::move(*text));
}

std::optional<std::string> ProfileText::Value(std::string_view section, std::string_view key,
                                              std::size_t bufferSize) const {
    const auto lines = SplitLines(text_);
    const auto range = FindSection(text_, lines, section);
    if (!range) return std::nullopt;
    std::string_view value;
    if (!FindKey(text_, lines, *range, key, &value)) return std::nullopt;
    if (IsQuoted(value)) value = value.substr(1, value.size() - 2);
    if (bufferSize == 0) return std::string();
    return std::string(Utf8Prefix(value, bufferSize - 1));
}

void ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string br = LineBreakOf(text_);
    const std::string entry = std::string(Trim(key)) + "=" + StoredForm(value);
    const auto lines = SplitLines(text_);
    const auto range = FindSection(text_, lines, section);
    if (!range) {
        if (!text_.empty() && text_.back() != '\n') text_ += br;
        text_ += "[" + std::string(Trim(section)) + "]" + br + entry + br;
        return;
    }
    if (const auto at = FindKey(text_, lines, *range, key, nullptr)) {
        const Line& line = lines[*at];
        text_.replace(line.begin, line.end - line.begin, entry);
        return;
    }
    // New key: after the last non-blank line of the section (blank lines before the next
    // section stay where they are).
    std::size_t last = range->header;
    for (std::size_t i = range->firstLine; i < range->endLine; ++i) {
        if (!Trim(std::string_view(text_).substr(lines[i].begin, lines[i].end - lines[i].begin)).empty()) last = i;
    }
    const Line& after = lines[last];
    if (after.next == after.end) {
        // The last line of the file has no line break yet.
        text_.insert(after.end, br + entry + br);
    } else {
        text_.insert(after.next, entry + br);
    }
}

void ProfileText::RemoveKey(std::string_view section, std::string_view key) {
    const auto lines = SplitLines(text_);
    const auto range = FindSection(text_, lines, section);
    if (!range) return;
    if (const auto at = FindKey(text_, lines, *range, key, nullptr)) {
        text_.erase(lines[*at].begin, lines[*at].next - lines[*at].begin);
    }
}

void ProfileText::RemoveSection(std::string_view section) {
    const auto lines = SplitLines(text_);
    const auto range = FindSection(text_, lines, section);
    if (!range) return;
    const std::size_t begin = lines[range->header].begin;
    const std::size_t end = range->endLine < lines.size() ? lines[range->endLine].begin : text_.size();
    text_.erase(begin, end - begin);
}

std::optional<std::string> ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                                             std::string_view key, std::size_t bufferSize) {
    const auto profile = ProfileText::Load(file);
    if (!profile) return std::nullopt;
    return profile->Value(section, key, bufferSize);
}

std::string GetProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                             std::string_view fallback, std::size_t bufferSize) {
    if (auto value = ReadProfileValue(file, section, key, bufferSize)) return std::move(*value);
    if (bufferSize == 0) return std::string();
    return std::string(Utf8Prefix(fallback, bufferSize - 1));
}

int GetProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                  int fallback) {
    const auto value = ReadProfileValue(file, section, key);
    if (!value) return fallback;
    return LeadingInt(*value);
}

bool WriteProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || Trim(key).empty() ||
        Trim(section).empty() || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos) {
        return false;
    }
    return EditFile(file, [&](ProfileText& profile) {
        profile.Set(section, key, value);
        return true;
    });
}

bool DeleteProfileKey(const std::filesystem::path& file, std::string_view section, std::string_view key) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    return EditFile(file, [&](ProfileText& profile) {
        profile.RemoveKey(section, key);
        return true;
    });
}

bool DeleteProfileSection(const std::filesystem::path& file, std::string_view section) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    return EditFile(file, [&](ProfileText& profile) {
        profile.RemoveSection(section);
        return true;
    });
}

}  // namespace platform
