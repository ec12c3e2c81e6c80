#include "marivane/shell/DisplaySettings.h"

#include <array>
#include <cstdint>
#include <optional>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/WindowMessages.h"
#include "platform/Message.h"
#include "platform/MessageSink.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

constexpr std::array<std::string_view, kDisplayKeyCount> kKeyNames{
    "bBeamAngleSet",          "fBeamAngleSet",       "SheepVelFormat",   "ShipTrackMode",
    "ShiftLineMode",          "ShiftLineIncreCount", "ShiftLineCapDist", "ShiftLineCheckSheepVel",
    "ShiftLineCheckWaterDep", "TrackPointMode",
};

constexpr std::array<DisplayKey, kDisplayKeyCount> kKeys{
    DisplayKey::BeamAngleOn,     DisplayKey::BeamAngle,      DisplayKey::SpeedUnit,
    DisplayKey::TrackMode,       DisplayKey::LineSwitchMode, DisplayKey::LineIncrement,
    DisplayKey::CaptureDistance, DisplayKey::ShowSpeed,      DisplayKey::ShowDepth,
    DisplayKey::TrackPointMode,
};

constexpr std::string_view kTrue = "true";
constexpr std::string_view kFalse = "false";

// A present, non-empty value.
std::optional<std::string> ValueOf(const platform::ProfileText& text, DisplayKey key) {
    std::optional<std::string> value = text.Value(kDisplaySection, DisplayKeyName(key));
    if (value && value->empty())
        return std::nullopt;
    return value;
}

void ReadInt(const platform::ProfileText& text, DisplayKey key, int& field) {
    if (const auto v = ValueOf(text, key))
        field = platform::LeadingInt(*v);
}

void ReadDouble(const platform::ProfileText& text, DisplayKey key, double& field) {
    if (const auto v = ValueOf(text, key))
        field = platform::LeadingDouble(*v);
}

std::string ValueText(const DisplaySettings& d, DisplayKey key) {
    switch (key) {
        case DisplayKey::BeamAngleOn:
            return std::string(d.beamAngleLimitOn ? kTrue : kFalse);
        case DisplayKey::BeamAngle:
            return platform::FormatDouble("%f", d.beamAngleLimit);
        case DisplayKey::SpeedUnit:
            return std::to_string(d.speedUnit);
        case DisplayKey::TrackMode:
            return std::to_string(d.trackMode);
        case DisplayKey::LineSwitchMode:
            return std::to_string(d.lineSwitchMode);
        case DisplayKey::LineIncrement:
            return std::to_string(d.lineIncrement);
        case DisplayKey::CaptureDistance:
            return platform::FormatDouble("%.2f", d.captureDistance);
        case DisplayKey::ShowSpeed:
            return std::to_string(d.showSpeed);
        case DisplayKey::ShowDepth:
            return std::to_string(d.showDepth);
        case DisplayKey::TrackPointMode:
            break;
    }
    return std::to_string(d.trackPointMode);
}

void PostSpeedUnit(platform::MessageSink& sink) {
    sink.Post(platform::MessageTarget::DataPane, WM_SPEED_UNIT_CHANGED);
}

void PostTrackMode(platform::MessageSink& sink, int mode) {
    sink.Post(platform::MessageTarget::ChartView, WM_SET_TRACK_MODE, static_cast<std::uintptr_t>(mode));
}

}  // namespace

std::string_view DisplayKeyName(DisplayKey key) {
    return kKeyNames.at(static_cast<std::size_t>(key));
}

int NormalSpeedUnit(int value) {
    return value >= kSpeedKnots && value <= kSpeedKilometresPerHour ? value : kSpeedKnots;
}

int NormalTrackMode(int value) {
    return value >= 0 && value < kTrackModeCount ? value : 1;
}

int NormalTrackPointMode(int value) {
    return value == kTrackPointAntenna || value == kTrackPointTransducer ? value : kTrackPointTransducer;
}

bool ReadDisplaySettings(DisplaySettings& display, const std::filesystem::path& projectFile,
                         platform::MessageSink& sink) {
    const std::optional<platform::ProfileText> text = platform::ProfileText::Load(projectFile);
    if (!text)
        return false;
    if (const auto v = ValueOf(*text, DisplayKey::BeamAngleOn))
        display.beamAngleLimitOn = *v == kTrue;
    ReadDouble(*text, DisplayKey::BeamAngle, display.beamAngleLimit);
    ReadInt(*text, DisplayKey::SpeedUnit, display.speedUnit);
    display.speedUnit = NormalSpeedUnit(display.speedUnit);
    PostSpeedUnit(sink);
    ReadInt(*text, DisplayKey::TrackMode, display.trackMode);
    display.trackMode = NormalTrackMode(display.trackMode);
    PostTrackMode(sink, display.trackMode);
    ReadInt(*text, DisplayKey::LineSwitchMode, display.lineSwitchMode);
    ReadInt(*text, DisplayKey::LineIncrement, display.lineIncrement);
    ReadDouble(*text, DisplayKey::CaptureDistance, display.captureDistance);
    ReadInt(*text, DisplayKey::ShowSpeed, display.showSpeed);
    ReadInt(*text, DisplayKey::ShowDepth, display.showDepth);
    int trackPointMode = kTrackPointTransducer;
    ReadInt(*text, DisplayKey::TrackPointMode, trackPointMode);
    display.trackPointMode = NormalTrackPointMode(trackPointMode);
    return true;
}

bool WriteDisplayKey(const DisplaySettings& display, DisplayKey key,
                     const std::filesystem::path& projectFile) {
    if (projectFile.empty())
        return true;
    return platform::WriteProfileString(projectFile, kDisplaySection, DisplayKeyName(key),
                                        ValueText(display, key));
}

bool WriteDisplaySettings(const DisplaySettings& display, const std::filesystem::path& projectFile) {
    bool ok = true;
    for (const DisplayKey key : kKeys) ok = WriteDisplayKey(display, key, projectFile) && ok;
    return ok;
}

void ApplyDisplaySettings(const DisplaySettings& display, AcquisitionEngine& engine) {
    engine.beamAngleLimitOn.store(display.beamAngleLimitOn);
    engine.beamAngleLimit.store(display.beamAngleLimit);
}

DisplayDialog DisplayDialogFor(const DisplaySettings& display, bool projectOpen) {
    DisplayDialog dialog;
    dialog.beamAngleCheck = projectOpen && display.beamAngleLimitOn;
    dialog.beamAngleText = platform::FormatDouble("%.15g", display.beamAngleLimit);
    dialog.speedUnit = projectOpen ? display.speedUnit : kSpeedKnots;
    dialog.trackMode = projectOpen ? display.trackMode : 1;
    dialog.lineSwitchMode = projectOpen ? display.lineSwitchMode : 0;
    dialog.incrementText = std::to_string(projectOpen ? display.lineIncrement : 0);
    dialog.captureDistanceText = platform::FormatDouble("%.2f", projectOpen ? display.captureDistance : 0.0);
    dialog.showSpeed = display.showSpeed != 0;
    dialog.showDepth = display.showDepth != 0;
    dialog.trackPointMode = display.trackPointMode;
    return dialog;
}

bool ConfirmDisplayDialog(DisplaySettings& display, const DisplayDialog& dialog,
                          const std::filesystem::path& projectFile, AcquisitionEngine& engine,
                          platform::MessageSink& sink) {
    bool ok = true;
    const auto store = [&](DisplayKey key) { ok = WriteDisplayKey(display, key, projectFile) && ok; };

    display.beamAngleLimitOn = dialog.beamAngleCheck;
    store(DisplayKey::BeamAngleOn);
    display.beamAngleLimit = platform::LeadingDouble(dialog.beamAngleText);
    store(DisplayKey::BeamAngle);
    ApplyDisplaySettings(display, engine);

    display.speedUnit = NormalSpeedUnit(dialog.speedUnit);
    store(DisplayKey::SpeedUnit);
    PostSpeedUnit(sink);
    display.trackMode = NormalTrackMode(dialog.trackMode);
    store(DisplayKey::TrackMode);
    PostTrackMode(sink, display.trackMode);

    display.lineSwitchMode = dialog.lineSwitchMode;
    store(DisplayKey::LineSwitchMode);
    display.lineIncrement = platform::LeadingInt(dialog.incrementText);
    store(DisplayKey::LineIncrement);
    display.captureDistance = platform::LeadingDouble(dialog.captureDistanceText);
    store(DisplayKey::CaptureDistance);
    display.showSpeed = dialog.showSpeed ? 1 : 0;
    store(DisplayKey::ShowSpeed);
    display.showDepth = dialog.showDepth ? 1 : 0;
    store(DisplayKey::ShowDepth);
    display.trackPointMode = NormalTrackPointMode(dialog.trackPointMode);
    store(DisplayKey::TrackPointMode);

    if (!ok) {
        const std::string shown = projectFile.string();
        platform::ShowBilingualMessage(
            platform::FormatMessageText("显示设置保存到\"%s\"失败！", shown),
            platform::FormatMessageText("Failed to save the display settings to \"%s\"!", shown),
            platform::kBoxError);
    }
    return ok;
}

}  // namespace marivane
