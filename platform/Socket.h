#pragma once
// TCP sockets over IPv4: an owning client socket and a listening socket. Every socket is created
// close-on-exec; every send passes MSG_NOSIGNAL, so a peer that went away gives an error result and
// never a SIGPIPE. Results report what happened instead of throwing.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// A dotted IPv4 address and a port.
struct Endpoint {
    std::string address;
    std::uint16_t port = 0;
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

enum class IoStatus {
    Ok,          // `bytes` were moved (at least one, unless nothing was asked for)
    WouldBlock,  // non-blocking socket: nothing could be moved now
    Closed,      // receive only: the peer closed its side (orderly end of stream)
    Error,       // a real socket error (`error` holds the errno value)
};

struct IoResult {
    IoStatus status = IoStatus::Error;
    std::size_t bytes = 0;
    int error = 0;
    bool Ok() const { return status == IoStatus::Ok; }
};

enum class ConnectStatus {
    Connected,
    Failed,     // refused, unreachable, bad address, or the socket reported an error
    TimedOut,   // no answer within the allowed waits
    Cancelled,  // the stop request ended the wait
};

struct ConnectResult {
    ConnectStatus status = ConnectStatus::Failed;
    int error = 0;  // errno value or pending socket error when it failed
};

// How a non-blocking connect waits for the socket to become writable: `waits` waits of `waitLength`
// each; `stopRequested` (optional) is asked at least every `pollSlice`, and a true answer ends the
// attempt at once.
struct ConnectWait {
    int waits = 3;
    std::chrono::milliseconds waitLength{500};
    std::chrono::milliseconds pollSlice{10};
    std::function<bool()> stopRequested;
};

enum class ShutdownHow { Receive, Send, Both };

class Socket {
public:
    Socket() noexcept = default;
    // Takes ownership of an open descriptor.
    explicit Socket(int fd) noexcept : fd_(fd) {}
    ~Socket();

    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A new TCP socket (blocking); invalid when the system refuses one (errno tells why).
    static Socket CreateTcp();

    bool Valid() const noexcept { return fd_ >= 0; }
    int Handle() const noexcept { return fd_; }

    bool SetNonBlocking(bool on);
    bool SetReceiveBufferSize(int bytes);
    bool SetSendBufferSize(int bytes);
    bool SetReuseAddress(bool on);
    // The sizes the system actually uses (it may round or cap what was asked); -1 on failure.
    int ReceiveBufferSize() const;
    int SendBufferSize() const;
    // SO_ERROR: the pending error of the socket, clearing it; -1 when it cannot be read.
    int TakePendingError() const;
    // The local port the socket is bound to, if any.
    std::optional<std::uint16_t> LocalPort() const;

    // Switches the socket to non-blocking mode and connects. An attempt that is still in progress is
    // waited for as `wait` says. A socket that turns writable counts as connected unless it is also
    // readable, hung up or in error; then it counts as connected only when its pending error is 0.
    ConnectResult ConnectNonBlocking(const Endpoint& to, const ConnectWait& wait = {});

    IoResult Send(const void* data, std::size_t size);
    IoResult Receive(void* data, std::size_t size);

    // Waits until the socket can be read or written; false on time-out or error.
    bool WaitReadable(std::chrono::milliseconds timeout) const;
    bool WaitWritable(std::chrono::milliseconds timeout) const;

    bool Shutdown(ShutdownHow how);
    // Ends the connection in order: shuts down the sending side, then reads and discards until the
    // peer closes its side or `timeout` has passed, then closes. True when the peer closed in time.
    bool ShutdownGracefully(std::chrono::milliseconds timeout);
    void Close() noexcept;

private:
    int fd_ = -1;
};

enum class ListenStatus { Listening, CreateFailed, BindFailed, ListenFailed };

class ListeningSocket {
public:
    ListeningSocket() = default;

    // A non-blocking socket listening at `address` (dotted IPv4; "0.0.0.0" for every local address)
    // and `port` (0 picks a free one; see Port()). The address may be reused at once after an earlier
    // server on the same port closed, so that a restarted server listens again.
    static ListeningSocket Listen(const std::string& address, std::uint16_t port, int backlog);

    ListenStatus Status() const { return status_; }
    int Error() const { return error_; }
    bool Valid() const { return socket_.Valid(); }
    std::uint16_t Port() const { return port_; }

    // A waiting client, or an invalid socket when none waits (never blocks).
    Socket Accept();
    void Close() noexcept { socket_.Close(); }

private:
    Socket socket_;
    ListenStatus status_ = ListenStatus::CreateFailed;
    int error_ = 0;
    std::uint16_t port_ = 0;
};

}  // namespace platform
