#pragma once
// Sound velocity for beam positioning: the source chosen for the project (a profile file, one average
// velocity, or the sonar's surface probe), the reading and cleaning of profile files, the ShengPou
// section of the project settings, and what each source does to the three positioning objects.
//
// Also the pieces of the sound velocity dialog that have no user interface: the preview reader of a
// chosen file and the rounding of the graph's axes.

#include <array>
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "beamora/Beamora.h"

namespace marivane {

class AcquisitionEngine;

// Values of the SoundVelocitySource setting.
enum class SoundVelocitySource : int { ProfileFile = 0, AverageVelocity = 1, Sonar = 2 };

inline constexpr double kDefaultSoundVelocity = 1500.0;  // m/s
inline constexpr std::size_t kMaxSvpPoints = CBeamora::kMaxProfilePoints;

inline constexpr std::string_view kSoundVelocitySection = "ShengPou";
inline constexpr std::string_view kSoundVelocitySourceKey = "SoundVelocitySource";
inline constexpr std::string_view kProfileFileKey = "sAcousticVelFile";
inline constexpr std::string_view kAverageVelocityKey = "dAverAcousticVel";

struct SvpPoint {
    double depth = 0.0;     // m, positive down
    double velocity = 0.0;  // m/s
    friend bool operator==(const SvpPoint&, const SvpPoint&) = default;
};

// ---- Profile text ---------------------------------------------------------------------------------

enum class SvpTextStatus {
    Ok,
    BadHeader,  // a header was expected and its first word is not "FTP"
};

struct SvpText {
    SvpTextStatus status = SvpTextStatus::Ok;
    std::vector<SvpPoint> points;  // ordered by depth; equal depths in the order of the file
};

struct SvpTextOptions {
    bool header = false;       // a first line of words whose first must be "FTP"
    bool rangeChecks = false;  // skip points outside 0..10000 m or 1300..1700 m/s
};

// Reads profile points from text: one point per line, depth then velocity, separated by blanks, each
// read with leading-number semantics. Lines with fewer than two words are no points. Only the first
// kSvpLineLimit characters of a line are looked at.
inline constexpr std::size_t kSvpLineLimit = 4096;
SvpText ParseSvpText(std::string_view text, SvpTextOptions options);

// Clean-up of a profile ordered by depth: points less than 0.00001 m below the point before them go,
// interior points whose velocity is within 0.00001 m/s of both neighbours go, and a profile that
// starts below the surface gets a first point at 0 m with the velocity of its shallowest point.
void CleanSvpPoints(std::vector<SvpPoint>& points);

// True when the file name's extension, upper-cased, is "VEL".
bool IsVelFile(const std::filesystem::path& path);

// ---- Dialog helpers (no user interface) -------------------------------------------------------------

enum class SvpPreviewStatus { Ok, OpenFailed, FormatError };

struct SvpPreview {
    SvpPreviewStatus status = SvpPreviewStatus::Ok;
    std::vector<SvpPoint> points;  // ordered by depth, no value checks
    // Extent of the points; meaningful only when points is not empty.
    double minDepth = 0.0, maxDepth = 0.0;
    double minVelocity = 0.0, maxVelocity = 0.0;
};

// Reads a chosen file for the dialog's graph: a .vel file with its "FTP" header, any other file
// (.txt) without one; no range checks.
SvpPreview ReadSvpPreview(const std::filesystem::path& path);
// The message of a failed preview ("Failed to read the SVP file" or "File format error!").
void ShowSvpPreviewMessage(SvpPreviewStatus status);

// One axis of the profile graph, rounded to round steps.
struct AxisScale {
    double start = 0.0;
    double end = 0.0;
    double step = 0.0;  // (end - start) / intervals
    int intervals = 1;
    friend bool operator==(const AxisScale&, const AxisScale&) = default;
};
AxisScale RoundAxis(double minimum, double maximum);

// ---- The program-wide sound velocity state ----------------------------------------------------------

class SoundVelocity {
  public:
    // The three positioning objects that every change of source or profile goes to.
    SoundVelocity(CBeamora& head1, CBeamora& head2, CBeamora& track);
    explicit SoundVelocity(AcquisitionEngine& engine);
    SoundVelocity(const SoundVelocity&) = delete;
    SoundVelocity& operator=(const SoundVelocity&) = delete;

    // Safe to read from any thread (the ping processing asks for it with every ping).
    SoundVelocitySource Source() const { return source_.load(std::memory_order_relaxed); }
    void SetSource(SoundVelocitySource source) { source_.store(source, std::memory_order_relaxed); }

    double AverageVelocity() const { return averageVelocity_; }
    void SetAverageVelocity(double velocity) { averageVelocity_ = velocity; }

    // sAcousticVelFile: the name of the profile file inside the project folder.
    const std::string& ProfileFileName() const { return profileFileName_; }
    void SetProfileFileName(std::string name) { profileFileName_ = std::move(name); }

    // The profile last loaded by LoadSvpFile, ordered by depth (empty until one loads).
    const std::vector<SvpPoint>& Profile() const { return profile_; }

    // Reads, cleans and checks a profile file and gives it to the three objects. On failure a
    // bilingual warning is shown and the profile loaded before stays everywhere. True when loaded.
    bool LoadSvpFile(const std::filesystem::path& path);

    // Section ShengPou of a project settings file. Reading a missing file shows its message and
    // returns false with nothing changed.
    bool ReadSettings(const std::filesystem::path& settingsFile);
    // Writes the source and the key of that source (the velocity with "%f").
    bool WriteSettings(const std::filesystem::path& settingsFile) const;

    // At project open: source 0 loads projectFolder / the profile file name; source 1 gives the
    // average velocity to the three objects; source 2 gives them 1500 m/s (the ping processing then
    // sets each ping's surface velocity).
    void ApplySoundVelocity(const std::filesystem::path& projectFolder);

    // One velocity for straight rays on the three objects (drops a loaded profile there).
    void ApplyVelocity(double velocity);

  private:
    std::array<CBeamora*, 3> objects_;
    std::atomic<SoundVelocitySource> source_{SoundVelocitySource::Sonar};
    double averageVelocity_ = kDefaultSoundVelocity;
    std::string profileFileName_;
    std::vector<SvpPoint> profile_;
};

}  // namespace marivane
