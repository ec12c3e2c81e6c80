#include "tools/sonarsim/SoundVelocityProfile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "platform/NumberText.h"

namespace sonarsim {

SoundVelocityProfile SoundVelocityProfile::Constant(double velocity) {
    SoundVelocityProfile p;
    p.points_.push_back({0.0, velocity});
    return p;
}

std::optional<SoundVelocityProfile> SoundVelocityProfile::FromPoints(std::vector<VelocityPoint> points,
                                                                     std::string& error) {
    std::stable_sort(points.begin(), points.end(),
                     [](const VelocityPoint& a, const VelocityPoint& b) { return a.depth < b.depth; });
    std::vector<VelocityPoint> kept;
    for (const VelocityPoint& p : points) {
        if (!kept.empty() && p.depth - kept.back().depth < 0.00001)
            continue;
        kept.push_back(p);
    }
    if (kept.size() > 2) {
        std::vector<VelocityPoint> thinned{kept.front()};
        for (std::size_t i = 1; i + 1 < kept.size(); ++i) {
            const bool flat = std::fabs(kept[i].velocity - thinned.back().velocity) < 0.00001 &&
                              std::fabs(kept[i].velocity - kept[i + 1].velocity) < 0.00001;
            if (!flat)
                thinned.push_back(kept[i]);
        }
        thinned.push_back(kept.back());
        kept = std::move(thinned);
    }
    // A single point is refused even though a point at depth 0 could be added to it.
    if (kept.size() < 2) {
        error = "a profile needs at least 2 distinct points";
        return std::nullopt;
    }
    if (kept.front().depth > 0)
        kept.insert(kept.begin(), {0.0, kept.front().velocity});
    if (kept.size() > 1024) {
        error = "a profile needs 2 to 1024 distinct points";
        return std::nullopt;
    }
    SoundVelocityProfile profile;
    profile.points_ = std::move(kept);
    return profile;
}

std::optional<SoundVelocityProfile> SoundVelocityProfile::LoadVelFile(const std::filesystem::path& file,
                                                                      std::string& error) {
    std::ifstream in(file);
    if (!in) {
        error = "cannot open " + file.string();
        return std::nullopt;
    }
    std::string line;
    std::getline(in, line);
    std::istringstream head(line);
    std::string first;
    head >> first;
    if (first != "FTP") {
        error = file.string() + ": the first line must begin with FTP";
        return std::nullopt;
    }
    std::vector<VelocityPoint> points;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string depthText, velocityText;
        if (!(words >> depthText >> velocityText))
            continue;
        const double depth = platform::LeadingDouble(depthText);
        const double velocity = platform::LeadingDouble(velocityText);
        if (depth < 0 || depth > 10000 || velocity < 1300 || velocity > 1700)
            continue;
        points.push_back({depth, velocity});
    }
    auto profile = FromPoints(std::move(points), error);
    if (!profile)
        error = file.string() + ": " + error;
    return profile;
}

}  // namespace sonarsim
