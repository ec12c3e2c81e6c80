#pragma once
// The XTF writer: a 1024-byte file header, then attitude packets (type 3, with the heading
// interpolated to their time), position packets (type 107, with the attitude and heading at the fix)
// and bathymetry pings, in time order. The two flavours differ in the labels of the file header and in
// the payload of a ping: flavour 1 a 7006 bathymetry record followed by a beam geometry block,
// flavour 2 a big-endian BTH0 packet. Only single-head data are written. Files are split at midnight
// as the HSX writer splits them, with "_NewDay%d.xtf".

#include <cstdint>
#include <filesystem>
#include <vector>

#include "quillfen/RawReader.h"
#include "quillfen/WriterCommon.h"

namespace quillfen {

inline constexpr std::size_t kXtfFileHeaderSize = 1024;
inline constexpr std::size_t kXtfPacketSize = 64;  // attitude and position packets
inline constexpr std::size_t kXtfPingHeaderSize = 256;
inline constexpr std::size_t kXtfPayload1Size = 17024;
inline constexpr std::size_t kXtfPayload2Size = 3520;

// Range and angle units of flavour 2.
inline constexpr float kBthRangeScale = 5.15625e-6f;    // s per count of the two-way time
inline constexpr float kBthAngleScale = 1.7453293e-7f;  // rad per count of the angle step

// Writes the loaded samples of `reader` to `path` (and its continuations); `flavour` 1 or 2. As
// WriteHsx, the files stay under temporary names until committed, and the lists are cleared.
// Each file is laid out first and then written in parts by as many threads at once: as many parts as
// there are cores for files of some size.
WriteOutcome WriteXtf(RawDataReader& reader, const std::filesystem::path& path, int flavour,
                      const ConversionSettings& settings, const PingProgress& progress = {});
// The same with `parts` parts a file (as far as the file allows; 0: chosen by size), which gives files
// identical to a writing in one part.
WriteOutcome WriteXtfInParts(RawDataReader& reader, const std::filesystem::path& path, int flavour,
                             const ConversionSettings& settings, const PingProgress& progress,
                             std::size_t parts);

// Heading at time t from the heading samples, searching on from where the previous call stopped:
// a sample within 1e-6 s gives its value; between two samples the value is interpolated the short
// way round north; before the first sample the first value, after the last the last value; 0 with
// no samples.
class HeadingInterpolator {
  public:
    explicit HeadingInterpolator(const std::vector<RawHeading>& headings) : headings_(headings) {}
    double At(double t);

  private:
    const std::vector<RawHeading>& headings_;
    std::size_t next_ = 0;
};

// Heading between (t1, h1) and (t2, h2) at t, across north where that is the short way.
double InterpolateHeading(double t1, double h1, double t2, double h2, double t);

// Pitch, roll and heave at time t, interpolated linearly between the samples around it (the nearest
// sample beyond either end, zeros with no samples), searching on from the previous call.
class AttitudeInterpolator {
  public:
    explicit AttitudeInterpolator(const std::vector<RawAttitude>& attitudes) : attitudes_(attitudes) {}
    void At(double t, double (&values)[3]);

  private:
    const std::vector<RawAttitude>& attitudes_;
    std::size_t next_ = 0;
};

// Count of flavour 2's 16-bit fields: the value truncated, kept within 0 ... 65535 (not-a-number: 0).
inline std::uint16_t ClampedCount(double value) {
    if (!(value > 0.0))
        return 0;
    if (value >= 65535.0)
        return 65535;
    return static_cast<std::uint16_t>(value);
}

}  // namespace quillfen
