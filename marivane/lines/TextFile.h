#pragma once
// Whole-file reading and replacing writes for the small text files of lines and borders, and the
// line splitting their readers share.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace marivane {

// Text files of lines and borders are small; anything larger than this is not read.
inline constexpr std::uintmax_t kMaxTextFileSize = 256u * 1024 * 1024;

// The bytes of a regular file, or nothing when it cannot be opened or read to its end: a folder, a
// device or pipe (which could block or never end), a file over kMaxTextFileSize, a read error.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

enum class ReplaceResult {
    Written,       // the target now holds exactly `content`
    CannotCreate,  // no temporary file could be created beside the target; nothing changed
    WriteFailed,   // writing, flushing or renaming failed (a full disk); the target is unchanged
};

// Writes `content` to a new temporary file in the target's folder and renames it over the target,
// so the previous file stays whole until the new one is complete. The new file keeps the permissions
// of the one it replaces. A symbolic link as target is followed: the file it names is replaced, the
// link stays. No temporary file is left behind.
ReplaceResult ReplaceFileContent(const std::filesystem::path& target, std::string_view content);

// ReplaceFileContent that says what went wrong: "Failed to open the file!" when no file could be
// created, "Failed to write the file "<path>"!" when writing failed. True when written.
bool WriteTextFileReported(const std::filesystem::path& path, std::string_view content);

// ReadWholeFile that says "Failed to open the file "<path>"!" when the file cannot be read.
std::optional<std::string> ReadTextFileReported(const std::filesystem::path& path);

// Copies `source` over `target` the same way; false when the source cannot be read or the target
// not written.
bool CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& target);

// Hands out the text lines of a file one at a time. A line ends at a line feed; one carriage return
// before it is dropped, so CR LF and LF files read alike. The text after the last line feed is a
// line when it is not empty.
class TextLines {
  public:
    explicit TextLines(std::string_view text) : text_(text) {}
    // The next line, or nothing at the end of the text.
    std::optional<std::string_view> Next();
    bool AtEnd() const { return pos_ >= text_.size(); }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace marivane
