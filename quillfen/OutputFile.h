#pragma once
// Output files written under a temporary name beside their final name and renamed into place only
// when complete, so that no half-written file ever carries an output name. Writes are buffered in
// large pieces, each handed with its place in the file to one of the file's writing threads, so that
// formatting the next piece and writing the last ones overlap (and two pieces go into the page cache
// at once); every error is kept.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillfen {

// A complete file still under its temporary name.
struct PendingOutput {
    std::filesystem::path temporary;
    std::filesystem::path final;
};

// The temporary name of an output: its final name with a suffix unique to this process and call.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& final);

class OutputFile {
  public:
    static constexpr std::size_t kBufferSize = 4 << 20;
    static constexpr std::size_t kWriters = 2;

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates (or empties) the temporary file of `final`. False when it cannot be created.
    bool Create(const std::filesystem::path& final);
    bool IsOpen() const { return fd_ >= 0; }

    void Write(const void* data, std::size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Room for `size` bytes to be filled in place, then Advance by what was filled.
    std::uint8_t* Room(std::size_t size);
    void Advance(std::size_t size) { fill_ += size; }

    // Writes `size` bytes at `offset` at once, beside the buffered writes (which start at offset 0):
    // for callers that lay the file out themselves and fill its parts from several threads.
    void WriteAt(std::uint64_t offset, const void* data, std::size_t size);

    // Flushes and closes; true when every byte reached the file. The file stays under its temporary
    // name until committed.
    bool Close(PendingOutput& out);
    // Closes and removes the temporary file (a run that failed).
    void Abandon();

    bool Failed() const { return failed_.load(std::memory_order_relaxed); }
    std::string Error() const;
    const std::filesystem::path& Final() const { return final_; }

  private:
    // A buffer, filled by the caller or in a writer's hands.
    struct Piece {
        std::vector<std::uint8_t> bytes;
        std::size_t size = 0;
        std::uint64_t offset = 0;
        bool busy = false;  // guarded by mutex_: queued or being written
    };
    static constexpr std::size_t kPieces = kWriters + 1;

    // Hands the filled buffer to the writers and goes on with the next free one.
    void Flush();
    void WaitIdle();
    void Stop();
    void WriterLoop();
    void Fail(int err);

    int fd_ = -1;
    Piece pieces_[kPieces];
    std::size_t current_ = 0;
    std::size_t fill_ = 0;
    std::uint64_t offset_ = 0;  // of the current piece in the file
    std::filesystem::path temporary_, final_;

    std::vector<std::thread> writers_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::size_t> queue_;  // guarded by mutex_: pieces to write, in order
    bool stop_ = false;               // guarded by mutex_
    std::atomic<bool> failed_{false};
    std::string error_;  // guarded by mutex_
};

// Renames every pending file to its final name, in order. False (with `error`) at the first that
// fails; the ones after it are removed.
bool CommitOutputs(const std::vector<PendingOutput>& outputs, std::string& error);
// Removes the temporary files.
void DiscardOutputs(const std::vector<PendingOutput>& outputs);

}  // namespace quillfen
