#pragma once
// The alarm record of a project: which data streams the status monitor watches and the lowest GNSS
// fix it accepts. Kept in section "ParaOfAlarm" of the project settings file and edited on the alarm
// page (alarm settings command and new-project wizard). The shallow-water, speed and PPS entries are
// carried through the file but nothing acts on them.

#include <filesystem>
#include <string_view>

namespace marivane {

inline constexpr std::string_view kAlarmSection = "ParaOfAlarm";

struct AlarmSettings {
    int deviceDataAlarm = 1;       // DeviceDataAlarm: watch the data streams (panes 3 to 7)
    int ppsLostAlarm = 1;          // PPSLostAlarm: stored only
    int gnssQualityAlarm = 1;      // GPSQualityAlarm: watch the GNSS fix quality (pane 4)
    int gnssQualityThreshold = 3;  // GPSQualityValueForAlarm: lowest acceptable fix level, 1..3
    int shallowWaterAlarm = 1;     // ShallowWatarAlarm: stored only
    float shallowDepth = 2.0f;     // ShallowDepthValueForAlarm, metres: stored only
    int vesselSpeedAlarm = 1;      // VesselSpeedAlarm: stored only
    float vesselSpeed = 10.0f;     // VesselSpeedValueForAlarm: stored only

    bool DeviceDataAlarmOn() const { return deviceDataAlarm != 0; }
    bool GnssQualityAlarmOn() const { return gnssQualityAlarm != 0; }

    friend bool operator==(const AlarmSettings&, const AlarmSettings&) = default;
};

inline constexpr int kGnssThresholdMin = 1;  // alarm without any fix
inline constexpr int kGnssThresholdMax = 3;  // alarm below a fixed RTK solution

// Section ParaOfAlarm. Integers are read as leading decimal integers ("1x" is 1, "x" is 0), the two
// reals as leading decimal numbers (held to the single-precision range). A missing key or an empty
// value leaves its field as it was. A GPSQualityValueForAlarm outside 1..3 is held to the nearest of
// them. A settings file that cannot be read shows its message with the path and returns false with
// nothing changed.
bool ReadAlarmSettings(AlarmSettings& alarm, const std::filesystem::path& settingsFile);

// The eight keys in record order: integers "%d", the depth and speed values "%.3f". False when a key
// could not be written (the others are still written).
bool WriteAlarmSettings(const AlarmSettings& alarm, const std::filesystem::path& settingsFile);

// The alarm page: check 1170 (data streams), check 1171 (fix quality) and the radio group 1059, 1147,
// 1148 (no fix, below differential, below fixed RTK). The radios are enabled only while check 1171
// is set.
struct AlarmPage {
    bool deviceDataCheck = true;
    bool gnssQualityCheck = true;
    int qualityChoice = 2;  // 0..2, the selected radio

    bool QualityChoicesEnabled() const { return gnssQualityCheck; }
    friend bool operator==(const AlarmPage&, const AlarmPage&) = default;
};

// What the page shows for a record (the choice is threshold - 1, held to 0..2).
AlarmPage AlarmPageFor(const AlarmSettings& alarm);

// What the page hands back on OK (and on Next in the wizard): the two checks and the choice + 1; the
// stored-only entries become 0 and 0.0.
AlarmSettings AlarmPageResult(const AlarmPage& page);

// The end of the alarm settings command after OK: the page's result becomes the alarm record; when
// `settingsFile` names an existing file the section is written to it. Then "Alarm parameters set
// successfully!" is shown, also when there is no project and nothing was written. When the file
// exists but cannot be written, an error naming it is shown instead, and false comes back.
bool ConfirmAlarmPage(AlarmSettings& alarm, const AlarmPage& page, const std::filesystem::path& settingsFile);

}  // namespace marivane
