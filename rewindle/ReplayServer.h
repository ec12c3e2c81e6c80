#pragma once
// The replay tool's TCP server: the suite's single-client server listening at the configured port on
// every local address. A socket that cannot be created shows "Creat Error"; a port that cannot be
// bound or listened on stays silent (the server then accepts nobody until it is restarted). A client
// whose buffers could not be sized is reported on the accept thread and shown later, by
// ShowDeferredFault on the thread that runs the dialog.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/TcpServer.h"
#include "rewindle/ReplayLink.h"

namespace rewindle {

struct ReplayServerOptions {
    std::uint16_t port = 16129;           // 0 picks a free port (see Port())
    std::string bindAddress = "0.0.0.0";  // every local address
};

class ReplayServer final : public ReplayLink {
  public:
    explicit ReplayServer(ReplayServerOptions options);
    ~ReplayServer() override;
    ReplayServer(const ReplayServer&) = delete;
    ReplayServer& operator=(const ReplayServer&) = delete;

    bool Start();
    void Stop();
    void Restart() override;
    // Shows the message of a client whose buffers could not be sized, once per such client.
    void ShowDeferredFault();

    bool Listening() const { return server_.Listening(); }
    std::uint16_t Port() const { return server_.Port(); }
    std::uint64_t Restarts() const { return restarts_.load(); }

    bool ClientConnected() const override { return server_.ClientConnected(); }
    std::uint64_t ClientsAccepted() const override { return server_.ClientsAccepted(); }
    platform::SendResult Send(std::span<const std::uint8_t> message) override {
        return server_.Send(message);
    }
    platform::SendResult Flush() override { return server_.Flush(); }
    std::size_t PendingBytes() const override { return server_.PendingBytes(); }
    platform::ProbeResult Probe() override { return server_.Probe(); }
    bool CloseClientGracefully(std::chrono::milliseconds timeout) override {
        return server_.CloseClientGracefully(timeout);
    }

  private:
    void OnFault(platform::TcpServerFault fault);

    std::atomic<bool> clientBufferFault_{false};
    std::atomic<std::uint64_t> restarts_{0};
    platform::TcpServer server_;
};

}  // namespace rewindle
