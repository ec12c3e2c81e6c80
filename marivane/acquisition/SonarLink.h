#pragma once
// The TCP link to the sonar. The program is the client: a connect thread connects, alternately to the
// main and the spare endpoint, until one answers; a receive thread reads the stream into a 16 MiB
// buffer and hands it to the packet framer. The user-interface thread sends a keep-alive every
// 500 ms, and a failing keep-alive is how a lost sonar is noticed: the link then reconnects.
//
// Locks: the socket lock is taken around every connect, receive and close; the keep-alive takes the
// message lock first and then the socket lock. The receive thread frames and decodes without holding
// either.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "marivane/acquisition/PacketStream.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Socket.h"

namespace marivane {

// What the link asks of the rest of the acquisition side. Every member may be empty.
struct SonarLinkHooks {
    // StartAcquisition: empty the acquisition state and stamp the start time (local seconds of day).
    std::function<void(std::uint32_t startSecondsOfDay)> clearAcquisitionState;
    // The survey state: true "surveying" (StartAcquisition), false "idle" (StopAcquisition).
    std::function<void(bool surveying)> setSurveying;
    // On every successful connection, from the connect thread: set all freshness stamps to `now`
    // (local seconds of day) and the GNSS quality to -1.
    std::function<void(std::uint32_t now)> stampAll;
};

class SonarLink {
public:
    static constexpr std::size_t kReceiveBufferSize = 16 * 1024 * 1024;  // 16,777,216
    static constexpr std::size_t kOverflowFill = 0xFF0000;               // above this, discard all
    static constexpr std::size_t kReceiveChunk = 65536;
    static constexpr int kSocketReceiveBuffer = 16 * 1024 * 1024;
    static constexpr int kSocketSendBuffer = 64 * 1024;
    static constexpr std::chrono::milliseconds kAttemptInterval{50};
    static constexpr std::chrono::milliseconds kConnectWait{500};
    static constexpr int kConnectWaits = 3;

    // `stream` is called on the receive thread only; `clock` gives the stamps of a new connection.
    SonarLink(PacketStream& stream, const platform::Clock& clock, SonarLinkHooks hooks = {});
    // Ends both threads and closes the socket.
    ~SonarLink();
    SonarLink(const SonarLink&) = delete;
    SonarLink& operator=(const SonarLink&) = delete;

    // The endpoints of the next connect attempts (the first attempt after a start goes to `main`).
    void SetEndpoints(platform::Endpoint main, platform::Endpoint spare);

    // Clears the acquisition state, sets "surveying", and starts the receive and the connect thread
    // where they are not running.
    void StartAcquisition();
    // Sets "idle" and ends both threads (connect thread first), closing the socket. Returns promptly
    // whatever the link is doing: every wait of the threads is short or ends on the stop request.
    void StopAcquisition();

    // Sends the two-byte keep-alive when connected. A send that does not take exactly 2 bytes clears
    // the connected flag and sets the connect thread going again. False when not connected or failed.
    bool SendKeepAlive();

    bool Connected() const { return connected_.load(); }
    bool Running() const { return connect_.running.load() || receive_.running.load(); }
    // Connect attempts since construction, successful or not.
    std::uint64_t ConnectAttempts() const { return attempts_.load(); }

private:
    // A worker thread with its events: run (manual reset) keeps it working, stop (auto reset) ends
    // it, finished (auto reset) says it has ended.
    struct ThreadControl {
        platform::EventGroup group;
        platform::Event run{group, platform::EventReset::Manual};
        platform::Event stop{group, platform::EventReset::Auto};
        platform::Event finished{group, platform::EventReset::Auto};
        std::atomic<bool> running{false};
        std::thread thread;  // under controlMutex_
    };

    void ConnectLoop();
    bool ConnectOnce();  // one attempt under the socket lock; true when connected
    void ReceiveLoop();
    void ReceiveWhileRunning();
    void CloseSocketLocked();  // caller holds socketMutex_
    void EndThreads();         // caller holds controlMutex_
    static void BeginThread(ThreadControl& control, std::function<void()> body);
    static void EndThread(ThreadControl& control);

    PacketStream& stream_;
    const platform::Clock& clock_;
    SonarLinkHooks hooks_;

    std::mutex controlMutex_;  // StartAcquisition, StopAcquisition and the destructor, one at a time
    std::mutex endpointMutex_;
    platform::Endpoint main_;   // under endpointMutex_
    platform::Endpoint spare_;  // under endpointMutex_
    bool nextIsSpare_ = false;  // connect thread only

    std::mutex messageMutex_;  // the keep-alive message lock, always taken before socketMutex_
    std::mutex socketMutex_;
    platform::Socket socket_;  // under socketMutex_
    std::atomic<bool> connected_{false};
    std::atomic<std::uint64_t> attempts_{0};

    // The receive buffer and its fill belong to the receive thread.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t fill_ = 0;
    bool continuing_ = false;

    ThreadControl connect_;
    ThreadControl receive_;
};

}  // namespace marivane
