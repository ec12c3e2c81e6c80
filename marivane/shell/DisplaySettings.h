#pragma once
// The chart's display settings: beam opening angle limit, speed unit, vessel-following mode, line
// switching, the speed and depth overlay, and which track point is drawn. One set for the running
// program, kept in section "DisplaySet" of the project file (.ngn) and edited in the view options
// dialog. The beam angle limit is used by the ping processing, so it is also handed to the
// acquisition engine.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {
class MessageSink;
}

namespace marivane {

class AcquisitionEngine;

inline constexpr std::string_view kDisplaySection = "DisplaySet";

enum SpeedUnit : int { kSpeedKnots = 0, kSpeedMetresPerSecond = 1, kSpeedKilometresPerHour = 2 };
enum TrackPointKind : int { kTrackPointAntenna = 0, kTrackPointTransducer = 1 };
inline constexpr int kTrackModeCount = 4;  // 0 free, 1 jump back at the edge, 2 centred, 3 heading up

struct DisplaySettings {
    bool beamAngleLimitOn = false;               // bBeamAngleSet
    double beamAngleLimit = 120.0;               // fBeamAngleSet: full opening angle, degrees
    int speedUnit = kSpeedKnots;                 // SheepVelFormat
    int trackMode = 1;                           // ShipTrackMode
    int lineSwitchMode = 0;                      // ShiftLineMode: 0 by hand, 1 automatic
    int lineIncrement = 0;                       // ShiftLineIncreCount
    double captureDistance = 0.0;                // ShiftLineCapDist, metres
    int showSpeed = 1;                           // ShiftLineCheckSheepVel
    int showDepth = 1;                           // ShiftLineCheckWaterDep
    int trackPointMode = kTrackPointTransducer;  // TrackPointMode

    friend bool operator==(const DisplaySettings&, const DisplaySettings&) = default;
};

// The keys of section DisplaySet, in the order the view options dialog writes them.
enum class DisplayKey {
    BeamAngleOn,      // bBeamAngleSet: "true" / "false"
    BeamAngle,        // fBeamAngleSet: "%f"
    SpeedUnit,        // SheepVelFormat: "%d"
    TrackMode,        // ShipTrackMode: "%d"
    LineSwitchMode,   // ShiftLineMode: "%d"
    LineIncrement,    // ShiftLineIncreCount: "%d"
    CaptureDistance,  // ShiftLineCapDist: "%.2f"
    ShowSpeed,        // ShiftLineCheckSheepVel: "%d"
    ShowDepth,        // ShiftLineCheckWaterDep: "%d"
    TrackPointMode,   // TrackPointMode: "%d"
};
inline constexpr int kDisplayKeyCount = 10;
std::string_view DisplayKeyName(DisplayKey key);

// The ranges the values are held to. A speed unit outside 0..2 or a track mode outside 0..3 becomes
// its start value (knots, 1), a track point mode outside 0..1 becomes 1 (transducer).
int NormalSpeedUnit(int value);
int NormalTrackMode(int value);
int NormalTrackPointMode(int value);

// Reads section DisplaySet of the project file over `display`. bBeamAngleSet is true only for exactly
// "true"; numbers are leading numbers ("12x" is 12, "x" is 0); a missing key or an empty value leaves
// its value as it was, except TrackPointMode, which reads as 1 when missing. After SheepVelFormat
// WM_SPEED_UNIT_CHANGED is posted to the data pane, after ShipTrackMode WM_SET_TRACK_MODE with the
// mode to the chart view. False, with nothing changed or posted, when the file cannot be read.
bool ReadDisplaySettings(DisplaySettings& display, const std::filesystem::path& projectFile,
                         platform::MessageSink& sink);

// One key, or all ten in dialog order. An empty project file path (no project) writes nothing and
// succeeds. False when a key could not be written (the others are still written).
bool WriteDisplayKey(const DisplaySettings& display, DisplayKey key,
                     const std::filesystem::path& projectFile);
bool WriteDisplaySettings(const DisplaySettings& display, const std::filesystem::path& projectFile);

// Hands the beam angle limit (bBeamAngleSet, fBeamAngleSet) to the ping processing.
void ApplyDisplaySettings(const DisplaySettings& display, AcquisitionEngine& engine);

// The view options dialog. The three edits are text, read back with leading-number rules.
struct DisplayDialog {
    bool beamAngleCheck = false;                 // check 1126
    std::string beamAngleText;                   // edit 1116
    int speedUnit = kSpeedKnots;                 // radios 1047, 1013, 1201
    int trackMode = 1;                           // radios 1194, 1048, 1014, 1059
    int lineSwitchMode = 0;                      // radios 1195, 1049
    std::string incrementText;                   // edit 1196
    std::string captureDistanceText;             // edit 1197
    bool showSpeed = true;                       // check 1170
    bool showDepth = true;                       // check 1172
    int trackPointMode = kTrackPointTransducer;  // radios 1248, 1249

    bool BeamAngleEditEnabled() const { return beamAngleCheck; }
    bool LineSwitchEditsEnabled() const { return lineSwitchMode == 1; }
};

// What the dialog shows: the current values, or, without a project, the box unchecked, knots, track
// mode 1, manual switching with increment 0 and distance 0.00 (the overlay boxes, the angle and the
// track point mode as they are).
DisplayDialog DisplayDialogFor(const DisplaySettings& display, bool projectOpen);

// OK of the dialog: stores each value in `display` and writes its key at once, in dialog order; the
// beam angle limit also goes to the engine, WM_SPEED_UNIT_CHANGED follows the speed unit and
// WM_SET_TRACK_MODE the track mode. Without a project (empty path) only memory changes. When a key
// cannot be written one error naming the file is shown and false comes back.
bool ConfirmDisplayDialog(DisplaySettings& display, const DisplayDialog& dialog,
                          const std::filesystem::path& projectFile, AcquisitionEngine& engine,
                          platform::MessageSink& sink);

}  // namespace marivane
