#pragma once
// The device record of a project: which sonar model is installed, whether it runs one head or two,
// and where each sensor sits on the vessel (lever arms, mounting angles, latency) for the transducer,
// the second transducer, the GNSS antenna, the motion sensor and the heading sensor. Kept in sections
// "DeviceModel" and "DeviceLocation" of the project settings file, handed to the three positioning
// objects, and recorded in the header of every raw data file.

#include <array>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "marivane/acquisition/RawFile.h"

class CBeamora;

namespace marivane {

inline constexpr std::string_view kDeviceModelSection = "DeviceModel";
inline constexpr std::string_view kDeviceLocationSection = "DeviceLocation";
inline constexpr std::string_view kModelNoKey = "ModelNo";
inline constexpr std::string_view kDualHeadKey = "DualHead";

// The five groups of offsets, in the order of the settings file and of the installation list.
enum class DeviceSensor : int { Transducer, Transducer2, Gnss, Motion, Heading };
inline constexpr std::size_t kDeviceSensorCount = 5;
inline constexpr std::size_t kOffsetsPerSensor = 7;

// Position of each value inside SensorOffsets (storage order). Forward holds the mounting yaw.
enum OffsetField : std::size_t {
    kOffsetX = 0,        // m, towards starboard
    kOffsetY = 1,        // m, towards the bow
    kOffsetZ = 2,        // m, downwards
    kOffsetForward = 3,  // degrees, mounting yaw
    kOffsetRoll = 4,     // degrees
    kOffsetPitch = 5,    // degrees
    kOffsetLatency = 6,  // s
};

// "dRMBOffSetX", ..., "dRMBOffSetLatency2", "dGPSOffSetPitch", ...: the key of one value.
std::string DeviceOffsetKey(DeviceSensor sensor, std::size_t field);

// One entry of the sonar model list; its position is the model index (ModelNo).
struct DeviceModelEntry {
    std::string_view name;
    std::string_view picture;  // inside the "res" folder beside the program
};

// "TR240", "TR120", "TR240P", "TR240H", "TR9600", in list order.
std::span<const DeviceModelEntry> DeviceModels();
// The entry of a model index; any index outside the list gives entry 0.
const DeviceModelEntry& DeviceModelOf(int modelNo);

struct DeviceSettings {
    int modelNo = 0;   // ModelNo: index in DeviceModels()
    int dualHead = 0;  // DualHead: non-zero when two heads are in use
    SensorOffsets transducer{};
    SensorOffsets transducer2{};  // kept whatever dualHead says; used only with two heads
    SensorOffsets gnss{};
    SensorOffsets motion{};   // attitude sensor (dATTOffSet)
    SensorOffsets heading{};  // compass (dCPSOffSet)

    bool DualHeadOn() const { return dualHead != 0; }
    SensorOffsets& Offsets(DeviceSensor sensor);
    const SensorOffsets& Offsets(DeviceSensor sensor) const;

    friend bool operator==(const DeviceSettings&, const DeviceSettings&) = default;
};

// Section DeviceModel: ModelNo and DualHead, each as a leading decimal integer ("3x" is 3, "x" is 0).
// Section DeviceLocation: the 35 offsets, each as a leading decimal number. A key that is missing or
// empty leaves its value as it was. A settings file that cannot be read shows its bilingual message
// with the path and returns false with nothing changed.
bool ReadDeviceModel(DeviceSettings& device, const std::filesystem::path& settingsFile);
bool ReadDeviceLocation(DeviceSettings& device, const std::filesystem::path& settingsFile);

// ModelNo and DualHead with "%d"; the 35 offsets with "%f", the second transducer's included whatever
// the dual-head flag says. False when a key could not be written (the others are still written).
bool WriteDeviceModel(const DeviceSettings& device, const std::filesystem::path& settingsFile);
bool WriteDeviceLocation(const DeviceSettings& device, const std::filesystem::path& settingsFile);

// Hands the offsets to the three positioning objects: `head1` positions the first head's beams,
// `head2` the second head's, `track` turns antenna positions into transducer track points. Calls, in
// this order: transducer to head1 and track; second transducer to head2 (only with
// includeSecondHead); GNSS, motion sensor and heading sensor each to head1, head2 and track. Every
// call takes single-precision values in the order X, Y, Z, Roll, Pitch, yaw (Forward), Latency; a
// value beyond the single-precision range is held at its largest finite value.
void PushDeviceOffsets(const DeviceSettings& device, CBeamora& head1, CBeamora& head2, CBeamora& track,
                       bool includeSecondHead);

// What the header of a raw data file records of the device, and back. The file's dual-head flag is 1
// exactly when DualHeadOn().
RawFileDevice ToRawFileDevice(const DeviceSettings& device);
DeviceSettings FromRawFileDevice(const RawFileDevice& device);

}  // namespace marivane
