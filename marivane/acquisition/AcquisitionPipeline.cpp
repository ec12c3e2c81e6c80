#include "marivane/acquisition/AcquisitionPipeline.h"

namespace marivane {

AcquisitionPipeline::AcquisitionPipeline(AcquisitionEngine& engine, const geodesy::CCoordinateCal& coordinates,
                                         platform::MessageSink& sink, const platform::Clock& clock)
    : engine_(engine),
      clock_(clock),
      sound_(engine),
      processing_(engine, sound_, sink),
      decoders_(engine, coordinates, sink, clock),
      framer_(&decoders_, &raw_),
      link_(framer_, clock,
            SonarLinkHooks{
                [this](std::uint32_t) {
                    // A start while the threads still run (never offered by the commands) must not
                    // pull the receiving side's state from under the receive thread.
                    if (!link_.Running()) ClearForStart();
                },
                [this](bool surveying) {
                    engine_.surveyState.Set(surveying ? SurveyState::Surveying() : SurveyState::Idle());
                },
                [this](std::uint32_t now) { engine_.StampAll(now); },
            }),
      results_(engine) {
    decoders_.SetPingProcessor(&processing_);
    decoders_.SetTrackRecorder(&track_);
}

void AcquisitionPipeline::ClearForStart() {
    // Called while neither link thread runs, so the receiving side's own state is free to touch.
    engine_.ClearForStart(clock_);
    processing_.Clear();
    decoders_.ForgetLastTimes();
}

std::size_t AcquisitionPipeline::FeedRecorded(std::uint8_t* buffer, std::size_t fill, bool continuing) {
    return framer_.Frame(buffer, fill, continuing).fill;
}

}  // namespace marivane
