#include "quillfen/OutputFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace quillfen {

std::filesystem::path TemporaryNameFor(const std::filesystem::path& final) {
    static std::atomic<std::uint64_t> counter{0};
    // Beside the final name, so that the rename stays within one file system; the name is kept short
    // enough that the suffix never makes it too long for the file system.
    std::string name = final.filename().string().substr(0, 160);
    name += "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part";
    return final.parent_path() / name;
}

OutputFile::~OutputFile() {
    Abandon();
}

bool OutputFile::Create(const std::filesystem::path& final) {
    Abandon();
    failed_.store(false);
    error_.clear();
    final_ = final;
    temporary_ = TemporaryNameFor(final);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        Fail(errno);
        temporary_.clear();
        return false;
    }
    for (Piece& piece : pieces_) {
        piece.bytes.resize(kBufferSize);
        piece.busy = false;
    }
    current_ = 0;
    fill_ = 0;
    offset_ = 0;
    stop_ = false;
    queue_.clear();
    for (std::size_t k = 0; k < kWriters; ++k) writers_.emplace_back([this] { WriterLoop(); });
    return true;
}

void OutputFile::Fail(int err) {
    std::lock_guard lock(mutex_);
    if (!failed_.load()) {
        error_ = std::strerror(err);
        failed_.store(true);
    }
}

std::string OutputFile::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void OutputFile::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || stop_; });
        if (queue_.empty())
            return;  // stopping, and nothing left to write
        Piece& piece = pieces_[queue_.front()];
        queue_.pop_front();
        lock.unlock();
        WriteAt(piece.offset, piece.bytes.data(), piece.size);
        lock.lock();
        piece.busy = false;
        changed_.notify_all();
    }
}

void OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size && !failed_.load()) {
        const ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            Fail(n < 0 ? errno : EIO);
        }
    }
}

void OutputFile::WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        for (const Piece& piece : pieces_)
            if (piece.busy)
                return false;
        return true;
    });
}

void OutputFile::Flush() {
    if (fill_ == 0 || fd_ < 0)
        return;
    std::unique_lock lock(mutex_);
    Piece& filled = pieces_[current_];
    filled.size = fill_;
    filled.offset = offset_;
    filled.busy = true;
    queue_.push_back(current_);
    changed_.notify_all();
    offset_ += fill_;
    fill_ = 0;
    current_ = (current_ + 1) % kPieces;
    changed_.wait(lock, [this] { return !pieces_[current_].busy; });
}

void OutputFile::Stop() {
    if (writers_.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& writer : writers_) writer.join();
    writers_.clear();
}

std::uint8_t* OutputFile::Room(std::size_t size) {
    std::vector<std::uint8_t>& b = pieces_[current_].bytes;
    if (fill_ + size > b.size()) {
        Flush();
        std::vector<std::uint8_t>& next = pieces_[current_].bytes;
        if (size > next.size())
            next.resize(size);  // a free piece: no writer holds it
        return next.data();
    }
    return b.data() + fill_;
}

void OutputFile::Write(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const std::size_t take = std::min(size, kBufferSize);
        std::memcpy(Room(take), p, take);
        fill_ += take;
        p += take;
        size -= take;
    }
}

bool OutputFile::Close(PendingOutput& out) {
    if (fd_ < 0)
        return false;
    Flush();
    WaitIdle();
    Stop();
    if (::close(fd_) != 0)
        Fail(errno);
    fd_ = -1;
    out = {temporary_, final_};
    if (Failed()) {
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Abandon() {
    Stop();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
        temporary_.clear();
    }
    fill_ = 0;
}

bool CommitOutputs(const std::vector<PendingOutput>& outputs, std::string& error) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        std::error_code ec;
        std::filesystem::rename(outputs[i].temporary, outputs[i].final, ec);
        if (ec) {
            error = outputs[i].final.string() + ": " + ec.message();
            DiscardOutputs(
                std::vector<PendingOutput>(outputs.begin() + static_cast<std::ptrdiff_t>(i), outputs.end()));
            return false;
        }
    }
    return true;
}

void DiscardOutputs(const std::vector<PendingOutput>& outputs) {
    for (const PendingOutput& o : outputs) {
        std::error_code ec;
        std::filesystem::remove(o.temporary, ec);
    }
}

}  // namespace quillfen
