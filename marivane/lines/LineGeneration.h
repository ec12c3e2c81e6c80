#pragma once
// Generation of survey lines from a two-point reference line: parallel lines on both sides, and
// stair steps shifted by a fixed vector.

#include <array>
#include <vector>

#include "marivane/lines/SurveyLines.h"

namespace marivane {

// The largest count either kind of generation accepts per side or in all.
inline constexpr int kMaxGeneratedLines = 500;

struct ParallelLineRequest {
    int left = 0;        // lines left of the reference, looking from its first to its second point
    int right = 0;       // lines right of it
    double spacing = 0;  // metres between neighbouring lines
};

struct StairStepRequest {
    int count = 0;
    double dx = 0;  // metres added to the easting per step
    double dy = 0;  // metres added to the northing per step
};

// True when the two points are too close together (under 1e-8 m on both axes) to give a direction.
bool IsDegenerateSegment(PlanPoint p0, PlanPoint p1);

// The segment p0-p1 moved by `distance` at right angles to it, towards the left (easting to the
// right, northing up) when `distance` is positive. A segment whose easting or northing difference
// is under 1e-8 m is moved straight along the other axis. The segment must not be degenerate.
std::array<PlanPoint, 2> OffsetSegment(PlanPoint p0, PlanPoint p1, double distance);

// New lines of two points each (unnamed), in the order in which they stand in the list around the
// reference line, so the list runs across the area from the farthest left line to the farthest right.
struct GeneratedLines {
    std::vector<SurveyLine> before;  // farthest left first
    std::vector<SurveyLine> after;   // nearest right (or first step) first
};

GeneratedLines MakeParallelLines(PlanPoint p0, PlanPoint p1, const ParallelLineRequest& request);
GeneratedLines MakeStairSteps(PlanPoint p0, PlanPoint p1, const StairStepRequest& request);

}  // namespace marivane
