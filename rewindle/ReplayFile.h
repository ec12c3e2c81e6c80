#pragma once
// The file being replayed, open for binary reading. Reads name their offset, so moving back to bytes
// that did not go out is only a matter of asking for them again.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace rewindle {

enum class ReadStatus { Ok, EndOfFile, Error };

struct ReadResult {
    ReadStatus status = ReadStatus::Error;
    std::size_t bytes = 0;  // with Ok: at least one
};

class ReplayFile {
  public:
    ReplayFile() = default;
    ~ReplayFile();
    ReplayFile(const ReplayFile&) = delete;
    ReplayFile& operator=(const ReplayFile&) = delete;

    // Opens a regular file for reading (anything else, such as a folder, fails). Any earlier file is
    // closed first, whatever the outcome.
    bool Open(const std::filesystem::path& path);
    void Close() noexcept;
    bool IsOpen() const { return fd_ >= 0; }

    // The size found when the file was opened; 1 when it was 0 or could not be told, so that it can
    // always divide.
    std::uint64_t Size() const { return size_; }

    // Reads up to `into.size()` bytes from `offset`; fewer only at the end of the file.
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const;

  private:
    int fd_ = -1;
    std::uint64_t size_ = 1;
};

}  // namespace rewindle
