#include "marivane/acquisition/Framer.h"

#include <cstring>

#include "marivane/acquisition/PacketFormat.h"
#include "platform/Binary.h"

namespace marivane {
namespace {

using platform::LoadLE;

bool IsHeaderAt(const std::uint8_t* p) {
    return LoadLE<std::uint32_t>(p + packet::kOffMagic) == packet::kMagic &&
           LoadLE<std::uint16_t>(p + packet::kOffHeaderLength) == packet::kHeaderLength &&
           LoadLE<std::uint16_t>(p + packet::kOffVersion) == packet::kVersion;
}

}  // namespace

Framer::Framer(PacketDecoder* decoder, PacketRecorder* recorder, std::size_t bufferSize)
    : decoder_(decoder), recorder_(recorder), bufferSize_(bufferSize) {}

void Framer::CountTaken(std::uint32_t type) {
    auto it = counters_.packetsByType.find(type);
    if (it != counters_.packetsByType.end()) {
        ++it->second;
    } else if (counters_.packetsByType.size() < FramerCounters::kMaxListedTypes) {
        counters_.packetsByType.emplace(type, 1);
    } else {
        ++counters_.unlistedTypePackets;
    }
}

FrameResult Framer::Frame(std::uint8_t* buffer, std::size_t fill, bool continuing) {
    const FrameResult r = FrameWindow(buffer, fill, continuing);
    if (buffer != nullptr && r.fill > 0 && r.fill < fill)
        std::memmove(buffer, buffer + (fill - r.fill), r.fill);
    return r;
}

FrameResult Framer::FrameWindow(const std::uint8_t* buffer, std::size_t fill, bool continuing) {
    if (!continuing)
        synchronised_ = false;
    unsigned status = synchronised_ ? kFrameHeaderFound : 0u;
    if (buffer == nullptr)
        fill = 0;

    // Packets are taken from `begin` onwards; Frame moves the rest to the front once at the end,
    // which is the same as moving it after every packet.
    std::size_t begin = 0;
    while (fill - begin >= packet::kHeaderSize) {
        if (!synchronised_) {
            const std::size_t last = fill - packet::kHeaderSize;
            std::size_t at = begin;
            bool found = false;
            for (; at <= last; ++at) {
                if (buffer[at] == 'W' && IsHeaderAt(buffer + at)) {
                    found = true;
                    break;
                }
            }
            if (!found) {
                const std::size_t keep = packet::kHeaderSize - 1;
                counters_.bytesSkipped += fill - keep - begin;
                begin = fill - keep;
                break;
            }
            counters_.bytesSkipped += at - begin;
            begin = at;
            length_ = LoadLE<std::uint32_t>(buffer + begin + packet::kOffLength);
            synchronised_ = true;
            status |= kFrameHeaderFound;
        }

        if (length_ < packet::kMinPacketLength || length_ > bufferSize_) {
            // A length that cannot be a packet: handled like a wrong tail.
            ++counters_.brokenPackets;
            counters_.bytesDropped += fill - begin;
            begin = fill;
            synchronised_ = false;
            break;
        }
        if (fill - begin < length_)
            break;  // wait for the rest

        const std::uint8_t* p = buffer + begin;
        const std::uint32_t flags = LoadLE<std::uint32_t>(p + packet::kOffFlags);
        synchronised_ = false;
        if ((flags & packet::kFlagDiscard) != 0) {
            ++counters_.discardedPackets;
            begin += length_;
            status |= kFramePacketRemoved;
            continue;
        }
        if (LoadLE<std::uint32_t>(p + length_ - packet::kTailSize) != packet::kTail) {
            ++counters_.brokenPackets;
            counters_.bytesDropped += fill - begin;
            begin = fill;
            break;
        }
        CountTaken(LoadLE<std::uint32_t>(p + packet::kOffType));
        if (recorder_ != nullptr && !recorder_->RecordPacket(p, length_))
            ++counters_.recordErrors;
        if ((flags & packet::kFlagRecordOnly) != 0) {
            ++counters_.recordOnlyPackets;
        } else if (decoder_ != nullptr && !decoder_->Decode(std::span<const std::uint8_t>(p, length_))) {
            ++counters_.rejectedPackets;
        }
        begin += length_;
        status |= kFrameGoodPacket | kFramePacketRemoved;
    }

    const std::size_t left = fill - begin;
    if (synchronised_)
        status |= kFrameHeaderFound;
    return FrameResult{status, left};
}

}  // namespace marivane
