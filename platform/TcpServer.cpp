#include "platform/TcpServer.h"

#include <array>
#include <cerrno>
#include <utility>

namespace platform {

TcpServer::TcpServer(TcpServerOptions options) : options_(std::move(options)), firstPort_(options_.port) {}

TcpServer::~TcpServer() {
    Stop();
}

bool TcpServer::Start() {
    std::lock_guard control(controlMutex_);
    if (acceptThread_.joinable())
        return Listening();

    ListeningSocket listener = ListeningSocket::Listen(options_.bindAddress, firstPort_, options_.backlog);
    const bool listening = listener.Valid();
    if (listening) {
        // A server asked for any free port keeps the one it got, so that its clients find it again
        // after a restart.
        if (firstPort_ == 0)
            firstPort_ = listener.Port();
    } else if (options_.onFault) {
        const TcpServerFault fault =
            listener.Status() == ListenStatus::CreateFailed ? TcpServerFault::CreateFailed
            : listener.Status() == ListenStatus::BindFailed ? TcpServerFault::BindFailed
                                                            : TcpServerFault::ListenFailed;
        options_.onFault(fault, listener.Error());
    }
    {
        std::lock_guard lock(listenMutex_);
        port_ = listening ? listener.Port() : 0;
        listener_ = std::move(listener);
    }
    stop_.Reset();
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return listening;
}

void TcpServer::Stop() {
    std::lock_guard control(controlMutex_);
    if (acceptThread_.joinable()) {
        stop_.Set();
        acceptThread_.join();
    }
    {
        std::lock_guard lock(listenMutex_);
        listener_.Close();
        port_ = 0;
    }
    std::lock_guard lock(clientMutex_);
    DropClientLocked();
}

bool TcpServer::Restart() {
    Stop();
    return Start();
}

bool TcpServer::Listening() const {
    std::lock_guard lock(listenMutex_);
    return listener_.Valid();
}

std::uint16_t TcpServer::Port() const {
    std::lock_guard lock(listenMutex_);
    return port_;
}

bool TcpServer::ClientConnected() const {
    return connected_.load();
}

void TcpServer::AcceptLoop() {
    while (!stop_.Wait(options_.acceptInterval)) AcceptOnce();
}

void TcpServer::AcceptOnce() {
    Socket client;
    {
        std::lock_guard lock(listenMutex_);
        client = listener_.Accept();
    }
    if (!client.Valid())
        return;
    if (!client.SetNonBlocking(true))
        return;  // a blocking client would stall every send; refuse it
    const bool sized = client.SetReceiveBufferSize(options_.clientBufferBytes) &&
                       client.SetSendBufferSize(options_.clientBufferBytes);
    const int error = sized ? 0 : errno;
    {
        std::lock_guard lock(clientMutex_);
        DropClientLocked();
        client_ = std::move(client);
        connected_.store(true);
        accepted_.fetch_add(1);
    }
    if (!sized && options_.onFault)
        options_.onFault(TcpServerFault::ClientBufferFailed, error);
}

void TcpServer::DropClientLocked() {
    if (client_.Valid()) {
        client_.Shutdown(ShutdownHow::Both);
        client_.Close();
    }
    // The rest of a message belongs to the client it was begun for; a later client must never start
    // in the middle of one.
    pending_.clear();
    connected_.store(false);
}

SendResult TcpServer::FlushLocked() {
    while (!pending_.empty()) {
        const IoResult io = client_.Send(pending_.data(), pending_.size());
        if (io.status == IoStatus::WouldBlock)
            return SendResult::Busy;
        if (io.status != IoStatus::Ok)
            return SendResult::Failed;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(io.bytes));
    }
    return SendResult::Sent;
}

SendResult TcpServer::Send(std::span<const std::uint8_t> message) {
    std::lock_guard lock(clientMutex_);
    if (!client_.Valid())
        return SendResult::NoClient;
    const SendResult before = FlushLocked();
    if (before == SendResult::Failed) {
        DropClientLocked();
        return SendResult::Failed;
    }
    if (before == SendResult::Busy)
        return SendResult::Busy;

    std::size_t sent = 0;
    while (sent < message.size()) {
        const IoResult io = client_.Send(message.data() + sent, message.size() - sent);
        if (io.status == IoStatus::WouldBlock)
            break;
        if (io.status != IoStatus::Ok) {
            if (sent == 0) {
                DropClientLocked();
                return SendResult::Failed;
            }
            // Part of the message already went to this client; the error will show at the next send.
            break;
        }
        sent += io.bytes;
    }
    if (sent == message.size())
        return SendResult::Sent;
    if (sent == 0)
        return SendResult::Busy;
    pending_.assign(message.begin() + static_cast<std::ptrdiff_t>(sent), message.end());
    return SendResult::Pending;
}

SendResult TcpServer::Flush() {
    std::lock_guard lock(clientMutex_);
    if (!client_.Valid())
        return SendResult::NoClient;
    const SendResult result = FlushLocked();
    if (result == SendResult::Failed)
        DropClientLocked();
    return result;
}

std::size_t TcpServer::PendingBytes() const {
    std::lock_guard lock(clientMutex_);
    return pending_.size();
}

ProbeResult TcpServer::Probe() {
    std::lock_guard lock(clientMutex_);
    if (!client_.Valid())
        return ProbeResult::NoClient;
    std::array<std::uint8_t, 64> scratch{};
    const IoResult io = client_.Receive(scratch.data(), scratch.size());
    if (io.status == IoStatus::Ok || io.status == IoStatus::WouldBlock)
        return ProbeResult::Alive;
    DropClientLocked();
    return ProbeResult::Gone;
}

bool TcpServer::CloseClientGracefully(std::chrono::milliseconds timeout) {
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline = SteadyClock::now() + timeout;
    std::lock_guard lock(clientMutex_);
    if (!client_.Valid())
        return false;

    SendResult flushed = FlushLocked();
    while (flushed == SendResult::Busy) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left <= std::chrono::milliseconds::zero() || !client_.WaitWritable(left))
            break;
        flushed = FlushLocked();
    }
    const bool allSent = flushed == SendResult::Sent;
    bool closed = false;
    if (flushed != SendResult::Failed) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left < std::chrono::milliseconds::zero())
            left = std::chrono::milliseconds::zero();
        closed = client_.ShutdownGracefully(left);
    }
    DropClientLocked();
    return allSent && closed;
}

}  // namespace platform
