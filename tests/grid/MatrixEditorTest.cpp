// The matrix editor: the outline maths behind its fields and the chart's corner dragging, its checks,
// and its file commands.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "marivane/grid/LoadedMatrices.h"
#include "marivane/grid/MatrixEditor.h"
#include "marivane/grid/MatrixOutline.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using gridtest::GridTest;
using marivane::MatrixEditor;
using marivane::MatrixField;
using marivane::MatrixHeader;
using marivane::MatrixPoint;
using marivane::OutlineGrab;

constexpr double kTol = 1e-6;

void ExpectPoint(MatrixPoint actual, double x, double y, const char* what) {
    EXPECT_NEAR(actual.x, x, kTol) << what;
    EXPECT_NEAR(actual.y, y, kTol) << what;
}

// An outline of 50 × 20 m at (100, 200), rotation 0, cells of 5 m, as the editor builds it.
MatrixHeader Outline() {
    MatrixHeader h;
    h.cellLength = h.cellWidth = 5.0;
    marivane::SetOutlineBase(h, 100.0, 200.0);
    EXPECT_TRUE(marivane::SetOutlineLength(h, 50.0));
    EXPECT_TRUE(marivane::SetOutlineWidth(h, 20.0));
    return h;
}

TEST(MatrixOutline, ANewOutlineIsLaidOutAlongItsRotation) {
    const MatrixHeader h = Outline();
    ExpectPoint(h.outline[marivane::kP0], 100.0, 200.0, "P0");
    ExpectPoint(h.outline[marivane::kP1], 150.0, 200.0, "P1");
    ExpectPoint(h.outline[marivane::kP2], 150.0, 220.0, "P2");
    ExpectPoint(h.outline[marivane::kP3], 100.0, 220.0, "P3");
    EXPECT_EQ(h.length, 50.0);
    EXPECT_EQ(h.width, 20.0);

    // The base point carries the whole outline.
    MatrixHeader moved = h;
    marivane::SetOutlineBase(moved, 90.0, 210.0);
    ExpectPoint(moved.outline[marivane::kP2], 140.0, 230.0, "P2 moved");
    EXPECT_EQ(moved.baseX, 90.0);
}

TEST(MatrixOutline, TheRotationIsReducedByWholeTurnsWithoutALoop) {
    EXPECT_DOUBLE_EQ(marivane::ReduceRotation(725.0), 5.0);
    EXPECT_DOUBLE_EQ(marivane::ReduceRotation(720.0), 360.0);  // whole turns stop at 360
    EXPECT_DOUBLE_EQ(marivane::ReduceRotation(360.0), 360.0);
    EXPECT_DOUBLE_EQ(marivane::ReduceRotation(360.5), 0.5);
    EXPECT_DOUBLE_EQ(marivane::ReduceRotation(-30.0), -30.0);
    EXPECT_DOUBLE_EQ(marivane::ReduceRotation(3.6e15 + 5.0), 5.0);  // ten million million turns
}

TEST(MatrixOutline, TypingARotationTurnsTheOutlineByTheChangeAboutTheBasePoint) {
    MatrixHeader h = Outline();
    ASSERT_TRUE(marivane::SetOutlineRotation(h, 725.0));
    EXPECT_EQ(h.rotation, 5.0);
    const double a = 5.0 * 3.1415926535 / 180.0;  // clockwise
    ExpectPoint(h.outline[marivane::kP1], 100.0 + 50.0 * std::cos(a), 200.0 - 50.0 * std::sin(a), "P1 at 5");

    // From 5 to 95: a further quarter turn, 95 degrees in all.
    ASSERT_TRUE(marivane::SetOutlineRotation(h, 95.0));
    const double b = 95.0 * 3.1415926535 / 180.0;
    ExpectPoint(h.outline[marivane::kP1], 100.0 + 50.0 * std::cos(b), 200.0 - 50.0 * std::sin(b), "P1 at 95");
    ExpectPoint(h.outline[marivane::kP3], 100.0 + 20.0 * std::sin(b), 200.0 + 20.0 * std::cos(b), "P3 at 95");
    EXPECT_FALSE(marivane::SetOutlineRotation(h, std::nan("")));
    EXPECT_EQ(h.rotation, 95.0);
}

TEST(MatrixOutline, ResizingKeepsEachSideOnItsSideOfTheBasePoint) {
    // Turned a quarter: the length side points south and lies within 1e-7 of vertical, so the new P1
    // is first put north of P0, then mirrored because it would lie on P3's wrong side.
    MatrixHeader h = Outline();
    ASSERT_TRUE(marivane::SetOutlineRotation(h, 90.0));
    ASSERT_TRUE(marivane::SetOutlineLength(h, 30.0));
    ExpectPoint(h.outline[marivane::kP1], 100.0, 170.0, "P1 south");
    ExpectPoint(h.outline[marivane::kP2], 120.0, 170.0, "P2");

    // Turned half: the length side points west; its slope puts the new P1 east, mirrored back west.
    h = Outline();
    ASSERT_TRUE(marivane::SetOutlineRotation(h, 180.0));
    ASSERT_TRUE(marivane::SetOutlineLength(h, 10.0));
    ExpectPoint(h.outline[marivane::kP1], 90.0, 200.0, "P1 west");
    ASSERT_TRUE(marivane::SetOutlineWidth(h, 5.0));
    ExpectPoint(h.outline[marivane::kP3], 100.0, 195.0, "P3 south");
    ExpectPoint(h.outline[marivane::kP2], 90.0, 195.0, "P2 parallelogram");

    EXPECT_FALSE(marivane::SetOutlineLength(h, 0.0));
    EXPECT_FALSE(marivane::SetOutlineWidth(h, -1.0));
    EXPECT_EQ(h.length, 10.0);
}

TEST(MatrixOutline, DraggingCornersMovesResizesAndTurnsTheOutline) {
    MatrixHeader h = Outline();
    OutlineGrab p0{true, false, false, false}, p1{false, true, false, false}, p2{false, false, true, false},
        p3{false, false, false, true};

    EXPECT_EQ(marivane::DragOutline(h, p1, {130.0, 260.0}), marivane::kOutlineLengthChanged);
    ExpectPoint(h.outline[marivane::kP1], 130.0, 200.0, "P1 projected");
    ExpectPoint(h.outline[marivane::kP2], 130.0, 220.0, "P2 follows");
    EXPECT_NEAR(h.length, 30.0, kTol);

    // Past the base point: mirrored back to its side.
    EXPECT_EQ(marivane::DragOutline(h, p1, {80.0, 200.0}), marivane::kOutlineLengthChanged);
    ExpectPoint(h.outline[marivane::kP1], 120.0, 200.0, "P1 mirrored");
    // Shorter than one cell: ignored.
    EXPECT_EQ(marivane::DragOutline(h, p1, {102.0, 200.0}), 0);
    EXPECT_NEAR(h.length, 20.0, kTol);

    EXPECT_EQ(marivane::DragOutline(h, p3, {300.0, 240.0}), marivane::kOutlineWidthChanged);
    ExpectPoint(h.outline[marivane::kP3], 100.0, 240.0, "P3 (vertical side: northing follows)");
    ExpectPoint(h.outline[marivane::kP2], 120.0, 240.0, "P2 follows P3");
    EXPECT_NEAR(h.width, 40.0, kTol);

    // P2 to where it would be after a quarter turn clockwise: rotation 90.
    EXPECT_EQ(marivane::DragOutline(h, p2, {140.0, 180.0}), marivane::kOutlineRotated);
    EXPECT_NEAR(h.rotation, 90.0, 1e-9);
    ExpectPoint(h.outline[marivane::kP1], 100.0, 180.0, "P1 turned");
    ExpectPoint(h.outline[marivane::kP3], 140.0, 200.0, "P3 turned");

    EXPECT_EQ(marivane::DragOutline(h, p0, {0.0, 0.0}), marivane::kOutlineBaseMoved);
    ExpectPoint(h.outline[marivane::kP2], 40.0, -20.0, "all moved");
    EXPECT_EQ(h.baseX, 0.0);
    EXPECT_EQ(marivane::DragOutline(h, OutlineGrab{}, {5.0, 5.0}), 0);
}

TEST(MatrixOutline, GrabbingAndReleasingCorners) {
    const std::array<marivane::ScreenPoint, 4> corners = {{{0, 0}, {7.9, 0}, {100, 100}, {0, 8}}};
    OutlineGrab grabbed = marivane::GrabOutlineCorners(corners, {0.0, 0.0});
    EXPECT_EQ(grabbed, (OutlineGrab{true, true, false, false}));
    EXPECT_EQ(marivane::ReleaseOutline(grabbed), (std::vector<int>{marivane::kOutlineLengthReleased}));
    EXPECT_EQ(grabbed, OutlineGrab{});
    grabbed = {false, true, false, true};
    EXPECT_EQ(marivane::ReleaseOutline(grabbed), (std::vector<int>{22, 44}));
}

class MatrixEditorTest : public GridTest {
  protected:
    MatrixEditor editor_;

    void Define(double length, double width) {
        ASSERT_TRUE(editor_.TakeField(MatrixField::BaseX, "1000"));
        ASSERT_TRUE(editor_.TakeField(MatrixField::BaseY, "2000"));
        ASSERT_TRUE(editor_.TakeField(MatrixField::Length, std::to_string(length)));
        ASSERT_TRUE(editor_.TakeField(MatrixField::Width, std::to_string(width)));
    }
};

TEST_F(MatrixEditorTest, StartsClearedWithFiveMetreCellsAndShowsItsFields) {
    EXPECT_EQ(editor_.FieldText(MatrixField::CellLength), "5.0");
    EXPECT_EQ(editor_.FieldText(MatrixField::Length), "0.0");
    EXPECT_TRUE(editor_.NeedsName());
    Define(100.0, 50.0);
    EXPECT_EQ(editor_.FieldText(MatrixField::BaseX), "1000.00");
    EXPECT_EQ(editor_.FieldText(MatrixField::Width), "50.0");
    ASSERT_TRUE(editor_.TakeField(MatrixField::Rotation, "725"));
    EXPECT_EQ(editor_.FieldText(MatrixField::Rotation), "5.00");
    EXPECT_EQ(marivane::CellsFigureText(editor_.Figures()), "Cells number:200");
    EXPECT_EQ(marivane::SizeFigureText(editor_.Figures()), "Size(MB):0.00");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MatrixEditorTest, SizesThatGiveNoCellAreRefused) {
    Define(100.0, 50.0);
    const MatrixHeader before = editor_.Header();
    struct Case {
        MatrixField field;
        const char* text;
    };
    const Case refused[] = {
        {MatrixField::Length, "0"},     {MatrixField::Length, "-10"},
        {MatrixField::Length, "abc"},   {MatrixField::Length, "4.9"},      // less than one 5 m cell
        {MatrixField::Width, "1e999"},                                     // no number (too large): 0
        {MatrixField::CellLength, "0"}, {MatrixField::CellLength, "101"},  // wider than the grid
        {MatrixField::CellWidth, "-5"},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(editor_.TakeField(c.field, c.text)) << c.text;
        EXPECT_EQ(editor_.Header(), before) << c.text;
    }
    EXPECT_TRUE(editor_.TakeField(MatrixField::CellLength, "100"));
}

TEST_F(MatrixEditorTest, TheCellCountCheckWarnsAndBlocksSaving) {
    Define(20000.0, 10000.0);
    ASSERT_TRUE(editor_.TakeField(MatrixField::CellLength, "1"));
    ASSERT_TRUE(editor_.TakeField(MatrixField::CellWidth, "1"));  // the value is kept despite the warning
    const std::string tooMany =
        "The total number of cells is over 100 million. Please reset the length and width of the matrix.";
    EXPECT_EQ(messages_.Texts().back(), tooMany);
    EXPECT_FALSE(editor_.Figures().withinLimit);
    messages_.shown.clear();
    EXPECT_EQ(editor_.Save(Path("big.mtrx")), MatrixEditor::SaveResult::Refused);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{tooMany});
    EXPECT_FALSE(fs::exists(Path("big.mtrx")));

    // Releasing a dragged corner runs the check again.
    messages_.shown.clear();
    EXPECT_TRUE(editor_.OnOutlineNotification(marivane::kOutlineWidthReleased).empty());
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{tooMany});
}

TEST_F(MatrixEditorTest, NotificationsFromTheChartNameTheFieldsToShow) {
    EXPECT_EQ(editor_.OnOutlineNotification(marivane::kOutlineBaseMoved),
              (std::vector<MatrixField>{MatrixField::BaseX, MatrixField::BaseY}));
    EXPECT_EQ(editor_.OnOutlineNotification(marivane::kOutlineWidthChanged),
              std::vector<MatrixField>{MatrixField::Width});
    // A rotation of −0 (P1 straight east after a drag) shows as 0.00.
    editor_.MutableHeader().rotation = -0.0;
    EXPECT_EQ(editor_.RotationTextAfterDrag(), "0.00");
}

TEST_F(MatrixEditorTest, SavingAGridWithoutCellsIsRefused) {
    EXPECT_EQ(editor_.Save(Path("a.mtrx")), MatrixEditor::SaveResult::Refused);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{marivane::kMatrixNoCellsEn});
    EXPECT_FALSE(fs::exists(Path("a.mtrx")));
}

TEST_F(MatrixEditorTest, SavingEmptiesAGridThatHoldsSoundingsAndOpeningShowsItAgain) {
    Define(30.0, 20.0);
    const auto path = Path("a.mtrx");
    ASSERT_EQ(editor_.Save(path), MatrixEditor::SaveResult::Saved);
    EXPECT_EQ(editor_.CurrentPath(), path);
    EXPECT_EQ(editor_.Header().rows, 4u);
    EXPECT_EQ(editor_.Header().columns, 6u);

    // Soundings arrive, then the grid is saved again: every cell is zero.
    auto bytes = gridtest::ReadBytes(path);
    platform::StoreLE<std::uint32_t>(&bytes[256 + 8 * 3], 5);
    gridtest::WriteBytes(path, bytes);
    ASSERT_EQ(editor_.Save(editor_.CurrentPath()), MatrixEditor::SaveResult::Saved);
    for (const auto& c : gridtest::FileCells(path)) ASSERT_EQ(c, marivane::MatrixCell{});

    MatrixEditor other;
    EXPECT_EQ(other.Open(path), MatrixEditor::OpenResult::Opened);
    EXPECT_EQ(other.Header(), editor_.Header());
    EXPECT_EQ(other.Open(path), MatrixEditor::OpenResult::AlreadyCurrent);
    other.New();
    EXPECT_TRUE(other.NeedsName());
    EXPECT_EQ(other.Header().length, 0.0);
    EXPECT_EQ(other.Header().cellWidth, 5.0);
}

TEST_F(MatrixEditorTest, OpeningMissingOrDamagedFilesIsReported) {
    const auto missing = Path("missing.mtrx");
    EXPECT_EQ(editor_.Open(missing), MatrixEditor::OpenResult::Missing);
    EXPECT_EQ(messages_.Texts().back(), missing.string() + " File path error!");

    const auto shortFile = Path("short.mtrx");
    gridtest::WriteBytes(shortFile, std::vector<std::uint8_t>(255, 0));
    EXPECT_EQ(editor_.Open(shortFile), MatrixEditor::OpenResult::Failed);
    EXPECT_EQ(messages_.Texts().back(), "Failed to read the matrix file " + shortFile.string() + " !");

    MatrixHeader h = gridtest::GridHeader(0, 0, 2, 2);
    h.outline[2].y = std::nan("");
    const auto bytes = marivane::EncodeMatrixHeader(h);
    const auto nanFile = Path("nan.mtrx");
    gridtest::WriteBytes(nanFile, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(editor_.Open(nanFile), MatrixEditor::OpenResult::Failed);
    EXPECT_TRUE(editor_.NeedsName());
    EXPECT_EQ(editor_.Header().cellLength, 5.0);
}

TEST_F(MatrixEditorTest, SaveAsNamesEndInMtrx) {
    EXPECT_EQ(marivane::WithMatrixExtension("Matrix1"), fs::path("Matrix1.mtrx"));
    EXPECT_EQ(marivane::WithMatrixExtension("/p/a.mtrx"), fs::path("/p/a.mtrx"));
    EXPECT_EQ(marivane::WithMatrixExtension("/p/a.mtr"), fs::path("/p/a.mtr.mtrx"));
}

TEST_F(MatrixEditorTest, RegisteringCopiesIntoTheMatrixFolderAndMarksTheFile) {
    const auto folder = Path("Matrix Files");
    fs::create_directories(folder);
    const auto project = Path("project.ngn");
    Define(30.0, 20.0);
    const auto outside = Path("a.mtrx");
    ASSERT_EQ(editor_.Save(outside), MatrixEditor::SaveResult::Saved);

    fs::path registered;
    EXPECT_EQ(marivane::RegisterMatrixFile(outside, folder, project, registered),
              marivane::MatrixRegistration::Copied);
    EXPECT_EQ(registered, folder / "a.mtrx");
    EXPECT_EQ(gridtest::ReadBytes(registered), gridtest::ReadBytes(outside));
    EXPECT_EQ(platform::GetProfileString(project, "MatrixFolder", "a.mtrx", ""), "true");

    // The name is taken: asked, and No keeps the file there.
    gridtest::WriteBytes(registered, {1, 2, 3});
    messages_.answer = platform::MessageAnswer::No;
    EXPECT_EQ(marivane::RegisterMatrixFile(outside, folder, project, registered),
              marivane::MatrixRegistration::Declined);
    EXPECT_EQ(messages_.Texts().back(), "The file already exists.\nDo you want to replace it?");
    EXPECT_EQ(gridtest::ReadBytes(folder / "a.mtrx"), (std::vector<std::uint8_t>{1, 2, 3}));
    messages_.answer = platform::MessageAnswer::Yes;
    EXPECT_EQ(marivane::RegisterMatrixFile(outside, folder, project, registered),
              marivane::MatrixRegistration::Copied);
    EXPECT_EQ(gridtest::ReadBytes(registered), gridtest::ReadBytes(outside));

    // Already in the folder: used where it is.
    messages_.shown.clear();
    EXPECT_EQ(marivane::RegisterMatrixFile(registered, folder, project, registered),
              marivane::MatrixRegistration::InFolder);
    EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
