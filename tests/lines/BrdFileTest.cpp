#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinesTestSupport.h"
#include "marivane/lines/BrdFile.h"

namespace {

using lines_test::FolderTest;
using marivane::LoadedBorderFiles;
using marivane::PlanPoint;
using Points = std::vector<PlanPoint>;

struct SplitCase {
    const char* line;
    PlanPoint editor;
    PlanPoint display;
};

TEST(BrdGrammar, EditorTrimsTheDisplayReaderDoesNot) {
    const SplitCase cases[] = {
        {"1.5 2.5", {1.5, 2.5}, {1.5, 2.5}},
        {" 1.5 2.5", {1.5, 2.5}, {0.0, 1.5}},  // leading blank: the display reader's first part is empty
        {"\t1.5 2.5 ", {1.5, 2.5}, {1.5, 2.5}},
        {"1.5   2.5", {1.5, 2.5}, {1.5, 2.5}},
        {"7.25", {0.0, 7.25}, {0.0, 7.25}},  // no blank: the second value comes from the whole line
        {"1.5\t2.5", {0.0, 1.5}, {0.0, 1.5}},
        {"abc 2", {0.0, 2.0}, {0.0, 2.0}},
        {"-3e2 x", {-300.0, 0.0}, {-300.0, 0.0}},
    };
    for (const SplitCase& c : cases) {
        const std::string text = std::string(c.line) + "\r\n";
        EXPECT_EQ(marivane::ParseBrdForEditor(text), Points{c.editor}) << '"' << c.line << '"';
        EXPECT_EQ(marivane::ParseBrdForDisplay(text), Points{c.display}) << '"' << c.line << '"';
    }
}

TEST(BrdGrammar, LinesAndEndings) {
    // LF and CR LF alike, a last line without its end, and blank lines carry no point.
    const std::string text = "1 2\r\n3 4\n\r\n   \n5 6";
    const Points expected = {{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(marivane::ParseBrdForEditor(text), expected);
    EXPECT_EQ(marivane::ParseBrdForDisplay(text), expected);
    EXPECT_TRUE(marivane::ParseBrdForEditor("").empty());
}

class BrdFileTest : public FolderTest {};

TEST_F(BrdFileTest, SavingAndReopeningRoundsToTwoDecimals) {
    const Points border = {{512345.678, 3345678.123}, {-1.005, 0.004}, {10, 20}};
    const auto path = dir_ / "area.brd";
    ASSERT_TRUE(marivane::WriteBrd(path, border));
    EXPECT_EQ(Read(path), "512345.68 3345678.12\r\n-1.00 0.00\r\n10.00 20.00\r\n");  // -1.005 is just below
    const auto read = marivane::ReadBrdIntoEditor(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (Points{{512345.68, 3345678.12}, {-1.0, 0.0}, {10, 20}}));
    EXPECT_TRUE(presenter_.Take().empty());
}

TEST_F(BrdFileTest, EmptyBorderWritesAnEmptyFileThatReadsBackEmpty) {
    const auto path = Write("empty.brd", "1 2\r\n");
    ASSERT_TRUE(marivane::WriteBrd(path, {}));
    EXPECT_EQ(Read(path), "");
    const auto read = marivane::ReadBrdIntoEditor(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->empty());
    LoadedBorderFiles loaded;
    ASSERT_TRUE(marivane::LoadBorderFileForDisplay(loaded, path, true));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_TRUE(loaded[0].border.empty());
}

TEST_F(BrdFileTest, FailuresAreReported) {
    const auto missing = dir_ / "missing.brd";
    EXPECT_FALSE(marivane::ReadBrdIntoEditor(missing).has_value());
    EXPECT_FALSE(marivane::WriteBrd(dir_ / "no" / "x.brd", Points{{1, 2}}));
    std::filesystem::create_directory(dir_ / "dir.brd");
    EXPECT_FALSE(marivane::WriteBrd(dir_ / "dir.brd", Points{{1, 2}}));
    EXPECT_EQ(presenter_.Take(), (std::vector<std::string>{
                                     "Failed to open the file \"" + missing.string() + "\"!",
                                     "Failed to open the file!",
                                     "Failed to write the file \"" + (dir_ / "dir.brd").string() + "\"!",
                                 }));
    EXPECT_EQ(Entries(), std::set<std::string>{"dir.brd"});
}

TEST_F(BrdFileTest, DisplayListKeepsOneEntryPerPath) {
    const auto a = Write("a.brd", "1 2\r\n3 4\r\n");
    const auto b = Write("b.brd", " 5 6\r\n");
    LoadedBorderFiles loaded;
    ASSERT_TRUE(marivane::LoadBorderFileForDisplay(loaded, a, true));
    ASSERT_TRUE(marivane::LoadBorderFileForDisplay(loaded, b, true));
    EXPECT_EQ(loaded[1].border, (Points{{0, 5}}));
    ASSERT_TRUE(marivane::LoadBorderFileForDisplay(loaded, a, false));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].path, b);
    EXPECT_EQ(loaded[1].path, a);
    EXPECT_FALSE(loaded[1].shown);
    EXPECT_EQ(loaded[1].border, (Points{{1, 2}, {3, 4}}));
    EXPECT_EQ(marivane::FindBorderFile(loaded, a), 1);

    // A file that can no longer be read: its entry is gone and nothing is added.
    std::filesystem::remove(b);
    EXPECT_FALSE(marivane::LoadBorderFileForDisplay(loaded, b, true));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].path, a);
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Failed to read the file \"" + b.string() + "\"."});
    EXPECT_TRUE(marivane::RemoveBorderFile(loaded, a));
    EXPECT_TRUE(loaded.empty());
}

}  // namespace
