#include "tools/sonarsim/SurveyTrack.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonarsim {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

}  // namespace

SurveyTrack::SurveyTrack(const TrackParams& params) : p_(params) {
    const double h = p_.lineHeading * kDeg;
    // Forward along the first line and one spacing to its starboard side.
    const double fe = std::sin(h), fn = std::cos(h);
    const double se = std::cos(h), sn = -std::sin(h);
    const double radius = p_.lineSpacing / 2.0;
    double t = 0;
    for (int i = 0; i < p_.lines; ++i) {
        const bool outbound = i % 2 == 0;
        const double across = i * p_.lineSpacing;
        Segment line;
        line.start = t;
        line.length = p_.lineLength / p_.speed;
        line.east = p_.originEast + across * se + (outbound ? 0.0 : p_.lineLength * fe);
        line.north = p_.originNorth + across * sn + (outbound ? 0.0 : p_.lineLength * fn);
        line.course = p_.lineHeading + (outbound ? 0.0 : 180.0);
        segments_.push_back(line);
        t += line.length;
        if (i + 1 < p_.lines && radius > 0) {
            // Turn towards the next line: to starboard after an outbound line, to port after a return.
            const double endEast = line.east + p_.lineLength * std::sin(line.course * kDeg);
            const double endNorth = line.north + p_.lineLength * std::cos(line.course * kDeg);
            Segment turn;
            turn.start = t;
            turn.length = std::numbers::pi * radius / p_.speed;
            turn.east = endEast + radius * se;
            turn.north = endNorth + radius * sn;
            turn.course = line.course;
            turn.turn = outbound ? 1.0 : -1.0;
            segments_.push_back(turn);
            t += turn.length;
        }
    }
    duration_ = t;
    const double midAcross = (p_.lines - 1) * p_.lineSpacing / 2.0;
    centreEast_ = p_.originEast + p_.lineLength / 2.0 * fe + midAcross * se;
    centreNorth_ = p_.originNorth + p_.lineLength / 2.0 * fn + midAcross * sn;
}

TrackState SurveyTrack::At(double seconds) const {
    std::size_t k = 0;
    while (k + 1 < segments_.size() && seconds >= segments_[k + 1].start) ++k;
    const Segment& s = segments_[k];
    const double dt = seconds - s.start;
    TrackState state;
    if (s.turn == 0.0) {
        // A line; past the end of the last one the vessel carries straight on.
        state.east = s.east + dt * p_.speed * std::sin(s.course * kDeg);
        state.north = s.north + dt * p_.speed * std::cos(s.course * kDeg);
        state.course = s.course;
        return state;
    }
    // On the half circle: the bearing from the centre to the vessel turns with the course.
    const double radius = p_.lineSpacing / 2.0;
    const double swept = 180.0 * std::min(dt / s.length, 1.0);
    const double bearing = (s.course - 90.0 * s.turn + swept * s.turn) * kDeg;
    state.east = s.east + radius * std::sin(bearing);
    state.north = s.north + radius * std::cos(bearing);
    state.course = s.course + swept * s.turn;
    return state;
}

}  // namespace sonarsim
