// The pieces under the project flows: names joined to the project folder, the file list, and the
// loaded lists with the positions kept into them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ShellTestSupport.h"
#include "marivane/shell/FileList.h"
#include "marivane/shell/LoadedFiles.h"
#include "marivane/shell/ProjectPaths.h"

namespace {

namespace fs = std::filesystem;
using namespace marivane;
using shelltest::ReadText;
using shelltest::WriteText;

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ =
            fs::path(::testing::TempDir()) / (std::string("files_") + info->test_suite_name() + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST(ContainedNames, OnlyNamesThatStayInsideAreJoined) {
    struct Case {
        const char* name;
        const char* joined;  // nullptr: refused
    };
    const Case cases[] = {
        {"a.lnw", "base/a.lnw"},
        {"Border Files\\", "base/Border Files"},
        {"Border Files/", "base/Border Files"},
        {"sub\\a.lnw", "base/sub/a.lnw"},
        {"a\\\\b", "base/a/b"},
        {"..\\a.lnw", nullptr},
        {"../a.lnw", nullptr},
        {"sub/../../a.lnw", nullptr},
        {"..", nullptr},
        {".", nullptr},
        {"/etc/passwd", nullptr},
        {"\\a.lnw", nullptr},
        {"", nullptr},
        {"\\", nullptr},
        {"a\nb", nullptr},
        {"a\tb", nullptr},
    };
    for (const Case& c : cases) {
        const auto joined = JoinContained("base", c.name);
        if (c.joined == nullptr) {
            EXPECT_FALSE(joined.has_value()) << c.name;
        } else {
            ASSERT_TRUE(joined.has_value()) << c.name;
            EXPECT_EQ(*joined, fs::path(c.joined)) << c.name;
        }
    }
    // A name holding a zero byte would name another file once handed to the system.
    EXPECT_FALSE(JoinContained("base", std::string("a.lnw\0../x", 10)).has_value());
}

TEST_F(TempFolder, CopyingAFileOntoItselfNeverTruncatesIt) {
    const fs::path a = dir_ / "a.brd";
    WriteText(a, "content");
    fs::create_directories(dir_ / "sub");
    fs::create_hard_link(a, dir_ / "sub" / "link.brd");

    EXPECT_EQ(CopyFileSafely(a, a, true), CopyResult::SameFile);
    EXPECT_EQ(CopyFileSafely(a, dir_ / "sub" / ".." / "a.brd", true), CopyResult::SameFile);
    EXPECT_EQ(CopyFileSafely(a, dir_ / "sub" / "link.brd", true), CopyResult::SameFile);
    EXPECT_EQ(ReadText(a), "content");

    const fs::path b = dir_ / "b.brd";
    WriteText(b, "old");
    EXPECT_EQ(CopyFileSafely(a, b, false), CopyResult::Exists);
    EXPECT_EQ(ReadText(b), "old");
    EXPECT_EQ(CopyFileSafely(a, b, true), CopyResult::Copied);
    EXPECT_EQ(ReadText(b), "content");
    EXPECT_EQ(CopyFileSafely(dir_ / "missing", b, true), CopyResult::Failed);
    EXPECT_EQ(ReadText(b), "content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
        << "no temporary left";
}

TEST(FileListText, LinesSplitAtTheFirstEqualsSign) {
    const std::string longName(kMaxFileListLine, 'x');
    const std::string text =
        "Border Files\\=a.brd\r\n"
        "no entry here\n"
        "Planned Line Files\\=b=c.lnw\n"
        "=empty folder\n"
        "Matrix Files\\=\n"
        "Track Line Files\\=" +
        longName +
        "\n"
        "Multibeam Files\\=last.mbm";
    const std::vector<FileListEntry> expected = {{"Border Files\\", "a.brd"},
                                                 {"Planned Line Files\\", "b=c.lnw"},
                                                 {"", "empty folder"},
                                                 {"Matrix Files\\", ""},
                                                 {"Multibeam Files\\", "last.mbm"}};
    EXPECT_EQ(ParseFileList(text), expected);
    EXPECT_TRUE(ParseFileList("").empty());
    EXPECT_TRUE(ParseFileList(std::string("\0=\0\n", 4)).size() == 1);
}

TEST_F(TempFolder, AddAppendAndRemoveKeepTheOtherLines) {
    const fs::path list = dir_ / "P.flst";
    // Written by hand: Windows line ends, a comment and no line end at the end.
    WriteText(list, "Border Files\\=a.brd\r\n; kept\r\nMatrix Files\\=a.brd\r\nBorder Files\\=b.brd");

    EXPECT_TRUE(AddFileListEntry(list, "Border Files\\", "b.brd"));  // listed already
    EXPECT_EQ(ReadText(list),
              "Border Files\\=a.brd\r\n; kept\r\nMatrix Files\\=a.brd\r\nBorder Files\\=b.brd");
    EXPECT_TRUE(AppendFileListEntry(list, "Border Files\\", "b.brd"));
    EXPECT_TRUE(AddFileListEntry(list, "Planned Line Files\\", "c.lnw"));
    EXPECT_EQ(ReadText(list),
              "Border Files\\=a.brd\r\n; kept\r\nMatrix Files\\=a.brd\r\nBorder Files\\=b.brd\n"
              "Border Files\\=b.brd\nPlanned Line Files\\=c.lnw\n");

    // Matching is by file name: both a.brd lines go, whatever their folders.
    EXPECT_TRUE(RemoveFileListEntry(list, "a.brd"));
    EXPECT_EQ(ReadText(list),
              "; kept\r\nBorder Files\\=b.brd\nBorder Files\\=b.brd\nPlanned Line Files\\=c.lnw\n");
    EXPECT_TRUE(RemoveFileListEntry(list, "missing.brd"));
    EXPECT_TRUE(RemoveFileListEntry(list, "b.brd"));
    EXPECT_EQ(ReadText(list), "; kept\r\nPlanned Line Files\\=c.lnw\n");

    // An entry that would not read back as one line is refused.
    EXPECT_FALSE(AppendFileListEntry(list, "Border Files\\", "x\ny.brd"));
    EXPECT_FALSE(AppendFileListEntry(list, "Border=Files\\", "x.brd"));
    EXPECT_FALSE(RemoveFileListEntry(dir_ / "absent.flst", "c.lnw"));
}

// Loaded lists with a loader that fails for files holding "bad".
class LoadedLists : public TempFolder {
  protected:
    void SetUp() override {
        TempFolder::SetUp();
        for (const char* name : {"m0", "m1", "m2", "p0", "p1"}) WriteText(dir_ / name, "one\ntwo\n");
        loaders_.Set(FileKind::PlannedLines, [](const fs::path& p) -> std::unique_ptr<FileContent> {
            const std::string text = ReadText(p);
            if (text.find("bad") != std::string::npos)
                return nullptr;
            std::vector<std::string> lines;
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t nl = text.find('\n', at);
                lines.push_back(text.substr(at, nl - at));
                at = nl == std::string::npos ? text.size() : nl + 1;
            }
            return std::make_unique<shelltest::NamedItems>(lines);
        });
        loaders_.Set(FileKind::Matrices, [](const fs::path& p) -> std::unique_ptr<FileContent> {
            if (ReadText(p).find("bad") != std::string::npos)
                return nullptr;
            return std::make_unique<FileContent>();
        });
    }
    void Load(FileKind kind, const char* name) { files_.Load(kind, dir_ / name, name, true, loaders_); }
    FileLoaders loaders_;
    LoadedFiles files_;
};

TEST_F(LoadedLists, TheLockedGridFollowsItsFile) {
    Load(FileKind::Matrices, "m0");
    Load(FileKind::Matrices, "m1");
    Load(FileKind::Matrices, "m2");
    files_.SetLockedMatrix(1);

    Load(FileKind::Matrices, "m1");  // reloaded: moves to the end, still locked
    ASSERT_EQ(files_.List(FileKind::Matrices).size(), 3u);
    EXPECT_EQ(files_.List(FileKind::Matrices)[2].path, dir_ / "m1");
    EXPECT_EQ(files_.LockedMatrix(), 2);

    files_.Remove(FileKind::Matrices, 0);  // one before it goes
    EXPECT_EQ(files_.LockedMatrix(), 1);
    EXPECT_EQ(files_.List(FileKind::Matrices)[1].path, dir_ / "m1");
    files_.Remove(FileKind::Matrices, 1);  // the locked one goes
    EXPECT_EQ(files_.LockedMatrix(), -1);

    Load(FileKind::Matrices, "m1");
    files_.SetLockedMatrix(1);
    WriteText(dir_ / "m1", "bad");
    Load(FileKind::Matrices, "m1");  // unreadable now: gone from the list, so no longer locked
    EXPECT_EQ(files_.List(FileKind::Matrices).size(), 1u);
    EXPECT_EQ(files_.LockedMatrix(), -1);

    files_.SetLockedMatrix(5);  // beyond the list: unlocks
    EXPECT_EQ(files_.LockedMatrix(), -1);
}

TEST_F(LoadedLists, TheCurrentLineNeverNamesAnythingNotLoaded) {
    Load(FileKind::PlannedLines, "p0");
    Load(FileKind::PlannedLines, "p1");
    EXPECT_FALSE(files_.SetCurrentLine({1, 2}));  // p1 has two lines
    EXPECT_FALSE(files_.SetCurrentLine({2, 0}));
    EXPECT_FALSE(files_.SetCurrentLine({-1, 0}));
    ASSERT_TRUE(files_.SetCurrentLine({1, 1}));

    files_.Remove(FileKind::PlannedLines, 0);  // the file before it goes: positions move down
    EXPECT_EQ(files_.Current(), (CurrentLine{0, 1}));

    WriteText(dir_ / "p1", "only\n");  // reloaded with fewer lines: the file is followed, its line dropped
    Load(FileKind::PlannedLines, "p0");
    Load(FileKind::PlannedLines, "p1");
    EXPECT_EQ(files_.Current(), (CurrentLine{1, -1}));

    files_.SetCurrentLine({1, 0});
    files_.Remove(FileKind::PlannedLines, 1);  // its file goes
    EXPECT_EQ(files_.Current(), (CurrentLine{-1, -1}));

    files_.SetCurrentLine({0, 1});
    files_.Clear();
    EXPECT_EQ(files_.Current(), (CurrentLine{-1, -1}));
}

TEST_F(LoadedLists, KindsWithoutALoaderAreListedWithTheirShownFlag) {
    EXPECT_TRUE(files_.Load(FileKind::Borders, dir_ / "m0", "m0", true, loaders_));
    EXPECT_TRUE(files_.Load(FileKind::Borders, dir_ / "m1", "m1", false, loaders_));
    EXPECT_TRUE(files_.Load(FileKind::Borders, dir_ / "m0", "m0", false, loaders_));  // once per path
    const auto& list = files_.List(FileKind::Borders);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, dir_ / "m1");
    EXPECT_EQ(list[1].path, dir_ / "m0");
    EXPECT_FALSE(list[1].shown);
    EXPECT_EQ(list[1].content, nullptr);
}

}  // namespace
