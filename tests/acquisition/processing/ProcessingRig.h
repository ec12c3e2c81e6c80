#pragma once
// A ping processing with its own engine, sound velocity state and message queue, and helpers that
// feed the engine's input queues the way the decoders do.

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/PingProcessing.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "platform/MessageSink.h"

namespace rig {

using marivane::AttitudeSample;
using marivane::HeadingSample;
using marivane::PingRecord;
using marivane::PositionSample;

struct Beam {
    float angle = 0.0f;       // degrees
    float travelTime = 0.0f;  // one-way, seconds
};

inline PingRecord MakePing(double time, std::initializer_list<Beam> beams, std::uint8_t head = 0,
                           double surfaceVelocity = 1500.0) {
    PingRecord p;
    p.time = time;
    p.pingNumber = 7;
    p.pingRate = 10.0f;
    p.head = head;
    p.surfaceSoundVelocity = surfaceVelocity;
    p.beamCount = static_cast<std::uint32_t>(beams.size());
    std::size_t i = 0;
    for (const Beam& b : beams) {
        p.angle[i] = b.angle;
        p.travelTime[i] = b.travelTime;
        ++i;
    }
    return p;
}

class Processing {
  public:
    Processing() : soundVelocity(engine), processing(engine, soundVelocity, sink) {}

    void Position(double t, double easting, double northing) {
        engine.positionInput.With([&](auto& q) { q.push_back(PositionSample{t, easting, northing}); });
    }
    void Attitude(double t, double roll, double pitch = 0.0, double heave = 0.0) {
        engine.attitudeInput.With([&](auto& q) { q.push_back(AttitudeSample{t, roll, pitch, heave}); });
    }
    void Heading(double t, double heading) {
        engine.headingInput.With([&](auto& q) { q.push_back(HeadingSample{t, heading}); });
    }
    // A vessel lying still at (easting, northing) with the given roll and heading, sampled from `from`
    // to `to`: GNSS and heading at 10 Hz, attitude at 50 Hz.
    void StillVessel(double from, double to, double easting = 100.0, double northing = 200.0,
                     double roll = 0.0, double heading = 0.0) {
        for (int k = 0; from + k * 0.1 <= to + 1e-9; ++k) {
            Position(from + k * 0.1, easting, northing);
            Heading(from + k * 0.1, heading);
        }
        for (int k = 0; from + k * 0.02 <= to + 1e-9; ++k) Attitude(from + k * 0.02, roll);
    }

    std::size_t Ping(const PingRecord& ping) {
        engine.pingInput.With([&](auto& q) { q.push_back(ping); });
        return processing.ProcessPings();
    }

    std::vector<marivane::PositionedPing> TakePositioned() { return engine.positionedPings.Take(); }
    std::vector<marivane::SwathEdge> TakeEdges() { return engine.swathEdges.Take(); }
    double NadirDepth() const { return engine.nadirDepth.Copy(); }

    // WM_DATA_UPDATE (0x5F9) messages with wParam 5, a new nadir depth, posted to the data pane since
    // the last call.
    std::size_t TakeNadirMessages() {
        std::size_t n = 0;
        for (const auto& m : sink.Take()) {
            if (m.target == platform::MessageTarget::DataPane && m.id == 0x5F9 && m.wParam == 5)
                ++n;
        }
        return n;
    }

    marivane::AcquisitionEngine engine;
    marivane::SoundVelocity soundVelocity;
    platform::QueueMessageSink sink;
    marivane::PingProcessing processing;
};

}  // namespace rig
