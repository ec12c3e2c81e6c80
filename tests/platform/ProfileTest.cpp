#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using platform::ProfileText;

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("profile_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        file_ = dir_ / "settings.ini";
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Put(const std::string& text) {
        std::ofstream(file_, std::ios::binary) << text;
    }
    std::string Get() const {
        std::ifstream in(file_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    fs::path file_;
};

TEST(ProfileText, LookupRules) {
    const ProfileText p(
        "; settings\r\n"
        "[ParaOfGeo]\r\n"
        "  Version = 001.000  \r\n"
        "PTransRa=' 000000000000'\r\n"
        "Quoted=\"a b\"\r\n"
        "Mismatched='abc\"\r\n"
        "Empty=\r\n"
        "Version=second\r\n"
        "[ Other ]\r\n"
        "version=other\r\n");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"ParaOfGeo", "Version", "001.000"},         // blanks around key and value ignored
        {"paraofgeo", "VERSION", "001.000"},         // names match without regard to case
        {"ParaOfGeo", "PTransRa", " 000000000000"},  // matching quotes stripped, inner blank kept
        {"ParaOfGeo", "Quoted", "a b"},
        {"ParaOfGeo", "Mismatched", "'abc\""},  // quotes that do not match stay
        {"ParaOfGeo", "Empty", ""},             // present but empty is not absent
        {"Other", "Version", "other"},          // blanks inside the brackets ignored
        {"ParaOfGeo", "Missing", std::nullopt},
        {"Missing", "Version", std::nullopt},
        {"", "Version", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(p.Value(c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
}

TEST(ProfileText, ValuesAreCutToTheBuffer) {
    const std::string longValue(400, 'x');
    const ProfileText p("[S]\nk=" + longValue + "\nu=ab\xE4\xB8\xAD\n");
    EXPECT_EQ(p.Value("S", "k")->size(), 259u);
    EXPECT_EQ(p.Value("S", "k", 8)->size(), 7u);
    // A character of three bytes that does not fit whole is left out.
    EXPECT_EQ(*p.Value("S", "u", 4), "ab");
    EXPECT_EQ(*p.Value("S", "u", 6), "ab\xE4\xB8\xAD");
}

TEST(ProfileText, SetKeepsEveryOtherLine) {
    ProfileText p(
        "# hand-edited\r\n"
        "[A]\r\n"
        "One=1\r\n"
        "\r\n"
        "[B]\r\n"
        "two=2\r\n");
    p.Set("a", "ONE", "10");    // replace, case-insensitive match
    p.Set("A", "Three", "3");   // new key after the last entry of A, before the blank line
    p.Set("C", "Four", "4");    // new section at the end
    EXPECT_EQ(p.Text(),
              "# hand-edited\r\n"
              "[A]\r\n"
              "ONE=10\r\n"
              "Three=3\r\n"
              "\r\n"
              "[B]\r\n"
              "two=2\r\n"
              "[C]\r\n"
              "Four=4\r\n");
    p.RemoveKey("B", "TWO");
    p.RemoveSection("a");
    EXPECT_EQ(p.Text(), "# hand-edited\r\n[B]\r\n[C]\r\nFour=4\r\n");
}

TEST(ProfileText, SetOnATextWithoutFinalLineBreak) {
    ProfileText p("[A]\nx=1");
    p.Set("A", "y", "2");
    EXPECT_EQ(p.Text(), "[A]\nx=1\ny=2\n");
    ProfileText q("[A]");
    q.Set("A", "y", "2");
    EXPECT_EQ(q.Text(), "[A]\ny=2\n");
}

TEST(ProfileText, WrittenValuesReadBackUnchanged) {
    const std::string values[] = {"",          "0",           "-12.500000",   " leading", "trailing ",
                                  "\tboth \t", "' 000000000000'", "a=b=c",  "中文路径\\文件.ini",
                                  "\"x\" y"};
    for (const auto& v : values) {
        ProfileText p;
        p.Set("S", "K", v);
        const auto back = p.Value("S", "K");
        ASSERT_TRUE(back.has_value()) << v;
        // A value that the caller quoted itself reads back without its quotes, as in the
        // settings files where a leading blank must survive.
        if (v == "' 000000000000'") {
            EXPECT_EQ(*back, " 000000000000");
        } else {
            EXPECT_EQ(*back, v);
        }
    }
}

TEST_F(ProfileFile, MissingFileAndKeyKeepTheCallersValue) {
    EXPECT_FALSE(platform::ReadProfileValue(file_, "S", "K").has_value());
    EXPECT_EQ(platform::GetProfileString(file_, "S", "K", "fallback"), "fallback");
    EXPECT_EQ(platform::GetProfileInt(file_, "S", "K", 42), 42);
    Put("[S]\nK=12abc\nN=abc\n");
    EXPECT_EQ(platform::GetProfileInt(file_, "S", "K", 42), 12);
    EXPECT_EQ(platform::GetProfileInt(file_, "S", "N", 42), 0);
    EXPECT_EQ(platform::GetProfileInt(file_, "S", "Missing", 42), 42);
}

TEST_F(ProfileFile, WriteThroughCreatesAndPreserves) {
    EXPECT_TRUE(platform::WriteProfileString(file_, "DisplaySet", "bShowTrack", "true"));
    EXPECT_EQ(Get(), "[DisplaySet]\nbShowTrack=true\n");

    Put("; made by another program\r\n[DisplaySet]\r\nbShowTrack=true\r\n\r\n[Other]\r\nKeep=Me\r\n");
    EXPECT_TRUE(platform::WriteProfileString(file_, "displayset", "BSHOWTRACK", "false"));
    EXPECT_TRUE(platform::WriteProfileString(file_, "DisplaySet", "nNew", "5"));
    EXPECT_EQ(Get(),
              "; made by another program\r\n[DisplaySet]\r\nBSHOWTRACK=false\r\nnNew=5\r\n\r\n[Other]\r\nKeep=Me\r\n");
    EXPECT_EQ(platform::GetProfileString(file_, "Other", "Keep", ""), "Me");
    EXPECT_TRUE(platform::DeleteProfileKey(file_, "DisplaySet", "nNew"));
    EXPECT_FALSE(platform::ReadProfileValue(file_, "DisplaySet", "nNew").has_value());
    EXPECT_TRUE(platform::DeleteProfileSection(file_, "Other"));
    EXPECT_FALSE(platform::ReadProfileValue(file_, "Other", "Keep").has_value());
    // No temporary file is left beside the settings.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProfileFile, RefusedWritesChangeNothing) {
    Put("[S]\nK=1\n");
    EXPECT_FALSE(platform::WriteProfileString(file_, "S", "K", "two\nlines"));
    EXPECT_FALSE(platform::WriteProfileString(file_, "S", "a=b", "1"));
    EXPECT_FALSE(platform::WriteProfileString(file_, "S]", "K", "1"));
    EXPECT_FALSE(platform::WriteProfileString(file_, "S", " ", "1"));
    EXPECT_FALSE(platform::WriteProfileString(dir_ / "no" / "such" / "folder.ini", "S", "K", "1"));
    EXPECT_EQ(Get(), "[S]\nK=1\n");
}

}  // namespace
