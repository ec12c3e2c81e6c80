#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

bool IsWouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool ToAddress(const std::string& dotted, std::uint16_t port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return ::inet_pton(AF_INET, dotted.c_str(), &out.sin_addr) == 1;
}

// Milliseconds left until `deadline`, rounded up so that a wait never ends just short of it.
int MillisecondsUntil(SteadyClock::time_point deadline) {
    const auto left = deadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, 1'000'000'000));
}

// poll() on one descriptor, repeated after signals; the revents, 0 on time-out, -1 on error.
int PollOne(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (n > 0)
            return p.revents;
        if (n == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

bool SetIntOption(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

int GetIntOption(int fd, int level, int name) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd, level, name, &value, &length) != 0)
        return -1;
    return value;
}

}  // namespace

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Socket Socket::CreateTcp() {
    return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

bool Socket::SetNonBlocking(bool on) {
    if (!Valid())
        return false;
    const int flags = ::fcntl(fd_, F_GETFL, 0);
    if (flags < 0)
        return false;
    const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags || ::fcntl(fd_, F_SETFL, wanted) == 0;
}

bool Socket::SetReceiveBufferSize(int bytes) {
    return Valid() && SetIntOption(fd_, SOL_SOCKET, SO_RCVBUF, bytes);
}
bool Socket::SetSendBufferSize(int bytes) {
    return Valid() && SetIntOption(fd_, SOL_SOCKET, SO_SNDBUF, bytes);
}
bool Socket::SetReuseAddress(bool on) {
    return Valid() && SetIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
}
int Socket::ReceiveBufferSize() const {
    return Valid() ? GetIntOption(fd_, SOL_SOCKET, SO_RCVBUF) : -1;
}
int Socket::SendBufferSize() const {
    return Valid() ? GetIntOption(fd_, SOL_SOCKET, SO_SNDBUF) : -1;
}
int Socket::TakePendingError() const {
    return Valid() ? GetIntOption(fd_, SOL_SOCKET, SO_ERROR) : -1;
}

std::optional<std::uint16_t> Socket::LocalPort() const {
    if (!Valid())
        return std::nullopt;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return std::nullopt;
    return ntohs(address.sin_port);
}

ConnectResult Socket::ConnectNonBlocking(const Endpoint& to, const ConnectWait& wait) {
    if (!Valid())
        return {ConnectStatus::Failed, EBADF};
    if (!SetNonBlocking(true))
        return {ConnectStatus::Failed, errno};
    sockaddr_in address{};
    if (!ToAddress(to.address, to.port, address))
        return {ConnectStatus::Failed, EINVAL};

    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return {ConnectStatus::Connected, 0};
    }
    const int error = errno;
    // EINTR leaves the connection being set up in the background, like EINPROGRESS.
    if (error != EINPROGRESS && error != EALREADY && error != EINTR && !IsWouldBlock(error)) {
        return {ConnectStatus::Failed, error};
    }

    const auto slice = std::max(wait.pollSlice, std::chrono::milliseconds(1));
    for (int attempt = 0; attempt < wait.waits; ++attempt) {
        const auto waitEnd = SteadyClock::now() + wait.waitLength;
        for (;;) {
            if (wait.stopRequested && wait.stopRequested())
                return {ConnectStatus::Cancelled, ECANCELED};
            const auto now = SteadyClock::now();
            if (now >= waitEnd)
                break;
            const int revents = PollOne(fd_, POLLIN | POLLOUT, std::min(waitEnd, now + slice));
            if (revents < 0)
                return {ConnectStatus::Failed, errno};
            if (revents == 0)
                continue;

            const bool writable = (revents & POLLOUT) != 0;
            const bool troubled = (revents & (POLLIN | POLLERR | POLLHUP)) != 0;
            if (writable && !troubled)
                return {ConnectStatus::Connected, 0};
            const int pending = TakePendingError();
            if (writable && pending == 0)
                return {ConnectStatus::Connected, 0};
            return {ConnectStatus::Failed, pending > 0 ? pending : ECONNREFUSED};
        }
    }
    return {ConnectStatus::TimedOut, ETIMEDOUT};
}

IoResult Socket::Send(const void* data, std::size_t size) {
    if (!Valid())
        return {IoStatus::Error, 0, EBADF};
    if (size == 0)
        return {IoStatus::Ok, 0, 0};
    for (;;) {
        const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (n >= 0)
            return {IoStatus::Ok, static_cast<std::size_t>(n), 0};
        const int error = errno;
        if (error == EINTR)
            continue;
        if (IsWouldBlock(error))
            return {IoStatus::WouldBlock, 0, error};
        return {IoStatus::Error, 0, error};
    }
}

IoResult Socket::Receive(void* data, std::size_t size) {
    if (!Valid())
        return {IoStatus::Error, 0, EBADF};
    if (size == 0)
        return {IoStatus::Ok, 0, 0};
    for (;;) {
        const ssize_t n = ::recv(fd_, data, size, 0);
        if (n > 0)
            return {IoStatus::Ok, static_cast<std::size_t>(n), 0};
        if (n == 0)
            return {IoStatus::Closed, 0, 0};
        const int error = errno;
        if (error == EINTR)
            continue;
        if (IsWouldBlock(error))
            return {IoStatus::WouldBlock, 0, error};
        return {IoStatus::Error, 0, error};
    }
}

bool Socket::WaitReadable(std::chrono::milliseconds timeout) const {
    if (!Valid())
        return false;
    const int revents = PollOne(fd_, POLLIN, SteadyClock::now() + timeout);
    return revents > 0 && (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool Socket::WaitWritable(std::chrono::milliseconds timeout) const {
    if (!Valid())
        return false;
    const int revents = PollOne(fd_, POLLOUT, SteadyClock::now() + timeout);
    return revents > 0 && (revents & POLLOUT) != 0;
}

bool Socket::Shutdown(ShutdownHow how) {
    if (!Valid())
        return false;
    const int mode = how == ShutdownHow::Receive ? SHUT_RD : how == ShutdownHow::Send ? SHUT_WR : SHUT_RDWR;
    return ::shutdown(fd_, mode) == 0;
}

bool Socket::ShutdownGracefully(std::chrono::milliseconds timeout) {
    if (!Valid())
        return false;
    const auto deadline = SteadyClock::now() + timeout;
    bool peerClosed = false;
    if (::shutdown(fd_, SHUT_WR) == 0) {
        std::array<char, 4096> scratch{};
        for (;;) {
            const int revents = PollOne(fd_, POLLIN, deadline);
            if (revents <= 0)
                break;  // time-out or error
            const ssize_t n = ::recv(fd_, scratch.data(), scratch.size(), MSG_DONTWAIT);
            if (n == 0) {
                peerClosed = true;
                break;
            }
            if (n < 0 && errno != EINTR && !IsWouldBlock(errno))
                break;
        }
    }
    Close();
    return peerClosed;
}

void Socket::Close() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ListeningSocket ListeningSocket::Listen(const std::string& address, std::uint16_t port, int backlog) {
    ListeningSocket out;
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!s.Valid()) {
        out.status_ = ListenStatus::CreateFailed;
        out.error_ = errno;
        return out;
    }
    sockaddr_in bindTo{};
    if (!ToAddress(address, port, bindTo)) {
        out.status_ = ListenStatus::BindFailed;
        out.error_ = EINVAL;
        return out;
    }
    s.SetReuseAddress(true);
    if (::bind(s.Handle(), reinterpret_cast<const sockaddr*>(&bindTo), sizeof bindTo) != 0) {
        out.status_ = ListenStatus::BindFailed;
        out.error_ = errno;
        return out;
    }
    if (::listen(s.Handle(), backlog) != 0) {
        out.status_ = ListenStatus::ListenFailed;
        out.error_ = errno;
        return out;
    }
    out.port_ = s.LocalPort().value_or(port);
    out.socket_ = std::move(s);
    out.status_ = ListenStatus::Listening;
    return out;
}

Socket ListeningSocket::Accept() {
    if (!socket_.Valid())
        return Socket();
    for (;;) {
        const int fd = ::accept4(socket_.Handle(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            return Socket(fd);
        if (errno != EINTR)
            return Socket();
    }
}

}  // namespace platform
