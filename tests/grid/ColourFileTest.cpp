// The colour file: its text, reading it at project open and in the editor, damaged files, and the
// rewrite after the colour settings dialog.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "marivane/grid/ColourFile.h"
#include "marivane/grid/ReplaceFile.h"

namespace {

namespace fs = std::filesystem;
using gridtest::GridTest;
using marivane::BandSettings;
using marivane::ColourFileWrite;
using marivane::DepthColourTable;
using marivane::LegendEntry;

const std::string kKeys = "255 65535 65280 16711680 16711935";

TEST(ColourFileText, IsWrittenLineByLineWithoutAFinalLineFeedAfterTheLegend) {
    BandSettings s;
    s.minDepth = 5.0;
    s.maxDepth = 5.5;
    const auto legend = marivane::MakeLegend(s);  // two bands
    EXPECT_EQ(marivane::FormatColourFile(s, legend),
              "2\n5.50\n5.00\n1.00\n" + kKeys + "\n<5.00 255\n>5.50 65535");
    // With an empty legend the file ends after the key colours and counts 0.
    EXPECT_EQ(marivane::FormatColourFile(BandSettings{}, {}), "0\n70.00\n1.00\n1.00\n" + kKeys + "\n");
}

TEST(ColourFileText, RoundTripsTheValuesAndTheLegend) {
    BandSettings s;
    s.minDepth = 2.25;
    s.maxDepth = 40.5;
    s.step = 0.75;
    s.keys = {0x123456, 0, 0xFFFFFF, 0x80000001, 7};  // a value with the high bit reads back as written
    auto legend = marivane::MakeLegend(s);
    marivane::ReverseLegendColours(legend);
    const auto content = marivane::ParseColourFile(marivane::FormatColourFile(s, legend));
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->settings, s);
    EXPECT_EQ(content->legend, legend);
}

TEST(ColourFileText, DamagedFilesAreRecognised) {
    const std::string head = "2\n70.00\n1.00\n1.00\n" + kKeys + "\n";
    const std::vector<std::string> damaged = {
        "",
        "2\n70.00\n1.00\n1.00\n255 65535 65280",                  // key colours missing
        head + "<1.00 255",                                       // count 2, one entry
        head + "<1.00 255\n1.00-1.99 1\n2.00-2.99 2",             // count 2, three entries
        head + "<1.00 255\n1.00-1.99",                            // a label without its colour
        head + "<1.00 255\n1.00-1.99 blue",                       // a colour that is no number
        "two\n70.00\n1.00\n1.00\n" + kKeys + "\n",                // the count is no number
        "0\nseventy\n1.00\n1.00\n" + kKeys + "\n",                // a depth is no number
        "0\n70.00\n1.00\n0.00\n" + kKeys + "\n",                  // step 0
        "0\n1.00\n70.00\n1.00\n" + kKeys + "\n",                  // maximum below minimum
        "-1\n70.00\n1.00\n1.00\n" + kKeys + "\n",                 // a negative count
        "0\n70.00\n1.00\n1.00\n255 65535 x 16711680 16711935\n",  // a key colour that is no number
    };
    for (const std::string& text : damaged) EXPECT_FALSE(marivane::ParseColourFile(text).has_value()) << text;

    // More entries than any band list can have, even with a matching count.
    std::string many = std::to_string(marivane::kMaxBandCount + 1) + "\n70.00\n1.00\n1.00\n" + kKeys;
    for (int i = 0; i <= marivane::kMaxBandCount; ++i) many += "\nx 1";
    EXPECT_FALSE(marivane::ParseColourFile(many).has_value());
}

TEST(ColourFileText, ReadsFilesWrittenWithCarriageReturnsAndCutsLongLabels) {
    const auto content = marivane::ParseColourFile("1\r\n70.00\r\n1.00\r\n1.00\r\n" + kKeys +
                                                   "\r\nabcdefghijklmnopqrstuvwxyz 42\r\n");
    ASSERT_TRUE(content.has_value());
    ASSERT_EQ(content->legend.size(), 1u);
    EXPECT_EQ(content->legend[0].label, "abcdefghijklmnop");
    EXPECT_EQ(content->legend[0].colour, 42u);
}

class ColourFileTest : public GridTest {
  protected:
    BandSettings Altered() const {
        BandSettings s;
        s.minDepth = 5.0;
        s.maxDepth = 25.0;
        s.step = 2.0;
        s.keys = {1, 2, 3, 4, 5};
        return s;
    }
};

TEST_F(ColourFileTest, ProjectOpenTakesTheValuesAndRegeneratesBandsAndLegend) {
    const auto file = Path("project.clr");
    // The stored legend entries are not read: the legend comes from the values.
    gridtest::WriteText(file,
                        marivane::FormatColourFile(Altered(), std::vector<LegendEntry>{{9, "whatever"}}));
    DepthColourTable table;
    ASSERT_TRUE(marivane::LoadColourFile(table, file));
    EXPECT_EQ(table.Settings(), Altered());
    EXPECT_EQ(table.BandColours().size(), 12u);
    EXPECT_EQ(table.Legend(), marivane::MakeLegend(Altered()));
}

TEST_F(ColourFileTest, ProjectOpenLeavesTheTableAloneForMissingEmptyShortOrRefusedFiles) {
    gridtest::WriteText(Path("empty.clr"), "");
    gridtest::WriteText(Path("short.clr"), "0\n70.00\n1.00\n1.00\n255");
    gridtest::WriteText(Path("step0.clr"), "0\n70.00\n1.00\n0\n" + kKeys);
    gridtest::WriteText(Path("below.clr"), "0\n1.00\n70.00\n1\n" + kKeys);
    for (const char* name : {"missing.clr", "empty.clr", "short.clr", "step0.clr", "below.clr"}) {
        DepthColourTable table;
        EXPECT_FALSE(marivane::LoadColourFile(table, Path(name))) << name;
        EXPECT_EQ(table.Settings(), BandSettings{}) << name;
        EXPECT_EQ(table.BandColours().size(), 71u) << name;
        EXPECT_TRUE(table.Legend().empty()) << name;
    }
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ColourFileTest, ConfirmingTheColourSettingsTwiceLeavesAFileWithoutLegend) {
    const auto file = Path("project.clr");
    gridtest::WriteText(file, marivane::FormatColourFile(BandSettings{}, {}));
    DepthColourTable table;
    ASSERT_TRUE(marivane::LoadColourFile(table, file));  // legend rebuilt: 71 entries
    marivane::ReverseLegendColours(table.MutableLegend());

    EXPECT_EQ(marivane::ConfirmColourSettings(table, table.Settings(), file), ColourFileWrite::Written);
    auto content = marivane::ParseColourFile(*marivane::ReadTextFile(file));
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->legend.size(), 71u);
    // The legend's (reversed) colours became the band colours, and the legend is gone.
    EXPECT_EQ(table.BandColours().front(), 0xFF00FFu);
    EXPECT_TRUE(table.Legend().empty());

    EXPECT_EQ(marivane::ConfirmColourSettings(table, table.Settings(), file), ColourFileWrite::Written);
    content = marivane::ParseColourFile(*marivane::ReadTextFile(file));
    ASSERT_TRUE(content.has_value());
    EXPECT_TRUE(content->legend.empty());
    EXPECT_EQ(marivane::ReadTextFile(file)->substr(0, 2), "0\n");
}

TEST_F(ColourFileTest, ConfirmingWithoutAProjectColourFileWritesNothing) {
    DepthColourTable table;
    table.RebuildLegend();
    EXPECT_EQ(marivane::ConfirmColourSettings(table, Altered(), Path("none.clr")), ColourFileWrite::NoFile);
    EXPECT_FALSE(fs::exists(Path("none.clr")));
    EXPECT_EQ(table.Settings(), Altered());
    EXPECT_EQ(table.BandColours().size(), 71u);  // the legend's colours (of the old layout) took over
    EXPECT_TRUE(table.Legend().empty());
}

TEST_F(ColourFileTest, AFailedWriteKeepsThePreviousFile) {
    const auto file = Path("project.clr");
    gridtest::WriteText(file, "previous");
    fs::create_directory(marivane::TemporaryPathFor(file));  // the temporary file cannot be made
    EXPECT_FALSE(marivane::WriteColourFile(file, BandSettings{}, {}));
    EXPECT_EQ(*marivane::ReadTextFile(file), "previous");

    fs::remove(marivane::TemporaryPathFor(file));
    EXPECT_TRUE(marivane::WriteColourFile(file, BandSettings{}, {}));
    EXPECT_FALSE(fs::exists(marivane::TemporaryPathFor(file)));
    EXPECT_TRUE(marivane::ParseColourFile(*marivane::ReadTextFile(file)).has_value());
}

}  // namespace
