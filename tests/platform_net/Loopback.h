#pragma once
// Helpers for network tests on the loopback address only: ports that refuse, ports that never answer,
// connecting, accepting and reading with time limits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/Socket.h"

namespace loopback {

using namespace std::chrono_literals;

inline constexpr const char* kAddress = "127.0.0.1";

inline platform::Endpoint At(std::uint16_t port) {
    return {kAddress, port};
}

// Polls `done` every millisecond until it holds or `timeout` passes; the last answer.
template <typename Pred>
bool WaitUntil(Pred done, std::chrono::milliseconds timeout = 3s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A port bound on the loopback address that does not listen: connecting to it is refused at once, and
// nobody else can take the port while this lives.
class RefusingPort {
public:
    RefusingPort() : socket_(platform::Socket::CreateTcp()) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = 0;
        ::inet_pton(AF_INET, kAddress, &address.sin_addr);
        if (::bind(socket_.Handle(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            port_ = socket_.LocalPort().value_or(0);
        }
    }
    std::uint16_t Port() const { return port_; }

private:
    platform::Socket socket_;
    std::uint16_t port_ = 0;
};

// A listening port whose accept queue is full: the system drops further connection requests, so a
// connect to it stays in progress without an answer.
class SilentPort {
public:
    SilentPort() : listener_(platform::ListeningSocket::Listen(kAddress, 0, 0)) {
        if (!listener_.Valid())
            return;
        for (int i = 0; i < 8 && !silent_; ++i) {
            platform::Socket s = platform::Socket::CreateTcp();
            platform::ConnectWait wait;
            wait.waits = 1;
            wait.waitLength = 150ms;
            silent_ =
                s.ConnectNonBlocking(At(listener_.Port()), wait).status == platform::ConnectStatus::TimedOut;
            fillers_.push_back(std::move(s));
        }
    }
    // False when the system answered every request (then the port is of no use to a test).
    bool Silent() const { return silent_; }
    std::uint16_t Port() const { return listener_.Port(); }

private:
    platform::ListeningSocket listener_;
    std::vector<platform::Socket> fillers_;
    bool silent_ = false;
};

// A connected client socket (non-blocking), or an invalid one.
inline platform::Socket Connect(std::uint16_t port) {
    platform::Socket s = platform::Socket::CreateTcp();
    if (s.ConnectNonBlocking(At(port)).status != platform::ConnectStatus::Connected)
        s.Close();
    return s;
}

inline platform::Socket AcceptWithin(platform::ListeningSocket& listener,
                                     std::chrono::milliseconds timeout = 3s) {
    platform::Socket accepted;
    WaitUntil(
        [&] {
            accepted = listener.Accept();
            return accepted.Valid();
        },
        timeout);
    if (accepted.Valid())
        accepted.SetNonBlocking(true);
    return accepted;
}

// Reads until `count` bytes have come, the peer closed, or `timeout` passed.
inline std::vector<std::uint8_t> ReadBytes(platform::Socket& s, std::size_t count,
                                           std::chrono::milliseconds timeout = 5s) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> chunk(64 * 1024);
    while (out.size() < count && std::chrono::steady_clock::now() < end) {
        if (!s.WaitReadable(10ms))
            continue;
        const platform::IoResult r = s.Receive(chunk.data(), std::min(chunk.size(), count - out.size()));
        if (r.status == platform::IoStatus::Ok) {
            out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(r.bytes));
        } else if (r.status != platform::IoStatus::WouldBlock) {
            break;
        }
    }
    return out;
}

// Whether the peer has closed (end of stream or reset) within `timeout`; bytes still arriving are
// read and dropped.
inline bool PeerClosedWithin(platform::Socket& s, std::chrono::milliseconds timeout = 3s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> chunk(64 * 1024);
    while (std::chrono::steady_clock::now() < end) {
        if (!s.WaitReadable(10ms))
            continue;
        const platform::IoResult r = s.Receive(chunk.data(), chunk.size());
        if (r.status == platform::IoStatus::Closed || r.status == platform::IoStatus::Error)
            return true;
    }
    return false;
}

}  // namespace loopback
