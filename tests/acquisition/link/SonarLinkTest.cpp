#include "marivane/acquisition/SonarLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "Loopback.h"
#include "platform/TcpServer.h"

namespace {

using namespace std::chrono_literals;
using loopback::At;
using loopback::WaitUntil;
using marivane::FrameResult;
using marivane::SonarLink;
using platform::SendResult;
using platform::TcpServer;

// The framer's place: records every call. Consuming, it takes all bytes each time; keeping, it leaves
// them all in the buffer, as a framer does while it waits for the rest of a long packet.
class RecordingStream final : public marivane::PacketStream {
public:
    struct Call {
        std::size_t fill;
        bool continuing;
        std::vector<std::uint8_t> head;  // the first bytes of the buffer
    };
    explicit RecordingStream(bool consume) : consume_(consume) {}

    FrameResult Frame(std::uint8_t* buffer, std::size_t fill, bool continuing) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(
            {fill, continuing, std::vector<std::uint8_t>(buffer, buffer + std::min<std::size_t>(fill, 16))});
        if (!consume_)
            return {0, fill};
        bytes_.insert(bytes_.end(), buffer, buffer + fill);
        return {marivane::kFramePacketRemoved, 0};
    }
    std::vector<Call> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<std::uint8_t> Bytes() const {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::size_t ByteCount() const {
        std::lock_guard lock(mutex_);
        return bytes_.size();
    }

private:
    const bool consume_;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<std::uint8_t> bytes_;
};

// What the link told the rest of the acquisition side.
struct HookLog {
    std::atomic<int> clears{0};
    std::atomic<std::uint32_t> clearTime{0};
    std::atomic<int> surveying{-1};  // -1 never told, 0 idle, 1 surveying
    std::atomic<int> stamps{0};
    std::atomic<std::uint32_t> stampTime{0};

    marivane::SonarLinkHooks Hooks() {
        marivane::SonarLinkHooks h;
        h.clearAcquisitionState = [this](std::uint32_t now) {
            clearTime = now;
            ++clears;
        };
        h.setSurveying = [this](bool on) { surveying = on ? 1 : 0; };
        h.stampAll = [this](std::uint32_t now) {
            stampTime = now;
            ++stamps;
        };
        return h;
    }
};

// The sonar's side: a server on the loopback address.
platform::TcpServerOptions PeerOptions() {
    platform::TcpServerOptions o;
    o.bindAddress = loopback::kAddress;
    return o;
}

bool SendWhole(TcpServer& peer, std::span<const std::uint8_t> data, std::chrono::milliseconds timeout = 5s) {
    constexpr std::size_t kChunk = 60'000;
    std::size_t at = 0;
    return WaitUntil(
        [&] {
            const std::size_t n = std::min(kChunk, data.size() - at);
            const SendResult r = peer.Send(data.subspan(at, n));
            if (r == SendResult::Sent || r == SendResult::Pending)
                at += n;
            return at == data.size() && peer.Flush() == SendResult::Sent;
        },
        timeout);
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> v(size);
    for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 9));
    return v;
}

std::chrono::milliseconds TimeOf(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

class SonarLinkTest : public ::testing::Test {
protected:
    platform::FixedClock clock_{platform::LocalDateTime{2024, 5, 6, 10, 20, 30, 0}};
    static constexpr std::uint32_t kNow = 10 * 3600 + 20 * 60 + 30;
    HookLog log_;
};

TEST_F(SonarLinkTest, ConnectsThroughTheSpareWhenTheMainRefusesAndHandsOverTheExactBytes) {
    loopback::RefusingPort main;
    TcpServer spare(PeerOptions());
    ASSERT_TRUE(spare.Start());
    RecordingStream stream(true);
    SonarLink link(stream, clock_, log_.Hooks());
    link.SetEndpoints(At(main.Port()), At(spare.Port()));

    link.StartAcquisition();
    EXPECT_EQ(log_.clears.load(), 1);
    EXPECT_EQ(log_.clearTime.load(), kNow);
    EXPECT_EQ(log_.surveying.load(), 1);
    EXPECT_TRUE(link.Running());
    ASSERT_TRUE(WaitUntil([&] { return link.Connected(); }));
    EXPECT_EQ(link.ConnectAttempts(), 2u) << "main first, then the spare";
    ASSERT_TRUE(WaitUntil([&] { return spare.ClientConnected(); }));
    EXPECT_EQ(log_.stamps.load(), 1);
    EXPECT_EQ(log_.stampTime.load(), kNow);

    const std::vector<std::uint8_t> data = Pattern(700'000);
    ASSERT_TRUE(SendWhole(spare, data));
    ASSERT_TRUE(WaitUntil([&] { return stream.ByteCount() >= data.size(); }));
    EXPECT_EQ(stream.Bytes(), data);
    const auto calls = stream.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_FALSE(calls.front().continuing) << "the first call after a fresh start forgets old headers";
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_TRUE(calls[i].continuing) << i;

    // The keep-alive reaches the sonar as two zero bytes.
    EXPECT_TRUE(link.SendKeepAlive());
    EXPECT_EQ(link.ConnectAttempts(), 2u) << "a connected link stays quiet";

    link.StopAcquisition();
    EXPECT_EQ(log_.surveying.load(), 0);
    EXPECT_FALSE(link.Running());
    EXPECT_FALSE(link.Connected());
    EXPECT_FALSE(link.SendKeepAlive());
    EXPECT_TRUE(WaitUntil([&] { return spare.Probe() == platform::ProbeResult::Gone; }))
        << "stopping closes the connection";
}

TEST_F(SonarLinkTest, KeepAliveNoticesALostSonarAndTheLinkReconnectsWhenItReturns) {
    loopback::RefusingPort main;
    TcpServer spare(PeerOptions());
    ASSERT_TRUE(spare.Start());
    RecordingStream stream(false);  // keeps everything, so a discard shows
    SonarLink link(stream, clock_, log_.Hooks());
    link.SetEndpoints(At(main.Port()), At(spare.Port()));
    link.StartAcquisition();
    ASSERT_TRUE(WaitUntil([&] { return link.Connected() && spare.ClientConnected(); }));
    const std::vector<std::uint8_t> before = Pattern(1000);
    ASSERT_TRUE(SendWhole(spare, before));
    ASSERT_TRUE(WaitUntil([&] {
        const auto calls = stream.Calls();
        return !calls.empty() && calls.back().fill == before.size();
    }));
    EXPECT_TRUE(link.SendKeepAlive());

    // The sonar goes away. Keep-alives every 100 ms notice it within about a second.
    spare.Stop();
    const std::uint64_t attemptsBefore = link.ConnectAttempts();
    bool lost = false;
    const auto noticed = TimeOf([&] {
        for (int tick = 0; tick < 15 && !lost; ++tick) {
            lost = !link.SendKeepAlive();
            if (!lost)
                std::this_thread::sleep_for(100ms);
        }
    });
    ASSERT_TRUE(lost);
    EXPECT_LE(noticed, 1100ms);
    EXPECT_FALSE(link.Connected());
    EXPECT_TRUE(WaitUntil([&] { return link.ConnectAttempts() >= attemptsBefore + 3; }))
        << "the link keeps trying both endpoints";

    // It returns on the same port: the link connects again, stamps again, and starts a fresh buffer.
    ASSERT_TRUE(spare.Start());
    ASSERT_TRUE(WaitUntil([&] { return link.Connected() && spare.ClientConnected(); }));
    EXPECT_EQ(log_.stamps.load(), 2);
    const std::vector<std::uint8_t> after = {'a', 'g', 'a', 'i', 'n'};
    ASSERT_TRUE(SendWhole(spare, after));
    ASSERT_TRUE(WaitUntil([&] {
        const auto calls = stream.Calls();
        return !calls.empty() && calls.back().head == after;
    }));
    const auto last = stream.Calls().back();
    EXPECT_EQ(last.fill, after.size()) << "bytes of the lost connection were discarded";
    EXPECT_FALSE(last.continuing);
    link.StopAcquisition();
}

// Whatever the link is doing, stopping ends both threads at once.
TEST_F(SonarLinkTest, StopReturnsPromptlyWhateverTheLinkIsDoing) {
    loopback::SilentPort silent;
    ASSERT_TRUE(silent.Silent()) << "the system answered every connection request";
    loopback::RefusingPort refusing;

    enum class Situation { WaitingForAnAnswer, RefusedOverAndOver, SonarGone, DataFlowing };
    for (const Situation situation : {Situation::WaitingForAnAnswer, Situation::RefusedOverAndOver,
                                      Situation::SonarGone, Situation::DataFlowing}) {
        SCOPED_TRACE(static_cast<int>(situation));
        RecordingStream stream(true);
        SonarLink link(stream, clock_, log_.Hooks());
        TcpServer peer(PeerOptions());
        std::atomic<bool> feeding{false};
        std::thread feeder;

        switch (situation) {
            case Situation::WaitingForAnAnswer:
                link.SetEndpoints(At(silent.Port()), At(silent.Port()));
                link.StartAcquisition();
                std::this_thread::sleep_for(200ms);
                ASSERT_EQ(link.ConnectAttempts(), 1u) << "the first connect should still be waiting";
                break;
            case Situation::RefusedOverAndOver:
                link.SetEndpoints(At(refusing.Port()), At(refusing.Port()));
                link.StartAcquisition();
                ASSERT_TRUE(WaitUntil([&] { return link.ConnectAttempts() >= 3; }));
                break;
            case Situation::SonarGone:
            case Situation::DataFlowing:
                ASSERT_TRUE(peer.Start());
                link.SetEndpoints(At(peer.Port()), At(refusing.Port()));
                link.StartAcquisition();
                ASSERT_TRUE(WaitUntil([&] { return link.Connected() && peer.ClientConnected(); }));
                if (situation == Situation::SonarGone) {
                    peer.Stop();
                    std::this_thread::sleep_for(50ms);
                } else {
                    feeding = true;
                    feeder = std::thread([&] {
                        const std::vector<std::uint8_t> chunk = Pattern(32'000);
                        while (feeding) {
                            if (peer.Send(chunk) == SendResult::Busy)
                                std::this_thread::sleep_for(1ms);
                        }
                    });
                    ASSERT_TRUE(WaitUntil([&] { return stream.ByteCount() > 100'000; }));
                }
                break;
        }

        EXPECT_LT(TimeOf([&] { link.StopAcquisition(); }), 1000ms);
        EXPECT_FALSE(link.Running());
        EXPECT_FALSE(link.Connected());
        feeding = false;
        if (feeder.joinable())
            feeder.join();
    }
}

TEST_F(SonarLinkTest, AStartAfterAStopConnectsAgainAndStartingTwiceIsHarmless) {
    TcpServer peer(PeerOptions());
    ASSERT_TRUE(peer.Start());
    RecordingStream stream(true);
    SonarLink link(stream, clock_, log_.Hooks());
    link.SetEndpoints(At(peer.Port()), At(peer.Port()));
    for (int round = 1; round <= 2; ++round) {
        link.StartAcquisition();
        link.StartAcquisition();
        ASSERT_TRUE(WaitUntil([&] { return link.Connected(); })) << round;
        EXPECT_TRUE(WaitUntil([&] { return peer.ClientsAccepted() == static_cast<std::uint64_t>(round); }));
        link.StopAcquisition();
        EXPECT_FALSE(link.Running());
    }
    EXPECT_EQ(log_.clears.load(), 4) << "every start clears the acquisition state";
    EXPECT_EQ(log_.stamps.load(), 2) << "one connection per round";
}

// A packet that cannot complete fills the buffer; beyond 0xFF0000 bytes everything is discarded and
// the framer starts afresh.
TEST_F(SonarLinkTest, AnOverfullBufferIsDiscardedWhole) {
    TcpServer peer(PeerOptions());
    ASSERT_TRUE(peer.Start());
    RecordingStream stream(false);
    SonarLink link(stream, clock_, log_.Hooks());
    link.SetEndpoints(At(peer.Port()), At(peer.Port()));
    link.StartAcquisition();
    ASSERT_TRUE(WaitUntil([&] { return link.Connected() && peer.ClientConnected(); }));

    const std::size_t total = SonarLink::kOverflowFill + 5 * SonarLink::kReceiveChunk;
    ASSERT_TRUE(SendWhole(peer, Pattern(total), 10s));
    // With a framer that keeps everything, each call holds the earlier fill plus what just came.
    const auto received = [&] {
        std::size_t sum = 0, previous = 0;
        for (const auto& c : stream.Calls()) {
            sum += c.fill - (c.continuing ? previous : 0);
            previous = c.fill;
        }
        return sum;
    };
    ASSERT_TRUE(WaitUntil([&] { return received() == total; }, 5s));
    link.StopAcquisition();

    const auto calls = stream.Calls();
    std::size_t resets = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_LE(calls[i].fill, SonarLink::kReceiveBufferSize);
        if (i > 0 && !calls[i].continuing) {
            ++resets;
            EXPECT_GT(calls[i - 1].fill, SonarLink::kOverflowFill) << "only an overfull buffer is dropped";
            EXPECT_LE(calls[i].fill, SonarLink::kReceiveChunk);
        }
    }
    EXPECT_EQ(resets, 1u);
}

}  // namespace
