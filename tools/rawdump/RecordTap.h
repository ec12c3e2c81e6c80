#pragma once
// Sits between the framer and the decoders: every packet goes on to the decoders unchanged, and each
// packet they accept is noted as the record it produced (and printed, with --records), read back from
// where the decoders left it in the acquisition engine.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

#include "marivane/acquisition/PacketHandlers.h"

namespace marivane {
class AcquisitionEngine;
class Decoders;
}  // namespace marivane

namespace rawdump {

class OutputBuffer;

class RecordTap final : public marivane::PacketDecoder {
  public:
    // `records`: where to print one line per record, or nullptr. With `keepHeads` the head of every
    // queued ping is kept until HeadOf() asks for it (positioned pings do not carry their head).
    RecordTap(marivane::Decoders& decoders, marivane::AcquisitionEngine& engine, OutputBuffer* records,
              bool keepHeads);

    bool Decode(std::span<const std::uint8_t> packet) override;

    std::uint64_t PingsAccepted(int head) const { return pings_[head == 0 ? 0 : 1]; }
    std::uint64_t RecordsDecoded() const { return records_; }
    // Epoch times of the first and the last record in file order; nothing before the first record.
    std::optional<double> FirstTime() const { return first_; }
    std::optional<double> LastTime() const { return last_; }

    // The head of the positioned ping with this time and number. Pings are positioned in the order
    // they were queued, some skipped, so the pings queued before the match are forgotten with it.
    std::optional<std::uint8_t> HeadOf(double time, std::uint32_t pingNumber);

  private:
    struct QueuedPing {
        double time;
        std::uint32_t number;
        std::uint8_t head;
    };

    void Note(double time);

    marivane::Decoders& decoders_;
    marivane::AcquisitionEngine& engine_;
    OutputBuffer* out_;
    bool keepHeads_;
    std::uint64_t pings_[2] = {0, 0};
    std::uint64_t records_ = 0;
    std::optional<double> first_, last_;
    std::deque<QueuedPing> queued_;
};

}  // namespace rawdump
