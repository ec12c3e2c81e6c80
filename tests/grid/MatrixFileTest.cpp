// The depth grid: its file, placing soundings, the image, loading, clearing and the size figures.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "marivane/grid/DepthMatrix.h"
#include "marivane/grid/LoadedMatrices.h"
#include "marivane/grid/MatrixFile.h"
#include "marivane/grid/ReplaceFile.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using gridtest::GridHeader;
using gridtest::GridTest;
using marivane::DepthColourTable;
using marivane::DepthMatrix;
using marivane::LoadedMatrixList;
using marivane::MatrixCell;
using marivane::MatrixHeader;
using marivane::MatrixLoadResult;

constexpr marivane::ColourRef kRed = 0x0000FF;

TEST(MatrixHeaderBytes, SitAtTheirOffsetsAndRoundTrip) {
    MatrixHeader h = GridHeader(500100.5, 3300200.25, 40, 30, 2.5, 12.5);
    h.reserved[5] = 0xAB;
    const auto bytes = marivane::EncodeMatrixHeader(h);
    EXPECT_EQ(platform::LoadLE<double>(&bytes[0]), 500100.5);
    EXPECT_EQ(platform::LoadLE<double>(&bytes[8]), 3300200.25);
    EXPECT_EQ(platform::LoadLE<double>(&bytes[16]), 100.0);  // length
    EXPECT_EQ(platform::LoadLE<double>(&bytes[24]), 75.0);   // width
    EXPECT_EQ(platform::LoadLE<double>(&bytes[48]), 12.5);
    EXPECT_EQ(platform::LoadLE<std::uint32_t>(&bytes[56]), 30u);
    EXPECT_EQ(platform::LoadLE<std::uint32_t>(&bytes[60]), 40u);
    EXPECT_EQ(platform::LoadLE<double>(&bytes[64 + 16]), 500200.5);    // P1.x
    EXPECT_EQ(platform::LoadLE<double>(&bytes[64 + 56]), 3300275.25);  // P3.y
    EXPECT_EQ(bytes[133], 0xAB);
    EXPECT_EQ(marivane::DecodeMatrixHeader(bytes), h);
}

// A grid object without a file: `columns` × `rows` cells of 1 m at the origin.
DepthMatrix Grid(std::uint32_t columns, std::uint32_t rows, double rotation = 0.0) {
    DepthMatrix m;
    EXPECT_TRUE(m.Build(GridHeader(0.0, 0.0, columns, rows, 1.0, rotation)));
    return m;
}

TEST(DepthMatrix, PlacesSoundingsByTruncatingTowardTheBasePoint) {
    DepthMatrix m = Grid(10, 5);
    struct Case {
        double x, y;
        std::int32_t cell;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0.0, 0.0, 0},                      // on the base point
        {-0.4, 0.0, 0},                     // 0.4 cell lengths before it: truncated to column 0
        {0.0, -0.99, 0},  {-1.0, 0.0, -1},  // a whole cell before it
        {9.99, 4.99, 49},                   // the far cell
        {10.0, 0.0, -1},                    // beyond the last column
        {0.0, 5.0, -1},   {3.5, 2.5, 23},   // row 2, column 3
        {1e300, 0.0, -1}, {nan, 0.0, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(m.AddSounding(kRed, c.x, c.y, 10.0), c.cell) << c.x << "," << c.y;
}

TEST(DepthMatrix, KeepsTheRunningMeanAndIgnoresDepthsOutsideTheRange) {
    DepthMatrix m = Grid(4, 4);
    for (double depth : {0.0, -3.0, 100000.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(m.AddSounding(kRed, 1.5, 1.5, depth), -1) << depth;
    EXPECT_EQ(m.Cells()[5], MatrixCell{});

    for (double depth : {10.0, 11.0, 12.0}) EXPECT_EQ(m.AddSounding(kRed, 1.5, 1.5, depth), 5);
    EXPECT_EQ(m.Cells()[5].count, 3u);
    EXPECT_FLOAT_EQ(m.Cells()[5].mean, 11.0f);
    EXPECT_EQ(m.Last().row, 1);
    EXPECT_EQ(m.Last().column, 1);
}

TEST(DepthMatrix, AQuarterTurnMakesEastingsRowsAndNorthingsNegativeColumns) {
    DepthMatrix m = Grid(10, 10, 90.0);
    EXPECT_EQ(m.AddSounding(kRed, 5.0, 0.0, 10.0), 50);  // row 5, column 0
    EXPECT_EQ(m.AddSounding(kRed, 0.0, 5.0, 10.0), -1);  // column −5
    EXPECT_EQ(m.AddSounding(kRed, 5.5, -3.5, 10.0), 53);
}

TEST(DepthMatrix, PaintsTheImageFromTheBottomRowUpInRgbOrder) {
    DepthMatrix m = Grid(4, 3);
    ASSERT_EQ(m.AddSounding(kRed, 1.5, 0.5, 10.0), 1);       // row 0, column 1
    ASSERT_EQ(m.AddSounding(0xFF0000, 2.5, 2.5, 10.0), 10);  // row 2 (the top), column 2
    std::vector<std::uint32_t> expected(12, 0);
    expected[2 * 4 + 1] = 0xFF0000;  // row 0 is the bottom line of the image
    expected[0 * 4 + 2] = 0x0000FF;
    EXPECT_EQ(std::vector<std::uint32_t>(m.Pixels().begin(), m.Pixels().end()), expected);
}

TEST(DepthMatrix, IsBuiltOnlyOnceAndOnlyFromAGridThatHasCells) {
    DepthMatrix m = Grid(2, 2);
    EXPECT_FALSE(m.Build(GridHeader(0.0, 0.0, 3, 3)));
    EXPECT_EQ(m.CellCount(), 4u);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<MatrixHeader> refused;
    MatrixHeader h = GridHeader(0.0, 0.0, 10, 10);
    h.length = 0.0;  // no length
    refused.push_back(h);
    h = GridHeader(0.0, 0.0, 10, 10);
    h.cellWidth = 0.0;  // rows would divide by zero
    refused.push_back(h);
    h = GridHeader(0.0, 0.0, 10, 10);
    h.rotation = nan;
    refused.push_back(h);
    h = GridHeader(1e20, 0.0, 10, 10);  // the far corner is not beyond the base point in doubles
    refused.push_back(h);
    h = GridHeader(0.0, 0.0, 10, 10);
    h.rows = 0;
    refused.push_back(h);
    h = GridHeader(0.0, 0.0, 20000, 10000);  // 2e8 cells
    refused.push_back(h);
    for (const MatrixHeader& header : refused) {
        DepthMatrix fresh;
        EXPECT_FALSE(fresh.Build(header));
        EXPECT_FALSE(fresh.Valid());
        EXPECT_EQ(fresh.AddSounding(kRed, 1.0, 1.0, 10.0), -1);
    }
}

TEST(MatrixSizeFigures, CountCellsAndMegabytesUpToTheLimit) {
    MatrixHeader h = GridHeader(0.0, 0.0, 1000, 500);
    auto f = marivane::ComputeSizeFigures(h);
    EXPECT_TRUE(f.withinLimit);
    EXPECT_EQ(f.cells, 500000);
    platform::SetMessageLanguageEnglish(true);
    EXPECT_EQ(marivane::CellsFigureText(f), "Cells number:500000");
    EXPECT_EQ(marivane::SizeFigureText(f), "Size(MB):3.81");

    h = GridHeader(0.0, 0.0, 10000, 10000);  // exactly 1e8
    EXPECT_TRUE(marivane::ComputeSizeFigures(h).withinLimit);
    h.length += 1.0;
    EXPECT_FALSE(marivane::ComputeSizeFigures(h).withinLimit);
    h.cellLength = 0.0;  // infinitely many
    EXPECT_FALSE(marivane::ComputeSizeFigures(h).withinLimit);
}

class MatrixFileTest : public GridTest {
  protected:
    // A grid file of `columns` × `rows` 1 m cells with some soundings written into it.
    fs::path MakeFile(const std::string& name, std::uint32_t columns, std::uint32_t rows) {
        MatrixHeader h = GridHeader(100.0, 200.0, columns, rows);
        const auto path = Path(name);
        EXPECT_TRUE(marivane::CreateMatrixFile(path, h));
        return path;
    }
    void SetCell(const fs::path& path, std::uint64_t cell, MatrixCell value) {
        auto bytes = gridtest::ReadBytes(path);
        platform::StoreLE(&bytes[marivane::MatrixCellOffset(cell)], value.count);
        platform::StoreLE(&bytes[marivane::MatrixCellOffset(cell) + 4], value.mean);
        gridtest::WriteBytes(path, bytes);
    }
    std::string ReadFailed(const fs::path& path) const {
        return "Failed to read the matrix file " + path.string() + " !";
    }

    DepthColourTable colours_;
};

TEST_F(MatrixFileTest, CreatesAnEmptyGridWithRowsAndColumnsFromTheSizes) {
    MatrixHeader h = GridHeader(100.0, 200.0, 1, 1);
    h.length = 10.5;
    h.width = 4.2;
    h.rows = h.columns = 77;  // recomputed
    h.reserved.fill(0xEE);    // zeroed
    const auto path = Path("a.mtrx");
    ASSERT_TRUE(marivane::CreateMatrixFile(path, h));
    EXPECT_EQ(h.rows, 4u);
    EXPECT_EQ(h.columns, 10u);
    const auto bytes = gridtest::ReadBytes(path);
    ASSERT_EQ(bytes.size(), 256u + 40u * 8u);
    for (std::size_t i = 128; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(marivane::DecodeMatrixHeader(std::span<const std::uint8_t, 256>(bytes.data(), 256)), h);
    EXPECT_FALSE(fs::exists(marivane::TemporaryPathFor(path)));

    LoadedMatrixList list;
    EXPECT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Loaded);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].matrix.Rows(), 4u);
    EXPECT_EQ(list[0].matrix.Columns(), 10u);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MatrixFileTest, RefusesToCreateGridsWithoutCellsOrBeyondTheLimitAndKeepsThePreviousFile) {
    const auto path = MakeFile("a.mtrx", 3, 3);
    const auto before = gridtest::ReadBytes(path);
    std::vector<MatrixHeader> refused;
    MatrixHeader h = GridHeader(0.0, 0.0, 3, 3);
    h.length = 0.0;  // zero columns: nothing could be loaded from it
    refused.push_back(h);
    h = GridHeader(0.0, 0.0, 3, 3);
    h.cellLength = std::numeric_limits<double>::quiet_NaN();
    refused.push_back(h);
    refused.push_back(GridHeader(0.0, 0.0, 20000, 10000));
    for (MatrixHeader& header : refused) {
        const MatrixHeader unchanged = header;
        EXPECT_FALSE(marivane::CreateMatrixFile(path, header));
        EXPECT_EQ(marivane::EncodeMatrixHeader(header), marivane::EncodeMatrixHeader(unchanged));  // NaN too
    }
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>(3, "Failed to save the matrix file!"));
    EXPECT_EQ(gridtest::ReadBytes(path), before);

    // A write that cannot be made (here: the temporary file) leaves the previous file as it was.
    fs::create_directory(marivane::TemporaryPathFor(path));
    h = GridHeader(0.0, 0.0, 5, 5);
    EXPECT_FALSE(marivane::CreateMatrixFile(path, h));
    EXPECT_EQ(gridtest::ReadBytes(path), before);
}

TEST_F(MatrixFileTest, LoadingReadsTheCellsAndColoursThemByTheWholeGridRule) {
    const auto path = MakeFile("a.mtrx", 4, 3);
    SetCell(path, 0, {2, 3.0f});   // exactly on a band limit: band 3 for a whole grid
    SetCell(path, 11, {1, 1e6f});  // far below D1: the last band
    SetCell(path, 5, {0, 30.0f});  // no soundings: no colour
    LoadedMatrixList list;
    ASSERT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Loaded);
    const DepthMatrix& m = list[0].matrix;
    EXPECT_EQ(m.Cells()[0], (MatrixCell{2, 3.0f}));
    EXPECT_EQ(m.Cells()[5], (MatrixCell{0, 30.0f}));
    EXPECT_EQ(m.Pixels()[m.PixelIndex(0, 0)], marivane::PixelColour(colours_.BandColours()[3]));
    EXPECT_EQ(m.Pixels()[m.PixelIndex(2, 3)], 0x00FF00FFu);  // magenta as RGB
    EXPECT_EQ(m.Pixels()[m.PixelIndex(1, 1)], 0u);

    // After the colours change, every grid is coloured again; empty cells keep their pixel.
    marivane::BandSettings s;
    s.keys = {0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF};
    ASSERT_EQ(colours_.SetSettings(s), marivane::BandLayoutProblem::None);
    marivane::RecolourMatrices(list, colours_);
    EXPECT_EQ(m.Pixels()[m.PixelIndex(0, 0)], 0x00FF0000u);
    EXPECT_EQ(m.Pixels()[m.PixelIndex(2, 3)], 0x00FF0000u);
    EXPECT_EQ(m.Pixels()[m.PixelIndex(1, 1)], 0u);
}

TEST_F(MatrixFileTest, LoadingAgainReplacesTheEntryAndMovesItToTheEnd) {
    const auto a = MakeFile("a.mtrx", 2, 2);
    const auto b = MakeFile("b.mtrx", 2, 2);
    LoadedMatrixList list;
    marivane::LoadMatrix(list, a, colours_);
    marivane::LoadMatrix(list, b, colours_, false);
    const auto serial = list[0].serial;
    SetCell(a, 3, {1, 7.0f});
    EXPECT_EQ(marivane::LoadMatrix(list, a, colours_), MatrixLoadResult::Loaded);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, b);
    EXPECT_FALSE(list[0].shown);
    EXPECT_EQ(list[1].path, a);
    EXPECT_EQ(list[1].matrix.Cells()[3].count, 1u);
    EXPECT_NE(list[1].serial, serial);
    EXPECT_EQ(marivane::IndexOfMatrix(list, a), 1);
    EXPECT_EQ(marivane::IndexOfMatrix(list, Path("c.mtrx")), -1);
}

TEST_F(MatrixFileTest, AHeaderWithoutCellsIsListedWithoutAGridAndWithoutAMessage) {
    MatrixHeader h = GridHeader(0.0, 0.0, 3, 3);
    h.length = 0.0;
    h.columns = 0;
    const auto path = Path("empty.mtrx");
    const auto bytes = marivane::EncodeMatrixHeader(h);
    gridtest::WriteBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    // More cells than a grid may have: not built, nothing allocated.
    MatrixHeader huge = GridHeader(0.0, 0.0, 10000, 10000);
    huge.rows = 20000;
    const auto hugePath = Path("huge.mtrx");
    const auto hugeBytes = marivane::EncodeMatrixHeader(huge);
    gridtest::WriteBytes(hugePath, std::vector<std::uint8_t>(hugeBytes.begin(), hugeBytes.end()));

    LoadedMatrixList list;
    EXPECT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::LoadedWithoutGrid);
    EXPECT_EQ(marivane::LoadMatrix(list, hugePath, colours_), MatrixLoadResult::LoadedWithoutGrid);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_FALSE(list[0].matrix.Valid());
    EXPECT_EQ(list[0].header, h);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MatrixFileTest, DamagedFilesAreReportedAndLeaveTheListAsItWas) {
    const auto path = MakeFile("a.mtrx", 4, 3);
    LoadedMatrixList list;
    ASSERT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Loaded);
    list[0].matrix.AddSounding(kRed, 100.5, 200.5, 9.0);
    const auto serial = list[0].serial;
    const auto good = gridtest::ReadBytes(path);

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"header cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 100)},
        {"a cell missing", std::vector<std::uint8_t>(good.begin(), good.end() - 8)},
        {"half a cell missing", std::vector<std::uint8_t>(good.begin(), good.end() - 3)},
    };
    for (const Case& c : cases) {
        gridtest::WriteBytes(path, c.bytes);
        messages_.shown.clear();
        EXPECT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Failed) << c.what;
        ASSERT_EQ(messages_.shown.size(), 1u) << c.what;
        EXPECT_EQ(messages_.shown[0].text, ReadFailed(path)) << c.what;
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].serial, serial);
        EXPECT_EQ(list[0].matrix.Cells()[0].count, 1u);
    }
    messages_.shown.clear();
    EXPECT_EQ(marivane::LoadMatrix(list, Path("missing.mtrx"), colours_), MatrixLoadResult::Failed);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{ReadFailed(Path("missing.mtrx"))});

    // A header promising the largest grid, 1e8 cells, with none behind it: refused by the file size
    // before any memory is asked for.
    const auto header = marivane::EncodeMatrixHeader(GridHeader(0.0, 0.0, 10000, 10000));
    const auto bare = Path("bare.mtrx");
    gridtest::WriteBytes(bare, std::vector<std::uint8_t>(header.begin(), header.end()));
    messages_.shown.clear();
    EXPECT_EQ(marivane::LoadMatrix(list, bare, colours_), MatrixLoadResult::Failed);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{ReadFailed(bare)});
    EXPECT_EQ(list.size(), 1u);

    // Trailing bytes beyond the cells are no harm.
    auto longer = good;
    longer.push_back(0x55);
    gridtest::WriteBytes(path, longer);
    EXPECT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Loaded);
}

TEST_F(MatrixFileTest, ClearingAsksThenEmptiesFileAndMemoryKeepingTheHeader) {
    MatrixHeader h = GridHeader(100.0, 200.0, 4, 3);
    const auto path = Path("a.mtrx");
    ASSERT_TRUE(marivane::CreateMatrixFile(path, h));
    SetCell(path, 2, {4, 12.0f});
    auto bytes = gridtest::ReadBytes(path);
    bytes[200] = 0x42;  // something in the reserved bytes stays
    gridtest::WriteBytes(path, bytes);
    LoadedMatrixList list;
    ASSERT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Loaded);
    const auto serial = list[0].serial;

    messages_.answer = platform::MessageAnswer::Cancel;
    EXPECT_EQ(marivane::ClearMatrix(list, 0), marivane::MatrixClearResult::Cancelled);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Are you sure you want to empty the matrix file data?");
    EXPECT_EQ(messages_.shown[0].boxType, platform::kBoxDestructiveConfirm);
    EXPECT_EQ(list[0].matrix.Cells()[2].count, 4u);
    EXPECT_EQ(gridtest::ReadBytes(path), bytes);

    messages_.answer = platform::MessageAnswer::Ok;
    EXPECT_EQ(marivane::ClearMatrix(list, 0), marivane::MatrixClearResult::Cleared);
    EXPECT_EQ(list[0].matrix.Cells()[2], MatrixCell{});
    for (std::uint32_t p : list[0].matrix.Pixels()) ASSERT_EQ(p, 0u);
    EXPECT_NE(list[0].serial, serial);
    const auto cleared = gridtest::ReadBytes(path);
    ASSERT_EQ(cleared.size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 256, cleared.begin()));
    for (const MatrixCell& c : gridtest::FileCells(path)) ASSERT_EQ(c, MatrixCell{});

    EXPECT_EQ(marivane::ClearMatrix(list, 5), marivane::MatrixClearResult::NoGrid);
}

TEST_F(MatrixFileTest, AClearThatCannotBeWrittenChangesNothing) {
    const auto path = MakeFile("a.mtrx", 4, 3);
    SetCell(path, 1, {1, 5.0f});
    LoadedMatrixList list;
    ASSERT_EQ(marivane::LoadMatrix(list, path, colours_), MatrixLoadResult::Loaded);
    const auto before = gridtest::ReadBytes(path);
    fs::create_directory(marivane::TemporaryPathFor(path));
    EXPECT_EQ(marivane::ClearMatrix(list, 0), marivane::MatrixClearResult::Failed);
    EXPECT_EQ(messages_.Texts().back(), "Failed to save the matrix file!");
    EXPECT_EQ(list[0].matrix.Cells()[1].count, 1u);
    EXPECT_EQ(gridtest::ReadBytes(path), before);
}

TEST_F(MatrixFileTest, TheLockedIndexLivesInTheProjectFile) {
    const auto project = Path("project.ini");
    EXPECT_EQ(marivane::ReadLockedMatrixIndex(project), -1);
    ASSERT_TRUE(marivane::WriteLockedMatrixIndex(project, 2));
    EXPECT_EQ(platform::GetProfileString(project, "MatrixFolder", "PosMatrixFileLocked", ""), "2");
    EXPECT_EQ(marivane::ReadLockedMatrixIndex(project), 2);
    ASSERT_TRUE(marivane::WriteLockedMatrixIndex(project, -1));
    EXPECT_EQ(marivane::ReadLockedMatrixIndex(project), -1);
}

}  // namespace
