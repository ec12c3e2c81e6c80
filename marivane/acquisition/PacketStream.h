#pragma once
// What the receiving side hands its bytes to: something that takes complete packets from the front
// of a buffer and keeps the rest there for the next call.

#include <cstddef>
#include <cstdint>

namespace marivane {

// Status bits of a framing call.
enum : unsigned {
    kFrameHeaderFound = 1u << 0,   // a header was found or is pending
    kFrameGoodPacket = 1u << 1,    // a packet with a good tail was taken
    kFramePacketRemoved = 1u << 2, // a packet was removed
};

struct FrameResult {
    unsigned status = 0;
    std::size_t fill = 0;  // bytes left at the front of the buffer
};

class PacketStream {
public:
    virtual ~PacketStream() = default;
    // Consumes complete packets from buffer[0, fill) and moves what is left to the front.
    // `continuing` false forgets any header found in an earlier call.
    virtual FrameResult Frame(std::uint8_t* buffer, std::size_t fill, bool continuing) = 0;
};

}  // namespace marivane
