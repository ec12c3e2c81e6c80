#include "marivane/acquisition/BeamAngleTables.h"

#include <cmath>
#include <numbers>

namespace marivane {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kLastIndex = static_cast<double>(kBeamAngleTableSize - 1);  // 511

// Tilted layout: beams 0..399 across the bottom, 400..511 up the bank.
constexpr std::size_t kBottomBeams = 400;
constexpr double kBankSlope = 20.0;   // degrees
constexpr double kInnerEdge = -28.0;  // degrees, first beam
constexpr double kOuterEdge = 100.0;  // degrees, last beam

constexpr std::size_t kFallbackIndex = 4;
static_assert(kTableOpeningAngles[kFallbackIndex] == kFallbackOpeningAngle);

double Round2(double v) {
    return std::round(v * 100.0) / 100.0;
}

double BankWidth(int mode) {
    switch (mode) {
        case 4:
            return 15.0;
        case 5:
            return 20.0;
        case 6:
            return 25.0;
        default:
            return 0.0;
    }
}

// The negative-tilt version (head looking down across the bottom and up the bank to starboard).
BeamAngleTable MakeNegativeTilted(double width) {
    BeamAngleTable t{};
    const double x0 = std::tan(kInnerEdge * kDegree);
    const double bottomSteps = static_cast<double>(kBottomBeams - 1);                  // 399
    const double bankSteps = static_cast<double>(kBeamAngleTableSize - kBottomBeams);  // 112
    const double foot = x0 + width;
    const double bankLength = foot - std::tan(kOuterEdge * kDegree);
    const double cosSlope = std::cos(kBankSlope * kDegree);
    const double sinSlope = std::sin(kBankSlope * kDegree);
    for (std::size_t i = 0; i < kBeamAngleTableSize; ++i) {
        const double di = static_cast<double>(i);
        double angle;
        if (i < kBottomBeams) {
            angle = std::atan(x0 + di * width / bottomSteps);
        } else {
            const double d = (di - bottomSteps) * bankLength / bankSteps;
            angle = std::atan2(foot + d * cosSlope, 1.0 - d * sinSlope);
        }
        t[i] = static_cast<float>(Round2(angle / kDegree));
    }
    return t;
}

std::size_t TiltedSlot(int mode, bool positiveTilt) {
    return static_cast<std::size_t>(mode - 4) * 2 + (positiveTilt ? 1 : 0);
}

}  // namespace

BeamAngleTable MakeEquiDistantTable(double openingAngle) {
    BeamAngleTable t{};
    const double halfTan = std::tan(openingAngle * 0.5 * kDegree);
    for (std::size_t i = 0; i < kBeamAngleTableSize; ++i) {
        const double u = 2.0 * static_cast<double>(i) / kLastIndex - 1.0;
        t[i] = static_cast<float>(std::atan(halfTan * u) / kDegree);
    }
    return t;
}

BeamAngleTable MakeEquiAngleTable(double openingAngle) {
    BeamAngleTable t{};
    for (std::size_t i = 0; i < kBeamAngleTableSize; ++i) {
        t[i] = static_cast<float>(-openingAngle / 2.0 + static_cast<double>(i) * openingAngle / kLastIndex);
    }
    return t;
}

BeamAngleTable MakeTr240S1Table() {
    BeamAngleTable t{};
    for (std::size_t i = 0; i < kBeamAngleTableSize; ++i) {
        const double u = 2.0 * static_cast<double>(i) / kLastIndex - 1.0;
        t[i] = static_cast<float>(std::atan(2.0 * u) / kDegree);
    }
    return t;
}

BeamAngleTable MakeTiltedTable(int mode, bool positiveTilt) {
    const double width = BankWidth(mode);
    if (width == 0.0)
        return BeamAngleTable{};
    const BeamAngleTable negative = MakeNegativeTilted(width);
    if (!positiveTilt)
        return negative;
    BeamAngleTable mirrored{};
    for (std::size_t i = 0; i < kBeamAngleTableSize; ++i)
        mirrored[i] = -negative[kBeamAngleTableSize - 1 - i];
    return mirrored;
}

const BeamAngleTable& EquiDistantTable(std::size_t index) {
    static const auto tables = [] {
        std::array<BeamAngleTable, kTableOpeningAngles.size()> all{};
        for (std::size_t k = 0; k < all.size(); ++k) all[k] = MakeEquiDistantTable(kTableOpeningAngles[k]);
        return all;
    }();
    return tables.at(index);
}

const BeamAngleTable& EquiAngleTable(std::size_t index) {
    static const auto tables = [] {
        std::array<BeamAngleTable, kTableOpeningAngles.size()> all{};
        for (std::size_t k = 0; k < all.size(); ++k) all[k] = MakeEquiAngleTable(kTableOpeningAngles[k]);
        return all;
    }();
    return tables.at(index);
}

const BeamAngleTable& Tr240S1Table() {
    static const BeamAngleTable table = MakeTr240S1Table();
    return table;
}

const BeamAngleTable& TiltedTable(int mode, bool positiveTilt) {
    static const auto tables = [] {
        std::array<BeamAngleTable, 6> all{};
        for (int m = 4; m <= 6; ++m) {
            all[TiltedSlot(m, false)] = MakeTiltedTable(m, false);
            all[TiltedSlot(m, true)] = MakeTiltedTable(m, true);
        }
        return all;
    }();
    static const BeamAngleTable zeros{};
    if (mode < 4 || mode > 6)
        return zeros;
    return tables[TiltedSlot(mode, positiveTilt)];
}

ShortPingAngles ChooseShortPingAngles(std::string_view model, std::uint8_t mode, std::int32_t tilt,
                                      float openingAngle) {
    if (model == "TR240S1")
        return {&Tr240S1Table(), 0.0f};

    if (tilt == 0) {  // |T| < 0.1 for a whole number of degrees
        std::size_t pick = kFallbackIndex;
        for (std::size_t k = 0; k < kTableOpeningAngles.size(); ++k) {
            if (std::fabs(static_cast<double>(kTableOpeningAngles[k]) - static_cast<double>(openingAngle)) <
                0.1) {
                pick = k;
                break;
            }
        }
        return {mode == 0 ? &EquiDistantTable(pick) : &EquiAngleTable(pick), 0.0f};
    }

    // Tilted by at least one whole degree.
    const bool positive = tilt > 0;
    if (mode >= 4 && mode <= 6)
        return {&TiltedTable(mode, positive), 0.0f};
    if (mode == 7)
        return {&EquiAngleTable(kFallbackIndex), static_cast<float>(tilt)};
    return {};
}

}  // namespace marivane
