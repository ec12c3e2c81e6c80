#include "marivane/acquisition/LockedAppendFile.h"

namespace marivane {

LockedAppendFile::~LockedAppendFile() {
    Close();
}

RecordingOpenResult LockedAppendFile::Open(const std::filesystem::path& path,
                                           std::span<const std::uint8_t> header) {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr)
        return RecordingOpenResult::AlreadyOpen;
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (f == nullptr)
        return RecordingOpenResult::OpenFailed;
    file_ = f;
    path_ = path;
    appended_ = 0;
    if (!header.empty() && std::fwrite(header.data(), 1, header.size(), f) != header.size()) {
        ++writeErrors_;
        return RecordingOpenResult::HeaderWriteFailed;
    }
    return RecordingOpenResult::Opened;
}

bool LockedAppendFile::Append(const void* bytes, std::size_t length) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr)
        return true;
    if (length > 0 && std::fwrite(bytes, 1, length, file_) != length) {
        ++writeErrors_;
        return false;
    }
    ++appended_;
    return true;
}

bool LockedAppendFile::Close() {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr)
        return true;
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    path_.clear();
    if (!flushed || !closed) {
        ++writeErrors_;
        return false;
    }
    return true;
}

bool LockedAppendFile::IsOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

std::filesystem::path LockedAppendFile::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

std::uint64_t LockedAppendFile::WriteErrors() const {
    std::lock_guard lock(mutex_);
    return writeErrors_;
}

std::uint64_t LockedAppendFile::Appended() const {
    std::lock_guard lock(mutex_);
    return appended_;
}

}  // namespace marivane
