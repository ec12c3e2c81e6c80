#pragma once
// The decoders of the sonar's packets: pings of either head (full and short form), GNSS fixes,
// heading, attitude and the time signal. Each checks its packet, fills the records of the
// acquisition engine under their locks, stamps the stream as seen and posts the window messages
// that make the panes refresh. All of it runs on the receiving thread, one packet at a time.
//
// Packets come from the network: every read is checked against the packet's length, and a packet
// too short for its fields is rejected before anything changes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "marivane/acquisition/PacketHandlers.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"

namespace geodesy {
class CCoordinateCal;
}

namespace marivane {

class AcquisitionEngine;
class PingProcessor;
class TrackRecorder;

class Decoders final : public PacketDecoder {
  public:
    // Epoch times of the last packet accepted from each stream; a packet less than
    // kDuplicateInterval after it is a retransmission.
    struct LastTimes {
        double ping[2] = {0.0, 0.0};  // per head; the short ping uses head 0
        double fix = 0.0;
        double heading = 0.0;
        double attitude = 0.0;
        double timeSignal = 0.0;
        double trackPoint = 0.0;  // fix time of the last track point
    };
    static constexpr double kDuplicateInterval = 0.0001;  // s
    static constexpr double kTrackPointInterval = 0.995;  // s

    // None of the collaborators is owned; they must outlive the decoders. `coordinates` is the
    // program's coordinate calculator (its owner does not reload it while acquiring).
    Decoders(AcquisitionEngine& engine, const geodesy::CCoordinateCal& coordinates,
             platform::MessageSink& sink, const platform::Clock& clock = platform::SystemClock());

    // The ping processing run after each queued ping, and the track file the GNSS decoder writes to
    // (only while it is open). Either may be null.
    void SetPingProcessor(PingProcessor* processor) { processor_ = processor; }
    void SetTrackRecorder(TrackRecorder* track) { track_ = track; }

    // Dispatches by the type at offset 20. Types without a decoder are accepted as they are.
    bool Decode(std::span<const std::uint8_t> packet) override;

    bool DecodePing(std::span<const std::uint8_t> packet, std::uint8_t head);  // 3000 / 3300
    bool DecodeShortPing(std::span<const std::uint8_t> packet);                // 3004
    bool DecodeGnss(std::span<const std::uint8_t> packet);                     // 5001
    bool DecodeHeading(std::span<const std::uint8_t> packet);                  // 5004
    bool DecodeAttitude(std::span<const std::uint8_t> packet);                 // 5005
    bool DecodeTime(std::span<const std::uint8_t> packet);                     // 5000

    const LastTimes& Last() const { return last_; }
    // Forgets every last time, so the next packet of each stream is accepted whatever its time.
    void ForgetLastTimes() { last_ = LastTimes{}; }

  private:
    void QueuePing(double time);

    AcquisitionEngine& engine_;
    const geodesy::CCoordinateCal& coordinates_;
    platform::MessageSink& sink_;
    const platform::Clock& clock_;
    PingProcessor* processor_ = nullptr;
    TrackRecorder* track_ = nullptr;
    LastTimes last_;
};

}  // namespace marivane
