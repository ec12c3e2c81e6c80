#pragma once
// The outline of a depth grid while it is edited: four corners in plan coordinates, P0 the base
// point, P1 the end of the length side, P2 the opposite corner, P3 the end of the width side, kept in
// the grid header together with the sizes and the rotation they stand for. The matrix editor changes
// them field by field; the chart lets the user drag the corners. Both are plain functions on the
// header here.
//
// The rotation turns the grid clockwise: at rotation θ the length side points along (cos θ, −sin θ)
// and the width side along (sin θ, cos θ) (easting, northing). A well-formed outline has P3 to the left
// of P0→P1.

#include <array>
#include <cstdint>
#include <vector>

#include "marivane/grid/MatrixFile.h"

namespace marivane {

// Notification codes from the chart to the matrix editor.
inline constexpr int kOutlineBaseMoved = 1;
inline constexpr int kOutlineLengthChanged = 2;
inline constexpr int kOutlineRotated = 3;
inline constexpr int kOutlineWidthChanged = 4;
inline constexpr int kOutlineLengthReleased = 22;
inline constexpr int kOutlineWidthReleased = 44;

// A typed rotation reduced by whole turns while it exceeds 360 by more than 1e-8 (so 725 gives 5 and
// 720 gives 360), with a remainder rather than a loop; smaller values are kept.
double ReduceRotation(double degrees);

// New base point: P1, P2 and P3 move by the same difference, P0 takes the new value.
void SetOutlineBase(MatrixHeader& header, double x, double y);

// New length: P1 moves along the line P0→P1 to that distance from P0 (straight north of P0 for a side
// within 1e-7 of vertical), mirrored through P0 when it would fall on the other side of the line P0–P3;
// P2 follows so that the outline stays a parallelogram. A side of no length is laid out along the
// rotation instead. The length is stored in the header. Refused (false, nothing changed) unless the
// length is a positive number.
bool SetOutlineLength(MatrixHeader& header, double length);
// The same for the width, with P3 and the line P0–P1.
bool SetOutlineWidth(MatrixHeader& header, double width);

// New rotation: the typed value is reduced and the outline turned about P0 by the change of
// (360 − rotation), with π taken as 3.1415926535. Refused unless a finite number.
bool SetOutlineRotation(MatrixHeader& header, double typed);

// Corners of the outline on the screen, and the press point: every corner less than 8 pixels away is grabbed.
struct ScreenPoint {
    double x = 0.0, y = 0.0;
};
using OutlineGrab = std::array<bool, 4>;
OutlineGrab GrabOutlineCorners(const std::array<ScreenPoint, 4>& corners, ScreenPoint press);

// One mouse move with corners grabbed, the cursor at plan point `cursor`; returns the notification
// code, or 0 when nothing changed. When several corners are grabbed (a small outline far away) the
// first of P0, P1, P3, P2 acts.
// - P0: all four corners move by cursor − P0 (the base point follows); code 1.
// - P1: the cursor is projected onto the line P0–P1 (for a side within 1e-7 of vertical only the
//   northing of P1 follows), mirrored through P0 when on the other side of the line P0–P3; P2 moves by
//   the same amount; the length becomes |P1 − P0|; code 2. A move that would leave less than one cell
//   length (or no length) is ignored.
// - P3: the same along P0–P3 with P2 following, the width; code 4.
// - P2: P1, P2, P3 turn about P0 by the angle from P0→P2 to P0→cursor (counter-clockwise positive);
//   the rotation becomes −atan2(P1 − P0) in degrees, plus 360 when negative; code 3.
int DragOutline(MatrixHeader& header, const OutlineGrab& grabbed, MatrixPoint cursor);

// Releasing the button: codes 22 when P1 was grabbed and 44 when P3 was; every corner is released.
std::vector<int> ReleaseOutline(OutlineGrab& grabbed);

}  // namespace marivane
