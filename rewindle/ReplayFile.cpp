#include "rewindle/ReplayFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace rewindle {

ReplayFile::~ReplayFile() {
    Close();
}

bool ReplayFile::Open(const std::filesystem::path& path) {
    Close();
    // Not blocking: a named pipe must not hold the dialog up until a writer comes (it is refused below).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 1;
    return true;
}

void ReplayFile::Close() noexcept {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 1;
}

ReadResult ReplayFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
    constexpr auto kLastOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (fd_ < 0 || offset > kLastOffset - into.size())
        return {ReadStatus::Error, 0};
    std::size_t got = 0;
    while (got < into.size()) {
        const ssize_t n =
            ::pread(fd_, into.data() + got, into.size() - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Bytes read before the error still count; the error shows at the next read.
            return got > 0 ? ReadResult{ReadStatus::Ok, got} : ReadResult{ReadStatus::Error, 0};
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got > 0 ? ReadResult{ReadStatus::Ok, got} : ReadResult{ReadStatus::EndOfFile, 0};
}

}  // namespace rewindle
