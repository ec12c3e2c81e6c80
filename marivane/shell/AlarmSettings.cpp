#include "marivane/shell/AlarmSettings.h"

#include <algorithm>
#include <cfloat>
#include <optional>
#include <string>
#include <system_error>

#include "platform/Message.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

constexpr std::string_view kDeviceDataKey = "DeviceDataAlarm";
constexpr std::string_view kPpsLostKey = "PPSLostAlarm";
constexpr std::string_view kQualityKey = "GPSQualityAlarm";
constexpr std::string_view kQualityValueKey = "GPSQualityValueForAlarm";
constexpr std::string_view kShallowKey = "ShallowWatarAlarm";
constexpr std::string_view kShallowValueKey = "ShallowDepthValueForAlarm";
constexpr std::string_view kSpeedKey = "VesselSpeedAlarm";
constexpr std::string_view kSpeedValueKey = "VesselSpeedValueForAlarm";

// A present, non-empty value.
std::optional<std::string> ValueOf(const platform::ProfileText& text, std::string_view key) {
    std::optional<std::string> value = text.Value(kAlarmSection, key);
    if (value && value->empty())
        return std::nullopt;
    return value;
}

void ReadInt(const platform::ProfileText& text, std::string_view key, int& field) {
    if (const auto v = ValueOf(text, key))
        field = platform::LeadingInt(*v);
}

void ReadFloat(const platform::ProfileText& text, std::string_view key, float& field) {
    if (const auto v = ValueOf(text, key)) {
        const double d = platform::LeadingDouble(*v);
        field =
            static_cast<float>(std::clamp(d, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
    }
}

bool WriteKey(const std::filesystem::path& file, std::string_view key, const std::string& value) {
    return platform::WriteProfileString(file, kAlarmSection, key, value);
}

}  // namespace

bool ReadAlarmSettings(AlarmSettings& alarm, const std::filesystem::path& settingsFile) {
    const std::optional<platform::ProfileText> text = platform::ProfileText::Load(settingsFile);
    if (!text) {
        const std::string shown = settingsFile.string();
        platform::ShowBilingualMessage(
            platform::FormatMessageText("%s文件路径错误，无法读取报警参数信息！", shown),
            platform::FormatMessageText("%s file path error, can not read alarm parameter information!",
                                        shown),
            platform::kBoxError);
        return false;
    }
    ReadInt(*text, kDeviceDataKey, alarm.deviceDataAlarm);
    ReadInt(*text, kPpsLostKey, alarm.ppsLostAlarm);
    ReadInt(*text, kQualityKey, alarm.gnssQualityAlarm);
    if (ValueOf(*text, kQualityValueKey)) {
        ReadInt(*text, kQualityValueKey, alarm.gnssQualityThreshold);
        alarm.gnssQualityThreshold =
            std::clamp(alarm.gnssQualityThreshold, kGnssThresholdMin, kGnssThresholdMax);
    }
    ReadInt(*text, kShallowKey, alarm.shallowWaterAlarm);
    ReadFloat(*text, kShallowValueKey, alarm.shallowDepth);
    ReadInt(*text, kSpeedKey, alarm.vesselSpeedAlarm);
    ReadFloat(*text, kSpeedValueKey, alarm.vesselSpeed);
    return true;
}

bool WriteAlarmSettings(const AlarmSettings& alarm, const std::filesystem::path& settingsFile) {
    bool ok = WriteKey(settingsFile, kDeviceDataKey, std::to_string(alarm.deviceDataAlarm));
    ok = WriteKey(settingsFile, kPpsLostKey, std::to_string(alarm.ppsLostAlarm)) && ok;
    ok = WriteKey(settingsFile, kQualityKey, std::to_string(alarm.gnssQualityAlarm)) && ok;
    ok = WriteKey(settingsFile, kQualityValueKey, std::to_string(alarm.gnssQualityThreshold)) && ok;
    ok = WriteKey(settingsFile, kShallowKey, std::to_string(alarm.shallowWaterAlarm)) && ok;
    ok = WriteKey(settingsFile, kShallowValueKey, platform::FormatDouble("%.3f", alarm.shallowDepth)) && ok;
    ok = WriteKey(settingsFile, kSpeedKey, std::to_string(alarm.vesselSpeedAlarm)) && ok;
    ok = WriteKey(settingsFile, kSpeedValueKey, platform::FormatDouble("%.3f", alarm.vesselSpeed)) && ok;
    return ok;
}

AlarmPage AlarmPageFor(const AlarmSettings& alarm) {
    AlarmPage page;
    page.deviceDataCheck = alarm.DeviceDataAlarmOn();
    page.gnssQualityCheck = alarm.GnssQualityAlarmOn();
    page.qualityChoice =
        std::clamp(alarm.gnssQualityThreshold, kGnssThresholdMin, kGnssThresholdMax) - kGnssThresholdMin;
    return page;
}

AlarmSettings AlarmPageResult(const AlarmPage& page) {
    AlarmSettings alarm;
    alarm.deviceDataAlarm = page.deviceDataCheck ? 1 : 0;
    alarm.gnssQualityAlarm = page.gnssQualityCheck ? 1 : 0;
    alarm.gnssQualityThreshold =
        std::clamp(page.qualityChoice + kGnssThresholdMin, kGnssThresholdMin, kGnssThresholdMax);
    alarm.ppsLostAlarm = 0;
    alarm.shallowWaterAlarm = 0;
    alarm.vesselSpeedAlarm = 0;
    alarm.shallowDepth = 0.0f;
    alarm.vesselSpeed = 0.0f;
    return alarm;
}

bool ConfirmAlarmPage(AlarmSettings& alarm, const AlarmPage& page,
                      const std::filesystem::path& settingsFile) {
    alarm = AlarmPageResult(page);
    std::error_code ec;
    if (!settingsFile.empty() && std::filesystem::exists(settingsFile, ec)) {
        if (!WriteAlarmSettings(alarm, settingsFile)) {
            const std::string shown = settingsFile.string();
            platform::ShowBilingualMessage(
                platform::FormatMessageText("报警参数保存到\"%s\"失败！", shown),
                platform::FormatMessageText("Failed to save the alarm parameters to \"%s\"!", shown),
                platform::kBoxError);
            return false;
        }
    }
    platform::ShowBilingualMessage("报警参数设置成功！", "Alarm parameters set successfully!",
                                   platform::kBoxInformation);
    return true;
}

}  // namespace marivane
