#pragma once
// Paths inside a project. Folder and file names come from the project's own files (the project file,
// the file list, the settings file), which are data from outside: a stored name is only ever joined
// to the project folder when every part of it stays inside that folder. Stored names may use either
// separator, "\\" (as the program writes folder names) or "/".

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marivane {

// The parts of a stored relative name, split at "\\" and "/" (empty parts between separators are
// skipped, so "Border Files\\" is one part). Nothing when the name has no part, begins with a
// separator (absolute), has a part "." or "..", or holds a control character.
std::optional<std::vector<std::string>> SplitContainedName(std::string_view name);

// `base` joined with a stored relative name, or nothing when the name is not contained (above).
std::optional<std::filesystem::path> JoinContained(const std::filesystem::path& base, std::string_view name);

// True when `text` holds a character below 0x20 or 0x7F.
bool HasControlCharacter(std::string_view text);

// `text` without blanks (space, tab) at either end.
std::string TrimBlanks(std::string_view text);

// The extension of a path, lower-cased ASCII, with its dot (".tif"); empty when there is none.
std::string LowerExtension(const std::filesystem::path& path);

// The folder path as stored in the program's files: the path with one trailing separator.
std::string FolderText(const std::filesystem::path& folder);

// True when both paths name the same existing file (hard links and different spellings included).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

enum class CopyResult {
    Copied,    // `to` now holds the content of `from`
    SameFile,  // `from` and `to` are one file: nothing was touched
    Exists,    // `to` exists and overwriting was not asked for: nothing was touched
    Failed,    // nothing usable was written; an existing `to` is unchanged
};

// Copies a file without ever truncating it onto itself: the content goes to a temporary file beside
// `to` that is then renamed over it, so a failed copy leaves an existing `to` as it was.
CopyResult CopyFileSafely(const std::filesystem::path& from, const std::filesystem::path& to, bool overwrite);

// Whole GiB (2^30 bytes) in a byte count, truncated.
inline int WholeGiB(std::uintmax_t bytes) {
    const std::uintmax_t gib = bytes >> 30;
    return gib > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(gib);
}

}  // namespace marivane
