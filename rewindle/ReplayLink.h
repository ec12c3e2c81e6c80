#pragma once
// What the replay needs of its TCP server: the one client, whole-message sends whose unsent rest the
// server keeps for that client, the probe that reads and discards the client's keep-alives, and a
// restart after a real socket error. ReplayServer is the real one; tests put scripted ones in its place.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/TcpServer.h"

namespace rewindle {

class ReplayLink {
  public:
    virtual ~ReplayLink() = default;

    virtual bool ClientConnected() const = 0;
    // Counts every client taken in; a change means the client (and the bytes it was owed) changed.
    virtual std::uint64_t ClientsAccepted() const = 0;
    virtual platform::SendResult Send(std::span<const std::uint8_t> message) = 0;
    virtual platform::SendResult Flush() = 0;
    // Bytes of the last message that the server still holds for the current client.
    virtual std::size_t PendingBytes() const = 0;
    virtual platform::ProbeResult Probe() = 0;
    // Closes every socket and listens again.
    virtual void Restart() = 0;
    // Sends what waits, ends the connection in order and waits for the client to close its side.
    virtual bool CloseClientGracefully(std::chrono::milliseconds timeout) = 0;
};

}  // namespace rewindle
