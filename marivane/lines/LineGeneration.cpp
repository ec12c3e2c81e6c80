#include "marivane/lines/LineGeneration.h"

#include <cmath>

namespace marivane {
namespace {

constexpr double kAxisTolerance = 1e-8;

SurveyLine TwoPointLine(const std::array<PlanPoint, 2>& points) {
    return SurveyLine{{}, {points[0], points[1]}};
}

}  // namespace

bool IsDegenerateSegment(PlanPoint p0, PlanPoint p1) {
    return std::fabs(p1.easting - p0.easting) < kAxisTolerance &&
           std::fabs(p1.northing - p0.northing) < kAxisTolerance;
}

std::array<PlanPoint, 2> OffsetSegment(PlanPoint p0, PlanPoint p1, double distance) {
    const double de = p1.easting - p0.easting;
    const double dn = p1.northing - p0.northing;
    double me = 0, mn = 0;  // the move
    if (std::fabs(de) < kAxisTolerance) {
        // Running north (or south): left is west (east).
        me = dn > 0 ? -distance : distance;
    } else if (std::fabs(dn) < kAxisTolerance) {
        // Running east (or west): left is north (south).
        mn = de > 0 ? distance : -distance;
    } else {
        const double length = std::hypot(de, dn);
        me = -dn / length * distance;
        mn = de / length * distance;
    }
    return {PlanPoint{p0.easting + me, p0.northing + mn}, PlanPoint{p1.easting + me, p1.northing + mn}};
}

GeneratedLines MakeParallelLines(PlanPoint p0, PlanPoint p1, const ParallelLineRequest& request) {
    GeneratedLines out;
    for (int i = request.left; i >= 1; --i)
        out.before.push_back(TwoPointLine(OffsetSegment(p0, p1, i * request.spacing)));
    for (int i = 1; i <= request.right; ++i)
        out.after.push_back(TwoPointLine(OffsetSegment(p0, p1, -i * request.spacing)));
    return out;
}

GeneratedLines MakeStairSteps(PlanPoint p0, PlanPoint p1, const StairStepRequest& request) {
    GeneratedLines out;
    for (int i = 1; i <= request.count; ++i) {
        const double de = i * request.dx;
        const double dn = i * request.dy;
        out.after.push_back(SurveyLine{
            {},
            {PlanPoint{p0.easting + de, p0.northing + dn}, PlanPoint{p1.easting + de, p1.northing + dn}}});
    }
    return out;
}

}  // namespace marivane
