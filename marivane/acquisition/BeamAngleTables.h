#pragma once
// Beam angle tables for pings that carry no angles (the short ping form): 512 angles in degrees from
// the vertical, positive to starboard, for the beam layouts the sonar can run. Pure functions, shared
// with the file converter.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace marivane {

inline constexpr std::size_t kBeamAngleTableSize = 512;
using BeamAngleTable = std::array<float, kBeamAngleTableSize>;

// Opening angles (degrees) for which the equi-distant and equi-angle families exist.
inline constexpr std::array<int, 10> kTableOpeningAngles = {28, 53, 90, 113, 128, 143, 152, 157, 160, 164};
inline constexpr int kFallbackOpeningAngle = 128;

// Entry i: atan(tan(A/2) * (2i/511 - 1)), degrees.
BeamAngleTable MakeEquiDistantTable(double openingAngle);
// Entry i: -A/2 + i * A/511.
BeamAngleTable MakeEquiAngleTable(double openingAngle);
// The TR240S1 layout: atan(2 * (2i/511 - 1)), equi-distant over +-63.4349 degrees.
BeamAngleTable MakeTr240S1Table();
// Table modes 4, 5 and 6 (bank widths 15, 20 and 25): 400 beams equally spaced across a flat bottom
// one unit below the head from -28 degrees to the foot of a bank rising at 20 degrees, then 112
// beams up the bank to 100 degrees; rounded to two decimals. The positive-tilt version is the
// mirror image (-100 to +28). Any other mode gives all zeros.
BeamAngleTable MakeTiltedTable(int mode, bool positiveTilt);

// The same tables, built once (thread-safe) and kept for the life of the program.
// `index` selects from kTableOpeningAngles and must be below its size.
const BeamAngleTable& EquiDistantTable(std::size_t index);
const BeamAngleTable& EquiAngleTable(std::size_t index);
const BeamAngleTable& Tr240S1Table();
// `mode` 4, 5 or 6; anything else gives a table of zeros.
const BeamAngleTable& TiltedTable(int mode, bool positiveTilt);

// The angles a short ping gets: entry i is table[i] - shift. No table means the ping's angles are
// left as they were.
struct ShortPingAngles {
    const BeamAngleTable* table = nullptr;
    float shift = 0.0f;
};

// Chooses by the model text ("TR240S1" exactly: its own table), else by the table mode (the ping's
// spacing mode byte), the tilt in whole degrees and the opening angle.
ShortPingAngles ChooseShortPingAngles(std::string_view model, std::uint8_t mode, std::int32_t tilt,
                                      float openingAngle);

}  // namespace marivane
