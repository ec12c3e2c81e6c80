#include "marivane/shell/DeviceSettings.h"

#include <algorithm>
#include <cfloat>
#include <optional>

#include "beamora/Beamora.h"
#include "platform/Message.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

constexpr std::array<DeviceModelEntry, 5> kModels{{
    {"TR240", "TR240.jpg"},
    {"TR120", "TR120.jpg"},
    {"TR240P", "TR240P.jpg"},
    {"TR240H", "TR240H.jpg"},
    {"TR9600", "TR9600.jpg"},
}};

constexpr std::array<std::string_view, kDeviceSensorCount> kPrefixes{"dRMBOffSet", "dRMBOffSet", "dGPSOffSet",
                                                                     "dATTOffSet", "dCPSOffSet"};
constexpr std::array<std::string_view, kOffsetsPerSensor> kFieldNames{"X",    "Y",     "Z",      "Forward",
                                                                      "Roll", "Pitch", "Latency"};
constexpr std::array<DeviceSensor, kDeviceSensorCount> kSensors{DeviceSensor::Transducer,
                                                                DeviceSensor::Transducer2, DeviceSensor::Gnss,
                                                                DeviceSensor::Motion, DeviceSensor::Heading};

// The settings file in memory, or nothing after showing the section's message.
std::optional<platform::ProfileText> LoadSettings(const std::filesystem::path& file, std::string_view chinese,
                                                  std::string_view english) {
    std::optional<platform::ProfileText> text = platform::ProfileText::Load(file);
    if (!text) {
        const std::string shown = file.string();
        platform::ShowBilingualMessage(platform::FormatMessageText(chinese, shown),
                                       platform::FormatMessageText(english, shown), platform::kBoxError);
    }
    return text;
}

// A present, non-empty value.
std::optional<std::string> ValueOf(const platform::ProfileText& text, std::string_view section,
                                   std::string_view key) {
    std::optional<std::string> value = text.Value(section, key);
    if (value && value->empty())
        return std::nullopt;
    return value;
}

float ToFloat(double v) {
    return static_cast<float>(std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

using InstallCall = void (CBeamora::*)(float, float, float, float, float, float, float);

// Storage order X, Y, Z, Forward, Roll, Pitch, Latency; call order X, Y, Z, Roll, Pitch, yaw, Latency.
void Install(CBeamora& object, InstallCall call, const SensorOffsets& o) {
    (object.*call)(ToFloat(o[kOffsetX]), ToFloat(o[kOffsetY]), ToFloat(o[kOffsetZ]), ToFloat(o[kOffsetRoll]),
                   ToFloat(o[kOffsetPitch]), ToFloat(o[kOffsetForward]), ToFloat(o[kOffsetLatency]));
}

}  // namespace

std::string DeviceOffsetKey(DeviceSensor sensor, std::size_t field) {
    const auto s = static_cast<std::size_t>(sensor);
    std::string key(kPrefixes.at(s));
    key += kFieldNames.at(field);
    if (sensor == DeviceSensor::Transducer2)
        key += '2';
    return key;
}

std::span<const DeviceModelEntry> DeviceModels() {
    return kModels;
}

const DeviceModelEntry& DeviceModelOf(int modelNo) {
    if (modelNo < 0 || static_cast<std::size_t>(modelNo) >= kModels.size())
        return kModels[0];
    return kModels[static_cast<std::size_t>(modelNo)];
}

SensorOffsets& DeviceSettings::Offsets(DeviceSensor sensor) {
    switch (sensor) {
        case DeviceSensor::Transducer2:
            return transducer2;
        case DeviceSensor::Gnss:
            return gnss;
        case DeviceSensor::Motion:
            return motion;
        case DeviceSensor::Heading:
            return heading;
        case DeviceSensor::Transducer:
            break;
    }
    return transducer;
}

const SensorOffsets& DeviceSettings::Offsets(DeviceSensor sensor) const {
    return const_cast<DeviceSettings&>(*this).Offsets(sensor);
}

bool ReadDeviceModel(DeviceSettings& device, const std::filesystem::path& settingsFile) {
    const auto text = LoadSettings(settingsFile, "%s文件路径错误，无法读取设备型号信息！",
                                   "%s file path error, can not read device model information!");
    if (!text)
        return false;
    if (const auto v = ValueOf(*text, kDeviceModelSection, kModelNoKey))
        device.modelNo = platform::LeadingInt(*v);
    if (const auto v = ValueOf(*text, kDeviceModelSection, kDualHeadKey))
        device.dualHead = platform::LeadingInt(*v);
    return true;
}

bool ReadDeviceLocation(DeviceSettings& device, const std::filesystem::path& settingsFile) {
    const auto text = LoadSettings(settingsFile, "%s文件路径错误，无法读取设备安装信息！",
                                   "%s file path error, can not read device OffSet information!");
    if (!text)
        return false;
    for (const DeviceSensor sensor : kSensors) {
        SensorOffsets& offsets = device.Offsets(sensor);
        for (std::size_t field = 0; field < kOffsetsPerSensor; ++field) {
            if (const auto v = ValueOf(*text, kDeviceLocationSection, DeviceOffsetKey(sensor, field)))
                offsets[field] = platform::LeadingDouble(*v);
        }
    }
    return true;
}

bool WriteDeviceModel(const DeviceSettings& device, const std::filesystem::path& settingsFile) {
    bool ok = platform::WriteProfileString(settingsFile, kDeviceModelSection, kModelNoKey,
                                           std::to_string(device.modelNo));
    ok = platform::WriteProfileString(settingsFile, kDeviceModelSection, kDualHeadKey,
                                      std::to_string(device.dualHead)) &&
         ok;
    return ok;
}

bool WriteDeviceLocation(const DeviceSettings& device, const std::filesystem::path& settingsFile) {
    bool ok = true;
    for (const DeviceSensor sensor : kSensors) {
        const SensorOffsets& offsets = device.Offsets(sensor);
        for (std::size_t field = 0; field < kOffsetsPerSensor; ++field) {
            ok = platform::WriteProfileString(settingsFile, kDeviceLocationSection,
                                              DeviceOffsetKey(sensor, field),
                                              platform::FormatDouble("%f", offsets[field])) &&
                 ok;
        }
    }
    return ok;
}

void PushDeviceOffsets(const DeviceSettings& device, CBeamora& head1, CBeamora& head2, CBeamora& track,
                       bool includeSecondHead) {
    Install(head1, &CBeamora::SetInstallTransducer, device.transducer);
    Install(track, &CBeamora::SetInstallTransducer, device.transducer);
    if (includeSecondHead)
        Install(head2, &CBeamora::SetInstallTransducer, device.transducer2);
    for (CBeamora* object : {&head1, &head2, &track}) Install(*object, &CBeamora::SetInstallGPS, device.gnss);
    for (CBeamora* object : {&head1, &head2, &track})
        Install(*object, &CBeamora::SetInstallMRU, device.motion);
    for (CBeamora* object : {&head1, &head2, &track})
        Install(*object, &CBeamora::SetInstallCompass, device.heading);
}

RawFileDevice ToRawFileDevice(const DeviceSettings& device) {
    RawFileDevice out;
    out.modelNo = device.modelNo;
    out.dualHead = device.DualHeadOn() ? 1 : 0;
    out.transducer = device.transducer;
    out.transducer2 = device.transducer2;
    out.gnss = device.gnss;
    out.attitude = device.motion;
    out.compass = device.heading;
    return out;
}

DeviceSettings FromRawFileDevice(const RawFileDevice& device) {
    DeviceSettings out;
    out.modelNo = device.modelNo;
    out.dualHead = device.dualHead;
    out.transducer = device.transducer;
    out.transducer2 = device.transducer2;
    out.gnss = device.gnss;
    out.motion = device.attitude;
    out.heading = device.compass;
    return out;
}

}  // namespace marivane
