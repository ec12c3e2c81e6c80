#include "tools/sonarsim/FaultInjector.h"

#include <algorithm>

namespace sonarsim {

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool MayCarryFlags(std::uint32_t type) {
    return type == kTypePing || type == kTypePingSecondHead || type == kTypeShortPing ||
           type == kTypeTimeSignal;
}

}  // namespace

const char* FateName(Fate fate) {
    switch (fate) {
        case Fate::Good:
            return "good";
        case Fate::Duplicate:
            return "duplicate";
        case Fate::BadTail:
            return "bad-tail";
        case Fate::Flag0:
            return "flag0";
        case Fate::Flag1:
            return "flag1";
        case Fate::Garbage:
            return "garbage";
    }
    return "?";
}

FaultInjector::FaultInjector(bool enabled, double rate, std::uint64_t seed)
    : enabled_(enabled && rate > 0), rate_(rate), state_(seed ^ 0xFA17FA17FA17FA17ull) {}

void FaultInjector::Emit(StreamItem item, std::vector<StreamItem>& out) {
    item.offset = offset_;
    item.atRisk = offset_ < riskUntil_;
    offset_ += item.bytes.size();
    if (item.fate == Fate::BadTail)
        riskUntil_ = offset_ + kRiskWindow;
    const int f = static_cast<int>(item.fate);
    ++counts_[f];
    if (item.atRisk)
        ++atRisk_;
    if (item.fate == Fate::Garbage)
        garbageBytes_ += item.bytes.size();
    auto it =
        std::find_if(byType_.begin(), byType_.end(), [&](const auto& e) { return e.first == item.type; });
    if (it == byType_.end()) {
        byType_.push_back({item.type, {}});
        it = byType_.end() - 1;
    }
    ++it->second[f];
    out.push_back(std::move(item));
}

void FaultInjector::Process(SimPacket packet, std::vector<StreamItem>& out) {
    const double u = enabled_ ? static_cast<double>(SplitMix(state_) >> 11) * 0x1.0p-53 : 1.0;
    const std::int64_t when = packet.sendMicros;
    const std::uint32_t type = packet.type;
    if (u < rate_) {
        StreamItem garbage{when, 0, Fate::Garbage, false, 0, {}};
        const std::size_t n = 1 + SplitMix(state_) % 96;
        for (std::size_t i = 0; i < n; ++i) {
            auto b = static_cast<std::uint8_t>(SplitMix(state_));
            if (b == 'W')
                b = 'w';
            garbage.bytes.push_back(b);
        }
        Emit(std::move(garbage), out);
        Emit({when, type, Fate::Good, false, 0, std::move(packet.bytes)}, out);
    } else if (u < 2 * rate_) {
        Bytes copy = packet.bytes;
        Emit({when, type, Fate::Good, false, 0, std::move(packet.bytes)}, out);
        Emit({when, type, Fate::Duplicate, false, 0, std::move(copy)}, out);
    } else if (u < 3 * rate_) {
        Bytes broken = packet.bytes;
        broken.back() = 0x00;  // 77 EE EE 00
        Emit({when, type, Fate::Good, false, 0, std::move(packet.bytes)}, out);
        Emit({when, type, Fate::BadTail, false, 0, std::move(broken)}, out);
    } else if (u < 5 * rate_ && MayCarryFlags(type)) {
        const bool discard = u >= 4 * rate_;
        SetPacketFlags(packet.bytes, discard ? kFlagDiscard : kFlagRecordOnly);
        Emit({when, type, discard ? Fate::Flag1 : Fate::Flag0, false, 0, std::move(packet.bytes)}, out);
    } else {
        Emit({when, type, Fate::Good, false, 0, std::move(packet.bytes)}, out);
    }
}

void FaultInjector::WriteManifestHeader(std::ostream& out) {
    out << "# sonarsim packet manifest\n"
           "# offset length type fate risk\n"
           "# fates are guaranteed; risk 1: within one 65536-byte read after a bad tail, may be lost too\n";
}

void FaultInjector::WriteManifestLine(std::ostream& out, const StreamItem& item, std::uint64_t base) {
    out << item.offset + base << ' ' << item.bytes.size() << ' ' << item.type << ' ' << FateName(item.fate)
        << ' ' << (item.atRisk ? 1 : 0) << '\n';
}

void FaultInjector::WriteSummary(std::ostream& out) const {
    out << "sonarsim: faults: garbage " << Count(Fate::Garbage) << " (" << garbageBytes_
        << " bytes), duplicate " << Count(Fate::Duplicate) << ", bad-tail " << Count(Fate::BadTail)
        << ", flag0 " << Count(Fate::Flag0) << ", flag1 " << Count(Fate::Flag1)
        << "; at risk after a bad tail: " << atRisk_ << "\n";
    auto types = byType_;
    std::sort(types.begin(), types.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [type, c] : types) {
        if (type == 0)
            continue;
        out << "sonarsim:   type " << type << ":";
        for (int f = 0; f < kFateCount; ++f) {
            if (static_cast<Fate>(f) == Fate::Garbage)
                continue;
            out << ' ' << FateName(static_cast<Fate>(f)) << ' ' << c[f];
        }
        out << "\n";
    }
}

}  // namespace sonarsim
