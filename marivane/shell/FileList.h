#pragma once
// The project's file list (.flst): plain text, one entry per line, the folder name exactly as the
// project stores it ("Border Files\\"), "=", then the file name. The order of the lines is the order
// in which files were added and the order in which they are loaded. Entries are removed by the file
// name alone.
//
// The list is data from outside: lines are read within a bounded length, any bytes are tolerated,
// and rewriting it keeps every other line exactly as it was.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marivane {

// Longest line looked at; a longer line is no entry. Longest list file read.
inline constexpr std::size_t kMaxFileListLine = 4096;
inline constexpr std::size_t kMaxFileListBytes = 64u * 1024u * 1024u;

struct FileListEntry {
    std::string folder;  // before the first "="
    std::string name;    // everything after it (a trailing carriage return removed)
    friend bool operator==(const FileListEntry&, const FileListEntry&) = default;
};

// The entries of a list's text: every line (ended by "\n", "\r\n" or the end of the text) that holds
// "=" and is at most kMaxFileListLine bytes long.
std::vector<FileListEntry> ParseFileList(std::string_view text);

// The whole list file, or nothing when it cannot be opened or read or is larger than
// kMaxFileListBytes.
std::optional<std::string> ReadFileListText(const std::filesystem::path& listFile);

// True when some line's file-name part equals `name`.
bool FileListHasName(std::string_view text, std::string_view name);

// Appends folder + "=" + name + line feed, unless a line with the same file name exists (then true
// without change). False when the file cannot be written or the entry would not read back as one
// line (a name or folder with a line break, a folder with "=").
bool AddFileListEntry(const std::filesystem::path& listFile, std::string_view folder, std::string_view name);

// Appends the same line whatever the list holds.
bool AppendFileListEntry(const std::filesystem::path& listFile, std::string_view folder,
                         std::string_view name);

// Rewrites the list without every line whose file-name part equals `name`; every other line, its
// line end included, stays as it was. The new list replaces the old one in one step. True when the
// list is as asked afterwards (also when no line matched).
bool RemoveFileListEntry(const std::filesystem::path& listFile, std::string_view name);

}  // namespace marivane
