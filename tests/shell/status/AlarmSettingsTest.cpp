#include <gtest/gtest.h>

#include <cfloat>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "marivane/shell/AlarmSettings.h"
#include "platform/Message.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using marivane::AlarmPage;
using marivane::AlarmSettings;

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

class AlarmSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("alarm_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        platform::SetMessagePresenter(&presenter_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        fs::remove_all(dir_);
    }
    fs::path Settings(const std::string& content) {
        const fs::path path = dir_ / "Survey.ini";
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

// Every field away from its default; the reals exact in "%.3f".
AlarmSettings Distinct() {
    return AlarmSettings{0, 2, 0, 1, 3, 12.5f, 4, 7.25f};
}

TEST_F(AlarmSettingsTest, WritesEveryKeyInOrderAndReadsItBack) {
    const fs::path file = dir_ / "New.ini";
    ASSERT_TRUE(marivane::WriteAlarmSettings(Distinct(), file));
    EXPECT_EQ(Read(file),
              "[ParaOfAlarm]\n"
              "DeviceDataAlarm=0\n"
              "PPSLostAlarm=2\n"
              "GPSQualityAlarm=0\n"
              "GPSQualityValueForAlarm=1\n"
              "ShallowWatarAlarm=3\n"
              "ShallowDepthValueForAlarm=12.500\n"
              "VesselSpeedAlarm=4\n"
              "VesselSpeedValueForAlarm=7.250\n");

    AlarmSettings back;
    ASSERT_TRUE(marivane::ReadAlarmSettings(back, file));
    EXPECT_EQ(back, Distinct());
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(AlarmSettingsTest, WritingKeepsTheOtherLinesOfAHandEditedFile) {
    const std::string before =
        "; survey settings\r\n"
        "[DeviceModel]\r\n"
        "ModelNo=3\r\n"
        "\r\n"
        "[paraofalarm]\r\n"
        "  DeviceDataAlarm = 1 \r\n"
        "Note=kept by hand\r\n"
        "\r\n"
        "[ShengPou]\r\n"
        "dAverAcousticVel=1500.000000\r\n";
    const fs::path file = Settings(before);
    ASSERT_TRUE(marivane::WriteAlarmSettings(Distinct(), file));
    const std::string after = Read(file);

    for (const char* kept : {"; survey settings\r\n[DeviceModel]\r\nModelNo=3\r\n\r\n[paraofalarm]\r\n",
                             "Note=kept by hand\r\n", "\r\n[ShengPou]\r\ndAverAcousticVel=1500.000000\r\n"}) {
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    }
    EXPECT_EQ(after.find("[ParaOfAlarm]"), std::string::npos);  // the existing section was used
    EXPECT_EQ(platform::ReadProfileValue(file, "DeviceModel", "ModelNo"), "3");
    AlarmSettings back;
    ASSERT_TRUE(marivane::ReadAlarmSettings(back, file));
    EXPECT_EQ(back, Distinct());
}

TEST_F(AlarmSettingsTest, MissingKeysAndEmptyValuesKeepTheRecord) {
    const fs::path file = Settings(
        "[ParaOfAlarm]\n"
        "DeviceDataAlarm=\n"
        "GPSQualityAlarm=0\n"
        "ShallowDepthValueForAlarm=\n");
    AlarmSettings alarm;
    ASSERT_TRUE(marivane::ReadAlarmSettings(alarm, file));
    AlarmSettings expected;
    expected.gnssQualityAlarm = 0;
    EXPECT_EQ(alarm, expected);

    AlarmSettings kept = Distinct();
    ASSERT_TRUE(marivane::ReadAlarmSettings(kept, Settings("[Other]\nDeviceDataAlarm=1\n")));
    EXPECT_EQ(kept, Distinct());
}

TEST_F(AlarmSettingsTest, ValuesFromTheFileAreBounded) {
    struct Case {
        const char* line;
        AlarmSettings expected;
    };
    auto with = [](auto set) {
        AlarmSettings a;
        set(a);
        return a;
    };
    const Case cases[] = {
        {"GPSQualityValueForAlarm=2abc", with([](AlarmSettings& a) { a.gnssQualityThreshold = 2; })},
        {"GPSQualityValueForAlarm=7", with([](AlarmSettings& a) { a.gnssQualityThreshold = 3; })},
        {"GPSQualityValueForAlarm=0", with([](AlarmSettings& a) { a.gnssQualityThreshold = 1; })},
        {"GPSQualityValueForAlarm=-2147483649", with([](AlarmSettings& a) { a.gnssQualityThreshold = 1; })},
        {"GPSQualityValueForAlarm=abc", with([](AlarmSettings& a) { a.gnssQualityThreshold = 1; })},
        {"DeviceDataAlarm=off", with([](AlarmSettings& a) { a.deviceDataAlarm = 0; })},
        {"ShallowDepthValueForAlarm=1e300", with([](AlarmSettings& a) { a.shallowDepth = FLT_MAX; })},
        {"VesselSpeedValueForAlarm=-1e300", with([](AlarmSettings& a) { a.vesselSpeed = -FLT_MAX; })},
        {"VesselSpeedValueForAlarm=nan", with([](AlarmSettings& a) { a.vesselSpeed = 0.0f; })},
        {"ShallowDepthValueForAlarm= 3.5 m", with([](AlarmSettings& a) { a.shallowDepth = 3.5f; })},
    };
    for (const Case& c : cases) {
        AlarmSettings alarm;
        ASSERT_TRUE(
            marivane::ReadAlarmSettings(alarm, Settings(std::string("[ParaOfAlarm]\n") + c.line + "\n")));
        EXPECT_EQ(alarm, c.expected) << c.line;
    }
}

TEST_F(AlarmSettingsTest, UnreadableFileShowsItsPathAndChangesNothing) {
    AlarmSettings alarm = Distinct();
    const fs::path missing = dir_ / "Gone.ini";
    EXPECT_FALSE(marivane::ReadAlarmSettings(alarm, missing));
    EXPECT_EQ(alarm, Distinct());
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_NE(presenter_.shown[0].find(missing.string()), std::string::npos);
    EXPECT_EQ(presenter_.boxes[0], platform::kBoxError);
}

TEST(AlarmPage, ShowsTheRecordAndHandsBackOnlyWhatItEdits) {
    struct Case {
        int threshold;
        int choice;
    };
    for (const Case c : {Case{1, 0}, Case{2, 1}, Case{3, 2}, Case{0, 0}, Case{9, 2}}) {
        AlarmSettings alarm;
        alarm.gnssQualityThreshold = c.threshold;
        EXPECT_EQ(marivane::AlarmPageFor(alarm).qualityChoice, c.choice) << c.threshold;
    }
    AlarmSettings off;
    off.deviceDataAlarm = 0;
    off.gnssQualityAlarm = 0;
    const AlarmPage page = marivane::AlarmPageFor(off);
    EXPECT_FALSE(page.deviceDataCheck);
    EXPECT_FALSE(page.gnssQualityCheck);
    EXPECT_FALSE(page.QualityChoicesEnabled());
    EXPECT_TRUE(marivane::AlarmPageFor(AlarmSettings{}).QualityChoicesEnabled());

    // Stored-only entries are cleared whatever they were.
    EXPECT_EQ(marivane::AlarmPageResult(AlarmPage{true, false, 1}),
              (AlarmSettings{1, 0, 0, 2, 0, 0.0f, 0, 0.0f}));
    EXPECT_EQ(marivane::AlarmPageResult(AlarmPage{false, true, 0}),
              (AlarmSettings{0, 0, 1, 1, 0, 0.0f, 0, 0.0f}));
}

TEST_F(AlarmSettingsTest, ConfirmWritesAnExistingSettingsFileAndReportsSuccess) {
    const fs::path file = Settings("[ParaOfAlarm]\nPPSLostAlarm=1\nShallowDepthValueForAlarm=2.000\n");
    AlarmSettings alarm;
    ASSERT_TRUE(marivane::ConfirmAlarmPage(alarm, AlarmPage{true, true, 1}, file));
    const AlarmSettings expected{1, 0, 1, 2, 0, 0.0f, 0, 0.0f};
    EXPECT_EQ(alarm, expected);
    EXPECT_EQ(platform::ReadProfileValue(file, "ParaOfAlarm", "PPSLostAlarm"), "0");
    EXPECT_EQ(platform::ReadProfileValue(file, "ParaOfAlarm", "ShallowDepthValueForAlarm"), "0.000");
    AlarmSettings back = Distinct();
    ASSERT_TRUE(marivane::ReadAlarmSettings(back, file));
    EXPECT_EQ(back, expected);
    EXPECT_EQ(presenter_.shown, std::vector<std::string>{"Alarm parameters set successfully!"});
    EXPECT_EQ(presenter_.boxes, std::vector<unsigned>{platform::kBoxInformation});
}

TEST_F(AlarmSettingsTest, ConfirmWithoutASettingsFileOnlySetsTheRecord) {
    for (const fs::path& file : {fs::path(), dir_ / "NotCreated.ini"}) {
        presenter_.shown.clear();
        AlarmSettings alarm;
        ASSERT_TRUE(marivane::ConfirmAlarmPage(alarm, AlarmPage{false, false, 0}, file));
        EXPECT_EQ(alarm, (AlarmSettings{0, 0, 0, 1, 0, 0.0f, 0, 0.0f}));
        EXPECT_FALSE(fs::exists(dir_ / "NotCreated.ini"));
        EXPECT_EQ(presenter_.shown, std::vector<std::string>{"Alarm parameters set successfully!"});
    }
    platform::SetMessageLanguageEnglish(false);
    presenter_.shown.clear();
    AlarmSettings alarm;
    marivane::ConfirmAlarmPage(alarm, AlarmPage{}, fs::path());
    EXPECT_EQ(presenter_.shown, std::vector<std::string>{"报警参数设置成功！"});
}

TEST_F(AlarmSettingsTest, ConfirmThatCannotWriteSaysSoInsteadOfSuccess) {
    const fs::path notAFile = dir_ / "Folder.ini";
    fs::create_directories(notAFile);
    AlarmSettings alarm;
    EXPECT_FALSE(marivane::ConfirmAlarmPage(alarm, AlarmPage{true, true, 0}, notAFile));
    EXPECT_EQ(alarm.gnssQualityThreshold, 1);  // memory follows the page all the same
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_NE(presenter_.shown[0].find("Failed to save the alarm parameters"), std::string::npos);
    EXPECT_NE(presenter_.shown[0].find(notAFile.string()), std::string::npos);
    EXPECT_EQ(presenter_.boxes[0], platform::kBoxError);
}

}  // namespace
