#pragma once
// Where the vessel's reference point is and which way it goes: straight parallel lines run back and
// forth, joined by half-circle turns whose diameter is the line spacing. The first line starts at the
// origin and runs along the line heading; each further line lies one spacing to starboard of the first
// line's direction and runs the other way. Past the end the vessel carries straight on.

#include <vector>

namespace sonarsim {

struct TrackParams {
    double originEast = 0, originNorth = 0;
    double lineHeading = 0;  // degrees clockwise from north
    double lineLength = 200;
    double lineSpacing = 40;
    int lines = 1;
    double speed = 2.5;  // m/s
};

struct TrackState {
    double east = 0, north = 0;
    double course = 0;  // degrees clockwise from north, not wrapped
};

class SurveyTrack {
  public:
    explicit SurveyTrack(const TrackParams& params);

    // Seconds from the start of the first line to the end of the last.
    double Duration() const { return duration_; }
    TrackState At(double seconds) const;

    // Middle of the block of lines.
    double CentreEast() const { return centreEast_; }
    double CentreNorth() const { return centreNorth_; }

  private:
    struct Segment {
        double start = 0;            // seconds
        double length = 0;           // seconds
        double east = 0, north = 0;  // start point (line) or centre (turn)
        double course = 0;           // course at the start
        double turn = 0;             // 0 for a line; +1 clockwise, −1 counter-clockwise
    };
    TrackParams p_;
    std::vector<Segment> segments_;
    double duration_ = 0;
    double centreEast_ = 0, centreNorth_ = 0;
};

}  // namespace sonarsim
