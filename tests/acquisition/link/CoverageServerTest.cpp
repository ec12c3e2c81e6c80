#include "marivane/acquisition/CoverageServer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Loopback.h"
#include "platform/Message.h"

namespace {

using namespace std::chrono_literals;
using marivane::CoverageServer;
using marivane::SwathEdge;
using platform::Socket;

// A converter that hands the grid numbers back as degrees: latitude = northing, longitude = easting.
// Whatever the record holds can then be checked against numbers the test chose.
marivane::GeoPoint GridAsDegrees(double northing, double easting) {
    return {northing, easting};
}

marivane::CoverageServerOptions On(bool coverageOn = true) {
    marivane::CoverageServerOptions o;
    o.coverageOn = coverageOn;
    o.port = 0;
    o.bindAddress = loopback::kAddress;
    return o;
}

std::vector<SwathEdge> Edges(std::size_t count) {
    std::vector<SwathEdge> edges(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double d = static_cast<double>(i);
        edges[i] = {1'700'000'000.0 + d, 120.0 + d * 1e-4, 30.0 + d * 1e-4, 120.5 + d * 1e-4,
                    30.5 + d * 1e-4};
    }
    return edges;
}

// A coverage message as a client reads it, decoded from the bytes without the code under test.
struct Message {
    std::uint16_t head = 0, length = 0, tail = 0;
    std::uint8_t kind = 0, count = 0;
    struct Record {
        std::uint32_t sequence;
        std::int64_t portLon, portLat, starboardLon, starboardLat, timeMs;
    };
    std::vector<Record> records;
};

template <typename T>
T At(const std::vector<std::uint8_t>& b, std::size_t offset) {
    T v{};
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

// Splits a stream into messages; false when it does not divide into whole, well-formed ones.
bool Decode(const std::vector<std::uint8_t>& stream, std::vector<Message>& out) {
    std::size_t at = 0;
    while (at < stream.size()) {
        if (stream.size() - at < 8)
            return false;
        Message m;
        m.head = At<std::uint16_t>(stream, at);
        m.length = At<std::uint16_t>(stream, at + 2);
        m.kind = stream[at + 4];
        m.count = stream[at + 5];
        if (m.length != 44u * m.count + 8u || stream.size() - at < m.length)
            return false;
        for (std::size_t r = 0; r < m.count; ++r) {
            const std::size_t o = at + 6 + 44 * r;
            m.records.push_back({At<std::uint32_t>(stream, o), At<std::int64_t>(stream, o + 4),
                                 At<std::int64_t>(stream, o + 12), At<std::int64_t>(stream, o + 20),
                                 At<std::int64_t>(stream, o + 28), At<std::int64_t>(stream, o + 36)});
        }
        m.tail = At<std::uint16_t>(stream, at + m.length - 2);
        if (m.head != 0x4B51 || m.tail != 0x5256 || m.kind != 1)
            return false;
        out.push_back(std::move(m));
        at += m.length;
    }
    return true;
}

class CoverageServerTest : public ::testing::Test {
protected:
    // Starts the server and connects a client to it.
    void Connect(CoverageServer& server, Socket& client) {
        ASSERT_TRUE(server.Start());
        client = loopback::Connect(server.Port());
        ASSERT_TRUE(client.Valid());
        ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));
    }
};

TEST_F(CoverageServerTest, TheRecordLayoutByteForByte) {
    CoverageServer server(On(), GridAsDegrees);
    Socket client;
    Connect(server, client);

    SwathEdge edge;
    edge.time = 1715000000.9876;
    edge.portEasting = 121.123456789;     // longitude
    edge.portNorthing = -33.987654321;    // latitude: truncated toward zero
    edge.starboardEasting = -0.00000009;  // less than one unit: 0
    edge.starboardNorthing = 89.99999999;
    const SwathEdge edges[] = {edge, edge};
    server.AddEdges(edges);
    server.SendCoverage();

    const std::vector<std::uint8_t> bytes = loopback::ReadBytes(client, 2 * 44 + 8 + 1, 300ms);
    ASSERT_EQ(bytes.size(), 96u);
    const std::vector<std::uint8_t> header = {'Q', 'K', 96, 0, 1, 2};
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 6), header);
    EXPECT_EQ(bytes[94], 'V');
    EXPECT_EQ(bytes[95], 'R');
    for (std::uint32_t r = 0; r < 2; ++r) {
        const std::size_t o = 6 + 44 * r;
        EXPECT_EQ(At<std::uint32_t>(bytes, o), r);
        EXPECT_EQ(At<std::int64_t>(bytes, o + 4), 1211234567);
        EXPECT_EQ(At<std::int64_t>(bytes, o + 12), -339876543);
        EXPECT_EQ(At<std::int64_t>(bytes, o + 20), 0);
        EXPECT_EQ(At<std::int64_t>(bytes, o + 28), 899999999);
        EXPECT_EQ(At<std::int64_t>(bytes, o + 36), 1715000000987);
    }
    // The little-endian bytes of the first sequence number and of the port longitude.
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 6, bytes.begin() + 14),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0x07, 0xF9, 0x31, 0x48}));
}

TEST(CoverageConversion, OutOfRangeAndNotANumberStayDefined) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        double value, scale;
        std::int64_t expected;
    };
    for (const Case& c : {Case{-1.99, 1.0, -1}, Case{1.99, 1.0, 1}, Case{std::nan(""), 1e7, 0},
                          Case{INFINITY, 1e7, kMax}, Case{-INFINITY, 1e7, kMin}, Case{1e300, 1e7, kMax},
                          Case{-1e300, 1000.0, kMin}, Case{9.2e18, 1.0, 9'200'000'000'000'000'000}}) {
        EXPECT_EQ(marivane::ScaledTruncated(c.value, c.scale), c.expected) << c.value;
    }
}

TEST_F(CoverageServerTest, RecordsGoOutInMessagesOfUpTo255) {
    struct Case {
        std::size_t records;
        std::vector<std::size_t> messageLengths;
    };
    for (const Case& c : {Case{255, {11228}}, Case{256, {11228, 52}}, Case{600, {11228, 11228, 3968}}}) {
        SCOPED_TRACE(c.records);
        CoverageServer server(On(), GridAsDegrees);
        Socket client;
        Connect(server, client);
        server.AddEdges(Edges(c.records));
        EXPECT_EQ(server.Waiting(), c.records);
        server.SendCoverage();
        EXPECT_EQ(server.Waiting(), 0u);

        std::size_t total = 0;
        for (std::size_t length : c.messageLengths) total += length;
        const auto bytes = loopback::ReadBytes(client, total + 1, 300ms);
        std::vector<Message> messages;
        ASSERT_TRUE(Decode(bytes, messages));
        std::vector<std::size_t> lengths;
        std::uint32_t expectedSequence = 0;
        for (const Message& m : messages) {
            lengths.push_back(m.length);
            for (const auto& r : m.records) EXPECT_EQ(r.sequence, expectedSequence++);
        }
        EXPECT_EQ(lengths, c.messageLengths);
    }
}

TEST_F(CoverageServerTest, WithCoverageOffNothingAccumulatesOrGoesOut) {
    CoverageServer server(On(false), GridAsDegrees);
    Socket client;
    Connect(server, client);
    server.AddEdges(Edges(50));
    EXPECT_EQ(server.Waiting(), 0u);
    server.SendCoverage();
    EXPECT_TRUE(loopback::ReadBytes(client, 1, 150ms).empty());
}

TEST_F(CoverageServerTest, WithoutAClientTheNewest600Wait) {
    CoverageServer server(On(), GridAsDegrees);
    ASSERT_TRUE(server.Start());
    server.AddEdges(Edges(601));
    server.SendCoverage();
    EXPECT_EQ(server.Waiting(), 600u);

    Socket client = loopback::Connect(server.Port());
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));
    server.SendCoverage();
    std::vector<Message> messages;
    ASSERT_TRUE(Decode(loopback::ReadBytes(client, 2 * 11228 + 3968 + 1, 300ms), messages));
    std::vector<std::uint32_t> sequences;
    for (const Message& m : messages) {
        for (const auto& r : m.records) sequences.push_back(r.sequence);
    }
    ASSERT_EQ(sequences.size(), 600u);
    EXPECT_EQ(sequences.front(), 1u) << "the oldest record is the one dropped";
    EXPECT_EQ(sequences.back(), 600u);
}

// A client that stops reading for a while must neither cost the connection nor receive a cut message.
TEST_F(CoverageServerTest, ASlowClientKeepsItsConnectionAndGetsWholeMessages) {
    CoverageServer server(On(), GridAsDegrees);
    ASSERT_TRUE(server.Start());
    Socket client = Socket::CreateTcp();
    client.SetReceiveBufferSize(4096);
    ASSERT_EQ(client.ConnectNonBlocking(loopback::At(server.Port())).status,
              platform::ConnectStatus::Connected);
    ASSERT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));

    bool blocked = false;
    for (int round = 0; round < 40; ++round) {
        server.AddEdges(Edges(300));
        server.SendCoverage();
        blocked = blocked || server.Waiting() > 0;
    }
    ASSERT_TRUE(blocked) << "the client's buffers never filled; the test proves nothing";
    EXPECT_TRUE(server.ClientConnected());

    // The client reads again; the server finishes its rounds.
    std::vector<std::uint8_t> stream;
    const bool drained = loopback::WaitUntil(
        [&] {
            const auto more = loopback::ReadBytes(client, 1 << 20, 5ms);
            stream.insert(stream.end(), more.begin(), more.end());
            server.SendCoverage();
            server.ProbeClient();
            return server.Waiting() == 0 && server.PendingBytes() == 0 && more.empty();
        },
        8s);
    ASSERT_TRUE(drained);
    EXPECT_TRUE(server.ClientConnected()) << "a full buffer must not restart the server";

    std::vector<Message> messages;
    ASSERT_TRUE(Decode(stream, messages)) << "a message arrived cut";
    std::int64_t previous = -1;
    for (const Message& m : messages) {
        for (const auto& r : m.records) {
            ASSERT_GT(static_cast<std::int64_t>(r.sequence), previous);
            previous = r.sequence;
        }
    }
    EXPECT_EQ(previous, 40 * 300 - 1) << "the newest record arrives last";
}

TEST_F(CoverageServerTest, AClientThatLeftIsNoticedByTheProbeAndTheServerListensAgain) {
    CoverageServer server(On(), GridAsDegrees);
    Socket client;
    Connect(server, client);
    const std::uint16_t port = server.Port();
    const std::vector<std::uint8_t> keepAlive(10, 0);
    ASSERT_TRUE(client.Send(keepAlive.data(), keepAlive.size()).Ok());
    server.ProbeClient();
    EXPECT_TRUE(server.ClientConnected()) << "a client that talks is alive";

    client.Close();
    EXPECT_TRUE(loopback::WaitUntil([&] {
        server.ProbeClient();
        return !server.ClientConnected();
    }));
    EXPECT_EQ(server.Port(), port);
    Socket again = loopback::Connect(port);
    ASSERT_TRUE(again.Valid());
    EXPECT_TRUE(loopback::WaitUntil([&] { return server.ClientConnected(); }));
}

TEST_F(CoverageServerTest, AStartThatCannotBindSaysBindError) {
    struct Recorder final : platform::MessagePresenter {
        std::vector<std::string> texts;
        platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned, bool) override {
            texts.emplace_back(text);
            return platform::MessageAnswer::Ok;
        }
    } recorder;
    platform::SetMessagePresenter(&recorder);

    CoverageServer first(On(), GridAsDegrees);
    ASSERT_TRUE(first.Start());
    marivane::CoverageServerOptions same = On();
    same.port = first.Port();
    CoverageServer second(same, GridAsDegrees);
    EXPECT_FALSE(second.Start());
    platform::SetMessagePresenter(nullptr);
    EXPECT_EQ(recorder.texts, std::vector<std::string>{"Bind Error"});

    // Without a listening socket the server is quiet: records wait, nothing fails.
    second.AddEdges(Edges(3));
    second.SendCoverage();
    second.ProbeClient();
    EXPECT_EQ(second.Waiting(), 3u);
}

}  // namespace
