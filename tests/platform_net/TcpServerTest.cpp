#include "platform/TcpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Loopback.h"

namespace {

using namespace std::chrono_literals;
using platform::ProbeResult;
using platform::SendResult;
using platform::Socket;
using platform::TcpServer;
using platform::TcpServerFault;

platform::TcpServerOptions LoopbackOptions(std::uint16_t port = 0) {
    platform::TcpServerOptions o;
    o.port = port;
    o.bindAddress = loopback::kAddress;
    return o;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Text(const std::vector<std::uint8_t>& v) {
    return {v.begin(), v.end()};
}

// A client whose receive buffer is small, so that a server that sends to it soon fills every buffer
// on the way.
Socket SlowClient(std::uint16_t port) {
    Socket s = Socket::CreateTcp();
    s.SetReceiveBufferSize(4096);
    if (s.ConnectNonBlocking(loopback::At(port)).status != platform::ConnectStatus::Connected)
        s.Close();
    return s;
}

// Messages that carry their number and length and a payload that depends on both, so that a lost,
// repeated, reordered or cut message shows.
std::vector<std::uint8_t> NumberedMessage(std::uint32_t index) {
    const std::uint32_t length = 8 + 700 + (index * 389u) % 2900u;
    std::vector<std::uint8_t> m(length);
    std::memcpy(m.data(), &index, 4);
    std::memcpy(m.data() + 4, &length, 4);
    for (std::uint32_t j = 8; j < length; ++j) m[j] = static_cast<std::uint8_t>(index * 31u + j);
    return m;
}

// Splits a received stream into numbered messages; stops at the first one that is not intact.
std::vector<std::uint32_t> IntactMessages(const std::vector<std::uint8_t>& stream, std::size_t& consumed) {
    std::vector<std::uint32_t> indices;
    consumed = 0;
    while (stream.size() - consumed >= 8) {
        std::uint32_t index = 0, length = 0;
        std::memcpy(&index, stream.data() + consumed, 4);
        std::memcpy(&length, stream.data() + consumed + 4, 4);
        if (length < 8 || stream.size() - consumed < length)
            break;
        if (NumberedMessage(index) !=
            std::vector<std::uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(consumed),
                                      stream.begin() + static_cast<std::ptrdiff_t>(consumed + length))) {
            break;
        }
        indices.push_back(index);
        consumed += length;
    }
    return indices;
}

TEST(TcpServer, ANewClientReplacesTheOldOne) {
    TcpServer server(LoopbackOptions());
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(server.Listening());
    EXPECT_FALSE(server.ClientConnected());
    EXPECT_EQ(server.Send(Bytes("nobody")), SendResult::NoClient);

    Socket first = loopback::Connect(server.Port());
    ASSERT_TRUE(first.Valid());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));
    EXPECT_EQ(server.Send(Bytes("to first")), SendResult::Sent);
    EXPECT_EQ(Text(loopback::ReadBytes(first, 8)), "to first");

    Socket second = loopback::Connect(server.Port());
    ASSERT_TRUE(second.Valid());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientsAccepted() == 2; }));
    EXPECT_TRUE(loopback::PeerClosedWithin(first)) << "the replaced client is shut down and closed";
    EXPECT_EQ(server.Send(Bytes("to second")), SendResult::Sent);
    EXPECT_EQ(Text(loopback::ReadBytes(second, 9)), "to second");
}

TEST(TcpServer, ProbeDiscardsWhatTheClientSendsAndNoticesItLeaving) {
    TcpServer server(LoopbackOptions());
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(server.Probe(), ProbeResult::NoClient);

    Socket client = loopback::Connect(server.Port());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));
    EXPECT_EQ(server.Probe(), ProbeResult::Alive) << "nothing to read is no reason to give up";
    const std::vector<std::uint8_t> keepAlives(100, 0);
    ASSERT_TRUE(client.Send(keepAlives.data(), keepAlives.size()).Ok());
    // 100 bytes take two probes of 64.
    EXPECT_TRUE(loopback::WaitUntil(
        [&] { return server.Probe() == ProbeResult::Alive && server.Probe() == ProbeResult::Alive; }));

    client.Close();
    EXPECT_TRUE(loopback::WaitUntil([&] { return server.Probe() == ProbeResult::Gone; }));
    EXPECT_FALSE(server.ClientConnected());
    EXPECT_EQ(server.Probe(), ProbeResult::NoClient);
}

TEST(TcpServer, RestartClosesTheClientAndListensAgainOnTheSamePort) {
    TcpServer server(LoopbackOptions());
    ASSERT_TRUE(server.Start());
    const std::uint16_t port = server.Port();
    Socket before = loopback::Connect(port);
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));

    ASSERT_TRUE(server.Restart());
    EXPECT_EQ(server.Port(), port);
    EXPECT_TRUE(loopback::PeerClosedWithin(before));
    Socket after = loopback::Connect(port);
    ASSERT_TRUE(after.Valid());
    EXPECT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));

    server.Stop();
    EXPECT_FALSE(server.Listening());
    EXPECT_FALSE(server.ClientConnected());
    EXPECT_TRUE(loopback::PeerClosedWithin(after));
}

TEST(TcpServer, ListeningFailureGoesToTheCallerAndTheServerStaysHarmless) {
    platform::ListeningSocket occupant = platform::ListeningSocket::Listen(loopback::kAddress, 0, 10);
    ASSERT_TRUE(occupant.Valid());

    std::vector<TcpServerFault> faults;
    platform::TcpServerOptions options = LoopbackOptions(occupant.Port());
    options.onFault = [&](TcpServerFault fault, int) { faults.push_back(fault); };
    TcpServer server(options);
    EXPECT_FALSE(server.Start());
    EXPECT_EQ(faults, std::vector<TcpServerFault>{TcpServerFault::BindFailed});
    EXPECT_FALSE(server.Listening());
    EXPECT_EQ(server.Port(), 0);
    EXPECT_EQ(server.Send(Bytes("x")), SendResult::NoClient);

    // Once the port is free, a restart listens.
    occupant.Close();
    EXPECT_TRUE(server.Restart());
    EXPECT_EQ(faults.size(), 1u);
}

// A client that does not read while the server keeps sending: the server must keep every message
// whole, never restart, and deliver all of them in order once the client reads again.
TEST(TcpServer, ASlowClientGetsEveryMessageOnceInOrderAndWhole) {
    TcpServer server(LoopbackOptions());
    ASSERT_TRUE(server.Start());
    Socket client = SlowClient(server.Port());
    ASSERT_TRUE(client.Valid());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));

    constexpr std::uint32_t kMessages = 600;
    std::size_t totalBytes = 0;
    for (std::uint32_t i = 0; i < kMessages; ++i) totalBytes += NumberedMessage(i).size();

    // The client does not read: sending goes on until the buffers are full.
    std::uint32_t next = 0;
    int pendingSeen = 0, busySeen = 0;
    while (next < kMessages && busySeen == 0) {
        const SendResult r = server.Send(NumberedMessage(next));
        ASSERT_NE(r, SendResult::Failed);
        ASSERT_NE(r, SendResult::NoClient);
        if (r == SendResult::Pending)
            ++pendingSeen;
        if (r == SendResult::Busy)
            ++busySeen;
        if (r == SendResult::Sent || r == SendResult::Pending)
            ++next;
    }
    ASSERT_EQ(busySeen, 1) << "the buffers never filled; the test proves nothing";
    EXPECT_GE(pendingSeen, 1);
    EXPECT_GT(server.PendingBytes(), 0u);
    EXPECT_LT(next, kMessages);
    EXPECT_EQ(server.ClientsAccepted(), 1u);
    EXPECT_TRUE(server.ClientConnected());

    // Now the client reads while the server offers the rest, a message at a time.
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = loopback::ReadBytes(client, totalBytes, 8s); });
    const bool allTaken = loopback::WaitUntil(
        [&] {
            const SendResult r = server.Send(NumberedMessage(next));
            if (r == SendResult::Sent || r == SendResult::Pending)
                ++next;
            return next == kMessages || r == SendResult::Failed || r == SendResult::NoClient;
        },
        8s);
    EXPECT_TRUE(allTaken);
    EXPECT_EQ(next, kMessages);
    EXPECT_TRUE(loopback::WaitUntil([&] { return server.Flush() == SendResult::Sent; }, 8s));
    EXPECT_EQ(server.PendingBytes(), 0u);
    reader.join();

    EXPECT_EQ(received.size(), totalBytes);
    std::size_t consumed = 0;
    const std::vector<std::uint32_t> indices = IntactMessages(received, consumed);
    EXPECT_EQ(consumed, received.size()) << "a message arrived cut or damaged";
    ASSERT_EQ(indices.size(), kMessages);
    for (std::uint32_t i = 0; i < kMessages; ++i) ASSERT_EQ(indices[i], i);
    EXPECT_EQ(server.ClientsAccepted(), 1u) << "a full buffer must not restart the server";
}

TEST(TcpServer, TheRestOfAMessageIsDroppedWhenItsClientIsReplaced) {
    TcpServer server(LoopbackOptions());
    ASSERT_TRUE(server.Start());
    Socket slow = SlowClient(server.Port());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));
    std::uint32_t next = 0;
    ASSERT_TRUE(loopback::WaitUntil([&] {
        if (server.Send(NumberedMessage(next)) != SendResult::Busy)
            ++next;
        return server.PendingBytes() > 0;
    }));

    Socket fresh = loopback::Connect(server.Port());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientsAccepted() == 2; }));
    EXPECT_EQ(server.PendingBytes(), 0u);
    const std::vector<std::uint8_t> message = NumberedMessage(12345);
    EXPECT_EQ(server.Send(message), SendResult::Sent);
    EXPECT_EQ(loopback::ReadBytes(fresh, message.size() + 1, 300ms), message)
        << "the new client must begin with a whole message";
}

TEST(TcpServer, GracefulCloseSendsWhatWaitsAndWaitsForTheClientToClose) {
    TcpServer server(LoopbackOptions());
    ASSERT_TRUE(server.Start());
    Socket client = SlowClient(server.Port());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));

    const std::vector<std::uint8_t> big(300'000, 0xA5);
    ASSERT_EQ(server.Send(big), SendResult::Pending);
    std::vector<std::uint8_t> received;
    std::thread reader([&] {
        received = loopback::ReadBytes(client, big.size() + 1);  // to the end of the stream
        client.Close();
    });
    EXPECT_TRUE(server.CloseClientGracefully(5s));
    reader.join();
    EXPECT_EQ(received, big);
    EXPECT_FALSE(server.ClientConnected());
    EXPECT_EQ(server.PendingBytes(), 0u);
}

}  // namespace
