#pragma once
// The program-wide acquisition state: what the decoders hand to the ping processing, what the ping
// processing hands to the user interface, the snapshots the panes show and the freshness stamps of
// the status monitor. Each holder has its own lock (see Guarded); no code path holds two at once and
// none is held while beams are positioned.

#include <atomic>
#include <deque>
#include <vector>

#include "beamora/Beamora.h"
#include "marivane/acquisition/Guarded.h"
#include "marivane/acquisition/Records.h"
#include "platform/Clock.h"

namespace marivane {

// Survey state flags; exactly one legal combination at a time (all false while no project is open).
struct SurveyState {
    bool idle = true;
    bool surveying = false;
    bool armed = false;
    bool recording = false;

    static constexpr SurveyState Idle() { return {true, false, false, false}; }
    static constexpr SurveyState Surveying() { return {false, true, true, false}; }
    static constexpr SurveyState Recording() { return {false, false, false, true}; }
    static constexpr SurveyState NoProject() { return {false, false, false, false}; }
    friend bool operator==(const SurveyState&, const SurveyState&) = default;
};

class AcquisitionEngine {
  public:
    static constexpr std::size_t kFixHistoryLength = 10;

    AcquisitionEngine();
    AcquisitionEngine(const AcquisitionEngine&) = delete;
    AcquisitionEngine& operator=(const AcquisitionEngine&) = delete;

    // Called when acquisition starts, before the receiving thread runs: empties the working ping and
    // fix records, the current attitude and heading, every input queue and the fix history, and
    // stamps the start time from `clock`. The output queues and the other snapshots are left alone
    // (the user interface drains and reads them at any time). The ping processing clears its own
    // histories and pending pings at the same moment.
    void ClearForStart(const platform::Clock& clock = platform::SystemClock());

    // Appends a fix to the history, removing the oldest beyond kFixHistoryLength.
    void AppendFix(const GnssFix& fix);

    // Sets every stamp to `now` and the GNSS quality to -1 (on connecting).
    void StampAll(std::uint32_t now);

    // Input queues: decoders append, the ping processing moves everything out.
    Guarded<std::vector<PositionSample>> positionInput;
    Guarded<std::vector<AttitudeSample>> attitudeInput;
    Guarded<std::vector<HeadingSample>> headingInput;
    Guarded<std::vector<PingRecord>> pingInput;

    // Output queues: the ping processing and the GNSS decoder append, the main window drains.
    Guarded<std::vector<TrackPoint>> trackList;
    Guarded<std::vector<PositionedPing>> positionedPings;
    Guarded<std::vector<SwathEdge>> swathEdges;

    // Snapshots.
    Guarded<std::deque<GnssFix>> fixHistory;
    Guarded<PingRecord> currentPing;
    Guarded<AttitudeSample> currentAttitude;
    Guarded<double> currentHeading;
    Guarded<double> nadirDepth;
    Guarded<LastSeenStamps> stamps;
    Guarded<double> startTime;  // local seconds of day when acquisition last started

    // Working copies the decoders fill. Receiving thread only (and ClearForStart while it is
    // stopped), so they carry no lock. The short ping keeps the head and, for table modes without a
    // table, the angles of the previous ping in here.
    PingRecord workingPing;
    GnssFix workingFix;

    // Survey state; written on the user-interface thread, read anywhere.
    Guarded<SurveyState> surveyState;

    // Beam angle limit (display settings).
    std::atomic<bool> beamAngleLimitOn{false};  // bBeamAngleSet
    std::atomic<double> beamAngleLimit{120.0};  // fBeamAngleSet, degrees

    // Positioning objects: first head, second head, and the one that turns antenna positions into
    // transducer track points. Used by the receiving thread while acquiring, and by settings
    // commands only while it is stopped.
    CBeamora head1;
    CBeamora head2;
    CBeamora track;
};

}  // namespace marivane
