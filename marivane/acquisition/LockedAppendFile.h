#pragma once
// A file that stays open while recording, appended to by the receiving thread and closed by the
// user-interface thread, every access under one lock. Write failures are reported to the caller and
// counted; nothing is retried.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <span>

namespace marivane {

enum class RecordingOpenResult {
    Opened,             // opened and its header written
    AlreadyOpen,        // a file was open already; nothing changed
    OpenFailed,         // could not be opened; nothing is open
    HeaderWriteFailed,  // opened, but the header was not fully written; the file stays open
};

class LockedAppendFile {
  public:
    LockedAppendFile() = default;
    ~LockedAppendFile();
    LockedAppendFile(const LockedAppendFile&) = delete;
    LockedAppendFile& operator=(const LockedAppendFile&) = delete;

    // Opens `path` for appending in binary mode, unless a file is open already, and writes `header`.
    RecordingOpenResult Open(const std::filesystem::path& path, std::span<const std::uint8_t> header);

    // Appends while a file is open. True when written or when no file is open; false when the write
    // failed (counted in WriteErrors).
    bool Append(const void* bytes, std::size_t length);

    // Flushes and closes the open file. False when the flush or close failed; true otherwise,
    // including when nothing was open.
    bool Close();

    bool IsOpen() const;
    std::filesystem::path Path() const;  // of the open file, empty when none
    std::uint64_t WriteErrors() const;   // since construction
    std::uint64_t Appended() const;      // successful appends to the current (or last) file

  private:
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::uint64_t writeErrors_ = 0;
    std::uint64_t appended_ = 0;
};

}  // namespace marivane
