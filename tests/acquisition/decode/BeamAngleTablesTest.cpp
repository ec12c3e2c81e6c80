#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "marivane/acquisition/BeamAngleTables.h"

namespace {

using marivane::BeamAngleTable;

constexpr double kDegree = std::numbers::pi / 180.0;

TEST(BeamAngleTables, TiltedTablesMatchTheListedRows) {
    struct Row {
        std::size_t entry;
        double mode4, mode5, mode6;
    };
    const Row rows[] = {
        {0, -28.00, -28.00, -28.00}, {1, -26.29, -25.71, -25.13},   {2, -24.54, -23.34, -22.12},
        {64, 61.92, 69.51, 73.96},   {128, 76.85, 80.36, 82.39},    {255, 83.70, 85.33, 86.30},
        {399, 86.05, 87.06, 87.66},  {400, 86.33, 87.31, 87.90},    {448, 95.06, 95.29, 95.44},
        {510, 99.95, 99.95, 99.95},  {511, 100.00, 100.00, 100.00},
    };
    for (int mode = 4; mode <= 6; ++mode) {
        const BeamAngleTable& negative = marivane::TiltedTable(mode, false);
        const BeamAngleTable& positive = marivane::TiltedTable(mode, true);
        EXPECT_EQ(negative, marivane::MakeTiltedTable(mode, false));
        for (const Row& row : rows) {
            const double expected = mode == 4 ? row.mode4 : mode == 5 ? row.mode5 : row.mode6;
            EXPECT_NEAR(negative[row.entry], expected, 1e-4) << "mode " << mode << " entry " << row.entry;
            // The positive version mirrors it.
            EXPECT_NEAR(positive[511 - row.entry], -expected, 1e-4)
                << "mode " << mode << " entry " << row.entry;
        }
        for (std::size_t i = 0; i < 512; ++i) {
            const double hundredths = negative[i] * 100.0;
            ASSERT_NEAR(hundredths, std::round(hundredths), 1e-3) << "not rounded to two decimals at " << i;
            if (i > 0) {
                ASSERT_GE(negative[i], negative[i - 1]) << "decreasing at " << i;
            }
        }
        EXPECT_FLOAT_EQ(positive.front(), -100.0f);
        EXPECT_FLOAT_EQ(positive.back(), 28.0f);
    }
    EXPECT_EQ(marivane::TiltedTable(7, true), BeamAngleTable{});
}

TEST(BeamAngleTables, EquiDistantAndEquiAngleFamilies) {
    ASSERT_EQ(marivane::kTableOpeningAngles.size(), 10u);
    for (std::size_t k = 0; k < marivane::kTableOpeningAngles.size(); ++k) {
        const double a = marivane::kTableOpeningAngles[k];
        SCOPED_TRACE(a);
        const BeamAngleTable& distant = marivane::EquiDistantTable(k);
        const BeamAngleTable& angle = marivane::EquiAngleTable(k);
        // Both span the opening angle symmetrically.
        EXPECT_NEAR(distant.front(), -a / 2, 1e-4);
        EXPECT_NEAR(distant.back(), a / 2, 1e-4);
        EXPECT_NEAR(angle.front(), -a / 2, 1e-4);
        EXPECT_NEAR(angle.back(), a / 2, 1e-4);
        const double halfTan = std::tan(a / 2 * kDegree);
        for (std::size_t i = 0; i < 512; i += 73) {
            const double di = static_cast<double>(i);
            EXPECT_NEAR(distant[i], -distant[511 - i], 1e-4);
            // Equi-distant: equal steps across a flat bottom, i.e. in tan(angle).
            EXPECT_NEAR(std::tan(distant[i] * kDegree), halfTan * (2.0 * di / 511 - 1), 1e-5 * (1 + halfTan));
            // Equi-angle: equal steps in angle.
            EXPECT_NEAR(angle[i], -a / 2 + di * a / 511, 1e-4);
        }
    }
}

TEST(BeamAngleTables, Tr240S1Layout) {
    const BeamAngleTable& t = marivane::Tr240S1Table();
    EXPECT_NEAR(t.front(), -63.4349, 1e-4);
    EXPECT_NEAR(t.back(), 63.4349, 1e-4);
    EXPECT_NEAR(t[255] + t[256], 0.0, 1e-5);
    EXPECT_NEAR(std::tan(t[100] * kDegree), 2.0 * (200.0 / 511 - 1), 1e-6);
    // Not rounded.
    EXPECT_NE(std::round(t[100] * 100.0f) / 100.0f, t[100]);
}

TEST(BeamAngleTables, ShortPingChoice) {
    using marivane::ChooseShortPingAngles;
    // The 128-degree fallback of both families and the shift of mode 7.
    auto pick = ChooseShortPingAngles("TR240", 0, 0, 128.05f);
    EXPECT_EQ(pick.table, &marivane::EquiDistantTable(4));
    pick = ChooseShortPingAngles("TR240", 0, 0, std::nanf(""));
    EXPECT_EQ(pick.table, &marivane::EquiDistantTable(4));
    pick = ChooseShortPingAngles("TR240", 2, 0, 143.09f);
    EXPECT_EQ(pick.table, &marivane::EquiAngleTable(5));
    pick = ChooseShortPingAngles("TR240", 2, 0, 143.11f);
    EXPECT_EQ(pick.table, &marivane::EquiAngleTable(4));
    pick = ChooseShortPingAngles("TR240", 7, -12, 60.0f);
    EXPECT_EQ(pick.table, &marivane::EquiAngleTable(4));
    EXPECT_FLOAT_EQ(pick.shift, -12.0f);
    pick = ChooseShortPingAngles("TR240", 255, 12, 60.0f);
    EXPECT_EQ(pick.table, nullptr);
    pick = ChooseShortPingAngles("TR240S1", 255, 12, 60.0f);
    EXPECT_EQ(pick.table, &marivane::Tr240S1Table());
}

}  // namespace
