#pragma once
// What the HSX and XTF writers share: the conversion settings, the sound velocity of a ping, the
// refraction correction of its beam angles, the names of the files continued after midnight and the
// outcome of a run.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "quillfen/Messages.h"
#include "quillfen/OutputFile.h"
#include "quillfen/Samples.h"

namespace quillfen {

struct ConversionSettings {
    bool surfaceSoundVelocity = false;  // use the surface sound velocity for every ping
    double surfaceSoundVelocityValue = 1500.0;
    int adjustment = 0;  // system adjustment constant, -100 ... 100
    bool rtkTideFree = false;
    bool resetAntennaHeight = false;  // use antennaHeight instead of the installation's
    double antennaHeight = 0.0;       // m, positive above the water
};

// The sound velocity a ping is converted with: the surface value when that option is on; else, when
// the file has sound velocity samples, the first one later than the ping (the search goes on from the
// previous ping's place) or the last one; else the ping's own.
class VelocityChooser {
  public:
    VelocityChooser(const std::vector<RawSoundVelocity>& samples, const ConversionSettings& settings)
        : samples_(samples),
          surface_(settings.surfaceSoundVelocity),
          value_(settings.surfaceSoundVelocityValue) {}
    double For(const RawPing& ping);

  private:
    const std::vector<RawSoundVelocity>& samples_;
    bool surface_;
    double value_;
    std::size_t next_ = 0;
};

// The array constant of a sonar model: 3.75 for "TR120", 1.875 for every other model.
double ArrayConstant(std::string_view model);

// sin θ′ = sin θ · c · d / (c_p · (d + k · 0.001)). A ratio that is not a finite number (a ping with no
// sound velocity of its own) leaves the angles as they are: 1.
double RefractionRatio(double velocity, double pingVelocity, double arrayConstant, int adjustment);

// The corrected angle of a beam at `degrees`, in radians. Where the corrected sine would pass ±1 the
// beam cannot leave the array at all; it is given the limit, ±90°, rather than no angle.
double CorrectedAngleRadians(double degrees, double ratio);
// The same in degrees, converted back with the same value of π (3.14159265).
double CorrectedAngleDegrees(double degrees, double ratio);

// The path of the file that continues `current` after midnight: its name without its four-character
// extension, "_NewDay" and the counter, and `extension`. A name without such an extension is kept
// whole.
std::filesystem::path NextDayPath(const std::filesystem::path& current, int counter,
                                  std::string_view extension);

// As pings are written: how many are written so far (rising to the number of pings, by steps of one
// unless parts of a file are written at once) and the number of pings.
using PingProgress = std::function<void(std::size_t done, std::size_t total)>;

struct WriteOutcome {
    int files = 0;                       // complete files written; 0 when the run failed
    std::vector<PendingOutput> outputs;  // still under temporary names, in the order written
    BilingualText error;                 // why the run failed

    bool Ok() const { return files > 0; }
};

class RawDataReader;
// A run whose source file became shorter while it was converted wrote zeros for what was gone: its
// files are removed and the run fails.
void RefuseIfSourceShortened(const RawDataReader& reader, const std::filesystem::path& path,
                             WriteOutcome& out);

}  // namespace quillfen
