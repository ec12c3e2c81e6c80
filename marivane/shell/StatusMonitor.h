#pragma once
// Status monitoring: once a second the main frame turns the freshness of every data stream into the
// look and text of status panes 2 to 7 (network link, time message, GNSS, motion, heading, sonar),
// blinking a pane red with a beep for each stream that has gone quiet. Everything here is computed
// from plain values; the user interface only paints the result and sounds the beeps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "marivane/acquisition/Records.h"
#include "marivane/shell/AlarmSettings.h"
#include "platform/Clock.h"

namespace marivane {

class AcquisitionEngine;

inline constexpr std::uint32_t kSecondsPerDay = 86400;
// A stream is silent once its age exceeds this many whole seconds.
inline constexpr std::uint32_t kStreamSilentAfter = 2;

// Seconds since `stamp`, both times of day: (now - stamp + 86400) mod 86400, so that a stream last
// seen before midnight still ages after it.
std::uint32_t StreamAge(std::uint32_t now, std::uint32_t stamp);

// The age of every watched stream, in whole seconds, and the fix quality of the last GNSS record
// (-1 when none has arrived since connecting).
struct StreamAges {
    std::uint32_t timeSignal = 0;
    std::uint32_t gnss = 0;
    std::uint32_t attitude = 0;
    std::uint32_t heading = 0;
    std::uint32_t head1 = 0;
    std::uint32_t head2 = 0;
    std::int32_t gnssQuality = -1;
};

StreamAges AgesAt(const LastSeenStamps& stamps, std::uint32_t now);

// Copies the stamps under their lock, then takes the time of day: a stamp written while the update
// runs can therefore never lie ahead of `now` (which would read as a day-old stream).
StreamAges ReadStreamAges(const AcquisitionEngine& engine, const platform::Clock& clock);

// GNSS fix quality code to its name and level: 0 Initializing (0), 1 Stand Alone (1), 2 Differential
// (2), 3 and 5 RTK Float (2), 4 RTK Fixed (4), 6 Estimated (0), 9 WAAS Diff (2); any other code
// "Unknown mode <n>" (0).
std::string GnssQualityName(int quality, bool english);
int GnssQualityLevel(int quality);
// "GPS status:" / "GPS状态：" followed by the name.
std::string GnssQualityPaneText(int quality, bool english);

enum class PaneLook {
    Normal,     // blank: grey text on grey
    Alarm,      // white on red
    Connected,  // black on grey (network pane only)
};

struct PaneColours {
    std::uint32_t text;        // 0x00BBGGRR
    std::uint32_t background;  // 0x00BBGGRR
};
PaneColours PaneColoursOf(PaneLook look);

// The text a normal pane carries (invisible, grey on grey).
inline constexpr std::string_view kNormalPaneText = "正常正常正常正常正常";

struct PaneView {
    PaneLook look = PaneLook::Normal;
    std::string text{kNormalPaneText};
    friend bool operator==(const PaneView&, const PaneView&) = default;
};

enum StatusPane : int {
    kPaneNetwork = 2,
    kPaneTimeSignal = 3,
    kPaneGnss = 4,
    kPaneMotion = 5,
    kPaneHeading = 6,
    kPaneSonar = 7,
};
inline constexpr int kFirstStatusPane = kPaneNetwork;
inline constexpr int kStatusPaneCount = 6;

struct StatusPanes {
    std::array<PaneView, kStatusPaneCount> panes{};
    // Asterisk beeps to sound for this update: one per pane that shows an alarm.
    int beeps = 0;

    // Status bar pane 2..7.
    const PaneView& Pane(int index) const {
        return panes.at(static_cast<std::size_t>(index - kFirstStatusPane));
    }
    PaneView& Pane(int index) { return panes.at(static_cast<std::size_t>(index - kFirstStatusPane)); }
    bool Beep() const { return beeps > 0; }
};

struct StatusInputs {
    bool projectOpen = false;
    bool idle = true;        // survey state: neither surveying nor recording
    bool linkAlive = false;  // last keep-alive reached the sonar
    bool dualHead = false;   // two sonar heads in use
    bool english = false;    // language of the pane texts
    StreamAges ages{};
};

// Even ticks are the on phase of the blink, odd ticks the off phase.
inline bool BlinkOn(int tick) {
    return tick % 2 == 0;
}
// The tick counter after one more update: incremented, and back to 0 once above 2147483639.
int NextTick(int tick);

// One status update for the given tick (already advanced). No project or idle: all panes normal.
// Link down: pane 2 blinks "Net Disconnected", the others stay normal. Otherwise pane 2 shows
// "Net Connected" and, when the data-stream alarm is on, panes 3 to 7 blink for every stream silent
// longer than kStreamSilentAfter and pane 4 also for a fix below the alarm threshold.
StatusPanes UpdateStatusPanes(const StatusInputs& inputs, const AlarmSettings& alarm, int tick);

// The monitor's only state: its tick counter.
class StatusMonitor {
  public:
    // Advances the tick counter and computes the panes.
    StatusPanes Update(const StatusInputs& inputs, const AlarmSettings& alarm);
    int Tick() const { return tick_; }

  private:
    int tick_ = 0;
};

// The periodic disk check, given what FreeDiskGiB returned: exactly 0 shows the low-space warning
// (whether or not a survey runs); -1 (no project, failed query) and anything else stays silent.
// True when the warning was shown.
bool CheckFreeDisk(int freeGiB);

}  // namespace marivane
