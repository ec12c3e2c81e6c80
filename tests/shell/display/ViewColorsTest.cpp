#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "marivane/shell/ViewColors.h"
#include "platform/Message.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using marivane::ViewColor;
using marivane::ViewColors;

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned boxType,
                                    bool) override {
        shown.emplace_back(text);
        boxes.push_back(boxType);
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> shown;
    std::vector<unsigned> boxes;
};

class ViewColorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("colours_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        platform::SetMessagePresenter(&presenter_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        fs::remove_all(dir_);
    }
    fs::path Project(const std::string& content) {
        const fs::path path = dir_ / "Survey.ngn";
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
    RecordingPresenter presenter_;
};

TEST_F(ViewColorsTest, StartValuesAreWrittenInTableOrderAsDecimalColours) {
    const fs::path file = dir_ / "New.ngn";
    ASSERT_TRUE(marivane::WriteViewColors(ViewColors{}, file));
    // 0x00BBGGRR: red in the low byte.
    EXPECT_EQ(Read(file),
              "[ParaOfViewColor]\n"
              "PBorderColor=12615680\n"       // 0, 128, 192
              "PSurColor=24125\n"             // 61, 94, 0
              "PReSurColor=8388736\n"         // 128, 0, 128
              "PShipOrientColor=255\n"        // 255, 0, 0
              "PTrackColor=16776960\n"        // 0, 255, 255
              "PMatrixLineColor=32896\n"      // 128, 128, 0
              "PCoverLineColor=15391129\n"    // 153, 217, 234
              "PMeasurDisCorlor=33023\n"      // 255, 128, 0
              "PFuzhuSolidLineColor=65535\n"  // 255, 255, 0
              "PFuzhuDotLineColor=3618815\n"  // 255, 55, 55
              "PTextColor=0\n"                // 0, 0, 0
              "PBoatColor=255\n"              // 255, 0, 0
              "PViewBKColor=16777215\n"       // 255, 255, 255
              "PViewNaviColor=2124031\n");    // 255, 104, 32
}

TEST_F(ViewColorsTest, ReadBackIdenticallyAndKeepOtherLines) {
    ViewColors distinct;
    for (std::size_t i = 0; i < marivane::kViewColorCount; ++i)
        distinct.values[i] = static_cast<std::uint32_t>(0x010203 * (i + 1));
    const fs::path file = Project(
        "[FileOfProject]\nColorFile=Survey.clr\n\n[ParaOfViewColor]\n; my "
        "palette\nPTextColor=255\nPLegend=42\n");
    ASSERT_TRUE(marivane::WriteViewColors(distinct, file));
    const std::string after = Read(file);
    EXPECT_EQ(after.rfind("[FileOfProject]\nColorFile=Survey.clr\n\n[ParaOfViewColor]\n; my palette\n", 0),
              0u);
    EXPECT_NE(after.find("PLegend=42\n"), std::string::npos);

    ViewColors back;
    ASSERT_TRUE(marivane::ReadViewColors(back, file));
    EXPECT_EQ(back, distinct);
}

TEST_F(ViewColorsTest, ValuesThatAreNoColourAreBounded) {
    struct Case {
        const char* value;
        std::uint32_t expected;  // the border colour after reading; 0xC08000 is its start value
    };
    const Case cases[] = {
        {"255", 255},
        {"abc", 0},
        {"255x", 255},
        {" 16777215 ", 0xFFFFFF},
        {"", 0xC08000},
        {"16777216", 0xC08000},
        {"-1", 0xC08000},
        {"4294967295", 0xC08000},
        {"99999999999999999999999", 0xC08000},
    };
    for (const Case& c : cases) {
        ViewColors colours;
        ASSERT_TRUE(marivane::ReadViewColors(
            colours, Project(std::string("[ParaOfViewColor]\nPBorderColor=") + c.value + "\n")));
        EXPECT_EQ(colours[ViewColor::Border], c.expected) << c.value;
        colours[ViewColor::Border] = 0xC08000;
        EXPECT_EQ(colours, ViewColors{}) << c.value;  // nothing else moved
    }
}

TEST_F(ViewColorsTest, MissingKeysAndUnreadableFilesKeepTheColours) {
    ViewColors colours;
    colours[ViewColor::Track] = 0x123456;
    const ViewColors before = colours;
    ASSERT_TRUE(
        marivane::ReadViewColors(colours, Project("[ParaOfViewColor]\n[DisplaySet]\nPTrackColor=1\n")));
    EXPECT_EQ(colours, before);
    EXPECT_FALSE(marivane::ReadViewColors(colours, dir_ / "Gone.ngn"));
    EXPECT_EQ(colours, before);
}

TEST_F(ViewColorsTest, VesselCannotBeWhite) {
    ViewColors dialog;
    EXPECT_FALSE(marivane::ChooseViewColor(dialog, ViewColor::Vessel, marivane::kWhite));
    EXPECT_EQ(dialog[ViewColor::Vessel], 255u);
    EXPECT_EQ(presenter_.shown, std::vector<std::string>{"Please select a different color!"});

    presenter_.shown.clear();
    EXPECT_TRUE(marivane::ChooseViewColor(dialog, ViewColor::Vessel, 0xFEFFFF));
    EXPECT_EQ(dialog[ViewColor::Vessel], 0xFEFFFFu);
    EXPECT_TRUE(marivane::ChooseViewColor(dialog, ViewColor::Text, marivane::kWhite));
    EXPECT_EQ(dialog[ViewColor::Text], marivane::kWhite);
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(ViewColorsTest, ConfirmTakesTheColoursAndWritesThem) {
    const fs::path file = Project("[DisplaySet]\nShipTrackMode=2\n");
    ViewColors chosen;
    chosen[ViewColor::Background] = 0x202020;
    ViewColors current;
    ASSERT_TRUE(marivane::ConfirmViewColors(current, chosen, file));
    EXPECT_EQ(current, chosen);
    EXPECT_EQ(platform::ReadProfileValue(file, "ParaOfViewColor", "PViewBKColor"), "2105376");
    EXPECT_EQ(platform::ReadProfileValue(file, "DisplaySet", "ShipTrackMode"), "2");

    ViewColors memoryOnly;
    ASSERT_TRUE(marivane::ConfirmViewColors(memoryOnly, chosen, fs::path()));
    EXPECT_EQ(memoryOnly, chosen);

    const fs::path notAFile = dir_ / "Folder.ngn";
    fs::create_directories(notAFile);
    EXPECT_FALSE(marivane::ConfirmViewColors(current, ViewColors{}, notAFile));
    EXPECT_EQ(current, ViewColors{});
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_NE(presenter_.shown[0].find(notAFile.string()), std::string::npos);
}

}  // namespace
