#include "platform/MappedFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Open mappings as the signal handler sees them. A slot is taken by storing its range; the handler
// only reads.
struct GuardSlot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> shortened{false};
};

constexpr int kGuardSlots = 256;
GuardSlot g_slots[kGuardSlots];
std::mutex g_slotsMutex;  // taking and giving back slots (never in the handler)
struct sigaction g_previous {};
std::uintptr_t g_pageSize = 4096;

void OnBusError(int sig, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire))
            continue;
        void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
        if (::mmap(page, g_pageSize, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) != MAP_FAILED) {
            slot.shortened.store(true, std::memory_order_release);
            return;  // the read is made again, and now finds zeros
        }
        break;
    }
    // Not a mapped file of ours: what would have happened without the guard.
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(sig, info, context);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
        return;
    }
    // Back to the default action, which ends the process as soon as the handler returns.
    ::signal(SIGBUS, SIG_DFL);
    ::raise(sig);
}

void InstallGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous);
    });
}

int TakeSlot(const void* data, std::size_t size) {
    InstallGuard();
    const std::lock_guard<std::mutex> lock(g_slotsMutex);
    for (int i = 0; i < kGuardSlots; ++i) {
        GuardSlot& slot = g_slots[i];
        if (slot.begin.load(std::memory_order_relaxed) != 0)
            continue;
        slot.shortened.store(false, std::memory_order_relaxed);
        slot.end.store(reinterpret_cast<std::uintptr_t>(data) + size, std::memory_order_release);
        slot.begin.store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
        return i;
    }
    return -1;
}

void GiveBackSlot(int i) {
    const std::lock_guard<std::mutex> lock(g_slotsMutex);
    g_slots[i].begin.store(0, std::memory_order_release);
    g_slots[i].end.store(0, std::memory_order_release);
}

std::string SystemText(int err) {
    return std::strerror(err);
}

// The whole of what `fd` gives, for what cannot be mapped.
bool ReadAll(int fd, std::vector<std::uint8_t>& out, std::string& error) {
    out.clear();
    std::size_t fill = 0;
    for (;;) {
        if (out.size() - fill < 65536)
            out.resize(std::max<std::size_t>(out.size() * 2, fill + 65536));
        const ssize_t r = ::read(fd, out.data() + fill, out.size() - fill);
        if (r > 0) {
            fill += static_cast<std::size_t>(r);
        } else if (r == 0) {
            break;
        } else if (errno != EINTR) {
            error = SystemText(errno);
            out.clear();
            return false;
        }
    }
    out.resize(fill);
    return true;
}

}  // namespace

MappedFile::~MappedFile() {
    Close();
}

MappedFile::Status MappedFile::Open(const std::filesystem::path& path, std::string& error) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemText(errno);
        return Status::OpenFailed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = SystemText(errno);
        ::close(fd);
        return Status::OpenFailed;
    }
    if (S_ISDIR(st.st_mode)) {
        error = SystemText(EISDIR);
        ::close(fd);
        return Status::NotAFile;
    }
    Status status = Status::Ok;
    const auto size = static_cast<std::size_t>(st.st_size);
    void* mapping = MAP_FAILED;
    if (S_ISREG(st.st_mode) && size > 0)
        mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (mapping != MAP_FAILED) {
        slot_ = TakeSlot(mapping, size);
        if (slot_ < 0) {  // every guard slot in use: read it instead
            ::munmap(mapping, size);
            mapping = MAP_FAILED;
        }
    }
    if (mapping != MAP_FAILED) {
        data_ = static_cast<const std::uint8_t*>(mapping);
        size_ = size;
        mapped_ = true;
        fd_ = fd;  // kept to learn the file's size later
    } else if (S_ISREG(st.st_mode) && size == 0) {
        data_ = nullptr;
        size_ = 0;
    } else if (ReadAll(fd, storage_, error)) {
        data_ = storage_.data();
        size_ = storage_.size();
    } else {
        status = Status::ReadFailed;
    }
    if (fd_ != fd)
        ::close(fd);
    open_ = status == Status::Ok;
    return status;
}

void MappedFile::Assign(std::span<const std::uint8_t> bytes) {
    Close();
    storage_.assign(bytes.begin(), bytes.end());
    data_ = storage_.data();
    size_ = storage_.size();
    open_ = true;
}

void MappedFile::Close() {
    if (mapped_) {
        GiveBackSlot(slot_);
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    slot_ = -1;
    mapped_ = false;
    open_ = false;
    data_ = nullptr;
    size_ = 0;
    storage_ = {};
}

bool MappedFile::Shortened() const {
    if (!mapped_)
        return false;
    if (g_slots[slot_].shortened.load(std::memory_order_acquire))
        return true;
    // Bytes past the new end within the last page read as zeros without any signal.
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && static_cast<std::size_t>(st.st_size) < size_;
}

}  // namespace platform
