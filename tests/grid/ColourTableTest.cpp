// Band layout, band colours, labels and band lookup of the depth colour table.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "marivane/grid/ColourTable.h"

namespace {

using marivane::BandLayoutProblem;
using marivane::BandSettings;
using marivane::ColourRef;
using marivane::DepthColourTable;

constexpr ColourRef kRed = 0x0000FF, kYellow = 0x00FFFF, kGreen = 0x00FF00, kBlue = 0xFF0000,
                    kMagenta = 0xFF00FF;

TEST(ColourTable, StartValuesGive71BandsFromRedToMagentaWithTheirLabels) {
    const BandSettings start;
    const auto legend = marivane::MakeLegend(start);
    ASSERT_EQ(legend.size(), 71u);
    EXPECT_EQ(legend.front().label, "<1.00");
    EXPECT_EQ(legend[1].label, "1.00-1.99");
    EXPECT_EQ(legend[2].label, "2.00-2.99");
    EXPECT_EQ(legend[69].label, "69.00-69.99");
    EXPECT_EQ(legend.back().label, ">70.00");
    EXPECT_EQ(legend.front().colour, kRed);
    EXPECT_EQ(legend.back().colour, kMagenta);

    const DepthColourTable table;
    EXPECT_EQ(table.BandColours().size(), 71u);
    EXPECT_TRUE(table.Legend().empty());  // empty until something rebuilds it
}

TEST(ColourTable, FewerThanSixBandsAreTheKeyColoursThemselves) {
    const BandSettings s;
    // n = whole part of (D1 − D0) / step, plus 2.
    EXPECT_EQ(marivane::GenerateBandColours(s.keys, 0.0, 3.0, 1.0),
              (std::vector<ColourRef>{kRed, kYellow, kGreen, kBlue, kMagenta}));
    EXPECT_EQ(marivane::GenerateBandColours(s.keys, 0.0, 2.5, 1.0),
              (std::vector<ColourRef>{kRed, kYellow, kGreen, kBlue}));
    EXPECT_EQ(marivane::GenerateBandColours(s.keys, 0.0, 1.0, 1.0),
              (std::vector<ColourRef>{kRed, kYellow, kGreen}));
    EXPECT_EQ(marivane::GenerateBandColours(s.keys, 5.0, 5.5, 1.0), (std::vector<ColourRef>{kRed, kYellow}));
}

TEST(ColourTable, EightBandsRunThroughSegmentsOfOneTwoTwoAndTwoColours) {
    // n = 8: r = 3, q = 0, so the segments give 1, 2, 2 and 2 colours, then K5. The middle colours are
    // the start plus the whole part of half the way, channel by channel (red in the low byte).
    const BandSettings s;
    EXPECT_EQ(marivane::GenerateBandColours(s.keys, 0.0, 6.0, 1.0),
              (std::vector<ColourRef>{kRed, kYellow, 0x00FF80, kGreen, 0x7F8000, kBlue, 0xFF007F, kMagenta}));
}

TEST(ColourTable, EveryAcceptedBandCountGetsExactlyThatManyColoursEndingInK5) {
    const BandSettings s;
    for (int n = 2; n <= marivane::kMaxBandCount; ++n) {
        const auto colours = marivane::GenerateBandColours(s.keys, 0.0, n - 2, 1.0);
        ASSERT_EQ(colours.size(), static_cast<std::size_t>(n)) << n;
        EXPECT_EQ(colours.front(), kRed) << n;
        if (n >= 5) {
            EXPECT_EQ(colours.back(), kMagenta) << n;
        }
        for (ColourRef c : colours) ASSERT_EQ(c & 0xFF000000u, 0u) << n;
    }
}

TEST(ColourTable, LayoutsThatCannotGiveABandListAreRefusedWithoutChange) {
    struct Case {
        double min, max, step;
        BandLayoutProblem problem;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {1.0, 70.0, 0.0, BandLayoutProblem::StepNotPositive},
        {1.0, 70.0, -1.0, BandLayoutProblem::StepNotPositive},
        {1.0, 70.0, nan, BandLayoutProblem::NotANumber},
        {-inf, 70.0, 1.0, BandLayoutProblem::NotANumber},
        {70.0, 1.0, 1.0, BandLayoutProblem::MaxBelowMin},     // n would be −67
        {10.0, 8.5, 1.0, BandLayoutProblem::MaxBelowMin},     // n would be 1: K5 alone
        {1.0, 70.0, 1e-6, BandLayoutProblem::TooManyBands},   // 69 million bands
        {0.0, 1023.0, 1.0, BandLayoutProblem::TooManyBands},  // 1025
        {-1e308, 1e308, 1.0, BandLayoutProblem::TooManyBands},
    };
    for (const Case& c : cases) {
        DepthColourTable table;
        const auto before = std::vector<ColourRef>(table.BandColours().begin(), table.BandColours().end());
        BandSettings s;
        s.minDepth = c.min;
        s.maxDepth = c.max;
        s.step = c.step;
        EXPECT_EQ(table.SetSettings(s), c.problem) << c.min << " " << c.max << " " << c.step;
        EXPECT_EQ(table.Settings(), BandSettings{});
        EXPECT_EQ(std::vector<ColourRef>(table.BandColours().begin(), table.BandColours().end()), before);
        EXPECT_TRUE(marivane::GenerateBandColours(s).empty());
        EXPECT_TRUE(marivane::MakeLegend(s).empty());
    }
    // The largest list accepted, and equal depths (two bands: below and above).
    EXPECT_EQ(marivane::BandCount(0.0, 1022.0, 1.0), 1024);
    EXPECT_EQ(marivane::BandCount(5.0, 5.0, 1.0), 2);
}

TEST(ColourTable, SoundingsAndCellMeansFindTheirBands) {
    DepthColourTable table;  // D0 1, step 1, 71 bands
    struct Case {
        double depth;
        int sounding, cell;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {1.0, 0, 1},                 // exactly on D0: ceil gives 0, the whole-grid rule 1
        {3.0, 2, 3},                 // exactly on D0 + 2 steps: band 2 for a new sounding, 3 for a cell
        {3.5, 3, 3},   {0.5, 0, 1},  // between D0 − step and D0
        {-0.5, 0, 0},  {70.0, 69, 70}, {70.5, 70, 70}, {1e9, 70, 70},  // far beyond D1: the last band
        {-1e30, 0, 0}, {nan, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(table.BandOf(c.depth), c.sounding) << c.depth;
        EXPECT_EQ(table.WholeGridBandOf(static_cast<float>(c.depth)), c.cell) << c.depth;
    }
    EXPECT_EQ(table.WholeGridBandOf(std::numeric_limits<float>::infinity()), 70);
    EXPECT_EQ(table.SoundingColour(1e9), kMagenta);
    EXPECT_EQ(table.CellColour(-5.0f), kRed);

    // A single band (a legend of one entry) takes every depth, by either rule.
    EXPECT_EQ(marivane::BandOfSounding(50.0, 1.0, 1.0, 1), 0);
    EXPECT_EQ(marivane::BandOfCellMean(0.5f, 1.0, 1.0, 1), 0);
    EXPECT_EQ(marivane::BandOfCellMean(50.0f, 1.0, 1.0, 1), 0);
}

TEST(ColourTable, LabelsAreCutToSixteenCharacters) {
    EXPECT_EQ(marivane::BandLabel(1, 5, 10000.0, 10003.0, 1.0), "10000.00-10000.9");
    EXPECT_EQ(marivane::BandLabel(0, 5, -2.5, 3.0, 1.0), "<-2.50");
    EXPECT_EQ(marivane::BandLabel(4, 5, 0.0, 3.0, 1.0), ">3.00");
}

TEST(ColourTable, PixelsSwapRedAndBlue) {
    EXPECT_EQ(marivane::PixelColour(0x00112233), 0x00332211u);
    EXPECT_EQ(marivane::PixelColour(kRed), 0x00FF0000u);
    EXPECT_EQ(marivane::PixelColour(0xAB000000), 0u);  // the high byte never reaches the image
}

TEST(ColourTable, LegendColoursReplaceTheBandsOnlyWhenThereIsALegend) {
    DepthColourTable table;
    table.UseLegendColours();
    EXPECT_EQ(table.BandColours().size(), 71u);

    table.RebuildLegend();
    marivane::ReverseLegendColours(table.MutableLegend());
    EXPECT_EQ(table.Legend().front().label, "<1.00");
    EXPECT_EQ(table.Legend().front().colour, kMagenta);
    table.UseLegendColours();
    EXPECT_EQ(table.BandColours().front(), kMagenta);
    EXPECT_EQ(table.BandColours().back(), kRed);
}

}  // namespace
