#pragma once
// What the framer hands a complete packet to: the recorder (every packet with a good tail) and the
// decoder (unless the packet is marked record-only). Both see the packet in place, header to tail.

#include <cstddef>
#include <cstdint>
#include <span>

namespace marivane {

class PacketRecorder {
  public:
    virtual ~PacketRecorder() = default;
    // Appends the packet to the open raw data file, if any. False only when a write failed.
    virtual bool RecordPacket(const std::uint8_t* bytes, std::size_t length) = 0;
};

class PacketDecoder {
  public:
    virtual ~PacketDecoder() = default;
    // Decodes one packet of `packet.size()` bytes; true when it was accepted.
    virtual bool Decode(std::span<const std::uint8_t> packet) = 0;
};

}  // namespace marivane
