#include "marivane/acquisition/SonarLink.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace marivane {
namespace {

constexpr std::chrono::milliseconds kIdlePause{1};
// How often a connect that is waiting for an answer looks whether it has to stop.
constexpr std::chrono::milliseconds kStopCheck{10};
// StopAcquisition waits this long for a thread's finished event before joining it. The threads never
// block for longer than a short, bounded wait, so the join that follows returns at once.
constexpr std::chrono::seconds kFinishWait{5};

}  // namespace

SonarLink::SonarLink(PacketStream& stream, const platform::Clock& clock, SonarLinkHooks hooks)
    : stream_(stream),
      clock_(clock),
      hooks_(std::move(hooks)),
      buffer_(std::make_unique<std::uint8_t[]>(kReceiveBufferSize)) {}

SonarLink::~SonarLink() {
    std::lock_guard control(controlMutex_);
    EndThreads();
}

void SonarLink::SetEndpoints(platform::Endpoint main, platform::Endpoint spare) {
    std::lock_guard lock(endpointMutex_);
    main_ = std::move(main);
    spare_ = std::move(spare);
}

void SonarLink::StartAcquisition() {
    std::lock_guard control(controlMutex_);
    if (hooks_.clearAcquisitionState)
        hooks_.clearAcquisitionState(platform::SecondsOfDay(clock_.LocalNow()));
    if (hooks_.setSurveying)
        hooks_.setSurveying(true);
    BeginThread(receive_, [this] { ReceiveLoop(); });
    BeginThread(connect_, [this] { ConnectLoop(); });
}

void SonarLink::StopAcquisition() {
    std::lock_guard control(controlMutex_);
    if (hooks_.setSurveying)
        hooks_.setSurveying(false);
    EndThreads();
}

void SonarLink::EndThreads() {
    EndThread(connect_);
    EndThread(receive_);
    // The receive thread closes the socket as it ends; this covers a link whose threads were not
    // running.
    std::lock_guard socket(socketMutex_);
    connected_.store(false);
    CloseSocketLocked();
}

void SonarLink::BeginThread(ThreadControl& control, std::function<void()> body) {
    if (control.thread.joinable())
        return;
    control.stop.Reset();
    control.finished.Reset();
    control.run.Set();
    control.running.store(true);
    control.thread = std::thread(std::move(body));
}

void SonarLink::EndThread(ThreadControl& control) {
    if (!control.thread.joinable())
        return;
    control.run.Reset();
    control.stop.Set();
    control.finished.Wait(kFinishWait);
    control.thread.join();
    control.running.store(false);
}

bool SonarLink::SendKeepAlive() {
    static constexpr std::uint8_t kKeepAlive[2] = {0, 0};
    std::lock_guard message(messageMutex_);
    if (!connected_.load())
        return false;
    platform::IoResult sent;
    {
        std::lock_guard socket(socketMutex_);
        sent = socket_.Send(kKeepAlive, sizeof kKeepAlive);
    }
    if (sent.Ok() && sent.bytes == sizeof kKeepAlive)
        return true;
    connected_.store(false);
    connect_.run.Set();
    return false;
}

void SonarLink::CloseSocketLocked() {
    if (!socket_.Valid())
        return;
    socket_.Shutdown(platform::ShutdownHow::Both);
    socket_.Close();
}

void SonarLink::ConnectLoop() {
    nextIsSpare_ = false;
    for (;;) {
        const auto which = platform::Event::WaitAny({&connect_.stop, &connect_.run});
        if (which != std::size_t{1})
            break;  // stop
        if (ConnectOnce()) {
            connect_.run.Reset();
            connected_.store(true);
            if (hooks_.stampAll)
                hooks_.stampAll(platform::SecondsOfDay(clock_.LocalNow()));
        }
        if (connect_.stop.Wait(kAttemptInterval))
            break;
    }
    connect_.finished.Set();
}

bool SonarLink::ConnectOnce() {
    platform::Endpoint target;
    {
        std::lock_guard lock(endpointMutex_);
        target = nextIsSpare_ ? spare_ : main_;
    }
    nextIsSpare_ = !nextIsSpare_;
    attempts_.fetch_add(1);

    std::lock_guard socket(socketMutex_);
    CloseSocketLocked();
    socket_ = platform::Socket::CreateTcp();
    if (!socket_.Valid())
        return false;

    platform::ConnectWait wait;
    wait.waits = kConnectWaits;
    wait.waitLength = kConnectWait;
    wait.pollSlice = kStopCheck;
    wait.stopRequested = [this] { return connect_.stop.IsSet(); };
    const bool connected =
        socket_.ConnectNonBlocking(target, wait).status == platform::ConnectStatus::Connected &&
        socket_.SetReceiveBufferSize(kSocketReceiveBuffer) && socket_.SetSendBufferSize(kSocketSendBuffer);
    if (!connected)
        CloseSocketLocked();
    return connected;
}

void SonarLink::ReceiveLoop() {
    std::memset(buffer_.get(), 0, kReceiveBufferSize);
    fill_ = 0;
    continuing_ = false;
    for (;;) {
        const auto which = platform::Event::WaitAny({&receive_.stop, &receive_.run});
        if (which != std::size_t{1})
            break;  // stop
        ReceiveWhileRunning();
    }
    connected_.store(false);
    {
        std::lock_guard socket(socketMutex_);
        CloseSocketLocked();
    }
    receive_.finished.Set();
}

void SonarLink::ReceiveWhileRunning() {
    while (receive_.run.IsSet()) {
        if (fill_ > kOverflowFill) {
            fill_ = 0;
            continuing_ = false;
        }
        if (connected_.load()) {
            platform::IoResult got;
            {
                std::lock_guard socket(socketMutex_);
                got = socket_.Receive(buffer_.get() + fill_,
                                      std::min(kReceiveChunk, kReceiveBufferSize - fill_));
            }
            if (got.status == platform::IoStatus::Ok) {
                fill_ += got.bytes;
                const FrameResult framed = stream_.Frame(buffer_.get(), fill_, continuing_);
                fill_ = std::min(framed.fill, fill_);
                continuing_ = true;
                continue;
            }
            if (got.status != platform::IoStatus::Closed) {
                // Nothing waiting yet, or an error that the next keep-alive will confirm: keep the data.
                std::this_thread::sleep_for(kIdlePause);
                continue;
            }
        }
        // The peer closed, or there is no connection: what is buffered can never be completed.
        fill_ = 0;
        continuing_ = false;
        std::this_thread::sleep_for(kIdlePause);
    }
}

}  // namespace marivane
