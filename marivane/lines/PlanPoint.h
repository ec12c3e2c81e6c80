#pragma once
// A point of the project grid in metres: easting first, northing second, the order in which every
// file and list of the program stores it. The coordinate calculator speaks of (x, y) with x the
// northing, so callers pass `northing` as x and `easting` as y.

namespace marivane {

struct PlanPoint {
    double easting = 0;
    double northing = 0;
    friend bool operator==(const PlanPoint&, const PlanPoint&) = default;
};

}  // namespace marivane
