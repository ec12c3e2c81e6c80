#pragma once
// Damage for the receiving side to cope with, mixed into the packet stream at random (seeded):
//   garbage    1 to 96 random bytes before a packet (never containing 'W', so never a header);
//   duplicate  an identical copy right after a packet (the receiver drops it as a retransmission,
//              but a recorder still writes it);
//   bad-tail   a copy right after a packet with its last byte changed: the receiver throws away
//              everything it has buffered when it meets it;
//   flag0      a ping or time signal sent with flag bit 0 (record, do not decode);
//   flag1      a ping or time signal sent with flag bit 1 (neither record nor decode).
// Flags go only on pings and time signals, so that the motion and position data, and with them the
// positions of all other soundings, stay intact.
//
// Every item put on the wire is listed with its fate. Those fates are what the receiver is guaranteed
// to see; a bad tail also destroys whatever was buffered behind it, which depends on how the reader
// happens to cut the stream. Items that start less than 65,536 bytes (one read of the receiver) after
// the end of a bad-tail item are therefore marked "at risk": they may be lost as well.

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

#include "tools/sonarsim/SurveyGenerator.h"

namespace sonarsim {

enum class Fate : int { Good, Duplicate, BadTail, Flag0, Flag1, Garbage };
inline constexpr int kFateCount = 6;
const char* FateName(Fate fate);

struct StreamItem {
    std::int64_t sendMicros = 0;
    std::uint32_t type = 0;  // 0 for garbage
    Fate fate = Fate::Good;
    bool atRisk = false;
    std::uint64_t offset = 0;  // in the packet stream, from its first byte
    Bytes bytes;
};

inline constexpr std::uint64_t kRiskWindow = 65536;

class FaultInjector {
  public:
    // `rate`: probability of each kind of fault per packet; 0 (or disabled) passes packets unchanged.
    FaultInjector(bool enabled, double rate, std::uint64_t seed);

    // The items that go on the wire for one packet, appended to `out` in order.
    void Process(SimPacket packet, std::vector<StreamItem>& out);

    // "offset length type fate risk" per item, offsets plus `base`.
    static void WriteManifestHeader(std::ostream& out);
    static void WriteManifestLine(std::ostream& out, const StreamItem& item, std::uint64_t base);
    // Counts of what was produced, one summary paragraph.
    void WriteSummary(std::ostream& out) const;

    std::uint64_t Count(Fate fate) const { return counts_[static_cast<int>(fate)]; }

  private:
    void Emit(StreamItem item, std::vector<StreamItem>& out);

    bool enabled_;
    double rate_;
    std::uint64_t state_;
    std::uint64_t offset_ = 0;
    std::uint64_t riskUntil_ = 0;
    std::array<std::uint64_t, kFateCount> counts_{};
    std::uint64_t atRisk_ = 0;
    std::uint64_t garbageBytes_ = 0;
    // Items per packet type and fate, for the summary: type → counts.
    std::vector<std::pair<std::uint32_t, std::array<std::uint64_t, kFateCount>>> byType_;
};

}  // namespace sonarsim
