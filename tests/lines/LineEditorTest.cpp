#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LinesTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/lines/LineEditor.h"
#include "marivane/lines/LnwFile.h"

namespace {

using lines_test::FakeProject;
using lines_test::FolderTest;
using lines_test::ScriptedPrompt;
using marivane::InputMode;
using marivane::LineEditorModel;
using marivane::PlanPoint;
using marivane::SurveyLine;
using platform::MessageAnswer;
namespace fs = std::filesystem;

class LineEditorTest : public FolderTest {
  protected:
    void SetUp() override {
        FolderTest::SetUp();
        project_.root = dir_ / "project";
        fs::create_directories(project_.root / "Planned Line Files");
        fs::create_directories(project_.root / "Border Files");
    }

    // Replaces the working list through the editor's own commands: lines named 1, 2, ... with the
    // given points.
    void SetLines(const std::vector<std::vector<PlanPoint>>& lines) {
        ASSERT_TRUE(editor_.SelectLine(0));
        ASSERT_TRUE(editor_.DeleteLine());
        for (const auto& points : lines) {
            editor_.AddLine();
            for (const PlanPoint& p : points) {
                ASSERT_TRUE(editor_.AddPoint());
                const int row = static_cast<int>(editor_.PointRows().size()) - 1;
                ASSERT_TRUE(editor_.EditPoint(row, std::to_string(p.easting), std::to_string(p.northing)));
            }
        }
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const SurveyLine& l : editor_.Lines()) out.push_back(l.name);
        return out;
    }

    geodesy::CCoordinateCal cal_;
    ScriptedPrompt prompt_;
    FakeProject project_;
    platform::QueueMessageSink sink_;
    LineEditorModel editor_{marivane::EditorContext{cal_, prompt_, &project_, &sink_}};
};

TEST_F(LineEditorTest, OpensWithOneEmptyLineSelected) {
    EXPECT_EQ(editor_.Lines(), (std::vector<SurveyLine>{{"1", {}}}));
    EXPECT_EQ(editor_.SelectedLine(), 0);
    EXPECT_EQ(editor_.CountStatus().english, "Lines num: 1");
    EXPECT_EQ(editor_.Note().english,
              "Note: X is north-direction coordinate, y is East-direction coordinate");
    EXPECT_FALSE(editor_.Modified());
    EXPECT_TRUE(editor_.Path().empty());
}

TEST_F(LineEditorTest, AddLineNamesItAfterTheLastName) {
    const std::pair<const char*, const char*> cases[] = {
        {"17", "18"}, {"A", "1"}, {"-5", "-4"}, {" 3x", "4"}, {"2147483647", "2147483648"},
    };
    for (const auto& [last, next] : cases) {
        ASSERT_TRUE(editor_.RenameSelectedLine(last));
        editor_.AddLine();
        EXPECT_EQ(editor_.Lines().back().name, next) << last;
        EXPECT_EQ(editor_.SelectedLine(), static_cast<int>(editor_.Lines().size()) - 1);
    }
    EXPECT_EQ(editor_.CountStatus().english, "Lines num:6");
    EXPECT_TRUE(editor_.Modified());
}

TEST_F(LineEditorTest, DeleteLineSelectsThePreviousOrTheLast) {
    editor_.AddLine();
    editor_.AddLine();
    ASSERT_EQ(Names(), (std::vector<std::string>{"1", "2", "3"}));
    ASSERT_TRUE(editor_.SelectLine(1));
    ASSERT_TRUE(editor_.DeleteLine());
    EXPECT_EQ(Names(), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(editor_.SelectedLine(), 0);
    ASSERT_TRUE(editor_.DeleteLine());  // the first: the last line is selected
    EXPECT_EQ(editor_.SelectedLine(), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"3"});
    ASSERT_TRUE(editor_.DeleteLine());  // the only one
    EXPECT_TRUE(editor_.Lines().empty());
    EXPECT_EQ(editor_.SelectedLine(), -1);
    EXPECT_EQ(editor_.CountStatus().english, "Lines num:0");
    EXPECT_FALSE(editor_.DeleteLine());
    EXPECT_FALSE(editor_.RenameSelectedLine("x"));
    editor_.AddLine();
    EXPECT_EQ(Names(), std::vector<std::string>{"1"});
    EXPECT_EQ(presenter_.Take(),
              (std::vector<std::string>{"Failed to select a line!", "Failed to select a line!"}));
}

TEST_F(LineEditorTest, PointCommandsInPlanMode) {
    ASSERT_TRUE(editor_.AddPoint());
    ASSERT_TRUE(editor_.AddPoint());
    ASSERT_TRUE(editor_.EditPoint(0, "100.5", "200"));
    ASSERT_TRUE(editor_.EditPoint(1, "300", "abc"));
    EXPECT_EQ(editor_.Lines()[0].points, (std::vector<PlanPoint>{{100.5, 200}, {300, 0}}));
    editor_.SelectPoint(1);
    ASSERT_TRUE(editor_.InsertPoint());  // before row 1
    EXPECT_EQ(editor_.Lines()[0].points, (std::vector<PlanPoint>{{100.5, 200}, {0, 0}, {300, 0}}));
    const auto rows = editor_.PointRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[0].texts.first, "100.500000");
    EXPECT_EQ(rows[1].texts.second, "0.000000");
    EXPECT_EQ(editor_.SelectedPoint(), -1);  // the list was refilled
    EXPECT_FALSE(editor_.DeletePoint());
    editor_.SelectPoint(0);
    ASSERT_TRUE(editor_.DeletePoint());
    EXPECT_EQ(editor_.Lines()[0].points, (std::vector<PlanPoint>{{0, 0}, {300, 0}}));
    EXPECT_FALSE(editor_.InsertPoint());
    EXPECT_FALSE(editor_.EditPoint(5, "1", "2"));
    EXPECT_EQ(presenter_.Take(), (std::vector<std::string>{"No point is selected!", "No point is selected!",
                                                           "No point is selected!"}));
    EXPECT_TRUE(editor_.Modified());
    EXPECT_GT(sink_.Count(marivane::WM_REFRESH_VIEWS), 0u);
    for (const platform::PostedMessage& m : sink_.Take()) {
        EXPECT_EQ(m, (platform::PostedMessage{platform::MessageTarget::MainFrame, marivane::WM_REFRESH_VIEWS,
                                              0, 0}));
    }

    // Without a selected line every point command refuses with its own message.
    EXPECT_FALSE(editor_.SelectLine(3));
    EXPECT_FALSE(editor_.AddPoint());
    EXPECT_FALSE(editor_.InsertPoint());
    EXPECT_FALSE(editor_.DeletePoint());
    EXPECT_FALSE(editor_.EditPoint(0, "1", "2"));
    EXPECT_EQ(presenter_.Take(), (std::vector<std::string>{
                                     "Failed to select a line!",
                                     "Please select a line that the insertion point belongs to!",
                                     "Please select a line that the insertion point belongs to!!",
                                     "No line is selected!",
                                     "Failed to select a line!",
                                 }));
    EXPECT_EQ(editor_.Lines()[0].points.size(), 2u);
}

TEST_F(LineEditorTest, PointCommandsInGeographicMode) {
    editor_.SetInputMode(InputMode::GeoLB);
    EXPECT_EQ(editor_.ColumnTitles()[0].english, "B coordinates");
    EXPECT_EQ(editor_.Note().english,
              "Note: the format: latitude (XX XX xx.xxxx N) longitude (XXX XX xx.xxxx E)");
    const auto grid = [&](double latitude, double longitude) {
        double x = 0, y = 0, h = 0;
        cal_.GeoToGrid(latitude, longitude, 0, x, y, h);
        return PlanPoint{y, x};
    };
    const double lat = 4 + 29 / 60.0;
    ASSERT_TRUE(editor_.AddPoint());
    EXPECT_EQ(editor_.Lines()[0].points[0], grid(lat + 29.6751 / 3600, 76 + 21 / 60.0 + 7.3738 / 3600));
    editor_.SelectPoint(0);
    ASSERT_TRUE(editor_.InsertPoint());
    EXPECT_EQ(editor_.Lines()[0].points[0], grid(lat + 29.675124 / 3600, 76 + 21 / 60.0 + 7.373836 / 3600));

    // The hemisphere letter is not read; the signs are.
    ASSERT_TRUE(editor_.EditPoint(0, "04 29 29.675124 S", "076 21 7.373836 E"));
    EXPECT_EQ(editor_.Lines()[0].points[0], grid(lat + 29.675124 / 3600, 76 + 21 / 60.0 + 7.373836 / 3600));
    ASSERT_TRUE(editor_.EditPoint(1, "-04 -29 -29.675124 S", "076 21 7.373836 E"));
    const PlanPoint south = editor_.Lines()[0].points[1];
    EXPECT_EQ(south, grid(-(lat + 29.675124 / 3600), 76 + 21 / 60.0 + 7.373836 / 3600));
    EXPECT_EQ(editor_.PointRows()[1].texts.first.back(), 'S');

    // A cell that is not four parts leaves the point as it was.
    EXPECT_FALSE(editor_.EditPoint(1, "04 29 S", "076 21 7.373836 E"));
    EXPECT_FALSE(editor_.EditPoint(1, "04 29 29 S", "076 21 7.373836"));
    EXPECT_EQ(editor_.Lines()[0].points[1], south);
    EXPECT_EQ(presenter_.Take(),
              (std::vector<std::string>{"Latitude data input error!", "Longitude data input error!"}));
}

TEST_F(LineEditorTest, PickModeAppendsToTheLineSelectedWhenItStarted) {
    editor_.AddLine();
    ASSERT_TRUE(editor_.SelectLine(0));
    EXPECT_FALSE(editor_.PickPoint({1, 1}));  // not picking
    editor_.BeginPick();
    EXPECT_TRUE(editor_.Picking());
    ASSERT_TRUE(editor_.PickPoint({10, 20}));
    ASSERT_TRUE(editor_.PickPoint({30, 40}));
    editor_.EndPick();
    EXPECT_FALSE(editor_.Picking());
    EXPECT_EQ(editor_.Lines()[0].points, (std::vector<PlanPoint>{{10, 20}, {30, 40}}));
    EXPECT_TRUE(editor_.Lines()[1].points.empty());

    EXPECT_FALSE(editor_.SelectLine(-1));
    editor_.BeginPick();
    EXPECT_FALSE(editor_.PickPoint({1, 1}));
    EXPECT_EQ(presenter_.Take(), (std::vector<std::string>{"Failed to select a line!",
                                                           "No line is selected, can not add point!"}));
}

// --- Generation ----------------------------------------------------------------------------------------

// Signed distance of `p` from the infinite line through a and b, positive on the left looking from a.
double LeftDistance(PlanPoint a, PlanPoint b, PlanPoint p) {
    const double de = b.easting - a.easting, dn = b.northing - a.northing;
    return (de * (p.northing - a.northing) - dn * (p.easting - a.easting)) / std::hypot(de, dn);
}

TEST_F(LineEditorTest, ParallelLinesAroundANorthRunningLine) {
    SetLines({{{0, 0}, {5, 5}}, {{100, 0}, {100, 1000}}, {{7, 7}, {8, 8}}});
    ASSERT_TRUE(editor_.SelectLine(1));
    prompt_.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(editor_.GenerateParallelLines({2, 1, 25}));
    EXPECT_EQ(prompt_.asked.back().text,
              "The current operation:\n2 lines left of center \n1 lines right of center \nDistance between "
              "lines is 25.0.");
    EXPECT_EQ(prompt_.asked.back().boxType, platform::kBoxDestructiveConfirm);

    const std::vector<SurveyLine> expected = {
        {"1", {{0, 0}, {5, 5}}},        {"2", {{50, 0}, {50, 1000}}},   {"3", {{75, 0}, {75, 1000}}},
        {"4", {{100, 0}, {100, 1000}}}, {"5", {{125, 0}, {125, 1000}}}, {"6", {{7, 7}, {8, 8}}},
    };
    EXPECT_EQ(editor_.Lines(), expected);
    EXPECT_EQ(editor_.SelectedLine(), 3);  // still the reference line
    EXPECT_EQ(editor_.CountStatus().english, "Lines num:6");
    EXPECT_TRUE(editor_.Modified());
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Offset completed"});
}

TEST_F(LineEditorTest, ParallelLinesAroundASlantedLine) {
    const PlanPoint a{1000, 2000}, b{1300, 2400};  // 500 m long, heading north-east
    SetLines({{a, b}});
    ASSERT_TRUE(editor_.SelectLine(0));
    prompt_.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(editor_.GenerateParallelLines({3, 2, 12.5}));
    ASSERT_EQ(editor_.Lines().size(), 6u);
    // Across the area from the farthest left to the farthest right: 37.5, 25, 12.5, 0, -12.5, -25.
    for (std::size_t i = 0; i < 6; ++i) {
        const SurveyLine& line = editor_.Lines()[i];
        ASSERT_EQ(line.points.size(), 2u);
        const double expected = (3.0 - static_cast<double>(i)) * 12.5;
        EXPECT_NEAR(LeftDistance(a, b, line.points[0]), expected, 1e-9) << i;
        EXPECT_NEAR(LeftDistance(a, b, line.points[1]), expected, 1e-9) << i;
        // Moved straight across: the start stays level with the reference's start.
        const double along =
            ((line.points[0].easting - a.easting) * 300 + (line.points[0].northing - a.northing) * 400) / 500;
        EXPECT_NEAR(along, 0.0, 1e-9) << i;
        EXPECT_NEAR(line.points[1].easting - line.points[0].easting, 300, 1e-9);
        EXPECT_NEAR(line.points[1].northing - line.points[0].northing, 400, 1e-9);
        EXPECT_EQ(line.name, std::to_string(i + 1));
    }
    // Only one side asked: the question names that side alone.
    prompt_.answers = {MessageAnswer::Ok, MessageAnswer::Cancel};
    ASSERT_TRUE(editor_.GenerateParallelLines({1, 0, 1}));
    EXPECT_EQ(prompt_.asked.back().text,
              "The current operation:\n1 lines left of center \nDistance between lines is 1.0.");
    EXPECT_FALSE(editor_.GenerateParallelLines({0, 4, -2.25}));  // cancelled: nothing added
    EXPECT_EQ(prompt_.asked.back().text,
              "The current operation:\n4 lines right of center \nDistance between lines is -2.2.");
    EXPECT_EQ(editor_.Lines().size(), 7u);
}

TEST_F(LineEditorTest, GenerationChecks) {
    SetLines({{{0, 0}}, {{0, 0}, {0, 10}, {0, 20}}, {{0, 0}, {0, 10}}, {{5, 5}, {5, 5}}});
    const auto lines = editor_.Lines();
    struct Case {
        int select;
        marivane::ParallelLineRequest request;
        const char* message;  // nullptr: nothing shown
    };
    const Case cases[] = {
        {-1, {1, 1, 10}, "Please select a reference line first!"},
        {0, {1, 1, 10}, "The number of point in the selected reference line less than 2!"},
        {1, {1, 1, 10}, "The current version only supports point number equal to 2!"},
        {2, {0, 0, 10}, nullptr},
        {2, {1, 1, 0}, "The distance can't be 0!"},
        {2, {1, 1, 5e-8}, "The distance can't be 0!"},
        {2, {501, 0, 10}, "Please enter an integer between 0 and 500."},
        {2, {0, -1, 10}, "Please enter an integer between 0 and 500."},
        {3, {1, 0, 10}, "The two points of the reference line coincide; it has no direction!"},
    };
    for (const Case& c : cases) {
        if (c.select < 0)
            editor_.SelectLine(-1);
        else
            ASSERT_TRUE(editor_.SelectLine(c.select));
        presenter_.Take();
        EXPECT_FALSE(editor_.GenerateParallelLines(c.request));
        EXPECT_EQ(presenter_.Take(),
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(editor_.Lines(), lines);
    }
    // The stair step shares the reference checks; a zero step on either axis or no lines does nothing.
    ASSERT_TRUE(editor_.SelectLine(1));
    EXPECT_FALSE(editor_.GenerateStairSteps({2, 10, 10}));
    EXPECT_EQ(presenter_.Take(),
              std::vector<std::string>{"The current version only supports point number equal to 2!"});
    ASSERT_TRUE(editor_.SelectLine(2));
    for (const marivane::StairStepRequest r :
         {marivane::StairStepRequest{3, 10, 0}, {3, 0, 10}, {0, 10, 10}, {3, 1e-8, 10}, {3, 10, NAN}}) {
        EXPECT_FALSE(editor_.GenerateStairSteps(r));
    }
    EXPECT_TRUE(presenter_.Take().empty());
    EXPECT_EQ(editor_.Lines(), lines);
    EXPECT_TRUE(prompt_.asked.empty());
}

TEST_F(LineEditorTest, StairStepsFollowTheReferenceLine) {
    SetLines({{{1, 1}, {2, 2}}, {{100, 200}, {300, 200}}, {{9, 9}, {8, 8}}});
    ASSERT_TRUE(editor_.SelectLine(1));
    ASSERT_TRUE(editor_.GenerateStairSteps({3, 10, -5}));
    const std::vector<SurveyLine> expected = {
        {"1", {{1, 1}, {2, 2}}},         {"2", {{100, 200}, {300, 200}}}, {"3", {{110, 195}, {310, 195}}},
        {"4", {{120, 190}, {320, 190}}}, {"5", {{130, 185}, {330, 185}}}, {"6", {{9, 9}, {8, 8}}},
    };
    EXPECT_EQ(editor_.Lines(), expected);
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Offset completed"});
    EXPECT_TRUE(prompt_.asked.empty());  // no confirmation for stair steps
}

// --- Files, save question, project ------------------------------------------------------------------

TEST_F(LineEditorTest, SaveQuestionDecidesWhetherNewGoesOn) {
    // Unchanged: no question.
    EXPECT_TRUE(editor_.New());
    EXPECT_TRUE(prompt_.asked.empty());

    // Cancel, or Yes and then no file chosen: the changes stay.
    editor_.AddLine();
    prompt_.answers = {MessageAnswer::Cancel, MessageAnswer::Yes};
    prompt_.files = {std::nullopt};
    EXPECT_FALSE(editor_.New());
    EXPECT_FALSE(editor_.New());
    EXPECT_EQ(editor_.Lines().size(), 2u);
    EXPECT_TRUE(editor_.Modified());
    EXPECT_EQ(prompt_.asked[0].text, "Save Changes?");
    EXPECT_EQ(prompt_.asked[0].boxType, marivane::kBoxSaveQuestion);
    EXPECT_EQ(prompt_.dialogs[0].title.english, "Save the Line File as:");
    EXPECT_EQ(prompt_.dialogs[0].defaultName, "surveyline1.lnw");
    EXPECT_EQ(prompt_.dialogs[0].defaultExtension, ".lnw");
    EXPECT_EQ(prompt_.dialogs[0].filter, "Surveyline File(*.lnw)|*.lnw||");
    EXPECT_EQ(prompt_.dialogs[0].initialFolder, project_.root / "Planned Line Files");

    // No: discarded.
    prompt_.answers = {MessageAnswer::No};
    EXPECT_TRUE(editor_.New());
    EXPECT_EQ(editor_.Lines(), (std::vector<SurveyLine>{{"1", {}}}));
    EXPECT_EQ(editor_.SelectedLine(), 0);
    EXPECT_FALSE(editor_.Modified());
    EXPECT_EQ(editor_.CountStatus().english, "Lines num:1");

    // Yes with a file chosen: written, registered, then New goes on.
    editor_.AddLine();
    const fs::path chosen = dir_ / "mine.lnw";
    prompt_.answers = {MessageAnswer::Yes};
    prompt_.files = {chosen};
    EXPECT_TRUE(editor_.New());
    EXPECT_EQ(Read(chosen), "LNS 2\r\nLIN 0\r\nLNN 1\r\nEOL\r\nLIN 0\r\nLNN 2\r\nEOL\r\n");
    EXPECT_EQ(project_.loaded, std::vector<fs::path>{project_.root / "Planned Line Files" / "mine.lnw"});
    EXPECT_TRUE(editor_.Path().empty());
    EXPECT_EQ(editor_.Lines().size(), 1u);
}

TEST_F(LineEditorTest, SaveQuestionWithAFileWritesThatFile) {
    project_.open = false;
    const fs::path path = dir_ / "work.lnw";
    editor_.AddLine();
    prompt_.files = {path};
    ASSERT_TRUE(editor_.SaveAs());
    EXPECT_EQ(editor_.Path(), path);
    EXPECT_FALSE(editor_.Modified());

    ASSERT_TRUE(editor_.RenameSelectedLine("renamed"));
    prompt_.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(editor_.Exit());
    EXPECT_EQ(prompt_.asked.back().text, "Save changes to " + path.string());
    EXPECT_EQ(marivane::ReadLnwIntoEditor(path)->back().name, "renamed");
    EXPECT_TRUE(editor_.Lines().empty());
    EXPECT_TRUE(editor_.Path().empty());

    // A write that fails keeps the editor open with its changes.
    LineEditorModel other{marivane::EditorContext{cal_, prompt_, nullptr, nullptr}};
    const fs::path gone = dir_ / "gone" / "x.lnw";
    prompt_.files = {gone};
    EXPECT_FALSE(other.SaveAs());
    EXPECT_TRUE(other.Path().empty());  // only a written file becomes the editor's file
    other.AddLine();
    prompt_.answers = {MessageAnswer::Yes};
    prompt_.files = {gone};
    EXPECT_FALSE(other.Exit());
    EXPECT_EQ(other.Lines().size(), 2u);
    EXPECT_EQ(presenter_.Take(),
              (std::vector<std::string>{"Failed to open the file!", "Failed to open the file!"}));
}

TEST_F(LineEditorTest, SavingAnEmptyListKeepsTheChangesUnsaved) {
    const fs::path path = dir_ / "empty.lnw";
    ASSERT_TRUE(editor_.DeleteLine());
    prompt_.files = {path};
    ASSERT_TRUE(editor_.Save());
    EXPECT_EQ(Read(path), "LNS 0\r\n");
    EXPECT_TRUE(editor_.Modified());
}

TEST_F(LineEditorTest, OpenReadsAFileAndAFailedOpenChangesNothing) {
    const fs::path good =
        Write("good.lnw", "LNS 2\r\nLIN 1\r\nPTS 1 2\r\nLNN a\r\nEOL\r\nLIN 0\r\nLNN b\r\nEOL\r\n");
    const fs::path bad = Write("bad.lnw", "LNS 0\r\n");
    editor_.AddLine();
    const auto before = editor_.Lines();

    prompt_.answers = {MessageAnswer::No};
    prompt_.files = {bad};
    EXPECT_FALSE(editor_.Open());
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Error of the number of lines"});
    EXPECT_EQ(editor_.Lines(), before);
    EXPECT_TRUE(editor_.Path().empty());
    EXPECT_EQ(prompt_.dialogs.back().title.english, "Open the Line File");

    prompt_.answers = {MessageAnswer::No};
    prompt_.files = {good};
    ASSERT_TRUE(editor_.Open());
    EXPECT_EQ(editor_.Lines(), (std::vector<SurveyLine>{{"a", {{1, 2}}}, {"b", {}}}));
    EXPECT_EQ(editor_.Path(), good);
    EXPECT_FALSE(editor_.Modified());
    EXPECT_EQ(editor_.CountStatus().english, "Lines num:2");

    // Choosing the file that is open already reads nothing.
    ASSERT_TRUE(editor_.SelectLine(1));
    ASSERT_TRUE(editor_.RenameSelectedLine("changed"));
    prompt_.answers = {MessageAnswer::No};
    prompt_.files = {good};
    EXPECT_FALSE(editor_.Open());
    EXPECT_EQ(editor_.Lines()[1].name, "changed");
}

TEST_F(LineEditorTest, LoadForEditingTakesALoadedFile) {
    const marivane::LineFileEntry entry{dir_ / "p.lnw", true, {{"7", {{1, 2}, {3, 4}}}}};
    ASSERT_TRUE(editor_.LoadForEditing(entry));
    EXPECT_EQ(editor_.Lines(), entry.lines);
    EXPECT_EQ(editor_.Path(), entry.path);
    EXPECT_FALSE(editor_.Modified());
    EXPECT_EQ(editor_.CountStatus().english, "Lines num:1");
    // Unsaved changes are asked about first.
    editor_.AddLine();
    prompt_.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(editor_.LoadForEditing(entry));
    EXPECT_EQ(editor_.Lines().size(), 2u);
}

TEST_F(LineEditorTest, RegisteringASavedFile) {
    const fs::path folder = project_.root / "Planned Line Files";
    // A file saved inside the project's folder is only listed.
    prompt_.files = {folder / "inside.lnw"};
    ASSERT_TRUE(editor_.SaveAs());
    EXPECT_EQ(project_.fileList, std::vector<std::string>{"Planned Line Files\\=inside.lnw"});
    EXPECT_EQ(project_.keys.at("SurLineFolder/inside.lnw"), "true");
    EXPECT_EQ(project_.loaded, std::vector<fs::path>{folder / "inside.lnw"});
    ASSERT_TRUE(editor_.Save());  // listed once only
    EXPECT_EQ(project_.fileList.size(), 1u);

    // A file saved elsewhere is copied in; the project's copy is what gets loaded.
    editor_.AddLine();
    prompt_.files = {dir_ / "outside.lnw"};
    ASSERT_TRUE(editor_.SaveAs());
    EXPECT_EQ(Read(folder / "outside.lnw"), Read(dir_ / "outside.lnw"));
    EXPECT_EQ(project_.fileList.back(), "Planned Line Files\\=outside.lnw");
    EXPECT_EQ(project_.loaded.back(), folder / "outside.lnw");
    EXPECT_TRUE(prompt_.asked.empty());

    // The project has a file of that name already: asked; No leaves the project as it was.
    editor_.AddLine();
    const std::string before = Read(folder / "outside.lnw");
    const std::size_t loads = project_.loaded.size();
    prompt_.answers = {MessageAnswer::No};
    ASSERT_TRUE(editor_.Save());
    EXPECT_EQ(prompt_.asked.back().text, "The file already exists.\nDo you want to replace it?");
    EXPECT_EQ(prompt_.asked.back().boxType, platform::kBoxConfirm);
    EXPECT_EQ(Read(folder / "outside.lnw"), before);
    EXPECT_EQ(project_.loaded.size(), loads);
    EXPECT_FALSE(editor_.Modified());  // the file itself was saved
    prompt_.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(editor_.Save());
    EXPECT_EQ(Read(folder / "outside.lnw"), Read(dir_ / "outside.lnw"));
    EXPECT_EQ(project_.fileList.size(), 2u);
    EXPECT_EQ(project_.loaded.size(), loads + 1);

    // No project open: saved, not registered.
    project_.open = false;
    prompt_.files = {dir_ / "free.lnw"};
    ASSERT_TRUE(editor_.SaveAs());
    EXPECT_FALSE(fs::exists(folder / "free.lnw"));
    EXPECT_EQ(project_.loaded.size(), loads + 1);
    EXPECT_TRUE(prompt_.dialogs.back().initialFolder.empty());

    // The project's folder is gone: the copy fails, is reported, and nothing is listed.
    project_.open = true;
    fs::remove_all(folder);
    prompt_.files = {dir_ / "lost.lnw"};
    ASSERT_TRUE(editor_.SaveAs());
    EXPECT_EQ(presenter_.Take(),
              std::vector<std::string>{"Failed to copy the file to \"" + (folder / "lost.lnw").string() +
                                       "\"; it was not added to the project!"});
    EXPECT_EQ(project_.fileList.size(), 2u);
    EXPECT_EQ(project_.loaded.size(), loads + 1);
}

}  // namespace
