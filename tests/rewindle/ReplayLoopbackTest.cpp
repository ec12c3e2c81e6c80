// The replay through the real server to clients on the loopback interface: a slow reader, clients
// that leave and come back, a port that cannot be bound, and the orderly end of a replay.

#include <gtest/gtest.h>

#include <thread>

#include "Loopback.h"
#include "TestSupport.h"
#include "rewindle/ReplayServer.h"
#include "rewindle/ReplaySession.h"

namespace {

using namespace std::chrono_literals;
using platform::Socket;
using rewindle::ReplayServer;
using rewindle::ReplaySession;
using rewindle::ReplayState;
using rewindle::TickOutcome;
using rewindle_test::PatternBytes;
using rewindle_test::Slice;

class ReplayLoopbackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        ASSERT_NE(server_.Port(), 0);
    }
    void OpenFile(std::size_t size, int level) {
        file_ = PatternBytes(size, 3);
        ASSERT_TRUE(
            session_.OpenFile(rewindle_test::WriteFile(folder_.Path() / "survey.mbm", file_).string()));
        session_.SetLevel(level);
    }
    // A client the server has taken in (the accept thread looks every 50 ms).
    Socket Connect(int receiveBuffer = 0) {
        const std::uint64_t before = server_.ClientsAccepted();
        Socket s = Socket::CreateTcp();
        if (receiveBuffer > 0)
            s.SetReceiveBufferSize(receiveBuffer);
        EXPECT_EQ(s.ConnectNonBlocking(loopback::At(server_.Port())).status,
                  platform::ConnectStatus::Connected);
        EXPECT_TRUE(loopback::WaitUntil([&] { return server_.ClientsAccepted() > before; }));
        return s;
    }
    // Reads whatever has arrived, up to `limit` bytes.
    static std::size_t Drain(Socket& s, std::vector<std::uint8_t>& into, std::size_t limit = SIZE_MAX) {
        std::uint8_t buffer[4096];
        std::size_t got = 0;
        while (got < limit) {
            const platform::IoResult r = s.Receive(buffer, std::min(sizeof buffer, limit - got));
            if (r.status != platform::IoStatus::Ok)
                break;
            into.insert(into.end(), buffer, buffer + r.bytes);
            got += r.bytes;
        }
        return got;
    }

    rewindle_test::MessageLog messages_;
    rewindle_test::TempFolder folder_;
    ReplayServer server_{{0, loopback::kAddress}};
    ReplaySession session_{server_};
    std::vector<std::uint8_t> file_;
};

TEST_F(ReplayLoopbackTest, ASlowReaderGetsEveryByteWithoutARestart) {
    OpenFile(1'500'000, 0);
    Socket client = Connect(4096);
    session_.StartOrPause();
    std::vector<std::uint8_t> received;
    int waiting = 0;
    bool handedLessThanRead = false;
    for (int tick = 0; tick < 20000; ++tick) {
        const TickOutcome outcome = session_.SendTick();
        waiting += outcome == TickOutcome::Waiting ? 1 : 0;
        handedLessThanRead |= session_.HandedBytes() < session_.Position();
        if (outcome == TickOutcome::Completed)
            break;
        ASSERT_NE(outcome, TickOutcome::Lost);
        Drain(client, received, 6000);  // much less than a chunk per tick
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(loopback::WaitUntil([&] {
        Drain(client, received);
        return received.size() >= file_.size();
    }));
    EXPECT_EQ(received, file_);
    EXPECT_EQ(server_.Restarts(), 0u);
    EXPECT_GT(waiting, 0) << "the client never held the replay back; the test proves nothing";
    EXPECT_TRUE(handedLessThanRead) << "no chunk was ever taken in part";
    EXPECT_EQ(messages_.Take(), std::vector<std::string>{"File Send complete!"});
}

TEST_F(ReplayLoopbackTest, AClientThatLeavesAndComesBackMissesNothing) {
    OpenFile(300'000, 3);
    Socket first = Connect();
    session_.StartOrPause();
    std::vector<std::uint8_t> firstBytes;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(session_.SendTick(), TickOutcome::Sent);
    }
    // The client reads everything it was sent and closes; the next tick finds it gone before
    // handing it more.
    ASSERT_TRUE(loopback::WaitUntil([&] {
        Drain(first, firstBytes);
        return firstBytes.size() == session_.HandedBytes();
    }));
    first.Close();
    ASSERT_TRUE(loopback::WaitUntil([&] { return session_.SendTick() == TickOutcome::Lost; }));
    EXPECT_EQ(session_.HandedBytes(), 4u * 20480u);
    EXPECT_EQ(session_.State(), ReplayState::Sending);

    Socket second = Connect();
    std::vector<std::uint8_t> secondBytes;
    for (int tick = 0; tick < 100 && session_.SendTick() != TickOutcome::Completed; ++tick) {
        Drain(second, secondBytes);
    }
    ASSERT_TRUE(loopback::WaitUntil([&] {
        Drain(second, secondBytes);
        return firstBytes.size() + secondBytes.size() >= file_.size();
    }));
    EXPECT_EQ(firstBytes, Slice(file_, 0, 4 * 20480));
    EXPECT_EQ(secondBytes, Slice(file_, 4 * 20480));
}

TEST_F(ReplayLoopbackTest, AClientThatStopsReadingAndVanishesGetsTheUnsentRestOnReturn) {
    OpenFile(1'000'000, 0);
    Socket first = Connect(4096);
    session_.StartOrPause();
    std::vector<std::uint8_t> firstBytes;
    Drain(first, firstBytes);
    // It reads a little, then nothing, until the server holds bytes back; then it is gone, with
    // bytes unread in its buffer (its connection is reset).
    for (int tick = 0; tick < 2000; ++tick) {
        if (session_.SendTick() == TickOutcome::Waiting && session_.HandedBytes() < session_.Position())
            break;
        if (firstBytes.size() < 20000)
            Drain(first, firstBytes, 3000);
    }
    const std::uint64_t handed = session_.HandedBytes();
    ASSERT_LT(handed, session_.Position()) << "the server never held back a part of a chunk";
    first.Close();
    ASSERT_TRUE(loopback::WaitUntil([&] { return session_.SendTick() == TickOutcome::Lost; }));
    const std::uint64_t resumeAt = session_.Position();
    EXPECT_EQ(resumeAt, handed) << "the bytes held for the lost client are read again";
    EXPECT_EQ(session_.HandedBytes(), handed);
    EXPECT_EQ(server_.Restarts(), 1u);

    Socket second = Connect();
    std::vector<std::uint8_t> secondBytes;
    for (int tick = 0; tick < 1000 && session_.SendTick() != TickOutcome::Completed; ++tick) {
        Drain(second, secondBytes);
    }
    ASSERT_TRUE(loopback::WaitUntil([&] {
        Drain(second, secondBytes);
        return resumeAt + secondBytes.size() >= file_.size();
    }));
    // What the first client had is the start of the file; what was in flight to it when it vanished
    // went with its connection; the second gets everything from the first byte not handed over.
    EXPECT_EQ(firstBytes, Slice(file_, 0, firstBytes.size()));
    EXPECT_LE(firstBytes.size(), resumeAt);
    EXPECT_EQ(secondBytes, Slice(file_, resumeAt));
}

TEST_F(ReplayLoopbackTest, TheEndOfAReplayReachesTheClientBeforeTheConnectionCloses) {
    OpenFile(400'000, 0);
    Socket client = Connect(4096);
    session_.StartOrPause();
    std::vector<std::uint8_t> received;
    std::atomic<bool> done{false};
    // The client reads slowly, answers with keep-alives, and closes when the stream ends.
    std::thread reader([&] {
        std::uint8_t buffer[2048];
        const std::uint8_t keepAlive[2] = {0, 0};
        while (!done.load()) {
            if (!client.WaitReadable(20ms))
                continue;
            const platform::IoResult r = client.Receive(buffer, sizeof buffer);
            if (r.status == platform::IoStatus::Closed)
                break;
            if (r.status == platform::IoStatus::Ok) {
                received.insert(received.end(), buffer, buffer + r.bytes);
                client.Send(keepAlive, sizeof keepAlive);
                std::this_thread::sleep_for(1ms);
            }
        }
        client.Close();
    });
    TickOutcome outcome = TickOutcome::Idle;
    for (int tick = 0; tick < 20000 && outcome != TickOutcome::Completed; ++tick) {
        outcome = session_.SendTick();
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(outcome, TickOutcome::Completed);
    EXPECT_TRUE(session_.FinishClient(10s));
    done.store(true);
    reader.join();
    EXPECT_EQ(received, file_);
}

TEST(ReplayServer, APortThatCannotBeBoundIsSilent) {
    rewindle_test::MessageLog messages;
    platform::ListeningSocket taken = platform::ListeningSocket::Listen(loopback::kAddress, 0, 1);
    ASSERT_TRUE(taken.Valid());
    ReplayServer server({taken.Port(), loopback::kAddress});
    EXPECT_FALSE(server.Start());
    EXPECT_FALSE(server.Listening());
    EXPECT_TRUE(messages.Take().empty());
}

}  // namespace
