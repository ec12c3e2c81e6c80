#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "LinesTestSupport.h"
#include "marivane/lines/LnwFile.h"
#include "marivane/lines/TextFile.h"

namespace {

using lines_test::FolderTest;
using marivane::LineFileEntry;
using marivane::LnwStatus;
using marivane::LoadedLineFiles;
using marivane::ParseLnw;
using marivane::PlanPoint;
using marivane::SurveyLine;

// --- Grammar ---------------------------------------------------------------------------------------

struct HeaderCase {
    const char* header;
    LnwStatus status;
};

TEST(LnwGrammar, HeaderKeywordAndCount) {
    const HeaderCase cases[] = {
        {"LNS 1", LnwStatus::Ok},           {"LNS 65535", LnwStatus::Ok},
        {"LNS  2", LnwStatus::Ok},          {"LNS 3abc", LnwStatus::Ok},
        {"LNS 65536", LnwStatus::BadCount}, {"LNS 0", LnwStatus::BadCount},
        {"LNS -1", LnwStatus::BadCount},    {"LNS abc", LnwStatus::BadCount},
        {"LNS ", LnwStatus::BadCount},      {"LNS 99999999999999", LnwStatus::BadCount},
        {"lns 1", LnwStatus::BadKeyword},   {"LNS1", LnwStatus::BadKeyword},
        {"LNS", LnwStatus::BadKeyword},     {"LNSX 1", LnwStatus::BadKeyword},
        {" LNS 1", LnwStatus::BadKeyword},  {"", LnwStatus::BadKeyword},
    };
    for (const HeaderCase& c : cases) {
        const marivane::LnwContent content = ParseLnw(std::string(c.header) + "\r\n");
        EXPECT_EQ(content.status, c.status) << '"' << c.header << '"';
        if (c.status != LnwStatus::Ok) {
            EXPECT_TRUE(content.lines.empty()) << c.header;
        }
    }
    // The largest count is accepted even when the file holds nothing more: every missing line reads as
    // a line without points and without a name.
    const marivane::LnwContent full = ParseLnw("LNS 65535");
    ASSERT_EQ(full.lines.size(), 65535u);
    EXPECT_EQ(full.lines.back(), SurveyLine{});
}

struct PointCase {
    const char* line;
    PlanPoint expected;
};

TEST(LnwGrammar, PointLinesSplitAtFirstAndLastBlank) {
    const PointCase cases[] = {
        {"PTS 1.5 2.5", {1.5, 2.5}},
        {"PTS     1.5 2.5", {1.5, 2.5}},
        {"PTS 2.5", {0.0, 2.5}},
        {"PTS 1.5 2.5 ", {1.5, 0.0}},
        {"PTS -100.25 3e2", {-100.25, 300.0}},
        {"PTS 1.5 7 2.5", {1.5, 2.5}},  // the middle number belongs to the easting's text, which reads 1.5
        {"PTS abc def", {0.0, 0.0}},
        {"PTS", {0.0, 0.0}},
        {"", {0.0, 0.0}},
        {"XYZ 4 5", {4.0, 5.0}},  // the keyword is not checked
    };
    for (const PointCase& c : cases) {
        const marivane::LnwContent content =
            ParseLnw(std::string("LNS 1\r\nLIN 1\r\n") + c.line + "\r\nLNN a\r\nEOL\r\n");
        ASSERT_EQ(content.status, LnwStatus::Ok);
        ASSERT_EQ(content.lines.size(), 1u);
        ASSERT_EQ(content.lines[0].points.size(), 1u) << c.line;
        EXPECT_EQ(content.lines[0].points[0], c.expected) << '"' << c.line << '"';
        EXPECT_EQ(content.lines[0].name, "a");
    }
}

TEST(LnwGrammar, NamesAndPositionalReading) {
    const marivane::LnwContent content = ParseLnw(
        "LNS 4\n"
        "LIN 0\nLNN Line 7 north\nEOL\n"
        "LIN -3\nLNNnoblank\nEOL\n"
        "count 1\nPTS 1 2\nLNN \nEOL\n"
        "LIN\nLNN last\nEOL\n");
    ASSERT_EQ(content.status, LnwStatus::Ok);
    ASSERT_EQ(content.lines.size(), 4u);
    EXPECT_EQ(content.lines[0], (SurveyLine{"Line 7 north", {}}));
    EXPECT_EQ(content.lines[1], (SurveyLine{"LNNnoblank", {}}));  // no blank: the whole line is the name
    EXPECT_EQ(content.lines[2], (SurveyLine{"", {{1, 2}}}));
    EXPECT_EQ(content.lines[3], (SurveyLine{"last", {}}));  // a count without a blank reads as 0
}

TEST(LnwGrammar, FileEndingEarly) {
    // Missing lines have no points and an empty name; a point count beyond the end of the file gives
    // only the points that are there (no invented points at the origin, and no huge allocation).
    const marivane::LnwContent content = ParseLnw("LNS 3\r\nLIN 2147483647\r\nPTS 1 2\r\nPTS 3 4");
    ASSERT_EQ(content.status, LnwStatus::Ok);
    ASSERT_EQ(content.lines.size(), 3u);
    EXPECT_EQ(content.lines[0], (SurveyLine{"", {{1, 2}, {3, 4}}}));
    EXPECT_EQ(content.lines[1], SurveyLine{});
    EXPECT_EQ(content.lines[2], SurveyLine{});
}

// --- Writer and round trip ---------------------------------------------------------------------------

class LnwFileTest : public FolderTest {};

// Writes `lines` to `path` as on a disk with only `bytes` bytes free for the file, and ends the
// process with 0 when the writer reported success, 3 when it reported failure.
[[noreturn]] void WriteWithSpaceFor(const std::filesystem::path& path, const std::vector<SurveyLine>& lines,
                                    rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = bytes;
    limit.rlim_max = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
    platform::SetMessagePresenter(nullptr);
    std::_Exit(marivane::WriteLnw(path, lines) ? 0 : 3);
}

TEST_F(LnwFileTest, WritesTheTextLinesWithCrLf) {
    const std::vector<SurveyLine> lines = {{"1", {{100, 200}, {900, 200}}}};
    const auto path = dir_ / "one.lnw";
    ASSERT_TRUE(marivane::WriteLnw(path, lines));
    EXPECT_EQ(Read(path),
              "LNS 1\r\nLIN 2\r\nPTS 100.000000 200.000000\r\nPTS 900.000000 200.000000\r\nLNN 1\r\nEOL\r\n");
    EXPECT_TRUE(presenter_.Take().empty());
}

TEST_F(LnwFileTest, RoundTripKeepsNamesAndPointsToSixDecimals) {
    const std::vector<SurveyLine> lines = {
        {"Line 7 north", {{512345.1234567, 3345678.9876543}, {-0.0000004, 1e7}}},
        {"", {}},
        {"single", {{-12.5, -0.25}}},
        {"  padded  ", {{1, 2}, {3, 4}, {5, 6}}},
    };
    const auto path = dir_ / "round.lnw";
    ASSERT_TRUE(marivane::WriteLnw(path, lines));
    const auto read = marivane::ReadLnwIntoEditor(path);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ((*read)[i].name, lines[i].name);
        ASSERT_EQ((*read)[i].points.size(), lines[i].points.size());
        for (std::size_t k = 0; k < lines[i].points.size(); ++k) {
            EXPECT_NEAR((*read)[i].points[k].easting, lines[i].points[k].easting, 5.1e-7);
            EXPECT_NEAR((*read)[i].points[k].northing, lines[i].points[k].northing, 5.1e-7);
        }
    }
    EXPECT_EQ((*read)[0].points[0].easting, 512345.123457);  // rounded, not cut
    // A second round trip changes nothing.
    const auto again = dir_ / "again.lnw";
    ASSERT_TRUE(marivane::WriteLnw(again, *read));
    EXPECT_EQ(Read(again), Read(path));
}

TEST_F(LnwFileTest, LineBreaksInANameDoNotShiftTheFile) {
    const std::vector<SurveyLine> lines = {{"two\r\nrows", {{1, 2}}}, {"next", {{3, 4}}}};
    const auto path = dir_ / "names.lnw";
    ASSERT_TRUE(marivane::WriteLnw(path, lines));
    const auto read = marivane::ReadLnwIntoEditor(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (std::vector<SurveyLine>{{"two  rows", {{1, 2}}}, {"next", {{3, 4}}}}));
}

TEST_F(LnwFileTest, EmptyListWritesAHeaderNeitherReaderAccepts) {
    const auto path = dir_ / "empty.lnw";
    ASSERT_TRUE(marivane::WriteLnw(path, {}));
    EXPECT_EQ(Read(path), "LNS 0\r\n");
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(path).has_value());
    LoadedLineFiles loaded;
    EXPECT_FALSE(marivane::LoadLineFileForDisplay(loaded, path, true));
    EXPECT_TRUE(loaded.files.empty());
    EXPECT_EQ(presenter_.Take(),
              (std::vector<std::string>{"Error of the number of lines", "Line file format error"}));
}

TEST_F(LnwFileTest, WriteFailuresAreReportedAndKeepThePreviousFile) {
    // No folder to create the file in.
    EXPECT_FALSE(marivane::WriteLnw(dir_ / "missing" / "a.lnw", std::vector<SurveyLine>{{"1", {}}}));
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Failed to open the file!"});

    // The new file cannot be put in place (a folder of that name): reported, the folder untouched, no
    // temporary file left.
    std::filesystem::create_directory(dir_ / "taken.lnw");
    EXPECT_FALSE(marivane::WriteLnw(dir_ / "taken.lnw", std::vector<SurveyLine>{{"1", {}}}));
    EXPECT_EQ(presenter_.Take(), std::vector<std::string>{"Failed to write the file \"" +
                                                          (dir_ / "taken.lnw").string() + "\"!"});
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken.lnw"));

    // More lines than a file may announce: refused, the old file kept.
    const auto path = Write("big.lnw", "LNS 1\r\nLIN 0\r\nLNN old\r\nEOL\r\n");
    EXPECT_FALSE(marivane::WriteLnw(path, std::vector<SurveyLine>(65536)));
    EXPECT_EQ(presenter_.Take().size(), 1u);
    EXPECT_EQ(Read(path), "LNS 1\r\nLIN 0\r\nLNN old\r\nEOL\r\n");
    EXPECT_EQ(Entries(), (std::set<std::string>{"taken.lnw", "big.lnw"}));
}

TEST_F(LnwFileTest, FullDiskLeavesThePreviousFileWhole) {
    const std::string old = "LNS 1\r\nLIN 1\r\nPTS 1.000000 2.000000\r\nLNN keep\r\nEOL\r\n";
    const auto path = Write("full.lnw", old);
    std::vector<SurveyLine> many(50, SurveyLine{"long name of a line", {{1, 2}, {3, 4}}});
    // In a child process whose files may not grow beyond 300 bytes, as on a full disk.
    EXPECT_EXIT(WriteWithSpaceFor(path, many, 300), ::testing::ExitedWithCode(3), "Failed to write the file");
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(Entries(), std::set<std::string>{"full.lnw"});
}

TEST_F(LnwFileTest, ReplacingKeepsLinksAndPermissions) {
    const auto real = Write("real.lnw", "old");
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    std::filesystem::create_symlink(real, dir_ / "link.lnw");
    ASSERT_TRUE(marivane::WriteLnw(dir_ / "link.lnw", std::vector<SurveyLine>{{"1", {}}}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.lnw"));
    EXPECT_EQ(Read(real), "LNS 1\r\nLIN 0\r\nLNN 1\r\nEOL\r\n");
    EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

// --- Readers' failures -------------------------------------------------------------------------------

TEST_F(LnwFileTest, EditorReaderFailures) {
    const auto missing = dir_ / "missing.lnw";
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(missing).has_value());
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(dir_).has_value());  // a folder cannot be read
    // A pipe would block and a huge file would fill memory: neither is read.
    const auto pipe = dir_ / "pipe.lnw";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(pipe).has_value());
    const auto huge = Write("huge.lnw", "LNS 1\r\n");
    std::filesystem::resize_file(huge, marivane::kMaxTextFileSize + 1);  // sparse, takes no space
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(huge).has_value());
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(Write("keyword.lnw", "LNs 1\r\n")).has_value());
    EXPECT_FALSE(marivane::ReadLnwIntoEditor(Write("count.lnw", "LNS 70000\r\n")).has_value());
    EXPECT_EQ(presenter_.Take(), (std::vector<std::string>{
                                     "Failed to open the file \"" + missing.string() + "\"!",
                                     "Failed to open the file \"" + dir_.string() + "\"!",
                                     "Failed to open the file \"" + pipe.string() + "\"!",
                                     "Failed to open the file \"" + huge.string() + "\"!",
                                     "Error of line number flag!",
                                     "Error of the number of lines",
                                 }));
    for (const lines_test::Shown& s : presenter_.shown) EXPECT_EQ(s.boxType, platform::kBoxError);
}

TEST_F(LnwFileTest, DisplayReaderFailuresRemoveTheEntryAndAppendNothing) {
    struct Case {
        const char* name;
        const char* content;  // nullptr: the file does not exist
        const char* chinese;
    };
    const Case cases[] = {
        {"gone.lnw", nullptr, nullptr},
        {"keyword.lnw", "LNS\r\n", "测线数目标志错误！"},
        {"count.lnw", "LNS 0\r\n", "测线数目错误"},
    };
    const auto other = Write("other.lnw", "LNS 1\r\nLIN 0\r\nLNN o\r\nEOL\r\n");
    for (const bool english : {true, false}) {
        for (const Case& c : cases) {
            platform::SetMessageLanguageEnglish(english);
            const auto path = dir_ / c.name;
            // A good version of the file is loaded first, then the file is damaged or removed.
            Write(c.name, "LNS 1\r\nLIN 0\r\nLNN good\r\nEOL\r\n");
            LoadedLineFiles loaded;
            ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, path, true));
            ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, other, false));
            if (c.content == nullptr)
                std::filesystem::remove(path);
            else
                Write(c.name, c.content);
            EXPECT_FALSE(marivane::LoadLineFileForDisplay(loaded, path, true));
            ASSERT_EQ(loaded.files.size(), 1u) << c.name;
            EXPECT_EQ(loaded.files[0].path, other);
            std::string expected;
            if (c.content == nullptr)
                expected = english ? "Failed to read the file \"" + path.string() + "\"."
                                   : "读取文件\"" + path.string() + "\"失败。";
            else
                expected = english ? "Line file format error" : c.chinese;
            EXPECT_EQ(presenter_.Take(), std::vector<std::string>{expected}) << c.name;
        }
    }
}

// --- Loaded list and current line --------------------------------------------------------------------

TEST_F(LnwFileTest, LoadingAPathAgainMovesItToTheEndWithTheNewShownFlag) {
    const auto a = Write("a.lnw", "LNS 2\r\nLIN 0\r\nLNN a1\r\nEOL\r\nLIN 0\r\nLNN a2\r\nEOL\r\n");
    const auto b = Write("b.lnw", "LNS 1\r\nLIN 0\r\nLNN b1\r\nEOL\r\n");
    LoadedLineFiles loaded;
    ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, a, true));
    ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, b, true));
    ASSERT_TRUE(marivane::SetCurrentLine(loaded, 0, 1));  // a2

    ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, a, false));
    ASSERT_EQ(loaded.files.size(), 2u);
    EXPECT_EQ(loaded.files[0].path, b);
    EXPECT_EQ(loaded.files[1].path, a);
    EXPECT_FALSE(loaded.files[1].shown);
    // The current line went with its file.
    EXPECT_EQ(loaded.current, (marivane::CurrentLine{1, 1}));
    ASSERT_NE(marivane::CurrentSurveyLine(loaded), nullptr);
    EXPECT_EQ(marivane::CurrentSurveyLine(loaded)->name, "a2");

    // Reloading b moves a down by one; the current line follows.
    ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, b, true));
    EXPECT_EQ(loaded.current, (marivane::CurrentLine{0, 1}));

    // The file now has one line only: the file stays current, its line no longer exists.
    Write("a.lnw", "LNS 1\r\nLIN 0\r\nLNN only\r\nEOL\r\n");
    ASSERT_TRUE(marivane::LoadLineFileForDisplay(loaded, a, true));
    EXPECT_EQ(loaded.current, (marivane::CurrentLine{1, -1}));
    EXPECT_EQ(marivane::CurrentSurveyLine(loaded), nullptr);

    // A file that no longer loads takes the current line with it.
    ASSERT_TRUE(marivane::SetCurrentLine(loaded, 1, 0));
    std::filesystem::remove(a);
    EXPECT_FALSE(marivane::LoadLineFileForDisplay(loaded, a, true));
    EXPECT_EQ(loaded.current, marivane::CurrentLine{});
    presenter_.Take();
}

TEST(LoadedLineFiles, PathsMatchExactlyAndPositionsAreChecked) {
    LoadedLineFiles loaded;
    loaded.files.push_back(LineFileEntry{"/p/A.lnw", true, {{"1", {}}}});
    loaded.files.push_back(LineFileEntry{"/p/a.lnw", true, {{"1", {}}, {"2", {}}}});
    EXPECT_EQ(marivane::FindLineFile(loaded, "/p/a.lnw"), 1);
    EXPECT_EQ(marivane::FindLineFile(loaded, "/p/x.lnw"), -1);

    EXPECT_FALSE(marivane::SetCurrentLine(loaded, 2, 0));
    EXPECT_FALSE(marivane::SetCurrentLine(loaded, 0, 1));
    EXPECT_FALSE(marivane::SetCurrentLine(loaded, -1, -1));
    EXPECT_TRUE(marivane::SetCurrentLine(loaded, 1, -1));
    EXPECT_TRUE(marivane::SetCurrentLine(loaded, 1, 1));

    EXPECT_TRUE(marivane::RemoveLineFile(loaded, "/p/A.lnw"));
    EXPECT_EQ(loaded.current, (marivane::CurrentLine{0, 1}));
    EXPECT_FALSE(marivane::RemoveLineFile(loaded, "/p/A.lnw"));
    EXPECT_TRUE(marivane::RemoveLineFile(loaded, "/p/a.lnw"));
    EXPECT_EQ(loaded.current, marivane::CurrentLine{});

    // Positions set by hand to nothing loaded never give a line.
    loaded.current = {5, 7};
    EXPECT_EQ(marivane::CurrentSurveyLine(loaded), nullptr);
}

}  // namespace
