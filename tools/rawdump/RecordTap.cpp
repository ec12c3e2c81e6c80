#include "tools/rawdump/RecordTap.h"

#include <algorithm>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/Decoders.h"
#include "marivane/acquisition/PacketFormat.h"
#include "platform/Binary.h"
#include "platform/FixedText.h"
#include "tools/rawdump/OutputBuffer.h"

namespace rawdump {

namespace packet = marivane::packet;

RecordTap::RecordTap(marivane::Decoders& decoders, marivane::AcquisitionEngine& engine, OutputBuffer* records,
                     bool keepHeads)
    : decoders_(decoders), engine_(engine), out_(records), keepHeads_(keepHeads) {}

void RecordTap::Note(double time) {
    ++records_;
    if (!first_)
        first_ = time;
    last_ = time;
}

bool RecordTap::Decode(std::span<const std::uint8_t> packet) {
    if (!decoders_.Decode(packet))
        return false;
    if (packet.size() < packet::kHeaderSize)
        return true;
    const auto type = platform::LoadLE<std::uint32_t>(packet.data() + packet::kOffType);
    switch (type) {
        case packet::kTypePingHead1:
        case packet::kTypePingHead2:
        case packet::kTypeShortPing: {
            const marivane::PingRecord& r = engine_.workingPing;
            Note(r.time);
            ++pings_[r.head == 0 ? 0 : 1];
            if (keepHeads_)
                queued_.push_back({r.time, r.pingNumber, r.head});
            if (out_ != nullptr) {
                OutputBuffer& o = *out_;
                o << "ping ";
                o.Fixed(r.time, 6) << " head " << static_cast<std::uint32_t>(r.head) << " number "
                                   << r.pingNumber << " beams " << r.beamCount << " ssv ";
                o.Fixed(r.surfaceSoundVelocity, 2) << " rate ";
                o.Fixed(r.pingRate, 3) << " stab " << static_cast<std::uint32_t>(r.stabilisationFlags)
                                       << " tilt " << static_cast<int>(r.tilt) << " opening ";
                o.Fixed(r.openingAngle, 2) << " model ";
                o.Text(platform::GetFixedText(r.model)) << '\n';
            }
            break;
        }
        case packet::kTypeGnss: {
            const marivane::GnssFix& f = engine_.workingFix;
            Note(f.time);
            if (out_ != nullptr) {
                OutputBuffer& o = *out_;
                o << "gnss ";
                o.Fixed(f.time, 6) << " lat ";
                o.Fixed(f.latitude, 9) << " lon ";
                o.Fixed(f.longitude, 9) << " height ";
                o.Fixed(f.height, 3) << " east ";
                o.Fixed(f.easting, 3) << " north ";
                o.Fixed(f.northing, 3) << " quality " << f.quality << " sats " << f.satellites << " hdop ";
                o.Fixed(f.hdop, 2) << '\n';
            }
            break;
        }
        case packet::kTypeHeading: {
            const double time = decoders_.Last().heading;
            Note(time);
            if (out_ != nullptr) {
                *out_ << "heading ";
                out_->Fixed(time, 6) << " heading ";
                out_->Fixed(engine_.currentHeading.Copy(), 3) << '\n';
            }
            break;
        }
        case packet::kTypeAttitude: {
            const marivane::AttitudeSample a = engine_.currentAttitude.Copy();
            Note(a.time);
            if (out_ != nullptr) {
                *out_ << "attitude ";
                out_->Fixed(a.time, 6) << " roll ";
                out_->Fixed(a.roll, 3) << " pitch ";
                out_->Fixed(a.pitch, 3) << " heave ";
                out_->Fixed(a.heave, 3) << '\n';
            }
            break;
        }
        case packet::kTypeTime: {
            const double time = decoders_.Last().timeSignal;
            Note(time);
            if (out_ != nullptr) {
                *out_ << "time ";
                out_->Fixed(time, 6) << '\n';
            }
            break;
        }
        default:
            break;  // accepted without a decoder: no record
    }
    return true;
}

std::optional<std::uint8_t> RecordTap::HeadOf(double time, std::uint32_t pingNumber) {
    const auto match = std::find_if(queued_.begin(), queued_.end(), [&](const QueuedPing& q) {
        return q.time == time && q.number == pingNumber;
    });
    if (match == queued_.end())
        return std::nullopt;
    const std::uint8_t head = match->head;
    queued_.erase(queued_.begin(), match + 1);
    return head;
}

}  // namespace rawdump
