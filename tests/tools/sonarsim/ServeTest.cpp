// "sonarsim serve" against a client on the loopback interface: the stream is the raw file's packets,
// keep-alives are read and thrown away, and a client that goes is followed by the next one.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "tests/tools/sonarsim/SimTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kHead = 64 + 512 + 1256;

std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Connects to 127.0.0.1:port, trying for a few seconds while the server starts.
int Connect(std::uint16_t port) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return fd;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

// Reads until the server closes (or `limit` bytes, or 60 s), sending the two-byte keep-alive at once
// and every 500 ms; counts the keep-alive bytes sent.
simtest::Bytes Receive(int fd, std::size_t limit, std::size_t& keepAliveBytes) {
    simtest::Bytes data;
    const std::uint8_t keepAlive[2] = {0, 0};
    auto nextKeepAlive = Clock::now();
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (data.size() < limit && Clock::now() < deadline) {
        if (Clock::now() >= nextKeepAlive) {
            if (::send(fd, keepAlive, 2, MSG_NOSIGNAL) == 2)
                keepAliveBytes += 2;
            nextKeepAlive += std::chrono::milliseconds(500);
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        std::uint8_t buffer[8192];
        const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, limit - data.size()), 0);
        if (n <= 0)
            break;
        data.insert(data.end(), buffer, buffer + n);
    }
    return data;
}

std::vector<std::string> Args(std::vector<std::string> args, std::vector<std::string> common) {
    args.insert(args.end(), common.begin(), common.end());
    return args;
}

TEST(Serve, StreamsTheRawFilePacketsAndSwallowsKeepAlives) {
    simtest::TempDir dir;
    const std::vector<std::string> common = {"--duration", "3", "--beams", "32", "--faults", "--seed", "3"};
    ASSERT_EQ(simtest::Run(Args({"write", (dir / "ref.mbm").string()}, common)).status, 0);
    const simtest::Bytes file = simtest::ReadAll(dir / "ref.mbm");
    const simtest::Bytes expected(file.begin() + kHead, file.end());

    const std::uint16_t port = FreePort();
    simtest::RunResult server;
    std::thread serving([&] {
        server = simtest::Run(
            Args({"serve", "--port", std::to_string(port), "--speed", "0", "--wait-client", "20"}, common));
    });
    const int fd = Connect(port);
    std::size_t keepAliveBytes = 0;
    const simtest::Bytes received = fd >= 0 ? Receive(fd, SIZE_MAX, keepAliveBytes) : simtest::Bytes{};
    if (fd >= 0)
        ::close(fd);
    serving.join();
    ASSERT_GE(fd, 0) << server.err;
    EXPECT_EQ(server.status, 0) << server.err;
    EXPECT_EQ(received, expected);
    EXPECT_GE(keepAliveBytes, 2u);
    // Unpaced, the server may finish before the client's keep-alives reach it: it can only have read
    // some of them, never more, and they never disturb the stream.
    const std::string sent = "1 client(s), " + std::to_string(expected.size()) + " bytes sent, ";
    const std::size_t at = server.err.find(sent);
    ASSERT_NE(at, std::string::npos) << server.err;
    const std::size_t receivedBytes = std::stoul(server.err.substr(at + sent.size()));
    EXPECT_LE(receivedBytes, keepAliveBytes) << server.err;
    EXPECT_EQ(receivedBytes % 2, 0u) << server.err;
}

TEST(Serve, NextClientGetsTheRestStartingWithAWholePacket) {
    simtest::TempDir dir;
    const std::vector<std::string> common = {"--duration", "8", "--beams", "16"};
    ASSERT_EQ(simtest::Run(Args({"write", (dir / "ref.mbm").string()}, common)).status, 0);
    const simtest::Bytes file = simtest::ReadAll(dir / "ref.mbm");
    const simtest::Bytes expected(file.begin() + kHead, file.end());
    std::set<std::size_t> boundaries;
    for (const auto& p : simtest::Walk(expected, 0)) boundaries.insert(p.offset);

    const std::uint16_t port = FreePort();
    simtest::RunResult server;
    std::thread serving([&] {
        server = simtest::Run(
            Args({"serve", "--port", std::to_string(port), "--speed", "5", "--wait-client", "20"}, common));
    });
    std::size_t keepAliveBytes = 0;
    const int first = Connect(port);
    const simtest::Bytes head = first >= 0 ? Receive(first, 3000, keepAliveBytes) : simtest::Bytes{};
    if (first >= 0)
        ::close(first);
    const int second = Connect(port);
    const simtest::Bytes rest = second >= 0 ? Receive(second, SIZE_MAX, keepAliveBytes) : simtest::Bytes{};
    if (second >= 0)
        ::close(second);
    serving.join();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_EQ(server.status, 0) << server.err;
    EXPECT_NE(server.err.find("2 client(s)"), std::string::npos) << server.err;

    ASSERT_EQ(head.size(), 3000u);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), expected.begin())) << "the first client gets the start";
    ASSERT_FALSE(rest.empty());
    ASSERT_LT(rest.size(), expected.size());
    const std::size_t from = expected.size() - rest.size();
    EXPECT_TRUE(boundaries.count(from) == 1) << "the second client starts inside a packet, at " << from;
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), expected.begin() + static_cast<long>(from)))
        << "the second client gets the rest of the stream";
}

TEST(Serve, GivesUpWhenNoClientComes) {
    const auto r = simtest::Run({"serve", "--port", std::to_string(FreePort()), "--wait-client", "0.2",
                                 "--duration", "1", "--beams", "4"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no client came"), std::string::npos) << r.err;
}

}  // namespace
