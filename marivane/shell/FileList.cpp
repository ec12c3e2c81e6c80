#include "marivane/shell/FileList.h"

#include <cstdio>
#include <system_error>

namespace marivane {

namespace fs = std::filesystem;

namespace {

// Calls f(line) for every line of `text`, without its "\n" (a "\r" before it stays), and
// f receives the whole line including its end for rewriting.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        const std::size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        f(text.substr(start, end - start), text.substr(start, next - start));
        start = next;
    }
}

std::optional<FileListEntry> EntryOf(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.size() > kMaxFileListLine)
        return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return FileListEntry{std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))};
}

bool FitsOneLine(std::string_view folder, std::string_view name) {
    return folder.find_first_of("\r\n=") == std::string_view::npos &&
           name.find_first_of("\r\n") == std::string_view::npos;
}

bool AppendLine(const fs::path& listFile, std::string_view folder, std::string_view name) {
    if (listFile.empty() || !FitsOneLine(folder, name))
        return false;
    // A list whose last line has no line end (edited by hand) gets one first, so that the new entry
    // does not run into it.
    bool needsLineEnd = false;
    if (std::FILE* in = std::fopen(listFile.c_str(), "rb")) {
        if (std::fseek(in, -1, SEEK_END) == 0) {
            const int last = std::fgetc(in);
            needsLineEnd = last != EOF && last != '\n';
        }
        std::fclose(in);
    }
    std::FILE* out = std::fopen(listFile.c_str(), "ab");
    if (out == nullptr)
        return false;
    std::string line;
    if (needsLineEnd)
        line += '\n';
    line.append(folder).append("=").append(name).append("\n");
    const bool written = std::fwrite(line.data(), 1, line.size(), out) == line.size();
    const bool closed = std::fclose(out) == 0;
    return written && closed;
}

}  // namespace

std::vector<FileListEntry> ParseFileList(std::string_view text) {
    std::vector<FileListEntry> entries;
    ForEachLine(text, [&](std::string_view line, std::string_view) {
        if (auto entry = EntryOf(line))
            entries.push_back(std::move(*entry));
    });
    return entries;
}

std::optional<std::string> ReadFileListText(const fs::path& listFile) {
    std::error_code ec;
    if (listFile.empty() || !fs::is_regular_file(listFile, ec))
        return std::nullopt;
    std::FILE* in = std::fopen(listFile.c_str(), "rb");
    if (in == nullptr)
        return std::nullopt;
    std::string text;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
        if (text.size() + n > kMaxFileListBytes) {
            ok = false;
            break;
        }
        text.append(buffer, n);
        if (n < sizeof buffer) {
            ok = std::ferror(in) == 0;
            break;
        }
    }
    std::fclose(in);
    if (!ok)
        return std::nullopt;
    return text;
}

bool FileListHasName(std::string_view text, std::string_view name) {
    bool found = false;
    ForEachLine(text, [&](std::string_view line, std::string_view) {
        if (!found) {
            const auto entry = EntryOf(line);
            found = entry && entry->name == name;
        }
    });
    return found;
}

bool AddFileListEntry(const fs::path& listFile, std::string_view folder, std::string_view name) {
    if (listFile.empty() || !FitsOneLine(folder, name))
        return false;
    std::error_code ec;
    if (fs::exists(listFile, ec)) {
        const auto text = ReadFileListText(listFile);
        if (!text)
            return false;
        if (FileListHasName(*text, name))
            return true;
    }
    return AppendLine(listFile, folder, name);
}

bool AppendFileListEntry(const fs::path& listFile, std::string_view folder, std::string_view name) {
    return AppendLine(listFile, folder, name);
}

bool RemoveFileListEntry(const fs::path& listFile, std::string_view name) {
    const auto text = ReadFileListText(listFile);
    if (!text)
        return false;
    std::string kept;
    kept.reserve(text->size());
    bool removed = false;
    ForEachLine(*text, [&](std::string_view line, std::string_view whole) {
        const auto entry = EntryOf(line);
        if (entry && entry->name == name) {
            removed = true;
            return;
        }
        kept.append(whole);
    });
    if (!removed)
        return true;
    fs::path temp = listFile;
    temp += ".tmp~";
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (out == nullptr)
        return false;
    const bool written = std::fwrite(kept.data(), 1, kept.size(), out) == kept.size();
    const bool closed = std::fclose(out) == 0;
    std::error_code ec;
    if (!written || !closed) {
        fs::remove(temp, ec);
        return false;
    }
    fs::rename(temp, listFile, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return false;
    }
    return true;
}

}  // namespace marivane
