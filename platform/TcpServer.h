#pragma once
// A TCP server for exactly one client at a time. It listens at a port, and an accept thread looks for
// a new client every 50 ms; a new client replaces the one before it, which is shut down and closed.
// The client socket is non-blocking with 64 KiB receive and send buffers, and every use of it happens
// under one lock.
//
// Messages are never split or lost because the client is slow: a message that the socket takes only
// in part keeps its unsent bytes in the server, and those go out first in the next Send or Flush; a
// new message is taken only once nothing older waits. Only a real socket error counts as failure,
// and the owner then decides to Restart.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/Socket.h"

namespace platform {

enum class TcpServerFault {
    CreateFailed,        // no listening socket could be created
    BindFailed,          // the address or port could not be bound
    ListenFailed,        // the bound socket refused to listen
    ClientBufferFailed,  // a new client's buffer sizes could not be set (the client is kept)
};

struct TcpServerOptions {
    std::uint16_t port = 0;               // 0 picks a free port (see Port())
    std::string bindAddress = "0.0.0.0";  // every local address
    int backlog = 10;
    int clientBufferBytes = 64 * 1024;
    std::chrono::milliseconds acceptInterval{50};
    // Told about listening failures (on the thread that calls Start or Restart) and about a client
    // whose buffers could not be sized (on the accept thread, so it must not block for long or touch a
    // user interface directly). Empty: failures stay silent.
    std::function<void(TcpServerFault fault, int error)> onFault;
};

enum class SendResult {
    Sent,      // the message and everything before it went out
    Pending,   // the message was taken, but part of it waits in the server and goes out first next time
    Busy,      // older bytes still wait, or the socket took nothing: the message was NOT taken
    NoClient,  // no client: the message was not taken
    Failed,    // a real socket error: the message was not taken; the client is lost (Restart)
};

enum class ProbeResult {
    NoClient,
    Alive,  // nothing to read, or some bytes that were discarded
    Gone,   // the client closed, or the socket reported an error (Restart)
};

class TcpServer {
public:
    explicit TcpServer(TcpServerOptions options);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens and starts the accept thread. A listening failure is reported through onFault and the
    // accept thread runs all the same (without a listening socket it accepts nobody). False when
    // nothing listens.
    bool Start();
    // Ends the accept thread and closes every socket.
    void Stop();
    // Stop, then Start on the same port (the port chosen the first time when 0 was asked).
    bool Restart();

    bool Listening() const;
    std::uint16_t Port() const;  // the port listened on, 0 when nothing listens
    bool ClientConnected() const;
    // How many accepted clients replaced an earlier one or a vacant place, since construction.
    std::uint64_t ClientsAccepted() const { return accepted_.load(); }

    // Sends one whole message to the client; see SendResult.
    SendResult Send(std::span<const std::uint8_t> message);
    // Sends what waits from an earlier partial send: Sent when nothing waits any more, Busy when some
    // still waits, NoClient or Failed as for Send.
    SendResult Flush();
    // A Failed send or flush closes the client, as a Gone probe does; the owner restarts if it wants
    // a fresh listening socket as well.
    std::size_t PendingBytes() const;

    // Receives and discards up to 64 bytes from the client. A client that is gone is closed.
    ProbeResult Probe();

    // Ends the client connection in order: sends what waits (as far as the client takes it within
    // `timeout`), shuts down the sending side, reads and discards until the client closes or the
    // time-out passes, then closes. True when everything went out and the client closed in time.
    // The client lock is held meanwhile, so a client that connects during it waits to be taken.
    bool CloseClientGracefully(std::chrono::milliseconds timeout);

private:
    void AcceptLoop();
    void AcceptOnce();
    SendResult FlushLocked();  // caller holds clientMutex_
    void DropClientLocked();   // caller holds clientMutex_

    TcpServerOptions options_;
    std::mutex controlMutex_;  // Start, Stop and Restart, one at a time
    mutable std::mutex listenMutex_;
    ListeningSocket listener_;     // under listenMutex_
    std::uint16_t port_ = 0;       // under listenMutex_
    std::uint16_t firstPort_ = 0;  // under controlMutex_

    mutable std::mutex clientMutex_;
    Socket client_;                      // under clientMutex_
    std::vector<std::uint8_t> pending_;  // unsent bytes of the last message, under clientMutex_
    std::atomic<bool> connected_{false};
    std::atomic<std::uint64_t> accepted_{0};

    Event stop_{EventReset::Manual};  // ends the accept thread
    std::thread acceptThread_;        // under controlMutex_
};

}  // namespace platform
