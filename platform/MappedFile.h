#pragma once
// A whole file mapped read-only into memory, for reading large files without copying them.
//
// A mapped file that another program shortens while it is mapped would end the process with SIGBUS
// at the first read past its new end. While a MappedFile is open, a process-wide guard catches that
// signal for addresses inside any open mapping, puts a page of zeros where the file's page was and
// marks the mapping as shortened: the reader sees zeros, goes on, and learns from Shortened() that
// what it read is not the file. Signals for any other address go on to whatever handled them before.
//
// The mapping is filled at once (a file is mapped to be read whole). Files that cannot be mapped
// (pipes, terminals, special files) are read into memory instead.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace platform {

class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    enum class Status { Ok, OpenFailed, NotAFile, ReadFailed };

    // Maps (or reads) the whole of `path`; any previous file is closed first. On failure `error`
    // says why (the system's text).
    Status Open(const std::filesystem::path& path, std::string& error);
    // Takes a copy of `bytes` to serve as the file.
    void Assign(std::span<const std::uint8_t> bytes);
    void Close();

    std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }
    std::size_t Size() const { return size_; }
    bool IsOpen() const { return open_; }
    // True when the file became shorter than its mapping while it was open: part of what Bytes()
    // showed, or may have shown, was zeros standing in for bytes that were gone.
    bool Shortened() const;

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool open_ = false;
    bool mapped_ = false;
    int slot_ = -1;                      // of the guard, for a mapping
    int fd_ = -1;                        // of a mapping
    std::vector<std::uint8_t> storage_;  // for what was read or given instead of mapped
};

}  // namespace platform
