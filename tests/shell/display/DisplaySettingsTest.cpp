#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/DisplaySettings.h"
#include "platform/Message.h"
#include "platform/MessageSink.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using marivane::DisplayDialog;
using marivane::DisplaySettings;
using platform::MessageTarget;
using platform::PostedMessage;

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

class DisplaySettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("display_") + info->name());
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
    // Reads `section` of a project file holding only those lines into a record that starts as `start`.
    DisplaySettings ReadSection(const std::string& lines, DisplaySettings start = {}) {
        EXPECT_TRUE(marivane::ReadDisplaySettings(start, Project("[DisplaySet]\n" + lines), sink_));
        return start;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
    RecordingPresenter presenter_;
    platform::QueueMessageSink sink_;
};

// Every value away from its start value and exact in its written format.
DisplaySettings Distinct() {
    DisplaySettings d;
    d.beamAngleLimitOn = true;
    d.beamAngleLimit = 95.5;
    d.speedUnit = 2;
    d.trackMode = 3;
    d.lineSwitchMode = 1;
    d.lineIncrement = -2;
    d.captureDistance = 12.25;
    d.showSpeed = 0;
    d.showDepth = 0;
    d.trackPointMode = 0;
    return d;
}

const PostedMessage kSpeedUnitChanged{MessageTarget::DataPane, marivane::WM_SPEED_UNIT_CHANGED, 0, 0};
PostedMessage TrackModeSet(std::uintptr_t mode) {
    return {MessageTarget::ChartView, marivane::WM_SET_TRACK_MODE, mode, 0};
}

TEST_F(DisplaySettingsTest, WritesEveryKeyAndReadsItBackWithItsMessages) {
    const fs::path file = dir_ / "New.ngn";
    ASSERT_TRUE(marivane::WriteDisplaySettings(Distinct(), file));
    EXPECT_EQ(Read(file),
              "[DisplaySet]\n"
              "bBeamAngleSet=true\n"
              "fBeamAngleSet=95.500000\n"
              "SheepVelFormat=2\n"
              "ShipTrackMode=3\n"
              "ShiftLineMode=1\n"
              "ShiftLineIncreCount=-2\n"
              "ShiftLineCapDist=12.25\n"
              "ShiftLineCheckSheepVel=0\n"
              "ShiftLineCheckWaterDep=0\n"
              "TrackPointMode=0\n");

    DisplaySettings back;
    ASSERT_TRUE(marivane::ReadDisplaySettings(back, file, sink_));
    EXPECT_EQ(back, Distinct());
    EXPECT_EQ(sink_.Take(), (std::vector<PostedMessage>{kSpeedUnitChanged, TrackModeSet(3)}));
}

TEST_F(DisplaySettingsTest, MissingKeysAndEmptyValuesKeepTheValues) {
    const DisplaySettings start = ReadSection("");
    EXPECT_EQ(start, DisplaySettings{});
    EXPECT_FALSE(start.beamAngleLimitOn);
    EXPECT_EQ(start.beamAngleLimit, 120.0);
    EXPECT_EQ(start.trackMode, 1);
    EXPECT_EQ(start.trackPointMode, 1);
    // The views are told the units and mode in force even when the keys are missing.
    EXPECT_EQ(sink_.Take(), (std::vector<PostedMessage>{kSpeedUnitChanged, TrackModeSet(1)}));

    DisplaySettings kept = Distinct();
    kept.trackPointMode = 1;
    const std::string empties =
        "bBeamAngleSet=\nfBeamAngleSet=\nSheepVelFormat=\nShipTrackMode=\nShiftLineMode=\n"
        "ShiftLineIncreCount=\nShiftLineCapDist=\nShiftLineCheckSheepVel=\nShiftLineCheckWaterDep=\n";
    EXPECT_EQ(ReadSection(empties, kept), kept);
}

TEST_F(DisplaySettingsTest, TrackPointModeIsAntennaOrTransducer) {
    struct Case {
        const char* lines;
        int expected;
    };
    const Case cases[] = {
        {"", 1},  // missing: transducer even when the antenna was in force
        {"TrackPointMode=\n", 1},
        {"TrackPointMode=0\n", 0},
        {"TrackPointMode=1\n", 1},
        {"TrackPointMode=2\n", 1},
        {"TrackPointMode=-1\n", 1},
        {"TrackPointMode=0x1\n", 0},
        {"TrackPointMode=gps\n", 0},  // not a number reads as 0
    };
    for (const Case& c : cases) {
        DisplaySettings antenna;
        antenna.trackPointMode = 0;
        EXPECT_EQ(ReadSection(c.lines, antenna).trackPointMode, c.expected) << c.lines;
    }
}

TEST_F(DisplaySettingsTest, BeamAngleSwitchIsOnlyForExactlyTrue) {
    struct Case {
        const char* value;
        bool expected;
    };
    const Case cases[] = {
        {"true", true},     {"True", false},    {"TRUE", false}, {"1", false},
        {"truely", false},  {"  true  ", true},  // blanks around a value are not part of it
        {"\"true\"", true},                      // nor are its quotes
    };
    for (const Case& c : cases) {
        DisplaySettings on;
        on.beamAngleLimitOn = !c.expected;
        EXPECT_EQ(ReadSection(std::string("bBeamAngleSet=") + c.value + "\n", on).beamAngleLimitOn,
                  c.expected)
            << c.value;
    }
}

TEST_F(DisplaySettingsTest, ValuesOutsideTheirChoicesFallBackToTheStartValue) {
    struct Case {
        const char* lines;
        int speedUnit;
        int trackMode;
    };
    const Case cases[] = {
        {"SheepVelFormat=1\nShipTrackMode=0\n", 1, 0},
        {"SheepVelFormat=3\nShipTrackMode=4\n", 0, 1},
        {"SheepVelFormat=-1\nShipTrackMode=-1\n", 0, 1},
        {"SheepVelFormat=2.9\nShipTrackMode=3 \n", 2, 3},
    };
    for (const Case& c : cases) {
        DisplaySettings start = Distinct();
        const DisplaySettings read = ReadSection(c.lines, start);
        EXPECT_EQ(read.speedUnit, c.speedUnit) << c.lines;
        EXPECT_EQ(read.trackMode, c.trackMode) << c.lines;
        EXPECT_EQ(sink_.Take(),
                  (std::vector<PostedMessage>{kSpeedUnitChanged,
                                              TrackModeSet(static_cast<std::uintptr_t>(c.trackMode))}));
    }
    // Numbers follow leading-number rules.
    const DisplaySettings read =
        ReadSection("fBeamAngleSet=90deg\nShiftLineIncreCount=x\nShiftLineCapDist= 7.5m\n");
    EXPECT_EQ(read.beamAngleLimit, 90.0);
    EXPECT_EQ(read.lineIncrement, 0);
    EXPECT_EQ(read.captureDistance, 7.5);
}

TEST_F(DisplaySettingsTest, UnreadableFileChangesAndPostsNothing) {
    DisplaySettings display = Distinct();
    EXPECT_FALSE(marivane::ReadDisplaySettings(display, dir_ / "Gone.ngn", sink_));
    EXPECT_EQ(display, Distinct());
    EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(DisplaySettingsTest, WritingKeepsTheOtherLinesOfAHandEditedProjectFile) {
    const std::string before =
        "[FileOfProject]\r\n"
        "ProjectPath=C:\\Surveys\\Harbour\\\r\n"
        "ColorFile=Harbour.clr\r\n"
        "\r\n"
        "[DisplaySet]\r\n"
        "; edited by hand\r\n"
        "ShipTrackMode = 2\r\n"
        "Zoom=3\r\n"
        "\r\n"
        "[MatrixFolder]\r\n"
        "PosMatrixFileLocked=-1\r\n";
    const fs::path file = Project(before);
    ASSERT_TRUE(marivane::WriteDisplaySettings(Distinct(), file));
    const std::string after = Read(file);
    for (const char* kept :
         {"[FileOfProject]\r\nProjectPath=C:\\Surveys\\Harbour\\\r\nColorFile=Harbour.clr\r\n\r\n"
          "[DisplaySet]\r\n; edited by hand\r\nShipTrackMode=3\r\nZoom=3\r\n",
          "\r\n[MatrixFolder]\r\nPosMatrixFileLocked=-1\r\n"}) {
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    }
    DisplaySettings back;
    ASSERT_TRUE(marivane::ReadDisplaySettings(back, file, sink_));
    EXPECT_EQ(back, Distinct());
}

TEST_F(DisplaySettingsTest, WithoutAProjectNothingIsWritten) {
    EXPECT_TRUE(marivane::WriteDisplaySettings(Distinct(), fs::path()));
    EXPECT_TRUE(marivane::WriteDisplayKey(Distinct(), marivane::DisplayKey::TrackMode, fs::path()));
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(DisplaySettingsTest, SingleKeyWriteTouchesOnlyItsKey) {
    const fs::path file = Project("[DisplaySet]\nShipTrackMode=0\nSheepVelFormat=1\n");
    DisplaySettings display;
    display.trackMode = 2;
    ASSERT_TRUE(marivane::WriteDisplayKey(display, marivane::DisplayKey::TrackMode, file));
    EXPECT_EQ(Read(file), "[DisplaySet]\nShipTrackMode=2\nSheepVelFormat=1\n");
}

TEST(DisplaySettings, BeamAngleLimitGoesToTheEngine) {
    marivane::AcquisitionEngine engine;
    marivane::ApplyDisplaySettings(Distinct(), engine);
    EXPECT_TRUE(engine.beamAngleLimitOn.load());
    EXPECT_EQ(engine.beamAngleLimit.load(), 95.5);
    marivane::ApplyDisplaySettings(DisplaySettings{}, engine);
    EXPECT_FALSE(engine.beamAngleLimitOn.load());
    EXPECT_EQ(engine.beamAngleLimit.load(), 120.0);
}

TEST(DisplayDialog, ShowsCurrentValuesOrTheNoProjectChoices) {
    const DisplayDialog open = marivane::DisplayDialogFor(Distinct(), true);
    EXPECT_TRUE(open.beamAngleCheck);
    EXPECT_TRUE(open.BeamAngleEditEnabled());
    EXPECT_EQ(open.beamAngleText, "95.5");
    EXPECT_EQ(open.speedUnit, 2);
    EXPECT_EQ(open.trackMode, 3);
    EXPECT_EQ(open.lineSwitchMode, 1);
    EXPECT_TRUE(open.LineSwitchEditsEnabled());
    EXPECT_EQ(open.incrementText, "-2");
    EXPECT_EQ(open.captureDistanceText, "12.25");
    EXPECT_FALSE(open.showSpeed);
    EXPECT_FALSE(open.showDepth);
    EXPECT_EQ(open.trackPointMode, 0);

    const DisplayDialog none = marivane::DisplayDialogFor(Distinct(), false);
    EXPECT_FALSE(none.beamAngleCheck);
    EXPECT_FALSE(none.BeamAngleEditEnabled());
    EXPECT_EQ(none.speedUnit, 0);
    EXPECT_EQ(none.trackMode, 1);
    EXPECT_EQ(none.lineSwitchMode, 0);
    EXPECT_FALSE(none.LineSwitchEditsEnabled());
    EXPECT_EQ(none.incrementText, "0");
    EXPECT_EQ(none.captureDistanceText, "0.00");
    EXPECT_FALSE(none.showSpeed);  // the overlay boxes as they are
    EXPECT_FALSE(none.showDepth);
}

TEST_F(DisplaySettingsTest, ConfirmStoresWritesAndTellsTheViews) {
    const fs::path file = Project("[FileOfProject]\nColorFile=Survey.clr\n");
    DisplayDialog dialog;
    dialog.beamAngleCheck = false;
    dialog.beamAngleText = "100.25";  // taken although the box is unchecked
    dialog.speedUnit = 1;
    dialog.trackMode = 2;
    dialog.lineSwitchMode = 1;
    dialog.incrementText = "3 lines";
    dialog.captureDistanceText = "abc";
    dialog.showSpeed = true;
    dialog.showDepth = false;
    dialog.trackPointMode = 2;  // outside 0..1

    marivane::AcquisitionEngine engine;
    engine.beamAngleLimitOn = true;
    DisplaySettings display = Distinct();
    ASSERT_TRUE(marivane::ConfirmDisplayDialog(display, dialog, file, engine, sink_));

    DisplaySettings expected;
    expected.beamAngleLimitOn = false;
    expected.beamAngleLimit = 100.25;
    expected.speedUnit = 1;
    expected.trackMode = 2;
    expected.lineSwitchMode = 1;
    expected.lineIncrement = 3;
    expected.captureDistance = 0.0;
    expected.showSpeed = 1;
    expected.showDepth = 0;
    expected.trackPointMode = 1;
    EXPECT_EQ(display, expected);
    EXPECT_FALSE(engine.beamAngleLimitOn.load());
    EXPECT_EQ(engine.beamAngleLimit.load(), 100.25);
    EXPECT_EQ(sink_.Take(), (std::vector<PostedMessage>{kSpeedUnitChanged, TrackModeSet(2)}));

    DisplaySettings back = Distinct();
    ASSERT_TRUE(marivane::ReadDisplaySettings(back, file, sink_));
    EXPECT_EQ(back, expected);
    EXPECT_EQ(platform::ReadProfileValue(file, "FileOfProject", "ColorFile"), "Survey.clr");
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(DisplaySettingsTest, ConfirmWithoutAProjectChangesOnlyMemory) {
    marivane::AcquisitionEngine engine;
    DisplaySettings display;
    DisplayDialog dialog = marivane::DisplayDialogFor(display, false);
    dialog.beamAngleCheck = true;
    ASSERT_TRUE(marivane::ConfirmDisplayDialog(display, dialog, fs::path(), engine, sink_));
    EXPECT_TRUE(display.beamAngleLimitOn);
    EXPECT_TRUE(engine.beamAngleLimitOn.load());
    EXPECT_EQ(display.beamAngleLimit, 120.0);
    EXPECT_TRUE(fs::is_empty(dir_));
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(DisplaySettingsTest, ConfirmThatCannotWriteSaysSoOnce) {
    const fs::path notAFile = dir_ / "Folder.ngn";
    fs::create_directories(notAFile);
    marivane::AcquisitionEngine engine;
    DisplaySettings display;
    EXPECT_FALSE(marivane::ConfirmDisplayDialog(display, marivane::DisplayDialogFor(Distinct(), true),
                                                notAFile, engine, sink_));
    EXPECT_EQ(display.trackMode, 3);
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_NE(presenter_.shown[0].find(notAFile.string()), std::string::npos);
    EXPECT_EQ(presenter_.boxes[0], platform::kBoxError);
}

}  // namespace
