#pragma once
// Private-profile (INI) files with the semantics that settings files of the suite rely on:
// sections and keys match case-insensitively, blanks around keys and values are ignored,
// one pair of matching surrounding quotes is stripped from a value on read, a value read is cut to
// the caller's buffer size (260 characters unless said otherwise, the terminating zero included),
// and every write goes to the file at once, leaving every other line as it was. A value with blanks
// at either end is stored between double quotes so that it reads back unchanged.
//
// Files are read as UTF-8 text; both "\n" and "\r\n" line ends are accepted, and a file keeps the
// line end it has when a key is written.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::size_t kProfileBufferSize = 260;

// The value of `key` in `section`, or nothing when the file, the section or the key is absent.
// The value is cut to bufferSize - 1 bytes (never in the middle of a UTF-8 character).
std::optional<std::string> ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                                             std::string_view key,
                                             std::size_t bufferSize = kProfileBufferSize);

// GetPrivateProfileString: the value, or `fallback` when absent.
std::string GetProfileString(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::string_view fallback,
                             std::size_t bufferSize = kProfileBufferSize);

// GetPrivateProfileInt: the leading decimal integer of the value, `fallback` when the key is absent,
// 0 when the value does not begin with a number.
int GetProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                  int fallback);

// WritePrivateProfileString: sets `key` in `section` to `value`, creating the file, the section
// (at the end of the file) or the key (after the last entry of its section) as needed. A value with
// a line break is refused. Returns false when the file cannot be written; the previous file is then
// left as it was (the new content is written beside it and renamed into place).
bool WriteProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                        std::string_view value);

// Removes `key` from `section`; true when the file is as asked afterwards.
bool DeleteProfileKey(const std::filesystem::path& file, std::string_view section, std::string_view key);

// Removes the whole section with all its lines.
bool DeleteProfileSection(const std::filesystem::path& file, std::string_view section);

// An INI text held in memory, for callers that read many keys of one file (one read of the file)
// and for tests. Same matching rules as the functions above.
class ProfileText {
public:
    ProfileText() = default;
    explicit ProfileText(std::string text);
    static std::optional<ProfileText> Load(const std::filesystem::path& file);

    std::optional<std::string> Value(std::string_view section, std::string_view key,
                                     std::size_t bufferSize = kProfileBufferSize) const;
    void Set(std::string_view section, std::string_view key, std::string_view value);
    void RemoveKey(std::string_view section, std::string_view key);
    void RemoveSection(std::string_view section);
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

}  // namespace platform
