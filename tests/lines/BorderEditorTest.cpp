#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinesTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "marivane/lines/BorderEditor.h"

namespace {

using lines_test::FakeProject;
using lines_test::FolderTest;
using lines_test::ScriptedPrompt;
using marivane::BorderEditorModel;
using marivane::InputMode;
using marivane::PlanPoint;
using platform::MessageAnswer;
using Points = std::vector<PlanPoint>;
namespace fs = std::filesystem;

class BorderEditorTest : public FolderTest {
  protected:
    void SetUp() override {
        FolderTest::SetUp();
        project_.root = dir_ / "project";
        fs::create_directories(project_.root / "Border Files");
    }

    geodesy::CCoordinateCal cal_;
    ScriptedPrompt prompt_;
    FakeProject project_;
    BorderEditorModel editor_{marivane::EditorContext{cal_, prompt_, &project_, nullptr}};
};

TEST_F(BorderEditorTest, PointCommandsNeedNoLine) {
    EXPECT_EQ(editor_.ColumnTitles()[0].english, "X start coordinates");
    ASSERT_TRUE(editor_.AddPoint());
    ASSERT_TRUE(editor_.AddPoint());
    EXPECT_EQ(editor_.PointRows()[0].texts.first, "0.00");
    ASSERT_TRUE(editor_.EditPoint(1, "10.456", "20"));
    EXPECT_EQ(editor_.PointRows()[1].texts.first, "10.46");
    EXPECT_EQ(editor_.Border(), (Points{{0, 0}, {10.456, 20}}));

    EXPECT_FALSE(editor_.InsertPoint());
    EXPECT_FALSE(editor_.DeletePoint());
    EXPECT_FALSE(editor_.EditPoint(2, "1", "2"));
    EXPECT_EQ(presenter_.Take(),
              (std::vector<std::string>{"Failed to select the position of the insertion point!",
                                        "No point is selected!", "No point is selected!"}));
    editor_.SelectPoint(1);
    ASSERT_TRUE(editor_.InsertPoint());
    EXPECT_EQ(editor_.Border(), (Points{{0, 0}, {0, 0}, {10.456, 20}}));
    editor_.SelectPoint(0);
    ASSERT_TRUE(editor_.DeletePoint());
    EXPECT_EQ(editor_.Border(), (Points{{0, 0}, {10.456, 20}}));
    EXPECT_TRUE(editor_.Modified());

    editor_.BeginPick();
    ASSERT_TRUE(editor_.PickPoint({5, 6}));
    editor_.EndPick();
    EXPECT_FALSE(editor_.PickPoint({7, 8}));
    EXPECT_EQ(editor_.Border().back(), (PlanPoint{5, 6}));
}

TEST_F(BorderEditorTest, GeographicModeDefaultsAndTitles) {
    editor_.SetInputMode(InputMode::PlanXY);
    EXPECT_EQ(editor_.ColumnTitles()[0].english, "X coordinates");
    editor_.SetInputMode(InputMode::GeoLB);
    EXPECT_EQ(editor_.ColumnTitles()[1].english, "L coordinates");
    EXPECT_EQ(editor_.Note().english,
              "Note: the format: latitude (DD MM SS.SSSS N) longitude (DDD MM SS.SSSS E)");
    ASSERT_TRUE(editor_.AddPoint());
    double x = 0, y = 0, h = 0;
    cal_.GeoToGrid(4 + 29 / 60.0 + 29.6751 / 3600, 76 + 21 / 60.0 + 7.3738 / 3600, 0, x, y, h);
    EXPECT_EQ(editor_.Border()[0], (PlanPoint{y, x}));
    EXPECT_FALSE(editor_.EditPoint(0, "1 2 3", "1 2 3 E"));
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Latitude data input error!"});
}

TEST_F(BorderEditorTest, SaveOpenAndRegister) {
    editor_.AddPoint();
    editor_.EditPoint(0, "100.123", "200.987");
    editor_.AddPoint();
    const fs::path saved = dir_ / "area.brd";
    prompt_.files = {saved};
    ASSERT_TRUE(editor_.Save());  // no file yet: Save As
    EXPECT_EQ(prompt_.dialogs[0].title.english, "Save Border File as");
    EXPECT_EQ(prompt_.dialogs[0].defaultName, "borderLine1.brd");
    EXPECT_EQ(prompt_.dialogs[0].filter, "BorderLine File(*.brd)|*.brd||");
    EXPECT_EQ(prompt_.dialogs[0].initialFolder, project_.root / "Border Files");
    EXPECT_EQ(Read(saved), "100.12 200.99\r\n0.00 0.00\r\n");
    EXPECT_FALSE(editor_.Modified());
    EXPECT_EQ(project_.fileList, std::vector<std::string>{"Border Files\\=area.brd"});
    EXPECT_EQ(project_.keys.at("BorderLineFolder/area.brd"), "true");
    EXPECT_EQ(project_.loaded, std::vector<fs::path>{project_.root / "Border Files" / "area.brd"});

    // A failed open leaves the editor as it was.
    editor_.AddPoint();
    prompt_.answers = {MessageAnswer::No, MessageAnswer::No};
    prompt_.files = {dir_ / "missing.brd", saved};
    EXPECT_FALSE(editor_.Open());
    EXPECT_EQ(editor_.Border().size(), 3u);
    EXPECT_EQ(editor_.Path(), saved);
    EXPECT_EQ(prompt_.asked[0].text, "Save changes to " + saved.string());
    EXPECT_EQ(prompt_.dialogs.back().title.english, "Open the Border File");
    // Choosing the open file again reads nothing.
    EXPECT_FALSE(editor_.Open());
    EXPECT_EQ(editor_.Border().size(), 3u);

    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Failed to open the file \"" +
                                                          (dir_ / "missing.brd").string() + "\"!"});

    prompt_.answers = {MessageAnswer::No};
    ASSERT_TRUE(editor_.New());
    EXPECT_TRUE(editor_.Border().empty());
    EXPECT_TRUE(editor_.Path().empty());
    prompt_.files = {saved};
    ASSERT_TRUE(editor_.Open());  // nothing changed since New: no question
    EXPECT_EQ(editor_.Border(), (Points{{100.12, 200.99}, {0, 0}}));
    EXPECT_EQ(editor_.Path(), saved);
    EXPECT_FALSE(editor_.Modified());
    EXPECT_EQ(prompt_.asked.size(), 3u);
}

}  // namespace
