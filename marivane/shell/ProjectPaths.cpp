#include "marivane/shell/ProjectPaths.h"

#include <system_error>

namespace marivane {

namespace fs = std::filesystem;

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

std::optional<std::vector<std::string>> SplitContainedName(std::string_view name) {
    if (name.empty() || name.front() == '\\' || name.front() == '/' || HasControlCharacter(name))
        return std::nullopt;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view part = name.substr(start, end - start);
        if (part == "." || part == "..")
            return std::nullopt;
        if (!part.empty())
            parts.emplace_back(part);
        start = end + 1;
    }
    if (parts.empty())
        return std::nullopt;
    return parts;
}

std::optional<fs::path> JoinContained(const fs::path& base, std::string_view name) {
    const auto parts = SplitContainedName(name);
    if (!parts)
        return std::nullopt;
    fs::path out = base;
    for (const std::string& part : *parts) out /= part;
    return out;
}

std::string TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string LowerExtension(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

std::string FolderText(const fs::path& folder) {
    std::string text = folder.string();
    if (text.empty() || text.back() != fs::path::preferred_separator)
        text += static_cast<char>(fs::path::preferred_separator);
    return text;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

CopyResult CopyFileSafely(const fs::path& from, const fs::path& to, bool overwrite) {
    std::error_code ec;
    if (SameFile(from, to))
        return CopyResult::SameFile;
    if (!fs::is_regular_file(from, ec))
        return CopyResult::Failed;
    if (fs::exists(to, ec) && !overwrite)
        return CopyResult::Exists;
    if (fs::exists(to, ec) && !fs::is_regular_file(to, ec))
        return CopyResult::Failed;
    fs::path temp = to;
    temp += ".copy~";
    fs::remove(temp, ec);
    if (!fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(temp, ec);
        return CopyResult::Failed;
    }
    fs::rename(temp, to, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return CopyResult::Failed;
    }
    return CopyResult::Copied;
}

}  // namespace marivane
