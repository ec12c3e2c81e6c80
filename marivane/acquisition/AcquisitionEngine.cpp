#include "marivane/acquisition/AcquisitionEngine.h"

namespace marivane {

AcquisitionEngine::AcquisitionEngine() = default;

void AcquisitionEngine::ClearForStart(const platform::Clock& clock) {
    workingPing = PingRecord{};
    workingFix = GnssFix{};
    currentAttitude.Set(AttitudeSample{});
    currentHeading.Set(0.0);
    positionInput.With([](auto& q) { q.clear(); });
    attitudeInput.With([](auto& q) { q.clear(); });
    headingInput.With([](auto& q) { q.clear(); });
    pingInput.With([](auto& q) { q.clear(); });
    fixHistory.With([](auto& h) { h.clear(); });
    startTime.Set(static_cast<double>(LocalSecondsOfDay(clock)));
}

void AcquisitionEngine::AppendFix(const GnssFix& fix) {
    fixHistory.With([&](std::deque<GnssFix>& history) {
        while (history.size() >= kFixHistoryLength) history.pop_front();
        history.push_back(fix);
    });
}

void AcquisitionEngine::StampAll(std::uint32_t now) {
    stamps.With([now](LastSeenStamps& s) {
        s.pingHead1 = s.pingHead2 = s.heading = s.attitude = s.gnss = s.timeSignal = now;
        s.gnssQuality = -1;
    });
}

}  // namespace marivane
