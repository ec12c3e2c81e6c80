// The depth colour editor's buttons, its file commands and what it hands back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "marivane/grid/ColourEditor.h"
#include "marivane/grid/ColourFile.h"

namespace {

namespace fs = std::filesystem;
using gridtest::GridTest;
using marivane::BandLayoutProblem;
using marivane::BandSettings;
using marivane::ColourEditor;
using marivane::DepthColourTable;
using marivane::LegendEntry;

class ColourEditorTest : public GridTest {
  protected:
    ColourEditorTest() { copy_.keys = {10, 20, 30, 40, 50}; }

    DepthColourTable table_;
    BandSettings copy_;
};

TEST_F(ColourEditorTest, OpeningRebuildsTheLegendAndTheCurrentDepthsFromTheCopy) {
    copy_.minDepth = 2.0;
    copy_.maxDepth = 12.0;
    copy_.step = 0.5;
    ColourEditor editor(table_, copy_);
    EXPECT_EQ(editor.Values(), copy_);
    EXPECT_EQ(editor.Entries(), marivane::MakeLegend(copy_));
    EXPECT_EQ(table_.Legend(), editor.Entries());
    EXPECT_EQ(table_.Settings().minDepth, 2.0);
    EXPECT_EQ(table_.Settings().maxDepth, 12.0);
    EXPECT_EQ(table_.Settings().step, 0.5);
    EXPECT_EQ(table_.Settings().keys, BandSettings{}.keys);  // the key colours follow only on confirmation
    EXPECT_EQ(editor.DepthTexts(), (std::array<std::string, 3>{"2.00", "12.00", "0.50"}));
    EXPECT_EQ(editor.FineValue(), 0.0);
}

TEST_F(ColourEditorTest, ApplyTakesTheThreeEditsOrRefusesThemWhole) {
    ColourEditor editor(table_, copy_);
    EXPECT_EQ(editor.Apply("0", "3", "1"), BandLayoutProblem::None);
    EXPECT_EQ(editor.Entries().size(), 5u);
    EXPECT_EQ(editor.Entries()[2].colour, 30u);

    struct Case {
        const char *min, *max, *step;
        BandLayoutProblem problem;
    };
    const Case refused[] = {
        {"1", "70", "0", BandLayoutProblem::StepNotPositive},
        {"1", "70", "-1", BandLayoutProblem::StepNotPositive},
        {"1", "70", "step", BandLayoutProblem::StepNotPositive},  // no number reads as 0
        {"70", "1", "1", BandLayoutProblem::MaxBelowMin},
        {"1", "70", "0.001", BandLayoutProblem::TooManyBands},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(editor.Apply(c.min, c.max, c.step), c.problem) << c.step;
        EXPECT_EQ(editor.Values().maxDepth, 3.0);
        EXPECT_EQ(editor.Entries().size(), 5u);
    }
}

TEST_F(ColourEditorTest, FineAdjustmentMovesBothDepths) {
    ColourEditor editor(table_, copy_);  // 1 … 70
    const auto entries = editor.Entries();

    // "－" with f = 2 while D0 = 1: D0 = 0, D1 = 69, and the list is not regenerated.
    EXPECT_EQ(editor.FineDown("2"), BandLayoutProblem::None);
    EXPECT_EQ(editor.Values().minDepth, 0.0);
    EXPECT_EQ(editor.Values().maxDepth, 69.0);
    EXPECT_EQ(editor.Entries(), entries);
    // Nothing more while D0 is 0.
    EXPECT_EQ(editor.FineDown("0.5"), BandLayoutProblem::None);
    EXPECT_EQ(editor.Values().minDepth, 0.0);

    EXPECT_EQ(editor.FineUp("2.5"), BandLayoutProblem::None);
    EXPECT_EQ(editor.Values().minDepth, 2.5);
    EXPECT_EQ(editor.Values().maxDepth, 71.5);
    EXPECT_EQ(editor.Entries().front().label, "<2.50");

    // f below D0: both go down and the list is regenerated.
    EXPECT_EQ(editor.FineDown("0.5"), BandLayoutProblem::None);
    EXPECT_EQ(editor.Values().minDepth, 2.0);
    EXPECT_EQ(editor.Entries().front().label, "<2.00");
    EXPECT_EQ(editor.FineValue(), 0.5);
}

TEST_F(ColourEditorTest, ReverseSwapsKeysAndReversesColoursUnderTheLabels) {
    ColourEditor editor(table_, copy_);
    const auto before = editor.Entries();
    editor.Reverse();
    EXPECT_EQ(editor.Values().keys, (std::array<marivane::ColourRef, 5>{50, 40, 30, 20, 10}));
    ASSERT_EQ(editor.Entries().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(editor.Entries()[i].label, before[i].label);
        EXPECT_EQ(editor.Entries()[i].colour, before[before.size() - 1 - i].colour);
    }
    EXPECT_EQ(table_.Legend(), editor.Entries());
}

TEST_F(ColourEditorTest, RestoreDefaultsAndKeyColoursRegenerate) {
    ColourEditor editor(table_, copy_);
    editor.SetKeyColour(0, 0x123456);
    EXPECT_EQ(editor.Entries().front().colour, 0x123456u);
    editor.SetKeyColour(5, 1);  // no such key
    EXPECT_EQ(editor.Values().keys[4], 50u);

    editor.Apply("0", "3", "1");
    editor.RestoreDefaults();
    EXPECT_EQ(editor.Values(), BandSettings{});
    EXPECT_EQ(editor.FineValue(), 0.1);
    EXPECT_EQ(editor.Entries(), marivane::MakeLegend(BandSettings{}));
}

TEST_F(ColourEditorTest, OpenTakesValuesAndEntriesFromTheFileWithoutRegenerating) {
    const auto project = Path("project.clr");
    gridtest::WriteText(project, "");
    BandSettings stored;
    stored.minDepth = 3.0;
    stored.maxDepth = 9.0;
    stored.keys = {1, 2, 3, 4, 5};
    const std::vector<LegendEntry> pairs = {{7, "shallow"}, {8, "deep"}};
    const auto chosen = Path("chosen.clr");
    gridtest::WriteText(chosen, marivane::FormatColourFile(stored, pairs));

    ColourEditor editor(table_, copy_);
    EXPECT_EQ(editor.Open(project, chosen), ColourEditor::OpenResult::Opened);
    EXPECT_EQ(editor.Values(), stored);
    EXPECT_EQ(editor.Entries(), pairs);
    EXPECT_EQ(table_.Legend(), pairs);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ColourEditorTest, ADamagedFileIsReportedAndChangesNothing) {
    const auto project = Path("project.clr");
    gridtest::WriteText(project, "");
    const auto chosen = Path("chosen.clr");
    gridtest::WriteText(chosen, "3\n9.00\n3.00\n1.00\n1 2 3 4 5\nshallow 7\ndeep 8");  // count 3, two pairs

    ColourEditor editor(table_, copy_);
    const auto entries = editor.Entries();
    const auto legend = table_.Legend();
    EXPECT_EQ(editor.Open(project, chosen), ColourEditor::OpenResult::Damaged);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Pexa Color Files have been destroyed!");
    EXPECT_EQ(messages_.shown[0].boxType, platform::kBoxError);  // warning, OK and Cancel
    EXPECT_EQ(editor.Values(), copy_);
    EXPECT_EQ(editor.Entries(), entries);
    EXPECT_EQ(table_.Legend(), legend);

    // Without a colour file in the project the command does nothing at all.
    EXPECT_EQ(editor.Open(Path("none.clr"), chosen), ColourEditor::OpenResult::NoProjectFile);
    EXPECT_EQ(editor.Open(project, Path("unreadable.clr")), ColourEditor::OpenResult::Unreadable);
    EXPECT_EQ(messages_.shown.size(), 1u);
}

TEST_F(ColourEditorTest, SaveWritesTheEditorsValuesWithTheLegendOnlyIntoAnExistingFile) {
    ColourEditor editor(table_, copy_);
    editor.Apply("0", "3", "1");
    editor.Reverse();
    EXPECT_EQ(editor.Save(Path("none.clr")), ColourEditor::SaveResult::NoProjectFile);
    EXPECT_FALSE(fs::exists(Path("none.clr")));

    const auto project = Path("project.clr");
    gridtest::WriteText(project, "");
    EXPECT_EQ(editor.Save(project), ColourEditor::SaveResult::Written);
    const auto content = marivane::ParseColourFile(*marivane::ReadTextFile(project));
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->settings, editor.Values());
    // The legend is the table's: generated from the copy at opening (71 bands), then reversed.
    EXPECT_EQ(content->legend, table_.Legend());
    EXPECT_EQ(content->legend.size(), 71u);
}

TEST_F(ColourEditorTest, OkHandsBackTheValuesAndRebuildsTheLegendFromThem) {
    ColourEditor editor(table_, copy_);
    editor.Apply("0", "3", "1");
    editor.SetKeyColour(4, 99);
    const BandSettings result = editor.Ok();
    EXPECT_EQ(result, editor.Values());
    EXPECT_EQ(table_.Legend(), marivane::MakeLegend(result));
    EXPECT_EQ(table_.Settings().maxDepth, 3.0);
    EXPECT_EQ(table_.Legend().back().colour, 99u);
}

}  // namespace
