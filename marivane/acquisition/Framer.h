#pragma once
// Reassembles sonar packets from the received byte stream. The receiving thread appends what it
// reads to its buffer and calls Frame(); complete packets are taken from the front, recorded and
// decoded, and whatever is left (a partial packet, or at most 23 bytes that may begin a header) is
// moved to the front for the next call.

#include <cstddef>
#include <cstdint>
#include <map>

#include "marivane/acquisition/PacketHandlers.h"
#include "marivane/acquisition/PacketStream.h"

namespace marivane {

// Plain counters for inspection; read by the framer's owner on the receiving thread.
struct FramerCounters {
    static constexpr std::size_t kMaxListedTypes = 64;

    std::map<std::uint32_t, std::uint64_t> packetsByType;  // taken packets (good tail, not discarded)
    std::uint64_t unlistedTypePackets = 0;  // taken packets of types beyond the first kMaxListedTypes
    std::uint64_t recordOnlyPackets = 0;    // flag bit 0: recorded, not decoded
    std::uint64_t discardedPackets = 0;     // flag bit 1: neither recorded nor decoded
    std::uint64_t brokenPackets = 0;        // wrong tail, or a length outside 28..buffer size
    std::uint64_t bytesDropped = 0;         // buffered bytes thrown away with broken packets
    std::uint64_t bytesSkipped = 0;         // bytes passed over while searching for a header
    std::uint64_t rejectedPackets = 0;      // decoded packets that the decoder refused
    std::uint64_t recordErrors = 0;         // packets the recorder failed to write
};

class Framer final : public PacketStream {
  public:
    static constexpr std::size_t kReceiveBufferSize = 16777216;

    // Neither handler is owned; either may be null. `bufferSize` is the capacity of the receive
    // buffer: a packet claiming to be longer can never complete and counts as broken.
    Framer(PacketDecoder* decoder, PacketRecorder* recorder, std::size_t bufferSize = kReceiveBufferSize);

    FrameResult Frame(std::uint8_t* buffer, std::size_t fill, bool continuing) override;
    // The same over bytes that stay where they are (a file mapped into memory): nothing is moved, and
    // the result's `fill` counts the bytes at the end of the window not taken yet, with which the
    // next window must begin.
    FrameResult FrameWindow(const std::uint8_t* buffer, std::size_t fill, bool continuing);

    bool Synchronised() const { return synchronised_; }
    const FramerCounters& Counters() const { return counters_; }
    void ResetCounters() { counters_ = FramerCounters{}; }

  private:
    void CountTaken(std::uint32_t type);

    PacketDecoder* decoder_;
    PacketRecorder* recorder_;
    std::size_t bufferSize_;
    bool synchronised_ = false;
    std::uint32_t length_ = 0;  // of the packet whose header sits at the front
    FramerCounters counters_;
};

}  // namespace marivane
