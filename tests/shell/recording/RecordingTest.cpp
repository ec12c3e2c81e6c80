// Survey states and recording: which commands each state allows, the files a recording makes and what
// it writes into the project, and what happens when a file cannot be made.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../project/ShellTestSupport.h"
#include "RecordingSupport.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/acquisition/TrackFile.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/ProjectPaths.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using namespace marivane;
using recordingtest::Feed;
using recordingtest::Packet;
using shelltest::ReadText;
using shelltest::WriteText;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(SurveyCommands, EachStateAllowsItsCommands) {
    using C = ShellCommand;
    const SurveyState idle = SurveyState::Idle(), surveying = SurveyState::Surveying(),
                      recording = SurveyState::Recording(), none = SurveyState::NoProject();
    struct Case {
        C command;
        bool idle, surveying, recording, none;
    };
    const Case cases[] = {
        {C::NewProject, true, true, true, true},
        {C::OpenProject, true, true, true, true},
        {C::Exit, true, true, true, true},
        {C::AlarmSettings, true, true, true, true},
        {C::CoordinateSettings, true, false, false, false},
        {C::SoundVelocitySettings, true, false, false, false},
        {C::DeviceSettings, true, false, false, false},
        {C::StartSurvey, true, false, false, false},
        {C::StopSurvey, false, true, false, false},
        {C::StartRecording, false, true, false, false},
        {C::StopRecording, false, false, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandEnabled(c.command, idle), c.idle) << static_cast<int>(c.command);
        EXPECT_EQ(CommandEnabled(c.command, surveying), c.surveying) << static_cast<int>(c.command);
        EXPECT_EQ(CommandEnabled(c.command, recording), c.recording) << static_cast<int>(c.command);
        EXPECT_EQ(CommandEnabled(c.command, none), c.none) << static_cast<int>(c.command);
    }
    EXPECT_TRUE(ProjectReplaceable(idle));
    EXPECT_TRUE(ProjectReplaceable(none));
    EXPECT_FALSE(ProjectReplaceable(surveying));
    EXPECT_FALSE(ProjectReplaceable(recording));
}

class Recording : public shelltest::ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ngn_ = CreateProject("Survey");
        folder_ = data_ / "Survey";
        engine_.surveyState.Set(SurveyState::Surveying());
    }
    fs::path Raw(const std::string& name) const { return folder_ / "Multibeam Files" / name; }
    fs::path Track(const std::string& name) const { return folder_ / "Track Line Files" / name; }

    fs::path ngn_, folder_;
};

TEST_F(Recording, StartRecordsEveryAcceptedPacketAndListsItsFiles) {
    ASSERT_TRUE(session_->StartRecording());
    EXPECT_EQ(session_->State(), SurveyState::Recording());
    const fs::path raw = Raw("20240301_140509.mbm");
    const fs::path track = Track("20240301_140509.tra");
    EXPECT_EQ(session_->LastRecording().raw, raw);
    EXPECT_EQ(session_->LastRecording().track, track);
    EXPECT_TRUE(presenter_.shown.empty()) << ::testing::PrintToString(presenter_.Texts());

    EXPECT_EQ(ReadText(folder_ / "Survey.flst"),
              "Multibeam Files\\=20240301_140509.mbm\nTrack Line Files\\=20240301_140509.tra\n");
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "TrackLineFolder", "20240301_140509.tra"), "false");
    std::vector<std::uintptr_t> tree;
    for (const auto& m : sink_.Take()) {
        if (m.id == WM_REFRESH_PROJECT_TREE)
            tree.push_back(m.wParam);
    }
    EXPECT_EQ(tree, (std::vector<std::uintptr_t>{6, 3}));
    ASSERT_EQ(session_->Files().List(FileKind::Multibeam).size(), 1u);
    EXPECT_EQ(session_->Files().List(FileKind::Multibeam)[0].path, raw);
    ASSERT_EQ(session_->Files().List(FileKind::Tracks).size(), 1u);
    EXPECT_EQ(session_->Files().List(FileKind::Tracks)[0].path, track);
    EXPECT_FALSE(session_->Files().List(FileKind::Tracks)[0].shown);

    // Every packet the framer takes, of any type, exactly as received; flag bit 1 never.
    const auto a = Packet(1);
    const auto b = Packet(3, packet::kFlagRecordOnly, 80);
    const auto c = Packet(4, 0, 100, 9999);
    std::vector<std::uint8_t> stream;
    for (const auto& p : {a, Packet(2, packet::kFlagDiscard), b, c})
        stream.insert(stream.end(), p.begin(), p.end());
    Feed(pipeline_, stream);
    ASSERT_TRUE(session_->StopRecording());
    EXPECT_EQ(session_->State(), SurveyState::Surveying());
    Feed(pipeline_, Packet(5));  // after the stop: not recorded

    const auto bytes = ReadBytes(raw);
    ASSERT_EQ(bytes.size(), kRawFilePreambleSize + a.size() + b.size() + c.size());
    const auto preamble = MakeRawFilePreamble(ToRawFileDevice(session_->Device()), coordinates_.Parameters());
    EXPECT_TRUE(std::equal(preamble.begin(), preamble.end(), bytes.begin()));
    std::vector<std::uint8_t> data(a);
    data.insert(data.end(), b.begin(), b.end());
    data.insert(data.end(), c.begin(), c.end());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + kRawFilePreambleSize));
    const auto header = MakeTrackFileHeader();
    EXPECT_EQ(ReadBytes(track), std::vector<std::uint8_t>(header.begin(), header.end()));

    // The next start finds the files listed and the track hidden.
    Restart();
    session_->StartupLoad();
    EXPECT_TRUE(presenter_.shown.empty()) << ::testing::PrintToString(presenter_.Texts());
    ASSERT_EQ(session_->Files().List(FileKind::Multibeam).size(), 1u);
    ASSERT_EQ(session_->Files().List(FileKind::Tracks).size(), 1u);
    EXPECT_FALSE(session_->Files().List(FileKind::Tracks)[0].shown);
}

TEST_F(Recording, OnlyASurveyStartsARecordingAndOnlyARecordingStops) {
    for (const SurveyState state :
         {SurveyState::Idle(), SurveyState::NoProject(), SurveyState::Recording()}) {
        engine_.surveyState.Set(state);
        EXPECT_FALSE(session_->StartRecording());
        EXPECT_EQ(session_->State(), state);
    }
    for (const SurveyState state :
         {SurveyState::Idle(), SurveyState::NoProject(), SurveyState::Surveying()}) {
        engine_.surveyState.Set(state);
        EXPECT_FALSE(session_->StopRecording());
        EXPECT_EQ(session_->State(), state);
    }
    EXPECT_TRUE(fs::is_empty(folder_ / "Multibeam Files"));
    engine_.surveyState.Set(SurveyState::Recording());
    EXPECT_FALSE(session_->StopSurvey());  // recording must stop first
    EXPECT_EQ(ReadText(folder_ / "Survey.flst"), "");
}

TEST_F(Recording, SecondStartInTheSameSecondNeverAppendsToTheFirstRecording) {
    ASSERT_TRUE(session_->StartRecording());
    Feed(pipeline_, Packet(1));
    ASSERT_TRUE(session_->StopRecording());
    const auto first = fs::file_size(Raw("20240301_140509.mbm"));
    ASSERT_TRUE(session_->StartRecording());
    ASSERT_TRUE(session_->StopRecording());
    EXPECT_EQ(fs::file_size(Raw("20240301_140509.mbm")), first);
    EXPECT_EQ(fs::file_size(Raw("20240301_140509_2.mbm")), kRawFilePreambleSize);
    EXPECT_TRUE(fs::exists(Track("20240301_140509_2.tra")));
    EXPECT_EQ(session_->Files().List(FileKind::Multibeam).size(), 2u);
    EXPECT_EQ(session_->Files().List(FileKind::Tracks).size(), 2u);
}

TEST_F(Recording, RawFileThatCannotBeCreatedIsNotReportedAsRecording) {
    fs::remove_all(folder_ / "Multibeam Files");
    WriteText(folder_ / "Multibeam Files", "not a folder");
    EXPECT_FALSE(session_->StartRecording());
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].text, "Failed to create Data file!");
    EXPECT_EQ(presenter_.shown[0].box, platform::kBoxError);
    EXPECT_EQ(session_->State(), SurveyState::Surveying());
    EXPECT_FALSE(pipeline_.Raw().IsOpen());
    EXPECT_FALSE(pipeline_.Track().IsOpen());
    EXPECT_TRUE(session_->LastRecording().raw.empty());
    EXPECT_TRUE(session_->Files().List(FileKind::Multibeam).empty());
    EXPECT_EQ(ReadText(folder_ / "Survey.flst"), "");
}

TEST_F(Recording, TrackFileThatCannotBeCreatedLeavesTheRawFileRecording) {
    fs::remove_all(folder_ / "Track Line Files");
    EXPECT_TRUE(session_->StartRecording());
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].text, "Failed to create Track line file!");
    EXPECT_EQ(session_->State(), SurveyState::Recording());
    EXPECT_TRUE(pipeline_.Raw().IsOpen());
    EXPECT_TRUE(session_->LastRecording().track.empty());
    EXPECT_EQ(ReadText(folder_ / "Survey.flst"), "Multibeam Files\\=20240301_140509.mbm\n");
    EXPECT_FALSE(platform::ReadProfileValue(ngn_, "TrackLineFolder", "20240301_140509.tra"));
    EXPECT_TRUE(session_->Files().List(FileKind::Tracks).empty());
    EXPECT_TRUE(session_->StopRecording());
}

TEST_F(Recording, UnwritableListStillRecordsBothFiles) {
    fs::remove(folder_ / "Survey.flst");
    fs::create_directory(folder_ / "Survey.flst");
    EXPECT_TRUE(session_->StartRecording());
    EXPECT_EQ(presenter_.Texts(),
              (std::vector<std::string>{"Failed to open the list file",
                                        "Failed to open the list file when creating a trackline file"}));
    EXPECT_TRUE(pipeline_.Raw().IsOpen());
    EXPECT_TRUE(pipeline_.Track().IsOpen());
    EXPECT_EQ(session_->Files().List(FileKind::Multibeam).size(), 1u);
    EXPECT_EQ(session_->Files().List(FileKind::Tracks).size(), 1u);
    EXPECT_TRUE(session_->StopRecording());
}

TEST_F(Recording, TheLockedGridIsHeldOpenWhileRecording) {
    WriteText(folder_ / "Matrix Files" / "a.mtrx", std::string(256, '\0'));
    WriteText(folder_ / "Matrix Files" / "b.mtrx", std::string(256, '\0'));
    for (const char* name : {"a.mtrx", "b.mtrx"}) {
        ASSERT_TRUE(session_->AppendFileListEntry("Matrix Files\\", name));
        ASSERT_TRUE(session_->WriteProjectKey("MatrixFolder", name, "true"));
    }
    ASSERT_TRUE(platform::WriteProfileString(ngn_, "MatrixFolder", "PosMatrixFileLocked", "1"));
    Restart();
    session_->StartupLoad();
    engine_.surveyState.Set(SurveyState::Surveying());
    ASSERT_EQ(session_->Files().LockedMatrix(), 1);

    ASSERT_TRUE(session_->StartRecording());
    EXPECT_TRUE(session_->Grid().IsOpen());
    EXPECT_EQ(session_->Grid().OpenPath(), folder_ / "Matrix Files" / "b.mtrx");
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "MatrixFolder", "PosMatrixFileLocked"), "1");
    ASSERT_TRUE(session_->StopRecording());
    EXPECT_FALSE(session_->Grid().IsOpen());

    // A locked grid whose file went away: its message, and the recording goes on.
    fs::remove(folder_ / "Matrix Files" / "b.mtrx");
    presenter_.shown.clear();
    ASSERT_TRUE(session_->StartRecording());
    EXPECT_EQ(presenter_.Texts(), (std::vector<std::string>{"Failed to open the Matrix file!"}));
    EXPECT_FALSE(session_->Grid().IsOpen());
    EXPECT_TRUE(pipeline_.Raw().IsOpen());
    EXPECT_TRUE(session_->StopRecording());
}

TEST_F(Recording, StoppingTellsTheChartOnlyInAutomaticLineMode) {
    for (const bool mode : {false, true}) {
        session_->Display().lineSwitchMode = mode ? 1 : 0;
        sink_.Take();
        ASSERT_TRUE(session_->StartRecording());
        ASSERT_TRUE(session_->StopRecording());
        EXPECT_EQ(sink_.Count(WM_RECORDING_STOPPED), mode ? 1u : 0u);
        clock_.Set({2024, 3, 1, 14, 6, 0, 0});
    }
    EXPECT_FALSE(pipeline_.Raw().IsOpen());
    EXPECT_FALSE(pipeline_.Track().IsOpen());
}

TEST_F(Recording, CloseIsRefusedWhileSurveyingOrRecording) {
    EXPECT_FALSE(session_->RequestClose());
    ASSERT_TRUE(session_->StartRecording());
    EXPECT_FALSE(session_->RequestClose());
    EXPECT_EQ(presenter_.Count("Can not quit Marivane, while recording or surveying!"), 2u);
    ASSERT_TRUE(session_->StopRecording());
    engine_.surveyState.Set(SurveyState::Idle());
    EXPECT_TRUE(session_->RequestClose());
}

TEST_F(Recording, FreeDiskSpaceInWholeGiB) {
    EXPECT_GE(session_->FreeDiskGiB(), 0);
    engine_.surveyState.Set(SurveyState::Idle());
    Restart();
    EXPECT_EQ(session_->FreeDiskGiB(), -1);  // no project
    EXPECT_EQ(WholeGiB(0), 0);
    EXPECT_EQ(WholeGiB((std::uintmax_t{1} << 30) - 1), 0);
    EXPECT_EQ(WholeGiB(std::uintmax_t{1} << 30), 1);
    EXPECT_EQ(WholeGiB((std::uintmax_t{5} << 30) + 7), 5);
}

}  // namespace
