#pragma once
// Sonar packets for the recording tests: whole packets with a sequence number in their body, fed
// through the pipeline's framer the way the receiving thread does.

#include <cstdint>
#include <vector>

#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/acquisition/PacketFormat.h"
#include "platform/Binary.h"

namespace recordingtest {

// A packet of `length` bytes (at least 32) of a type without decoder, carrying `sequence`.
inline std::vector<std::uint8_t> Packet(std::uint32_t sequence, std::uint32_t flags = 0,
                                        std::size_t length = 64,
                                        std::uint32_t type = marivane::packet::kTypePingExtra) {
    namespace pk = marivane::packet;
    std::vector<std::uint8_t> p(length, 0xA5);
    platform::StoreLE<std::uint32_t>(p.data() + pk::kOffMagic, pk::kMagic);
    platform::StoreLE<std::uint16_t>(p.data() + pk::kOffHeaderLength, pk::kHeaderLength);
    platform::StoreLE<std::uint16_t>(p.data() + pk::kOffVersion, pk::kVersion);
    platform::StoreLE<std::uint32_t>(p.data() + pk::kOffLength, static_cast<std::uint32_t>(length));
    platform::StoreLE<std::uint32_t>(p.data() + pk::kOffFlags, flags);
    platform::StoreLE<std::uint32_t>(p.data() + 16, 0);
    platform::StoreLE<std::uint32_t>(p.data() + pk::kOffType, type);
    platform::StoreLE<std::uint32_t>(p.data() + pk::kHeaderSize, sequence);
    platform::StoreLE<std::uint32_t>(p.data() + length - pk::kTailSize, pk::kTail);
    return p;
}

// Hands the bytes to the framer as one received chunk.
inline void Feed(marivane::AcquisitionPipeline& pipeline, std::vector<std::uint8_t> bytes) {
    pipeline.FeedRecorded(bytes.data(), bytes.size(), true);
}

// The sequence numbers of the packets after a raw file's preamble; false when the data are not whole
// packets one after the other.
inline bool Sequences(const std::vector<std::uint8_t>& file, std::size_t preamble,
                      std::vector<std::uint32_t>& out) {
    std::size_t at = preamble;
    while (at < file.size()) {
        if (file.size() - at < marivane::packet::kMinPacketLength)
            return false;
        const auto length = platform::LoadLE<std::uint32_t>(file.data() + at + marivane::packet::kOffLength);
        if (platform::LoadLE<std::uint32_t>(file.data() + at) != marivane::packet::kMagic || length < 28 ||
            length > file.size() - at ||
            platform::LoadLE<std::uint32_t>(file.data() + at + length - 4) != marivane::packet::kTail) {
            return false;
        }
        out.push_back(platform::LoadLE<std::uint32_t>(file.data() + at + marivane::packet::kHeaderSize));
        at += length;
    }
    return true;
}

}  // namespace recordingtest
