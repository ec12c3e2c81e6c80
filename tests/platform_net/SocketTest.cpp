#include "platform/Socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "Loopback.h"

namespace {

using namespace std::chrono_literals;
using loopback::At;
using platform::ConnectStatus;
using platform::IoStatus;
using platform::ListeningSocket;
using platform::Socket;

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST(Socket, OwnsItsDescriptorAndMovesIt) {
    Socket a = Socket::CreateTcp();
    ASSERT_TRUE(a.Valid());
    const int fd = a.Handle();
    Socket b(std::move(a));
    EXPECT_FALSE(a.Valid());
    EXPECT_EQ(b.Handle(), fd);
    Socket c;
    c = std::move(b);
    EXPECT_EQ(c.Handle(), fd);
    c.Close();
    EXPECT_FALSE(c.Valid());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "closing must release the descriptor";
    // Operations on an empty socket fail cleanly.
    EXPECT_EQ(c.Send("x", 1).status, IoStatus::Error);
    EXPECT_EQ(c.ConnectNonBlocking(At(1)).status, ConnectStatus::Failed);
}

TEST(Socket, RoundTripOverLoopbackWithWouldBlockAndEndOfStream) {
    ListeningSocket listener = ListeningSocket::Listen(loopback::kAddress, 0, 10);
    ASSERT_TRUE(listener.Valid());
    EXPECT_NE(listener.Port(), 0);
    EXPECT_FALSE(listener.Accept().Valid()) << "accept must not block when nobody waits";

    Socket client = loopback::Connect(listener.Port());
    ASSERT_TRUE(client.Valid());
    Socket server = loopback::AcceptWithin(listener);
    ASSERT_TRUE(server.Valid());

    char byte = 0;
    EXPECT_EQ(server.Receive(&byte, 1).status, IoStatus::WouldBlock);

    const std::string text = "survey line 7";
    const platform::IoResult sent = client.Send(text.data(), text.size());
    ASSERT_TRUE(sent.Ok());
    EXPECT_EQ(sent.bytes, text.size());
    const auto got = loopback::ReadBytes(server, text.size());
    EXPECT_EQ(std::string(got.begin(), got.end()), text);

    client.Close();
    ASSERT_TRUE(server.WaitReadable(3s));
    EXPECT_EQ(server.Receive(&byte, 1).status, IoStatus::Closed);
}

TEST(Socket, ConnectFailuresAreReportedNotWaitedFor) {
    loopback::RefusingPort refusing;
    ASSERT_NE(refusing.Port(), 0);
    struct Case {
        platform::Endpoint to;
        int error;
    };
    for (const Case& c : {Case{At(refusing.Port()), ECONNREFUSED}, Case{{"not-an-address", 80}, EINVAL},
                          Case{{"127.0.0.1.5", 80}, EINVAL}}) {
        Socket s = Socket::CreateTcp();
        const auto start = std::chrono::steady_clock::now();
        const platform::ConnectResult r = s.ConnectNonBlocking(c.to);
        EXPECT_EQ(r.status, ConnectStatus::Failed) << c.to.address;
        EXPECT_EQ(r.error, c.error) << c.to.address;
        EXPECT_LT(Since(start), 400ms) << "a refusal is known at once";
    }
}

TEST(Socket, ConnectWithoutAnswerTimesOutAfterItsWaitsOrStopsOnRequest) {
    loopback::SilentPort silent;
    ASSERT_TRUE(silent.Silent()) << "the system answered every connection request";

    Socket s = Socket::CreateTcp();
    platform::ConnectWait wait;
    wait.waits = 2;
    wait.waitLength = 60ms;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.ConnectNonBlocking(At(silent.Port()), wait).status, ConnectStatus::TimedOut);
    EXPECT_GE(Since(start), 120ms);

    // Long waits, but a stop request that comes after 30 ms ends the attempt within a poll slice.
    Socket t = Socket::CreateTcp();
    wait.waits = 3;
    wait.waitLength = 500ms;
    start = std::chrono::steady_clock::now();
    wait.stopRequested = [&] { return Since(start) >= 30ms; };
    EXPECT_EQ(t.ConnectNonBlocking(At(silent.Port()), wait).status, ConnectStatus::Cancelled);
    EXPECT_LT(Since(start), 300ms);
}

TEST(Socket, SendToAVanishedPeerFailsWithoutSignal) {
    ListeningSocket listener = ListeningSocket::Listen(loopback::kAddress, 0, 10);
    ASSERT_TRUE(listener.Valid());
    Socket client = loopback::Connect(listener.Port());
    ASSERT_TRUE(client.Valid());
    {
        Socket server = loopback::AcceptWithin(listener);
        ASSERT_TRUE(server.Valid());
    }  // closed
    // The first sends may still be taken; the reset that answers them makes a later one fail. A
    // SIGPIPE would end the test program here.
    platform::IoResult r;
    const bool failed = loopback::WaitUntil([&] {
        r = client.Send("ka", 2);
        return r.status == IoStatus::Error;
    });
    EXPECT_TRUE(failed);
    EXPECT_TRUE(r.error == EPIPE || r.error == ECONNRESET) << r.error;
}

TEST(Socket, GracefulShutdownDeliversEverythingThenWaitsForThePeer) {
    ListeningSocket listener = ListeningSocket::Listen(loopback::kAddress, 0, 10);
    ASSERT_TRUE(listener.Valid());

    // The peer reads to the end of the stream and then closes: the shutdown sees it close.
    {
        Socket client = loopback::Connect(listener.Port());
        Socket server = loopback::AcceptWithin(listener);
        ASSERT_TRUE(client.Valid() && server.Valid());
        const std::vector<std::uint8_t> data(200'000, 0x5A);
        std::atomic<std::size_t> received{0};
        std::thread reader([&] {
            received = loopback::ReadBytes(server, data.size() + 1).size();  // runs until end of stream
            server.Close();
        });
        std::size_t sent = 0;
        loopback::WaitUntil([&] {
            const auto r = client.Send(data.data() + sent, data.size() - sent);
            if (r.Ok())
                sent += r.bytes;
            return sent == data.size() || r.status == IoStatus::Error;
        });
        EXPECT_EQ(sent, data.size());
        EXPECT_TRUE(client.ShutdownGracefully(3s));
        EXPECT_FALSE(client.Valid());
        reader.join();
        EXPECT_EQ(received.load(), data.size());
    }
    // A peer that never closes: the shutdown gives up after its time-out.
    {
        Socket client = loopback::Connect(listener.Port());
        Socket server = loopback::AcceptWithin(listener);
        ASSERT_TRUE(client.Valid() && server.Valid());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.ShutdownGracefully(100ms));
        EXPECT_GE(Since(start), 100ms);
        EXPECT_FALSE(client.Valid());
    }
}

TEST(ListeningSocket, ReportsWhyItCannotListen) {
    ListeningSocket first = ListeningSocket::Listen(loopback::kAddress, 0, 10);
    ASSERT_TRUE(first.Valid());
    EXPECT_EQ(first.Status(), platform::ListenStatus::Listening);

    ListeningSocket taken = ListeningSocket::Listen(loopback::kAddress, first.Port(), 10);
    EXPECT_FALSE(taken.Valid());
    EXPECT_EQ(taken.Status(), platform::ListenStatus::BindFailed);
    EXPECT_EQ(taken.Error(), EADDRINUSE);

    ListeningSocket badAddress = ListeningSocket::Listen("no.such.address", 0, 10);
    EXPECT_EQ(badAddress.Status(), platform::ListenStatus::BindFailed);

    // Once the first one is gone, the port can be listened on again at once.
    const std::uint16_t port = first.Port();
    {
        Socket client = loopback::Connect(port);
        Socket server = loopback::AcceptWithin(first);
        ASSERT_TRUE(server.Valid());
        server.Close();  // the server side closes first and keeps the port in TIME_WAIT
    }
    first.Close();
    ListeningSocket again = ListeningSocket::Listen(loopback::kAddress, port, 10);
    EXPECT_TRUE(again.Valid()) << again.Error();
}

}  // namespace
