#include "tools/sonarsim/StreamServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace sonarsim {

namespace {

using Clock = std::chrono::steady_clock;

int MillisUntil(Clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 100));
}

// One connected client: reads and discards its input, sends with MSG_NOSIGNAL.
class Client {
  public:
    explicit Client(int fd) : fd_(fd) {}
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Open() const { return fd_ >= 0; }
    std::uint64_t Received() const { return received_; }

    // Waits up to `ms` for input or (when `wantWrite`) for room to send; drains input. False when the
    // client is gone.
    bool Wait(int ms, bool wantWrite, bool& writable) {
        writable = false;
        pollfd p{fd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
        const int r = ::poll(&p, 1, ms);
        if (r < 0)
            return errno == EINTR;
        if (r == 0)
            return true;
        if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !Drain())
            return false;
        writable = (p.revents & POLLOUT) != 0;
        return true;
    }

    // Sends what the socket takes now; −1 when the client is gone.
    long Send(const std::uint8_t* data, std::size_t n) {
        const ssize_t r = ::send(fd_, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r >= 0)
            return static_cast<long>(r);
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }

    // Polite end: no more data from us, then wait (briefly) for the client to close, so that unread
    // keep-alives do not turn the close into a reset that could lose data still under way.
    void Finish() {
        if (fd_ < 0)
            return;
        ::shutdown(fd_, SHUT_WR);
        const auto until = Clock::now() + std::chrono::seconds(2);
        bool writable = false;
        while (Clock::now() < until && Wait(MillisUntil(until), false, writable)) {
        }
        Close();
    }

    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    void Reset(int fd) {
        Close();
        fd_ = fd;
        received_ = 0;
    }

  private:
    bool Drain() {
        std::uint8_t scratch[4096];
        for (int i = 0; i < 64; ++i) {
            const ssize_t r = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
            if (r > 0) {
                received_ += static_cast<std::uint64_t>(r);
                continue;
            }
            if (r == 0)
                return false;
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        return true;
    }

    int fd_;
    std::uint64_t received_ = 0;
};

}  // namespace

StreamServer::~StreamServer() {
    if (listener_ >= 0)
        ::close(listener_);
}

bool StreamServer::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 1) != 0) {
        error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(listener_);
        listener_ = -1;
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    return true;
}

ServeResult StreamServer::Serve(ItemSource& source, const ServeSettings& settings, std::ostream* log) {
    ServeResult result;
    const auto started = Clock::now();
    const auto runEnd = settings.maxRuntime > 0
                            ? started + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(settings.maxRuntime))
                            : Clock::time_point::max();
    const auto stall =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(settings.stallTimeout));
    Client client(-1);
    std::uint64_t receivedBefore = 0;
    Clock::time_point wallRef;
    std::int64_t streamRef = 0;
    StreamItem item;
    bool have = source.Next(item);
    while (have) {
        if (Clock::now() >= runEnd)
            break;
        if (!client.Open()) {
            pollfd p{listener_, POLLIN, 0};
            const int waitMs = static_cast<int>(std::min(settings.waitClient * 1000.0, 2e9));
            if (::poll(&p, 1, waitMs) <= 0) {
                result.error = "no client came";
                break;
            }
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            client.Reset(fd);
            ++result.clients;
            if (log)
                *log << "sonarsim: client " << result.clients << " connected\n" << std::flush;
            wallRef = Clock::now();
            streamRef = item.sendMicros;
        }
        // Pace: wait for the item's send time, reading the client meanwhile.
        bool writable = false;
        bool gone = false;
        if (settings.speed > 0) {
            const auto due =
                wallRef + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                              static_cast<double>(item.sendMicros - streamRef) * 1e-6 / settings.speed));
            while (!gone && Clock::now() < due && Clock::now() < runEnd) {
                gone = !client.Wait(MillisUntil(due), false, writable);
            }
        }
        // Send the whole item.
        std::size_t sent = 0;
        auto lastProgress = Clock::now();
        while (!gone && sent < item.bytes.size()) {
            if (!client.Wait(100, true, writable)) {
                gone = true;
                break;
            }
            if (writable) {
                const long n = client.Send(item.bytes.data() + sent, item.bytes.size() - sent);
                if (n < 0) {
                    gone = true;
                    break;
                }
                if (n > 0)
                    lastProgress = Clock::now();
                sent += static_cast<std::size_t>(n);
                result.bytesSent += static_cast<std::uint64_t>(n);
            }
            if (Clock::now() - lastProgress > stall)
                gone = true;
        }
        if (gone) {
            receivedBefore += client.Received();
            client.Close();
            if (log)
                *log << "sonarsim: client " << result.clients << " gone, waiting for the next\n"
                     << std::flush;
            continue;  // the same item again, whole, to the next client
        }
        have = source.Next(item);
    }
    result.completed = !have;
    result.bytesReceived = receivedBefore + client.Received();
    client.Finish();
    return result;
}

}  // namespace sonarsim
