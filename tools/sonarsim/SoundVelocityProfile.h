#pragma once
// Sound velocity of the simulated water: one velocity, or a profile of (depth, velocity) points with
// the velocity varying linearly between them and constant below the last one. Profiles are cleaned
// the way the survey programs clean a profile they load (points ordered by depth, a point less than
// 0.00001 m below the one before it dropped, interior points of a constant run dropped, a point at
// depth 0 added when the profile starts deeper), so that both sides work with the same layers.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sonarsim {

struct VelocityPoint {
    double depth = 0;     // m, positive down
    double velocity = 0;  // m/s
};

class SoundVelocityProfile {
  public:
    // A single velocity everywhere.
    static SoundVelocityProfile Constant(double velocity);

    // Cleans the points as described above; nothing (and `error` set) unless 2 to 1024 points remain.
    static std::optional<SoundVelocityProfile> FromPoints(std::vector<VelocityPoint> points,
                                                          std::string& error);

    // A ".vel" file: a first line of three words beginning with "FTP", then "depth velocity" lines.
    // Lines with a depth outside 0..10000 m or a velocity outside 1300..1700 m/s are skipped.
    static std::optional<SoundVelocityProfile> LoadVelFile(const std::filesystem::path& file,
                                                           std::string& error);

    const std::vector<VelocityPoint>& Points() const { return points_; }
    // Velocity at the surface (first point).
    double TopVelocity() const { return points_.front().velocity; }

  private:
    std::vector<VelocityPoint> points_;  // one point for a single velocity
};

}  // namespace sonarsim
