#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "TestPackets.h"
#include "marivane/acquisition/Framer.h"

namespace {

using marivane::Framer;
using testpackets::Bytes;
using testpackets::Concat;
using testpackets::Plain;

struct LogDecoder final : marivane::PacketDecoder {
    bool Decode(std::span<const std::uint8_t> packet) override {
        decoded.emplace_back(packet.begin(), packet.end());
        return accept;
    }
    std::vector<Bytes> decoded;
    bool accept = true;
};

struct LogRecorder final : marivane::PacketRecorder {
    bool RecordPacket(const std::uint8_t* bytes, std::size_t length) override {
        recorded.emplace_back(bytes, bytes + length);
        return succeed;
    }
    std::vector<Bytes> recorded;
    bool succeed = true;
};

// A framer with logging handlers and a receive buffer that is handed over at its exact size.
class FramerTest : public ::testing::Test {
  protected:
    explicit FramerTest(std::size_t bufferSize = Framer::kReceiveBufferSize)
        : framer_(&decoder_, &recorder_, bufferSize) {}

    marivane::FrameResult Feed(const Bytes& bytes, std::size_t chunk = 0, bool continuing = true) {
        if (chunk == 0)
            chunk = bytes.size();
        marivane::FrameResult r{};
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            const std::size_t n = std::min(chunk, bytes.size() - at);
            std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[pending_.size() + n]);
            if (!pending_.empty())
                std::memcpy(exact.get(), pending_.data(), pending_.size());
            std::memcpy(exact.get() + pending_.size(), bytes.data() + at, n);
            r = framer_.Frame(exact.get(), pending_.size() + n, continuing);
            continuing = true;
            pending_.assign(exact.get(), exact.get() + r.fill);
        }
        return r;
    }

    LogDecoder decoder_;
    LogRecorder recorder_;
    Framer framer_;
    Bytes pending_;
};

TEST_F(FramerTest, FlagBitsDecideRecordingAndDecoding) {
    struct Case {
        std::uint32_t flags;
        bool recorded;
        bool decoded;
    };
    const Case cases[] = {
        {0, true, true}, {1, true, false}, {2, false, false}, {3, false, false}, {4, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        decoder_.decoded.clear();
        recorder_.recorded.clear();
        const Bytes marked = Plain(3001, 8, c.flags);
        const Bytes next = Plain(5004, 16);
        Feed(Concat({marked, next}));
        // The packet after it is always handled normally.
        std::vector<Bytes> expectRecorded, expectDecoded;
        if (c.recorded)
            expectRecorded.push_back(marked);
        if (c.decoded)
            expectDecoded.push_back(marked);
        expectRecorded.push_back(next);
        expectDecoded.push_back(next);
        EXPECT_EQ(recorder_.recorded, expectRecorded);
        EXPECT_EQ(decoder_.decoded, expectDecoded);
        EXPECT_TRUE(pending_.empty());
    }
    EXPECT_EQ(framer_.Counters().recordOnlyPackets, 1u);
    EXPECT_EQ(framer_.Counters().discardedPackets, 2u);
}

TEST_F(FramerTest, GarbageBeforeAPacketIsSkipped) {
    // Includes a false start: the magic with a wrong version.
    Bytes garbage = {1, 2, 3, 'W', 'L', 'N', 0, 24, 0, 0x03, 0x01, 9, 9};
    garbage.resize(garbage.size() + 30, 0x55);
    const Bytes packet = Plain(5005, 24);
    const auto r = Feed(Concat({garbage, packet}));
    ASSERT_EQ(decoder_.decoded.size(), 1u);
    EXPECT_EQ(decoder_.decoded[0], packet);
    EXPECT_EQ(r.fill, 0u);
    EXPECT_EQ(r.status,
              marivane::kFrameHeaderFound | marivane::kFrameGoodPacket | marivane::kFramePacketRemoved);
    EXPECT_EQ(framer_.Counters().bytesSkipped, garbage.size());
}

TEST_F(FramerTest, PacketsSplitAcrossReadsComeOutWhole) {
    const Bytes stream = Concat({Plain(3000, 200), Bytes(5, 0xAA), Plain(5001, 44), Plain(7777, 1)});
    for (std::size_t chunk : {1u, 2u, 7u, 23u, 24u, 25u, 100u}) {
        SCOPED_TRACE(chunk);
        decoder_.decoded.clear();
        Feed(stream, chunk);
        ASSERT_EQ(decoder_.decoded.size(), 3u);
        EXPECT_EQ(decoder_.decoded[0], Plain(3000, 200));
        EXPECT_EQ(decoder_.decoded[1], Plain(5001, 44));
        EXPECT_EQ(decoder_.decoded[2], Plain(7777, 1));
        EXPECT_TRUE(pending_.empty());
    }
}

TEST_F(FramerTest, WithoutAHeaderOnlyTheLast23BytesAreKept) {
    Bytes noise(1000, 0x41);
    const Bytes packet = Plain(5000, 12);
    // The noise ends with the first 20 bytes of a header: they must survive to be completed.
    noise.insert(noise.end(), packet.begin(), packet.begin() + 20);
    auto r = Feed(noise);
    EXPECT_EQ(r.fill, 23u);
    EXPECT_EQ(r.status, 0u);
    EXPECT_EQ(framer_.Counters().bytesSkipped, noise.size() - 23);
    r = Feed(Bytes(packet.begin() + 20, packet.end()));
    ASSERT_EQ(decoder_.decoded.size(), 1u);
    EXPECT_EQ(decoder_.decoded[0], packet);
    EXPECT_EQ(r.fill, 0u);
}

TEST_F(FramerTest, PendingHeaderWaitsAndReportsIt) {
    const Bytes packet = Plain(3000, 100);
    auto r = Feed(Bytes(packet.begin(), packet.begin() + 60));
    EXPECT_EQ(r.status, marivane::kFrameHeaderFound);
    EXPECT_EQ(r.fill, 60u);
    EXPECT_TRUE(framer_.Synchronised());
    r = Feed(Bytes(packet.begin() + 60, packet.end()));
    EXPECT_EQ(decoder_.decoded.size(), 1u);
    EXPECT_FALSE(framer_.Synchronised());
}

TEST_F(FramerTest, NotContinuingForgetsAPendingHeader) {
    const Bytes first = Plain(3000, 100);
    Feed(Bytes(first.begin(), first.begin() + 40));
    ASSERT_TRUE(framer_.Synchronised());
    // The receiver threw its buffer away; the new data starts with another packet.
    pending_.clear();
    const Bytes second = Plain(5004, 16);
    Feed(second, 0, /*continuing=*/false);
    ASSERT_EQ(decoder_.decoded.size(), 1u);
    EXPECT_EQ(decoder_.decoded[0], second);
}

TEST_F(FramerTest, BadTailDiscardsEverythingBuffered) {
    Bytes broken = Plain(3000, 40);
    broken[broken.size() - 1] = 0x00;
    const Bytes after = Plain(5004, 16);
    const auto r = Feed(Concat({broken, after}));
    EXPECT_EQ(r.fill, 0u);
    EXPECT_TRUE(decoder_.decoded.empty());
    EXPECT_TRUE(recorder_.recorded.empty());
    EXPECT_EQ(framer_.Counters().brokenPackets, 1u);
    EXPECT_EQ(framer_.Counters().bytesDropped, broken.size() + after.size());
    // The stream recovers with the next read.
    Feed(after);
    EXPECT_EQ(decoder_.decoded.size(), 1u);
}

TEST_F(FramerTest, FlagDiscardRemovesThePacketWithoutLookingAtItsTail) {
    Bytes discarded = Plain(3000, 40, 2);
    discarded[discarded.size() - 2] = 0;  // tail wrong, but the packet is dropped before the check
    const auto r = Feed(Concat({discarded, Plain(5004, 16)}));
    EXPECT_EQ(decoder_.decoded.size(), 1u);
    EXPECT_EQ(framer_.Counters().brokenPackets, 0u);
    EXPECT_TRUE(r.status & marivane::kFramePacketRemoved);
}

TEST_F(FramerTest, SmallestPacketIsTakenLengthsOutsideTheBufferAreBroken) {
    // Header plus tail alone is a packet.
    Feed(Plain(9, 0));
    EXPECT_EQ(decoder_.decoded.size(), 1u);

    for (std::uint32_t length : {0u, 4u, 24u, 27u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        Bytes packet = Plain(3000, 40);
        std::memcpy(packet.data() + 8, &length, 4);
        const auto r = Feed(Concat({packet, Plain(5004, 16)}));
        EXPECT_EQ(r.fill, 0u);
        EXPECT_FALSE(framer_.Synchronised());
    }
    EXPECT_EQ(decoder_.decoded.size(), 1u);
    EXPECT_EQ(recorder_.recorded.size(), 1u);
    EXPECT_EQ(framer_.Counters().brokenPackets, 5u);
}

class SmallBufferFramerTest : public FramerTest {
  protected:
    SmallBufferFramerTest() : FramerTest(256) {}
};

TEST_F(SmallBufferFramerTest, PacketLongerThanTheReceiveBufferIsBrokenAtOnce) {
    const Bytes fits = Plain(3000, 256 - 28);
    Feed(fits);
    EXPECT_EQ(decoder_.decoded.size(), 1u);

    Bytes tooLong = Plain(3000, 16);
    const std::uint32_t claimed = 257;
    std::memcpy(tooLong.data() + 8, &claimed, 4);
    const auto r = Feed(tooLong);
    EXPECT_EQ(r.fill, 0u);
    EXPECT_FALSE(framer_.Synchronised());
    EXPECT_EQ(framer_.Counters().brokenPackets, 1u);
}

TEST_F(FramerTest, CountsPerTypeRejectionsAndRecorderFailures) {
    decoder_.accept = false;
    recorder_.succeed = false;
    Feed(Concat({Plain(3000, 8), Plain(3000, 8), Plain(5001, 8), Plain(3001, 8, 1)}));
    const auto& c = framer_.Counters();
    EXPECT_EQ(c.packetsByType.at(3000), 2u);
    EXPECT_EQ(c.packetsByType.at(5001), 1u);
    EXPECT_EQ(c.packetsByType.at(3001), 1u);
    EXPECT_EQ(c.rejectedPackets, 3u);  // the record-only packet is not offered to the decoder
    EXPECT_EQ(c.recordErrors, 4u);
    // A failing recorder does not stop decoding.
    EXPECT_EQ(decoder_.decoded.size(), 3u);
}

TEST_F(FramerTest, TypeListIsBounded) {
    Bytes stream;
    for (std::uint32_t type = 0; type < 100; ++type) {
        const Bytes p = Plain(type, 0);
        stream.insert(stream.end(), p.begin(), p.end());
    }
    Feed(stream);
    EXPECT_EQ(framer_.Counters().packetsByType.size(), marivane::FramerCounters::kMaxListedTypes);
    EXPECT_EQ(framer_.Counters().unlistedTypePackets, 100u - marivane::FramerCounters::kMaxListedTypes);
}

}  // namespace
