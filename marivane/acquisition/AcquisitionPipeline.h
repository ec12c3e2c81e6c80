#pragma once
// The receiving side assembled: sonar link → framer → recorder and decoders → ping processing, with
// the sound velocity state and the user-interface half that drains the processing's results. The
// program creates one; tools that read recorded files use the same pieces without the link.

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/Decoders.h"
#include "marivane/acquisition/Framer.h"
#include "marivane/acquisition/PingProcessing.h"
#include "marivane/acquisition/ProcessedPingHandler.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/acquisition/SonarLink.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "marivane/acquisition/TrackFile.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"

namespace geodesy {
class CCoordinateCal;
}

namespace marivane {

class AcquisitionPipeline {
public:
    // None of the arguments is owned; they outlive the pipeline. The coordinate calculator is only
    // reloaded while acquisition is stopped.
    AcquisitionPipeline(AcquisitionEngine& engine, const geodesy::CCoordinateCal& coordinates,
                        platform::MessageSink& sink, const platform::Clock& clock = platform::SystemClock());
    AcquisitionPipeline(const AcquisitionPipeline&) = delete;
    AcquisitionPipeline& operator=(const AcquisitionPipeline&) = delete;

    // What a new acquisition starts without: the engine's working records, queues and fix history,
    // the processing's histories and pending pings, and the decoders' last accepted times (so that a
    // replay of an older recording after a newer one is not taken for retransmissions).
    void ClearForStart();

    AcquisitionEngine& Engine() { return engine_; }
    SoundVelocity& Sound() { return sound_; }
    PingProcessing& Processing() { return processing_; }
    Decoders& Decode() { return decoders_; }
    Framer& Frames() { return framer_; }
    RawRecorder& Raw() { return raw_; }
    TrackRecorder& Track() { return track_; }
    SonarLink& Link() { return link_; }
    ProcessedPingHandler& Results() { return results_; }

    // Feeds recorded bytes through the framer as the receiving thread would (for tools and tests
    // that read files). `continuing` false starts a new stream. Returns what stays buffered.
    std::size_t FeedRecorded(std::uint8_t* buffer, std::size_t fill, bool continuing);

private:
    AcquisitionEngine& engine_;
    const platform::Clock& clock_;
    SoundVelocity sound_;
    PingProcessing processing_;
    RawRecorder raw_;
    TrackRecorder track_;
    Decoders decoders_;
    Framer framer_;
    SonarLink link_;
    ProcessedPingHandler results_;
};

}  // namespace marivane
