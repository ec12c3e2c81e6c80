#include "marivane/grid/MatrixOutline.h"

#include <cmath>

namespace marivane {
namespace {

// Sides shorter than this have no direction of their own.
constexpr double kNoLength = 1e-9;

MatrixPoint operator+(MatrixPoint a, MatrixPoint b) {
    return {a.x + b.x, a.y + b.y};
}
MatrixPoint operator-(MatrixPoint a, MatrixPoint b) {
    return {a.x - b.x, a.y - b.y};
}
MatrixPoint operator*(double k, MatrixPoint a) {
    return {k * a.x, k * a.y};
}
double Cross(MatrixPoint a, MatrixPoint b) {
    return a.x * b.y - a.y * b.x;
}
double Dot(MatrixPoint a, MatrixPoint b) {
    return a.x * b.x + a.y * b.y;
}
double Norm(MatrixPoint a) {
    return std::hypot(a.x, a.y);
}

MatrixPoint Rotate(MatrixPoint p, MatrixPoint about, double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const MatrixPoint d = p - about;
    return about + MatrixPoint{c * d.x - s * d.y, s * d.x + c * d.y};
}

// Direction of the length side (P1) or the width side (P3) at the header's rotation.
MatrixPoint Axis(const MatrixHeader& h, std::size_t corner) {
    const double theta = h.rotation * 3.1415926535 / 180.0;
    if (corner == kP1)
        return {std::cos(theta), -std::sin(theta)};
    return {std::sin(theta), std::cos(theta)};
}

// Signed area at P0 with the length side first: positive when P3 lies to the left of P0→P1.
double CornerArea(MatrixPoint p0, MatrixPoint p1, MatrixPoint p3) {
    return Cross(p1 - p0, p3 - p0);
}

// Whether `candidate` for corner P1 or P3 lies on the wrong side and must be mirrored through P0:
// judged against the other side when that has a length, else against the corner's old direction.
bool WrongSide(const MatrixHeader& h, std::size_t corner, MatrixPoint candidate) {
    const MatrixPoint p0 = h.outline[kP0];
    const MatrixPoint other = h.outline[corner == kP1 ? kP3 : kP1];
    if (Norm(other - p0) >= kNoLength) {
        const double area =
            corner == kP1 ? CornerArea(p0, candidate, other) : CornerArea(p0, other, candidate);
        return area < 1e-8;
    }
    return Dot(candidate - p0, h.outline[corner] - p0) < 0.0;
}

// Moves P1 or P3 to `target`, P2 following so that the outline stays a parallelogram.
void MoveSideCorner(MatrixHeader& h, std::size_t corner, MatrixPoint target) {
    h.outline[corner] = target;
    h.outline[kP2] = h.outline[kP1] + h.outline[kP3] - h.outline[kP0];
}

bool SetSide(MatrixHeader& h, std::size_t corner, double size) {
    if (!(std::isfinite(size) && size > 0.0))
        return false;
    const MatrixPoint p0 = h.outline[kP0];
    const MatrixPoint side = h.outline[corner] - p0;
    MatrixPoint target;
    if (Norm(side) < kNoLength) {
        target = p0 + size * Axis(h, corner);
    } else {
        if (std::fabs(side.x) >= 1e-7) {
            const double slope = side.y / side.x;
            const double dx = size / std::hypot(1.0, slope);
            target = p0 + MatrixPoint{dx, slope * dx};
        } else {
            target = p0 + MatrixPoint{0.0, size};
        }
        if (WrongSide(h, corner, target))
            target = p0 - (target - p0);
    }
    MoveSideCorner(h, corner, target);
    (corner == kP1 ? h.length : h.width) = size;
    return true;
}

bool DragSide(MatrixHeader& h, std::size_t corner, MatrixPoint cursor) {
    const MatrixPoint p0 = h.outline[kP0];
    const MatrixPoint old = h.outline[corner];
    const MatrixPoint side = old - p0;
    MatrixPoint target;
    if (std::fabs(side.x) < 1e-7) {
        target = {old.x, cursor.y};
    } else {
        const double t = Dot(cursor - p0, side) / Dot(side, side);
        target = p0 + t * side;
    }
    if (WrongSide(h, corner, target))
        target = p0 - (target - p0);
    const double size = Norm(target - p0);
    const double cell = corner == kP1 ? h.cellLength : h.cellWidth;
    if (!(std::isfinite(size) && size > 0.0 && size >= cell))
        return false;
    h.outline[corner] = target;
    h.outline[kP2] = h.outline[kP2] + (target - old);
    (corner == kP1 ? h.length : h.width) = size;
    return true;
}

}  // namespace

double ReduceRotation(double degrees) {
    if (!(degrees > 360.0 + 1e-8))
        return degrees;
    double reduced = std::fmod(degrees, 360.0);
    // Subtracting whole turns stops at the first value not above 360 + 1e-8: a remainder at (or just
    // above) zero stands for 360.
    if (reduced <= 1e-8)
        reduced += 360.0;
    return reduced;
}

void SetOutlineBase(MatrixHeader& h, double x, double y) {
    const MatrixPoint shift = MatrixPoint{x, y} - h.outline[kP0];
    for (std::size_t i = 1; i < 4; ++i) h.outline[i] = h.outline[i] + shift;
    h.outline[kP0] = {x, y};
    h.baseX = x;
    h.baseY = y;
}

bool SetOutlineLength(MatrixHeader& header, double length) {
    return SetSide(header, kP1, length);
}

bool SetOutlineWidth(MatrixHeader& header, double width) {
    return SetSide(header, kP3, width);
}

bool SetOutlineRotation(MatrixHeader& h, double typed) {
    if (!std::isfinite(typed))
        return false;
    const double rotation = ReduceRotation(typed);
    const double turn = ((360.0 - rotation) - (360.0 - h.rotation)) * 3.1415926535 / 180.0;
    for (std::size_t i = 1; i < 4; ++i) h.outline[i] = Rotate(h.outline[i], h.outline[kP0], turn);
    h.rotation = rotation;
    return true;
}

OutlineGrab GrabOutlineCorners(const std::array<ScreenPoint, 4>& corners, ScreenPoint press) {
    OutlineGrab grabbed{};
    for (std::size_t i = 0; i < 4; ++i)
        grabbed[i] = std::hypot(corners[i].x - press.x, corners[i].y - press.y) < 8.0;
    return grabbed;
}

int DragOutline(MatrixHeader& h, const OutlineGrab& grabbed, MatrixPoint cursor) {
    if (!std::isfinite(cursor.x) || !std::isfinite(cursor.y))
        return 0;
    if (grabbed[kP0]) {
        SetOutlineBase(h, cursor.x, cursor.y);
        return kOutlineBaseMoved;
    }
    if (grabbed[kP1])
        return DragSide(h, kP1, cursor) ? kOutlineLengthChanged : 0;
    if (grabbed[kP3])
        return DragSide(h, kP3, cursor) ? kOutlineWidthChanged : 0;
    if (grabbed[kP2]) {
        const MatrixPoint p0 = h.outline[kP0];
        const MatrixPoint from = h.outline[kP2] - p0;
        const MatrixPoint to = cursor - p0;
        const double turn = std::atan2(to.y, to.x) - std::atan2(from.y, from.x);
        for (std::size_t i = 1; i < 4; ++i) h.outline[i] = Rotate(h.outline[i], p0, turn);
        const MatrixPoint side = h.outline[kP1] - p0;
        double rotation = -std::atan2(side.y, side.x) * 180.0 / 3.14159265358979;
        if (rotation < 0.0)
            rotation += 360.0;
        h.rotation = rotation;
        return kOutlineRotated;
    }
    return 0;
}

std::vector<int> ReleaseOutline(OutlineGrab& grabbed) {
    std::vector<int> codes;
    if (grabbed[kP1])
        codes.push_back(kOutlineLengthReleased);
    if (grabbed[kP3])
        codes.push_back(kOutlineWidthReleased);
    grabbed = {};
    return codes;
}

}  // namespace marivane
