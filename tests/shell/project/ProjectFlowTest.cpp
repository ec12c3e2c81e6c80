// The project flows over real files: start-up load, open project, the project file read in its order,
// the file list with its missing files, and the settings sections through their hooks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ShellTestSupport.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/FileList.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using namespace marivane;
using platform::MessageAnswer;
using shelltest::ReadText;
using shelltest::WriteText;

class ProjectFlow : public shelltest::ShellFixture {
  protected:
    std::vector<platform::PostedMessage> Posted(unsigned id) {
        std::vector<platform::PostedMessage> out;
        for (const auto& m : sink_.Take()) {
            if (m.id == id)
                out.push_back(m);
        }
        return out;
    }
};

TEST_F(ProjectFlow, StartWithoutProgramIniHasNoProjectAndAsksNothing) {
    session_->StartupLoad();
    EXPECT_EQ(session_->State(), SurveyState::NoProject());
    EXPECT_FALSE(session_->Enabled(ShellCommand::StartSurvey));
    EXPECT_FALSE(session_->Enabled(ShellCommand::DeviceSettings));
    EXPECT_EQ(session_->WindowTitle(), "Marivane_No Project");
    EXPECT_EQ(prompts_.optionDialogs, 0);
    EXPECT_TRUE(presenter_.shown.empty());
    EXPECT_FALSE(fs::exists(program_ / "Marivane.ini"));
}

TEST_F(ProjectFlow, CreatedProjectReopensAtStartWithEveryPart) {
    const fs::path ngn = CreateProject("Bay");
    Restart();
    session_->StartupLoad();

    EXPECT_TRUE(presenter_.shown.empty()) << ::testing::PrintToString(presenter_.Texts());
    const ProjectState& p = session_->Project();
    EXPECT_EQ(p.projectFile, ngn);
    EXPECT_EQ(p.projectFolder, data_ / "Bay");
    EXPECT_EQ(p.FolderName(DataFolder::Multibeam), "Multibeam Files\\");
    EXPECT_EQ(p.FolderName(DataFolder::PlannedLines), "Planned Line Files\\");
    EXPECT_EQ(p.settingsFile, "Bay.ini");
    EXPECT_EQ(p.colourFile, "Bay.clr");
    EXPECT_EQ(p.fileList, "Bay.flst");
    EXPECT_EQ(*p.FolderPath(DataFolder::Tracks), data_ / "Bay" / "Track Line Files");
    EXPECT_EQ(session_->WindowTitle(), "Marivane_" + ngn.string());
    EXPECT_EQ(session_->State(), SurveyState::Idle());
    EXPECT_TRUE(session_->LastLoad().Recordable());

    const auto messages = sink_.Take();
    std::vector<std::uintptr_t> tree;
    bool opened = false;
    for (const auto& m : messages) {
        if (m.id == WM_REFRESH_PROJECT_TREE)
            tree.push_back(m.wParam);
        opened |= m.id == WM_DATA_UPDATE && m.wParam == kDataProjectOpened;
    }
    EXPECT_EQ(tree, (std::vector<std::uintptr_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(opened);
}

TEST_F(ProjectFlow, DeletedLastProjectOffersTheOptionsEveryStartWithoutMessage) {
    const fs::path ngn = CreateProject("Gone");
    fs::remove_all(data_ / "Gone");
    for (int start = 0; start < 2; ++start) {
        Restart();
        session_->StartupLoad();
        EXPECT_EQ(prompts_.optionDialogs, start + 1);
        EXPECT_EQ(session_->State(), SurveyState::NoProject());
        EXPECT_EQ(
            platform::GetProfileString(program_ / "Marivane.ini", "PreProjectInfo", "StructionName", "x"),
            "");
        EXPECT_EQ(platform::GetProfileString(program_ / "Marivane.ini", "PreProjectInfo", "PathName", "x"),
                  "");
        EXPECT_TRUE(presenter_.shown.empty());
    }
}

TEST_F(ProjectFlow, ProjectOptionsLeadToOpenOrNewProject) {
    const fs::path kept = CreateProject("Kept");
    platform::WriteProfileString(program_ / "Marivane.ini", "PreProjectInfo", "StructionName",
                                 (data_ / "gone.ngn").string());
    Restart();
    prompts_.option = ProjectOption::OpenProject;
    prompts_.files.push_back({kept});
    session_->StartupLoad();
    EXPECT_EQ(session_->Project().projectFile, kept);
    EXPECT_EQ(session_->State(), SurveyState::Idle());
    EXPECT_EQ(prompts_.choices.back().initialFolder, program_);  // no project open when asked

    platform::WriteProfileString(program_ / "Marivane.ini", "PreProjectInfo", "StructionName", "");
    Restart();
    prompts_.option = ProjectOption::NewProject;
    prompts_.wizard.push_back(Wizard("Fresh"));
    session_->StartupLoad();
    EXPECT_EQ(session_->Project().projectFile, data_ / "Fresh" / "Fresh.ngn");
    EXPECT_TRUE(prompts_.asked.empty());  // no project to leave
}

// Every key of FileOfProject that is missing, empty or leads out of the project folder gives its own
// message, and the rest of the project still loads.
TEST_F(ProjectFlow, DamagedProjectFileGivesOneMessagePerKeyAndLoadsTheRest) {
    struct Case {
        const char* key;
        const char* message;
    };
    const Case cases[] = {
        {"PlanSurLinePath", "Failed to get planned line folder path"},
        {"BorderLinePath", "Failed to get border folder path"},
        {"SurveyDataPath", "Failed to get track line folder path"},
        {"BackgroundSeaChartPath", "Failed to get background folder path"},
        {"MatrixPath", "Failed to get matrix folder path"},
        {"MultipleBeamPath", "Failed to get multibeam data folder path"},
        {"ColorFile", "Failed to get color file path"},
        {"FileListOfFolder", "Failed to get file list file path"},
        {"ProjectNameINIF", "Failed to get the device parameter file path"},
    };
    const fs::path ngn = CreateProject("Damaged");
    WriteText(data_ / "Damaged" / "Border Files" / "b.brd", "b");
    ASSERT_TRUE(session_->AppendFileListEntry("Border Files\\", "b.brd"));
    ASSERT_TRUE(session_->WriteProjectKey("BorderLineFolder", "b.brd", "true"));
    const std::string withBorder = ReadText(ngn);

    for (const Case& c : cases) {
        for (const char* damage : {"missing", "", "..\\..\\elsewhere\\", "/tmp/"}) {
            WriteText(ngn, withBorder);
            if (std::string(damage) == "missing")
                platform::DeleteProfileKey(ngn, "FileOfProject", c.key);
            else
                platform::WriteProfileString(ngn, "FileOfProject", c.key, damage);
            presenter_.shown.clear();
            Restart();
            session_->StartupLoad();
            SCOPED_TRACE(std::string(c.key) + " = " + damage);
            ASSERT_EQ(presenter_.shown.size(), 1u) << ::testing::PrintToString(presenter_.Texts());
            EXPECT_EQ(presenter_.shown[0].text, c.message);
            EXPECT_EQ(presenter_.shown[0].box, platform::kBoxError);
            EXPECT_TRUE(session_->LastLoad().Missing(c.key));
            // The border file loads unless its folder or the list is what is damaged.
            const bool bordersLost =
                std::string(c.key) == "BorderLinePath" || std::string(c.key) == "FileListOfFolder";
            EXPECT_EQ(session_->Files().List(FileKind::Borders).size(), bordersLost ? 0u : 1u);
            EXPECT_EQ(session_->Project().settingsFile.empty(), std::string(c.key) == "ProjectNameINIF");
        }
    }
}

TEST_F(ProjectFlow, ProjectFileWithoutAnythingGivesEveryMessageOnceAndNoCrash) {
    const fs::path ngn = CreateProject("Empty");
    for (const std::string& content : {std::string(), std::string("\x00\xff[FileOfProject\n=\n", 20),
                                       std::string("[FileOfProject]\nPlanSurLinePath\n")}) {
        WriteText(ngn, content);
        Restart();
        presenter_.shown.clear();
        session_->StartupLoad();
        EXPECT_EQ(presenter_.shown.size(), 9u) << ::testing::PrintToString(presenter_.Texts());
        EXPECT_FALSE(session_->LastLoad().Recordable());
    }
}

class FileLists : public ProjectFlow {
  protected:
    void SetUp() override {
        ProjectFlow::SetUp();
        ngn_ = CreateProject("Lists");
        folder_ = data_ / "Lists";
        session_->Loaders().Set(FileKind::PlannedLines, lines_.Loader());
        session_->Loaders().Set(FileKind::BackgroundTif, tifs_.Loader());
    }
    // Lists and keys one file of a folder (the file itself is written when `content` is given).
    void Add(const std::string& folder, const std::string& section, const std::string& name,
             const char* shown, const char* content = "x") {
        if (content != nullptr) {
            const fs::path dir = folder_ / folder.substr(0, folder.size() - 1);
            fs::create_directories(dir);
            WriteText(dir / name, content);
        }
        ASSERT_TRUE(session_->AppendFileListEntry(folder, name));
        if (shown != nullptr) {
            ASSERT_TRUE(session_->WriteProjectKey(section, name, shown));
        }
    }
    void Reload() {
        presenter_.shown.clear();
        Restart();
        session_->Loaders().Set(FileKind::PlannedLines, lines_.Loader());
        session_->Loaders().Set(FileKind::BackgroundTif, tifs_.Loader());
        session_->StartupLoad();
    }
    fs::path ngn_, folder_;
    shelltest::SpyLoader lines_, tifs_;
};

TEST_F(FileLists, ListedFilesLoadWithTheirShownFlags) {
    Add("Planned Line Files\\", "SurLineFolder", "a.lnw", "true");
    Add("Planned Line Files\\", "SurLineFolder", "b.lnw", "false");
    Add("Planned Line Files\\", "SurLineFolder", "c.lnw", "TRUE");
    Add("Planned Line Files\\", "SurLineFolder", "nokey.lnw", nullptr);
    Add("Background Files\\", "BKGRDSeaCharFolder", "chart.TIF", "true");
    Add("Background Files\\", "BKGRDSeaCharFolder", "photo.png", "true");
    Add("Unknown Folder\\", "SurLineFolder", "d.lnw", "true");
    Reload();

    EXPECT_TRUE(presenter_.shown.empty()) << ::testing::PrintToString(presenter_.Texts());
    const auto& lines = session_->Files().List(FileKind::PlannedLines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].listedName, "a.lnw");
    EXPECT_TRUE(lines[0].shown);
    EXPECT_FALSE(lines[1].shown);
    EXPECT_FALSE(lines[2].shown);  // only "true" shows
    EXPECT_EQ(lines_.read.size(), 3u);
    ASSERT_EQ(session_->Files().List(FileKind::BackgroundTif).size(), 1u);
    EXPECT_TRUE(session_->Files().List(FileKind::BackgroundDxf).empty());
    // A file without a key is not loaded but stays listed.
    EXPECT_NE(ReadText(folder_ / "Lists.flst").find("nokey.lnw"), std::string::npos);
}

TEST_F(FileLists, MissingFilesAreReportedOnceAndForgotten) {
    Add("Planned Line Files\\", "SurLineFolder", "kept.lnw", "true");
    Add("Planned Line Files\\", "SurLineFolder", "gone.lnw", "true");
    Add("Border Files\\", "BorderLineFolder", "gone.lnw", "false", nullptr);  // same name, other folder
    Add("Multibeam Files\\", "", "gone.mbm", nullptr, nullptr);
    fs::remove(folder_ / "Planned Line Files" / "gone.lnw");
    Reload();

    ASSERT_EQ(presenter_.shown.size(), 3u) << ::testing::PrintToString(presenter_.Texts());
    EXPECT_EQ(presenter_.shown[0].text, (folder_ / "Planned Line Files" / "gone.lnw").string() +
                                            "\n The file has been destroyed or not exist!");
    EXPECT_EQ(presenter_.Count("gone.mbm"), 1u);
    EXPECT_EQ(ReadText(folder_ / "Lists.flst"), "Planned Line Files\\=kept.lnw\n");
    EXPECT_FALSE(platform::ReadProfileValue(ngn_, "SurLineFolder", "gone.lnw"));
    EXPECT_FALSE(platform::ReadProfileValue(ngn_, "BorderLineFolder", "gone.lnw"));
    EXPECT_TRUE(platform::ReadProfileValue(ngn_, "SurLineFolder", "kept.lnw"));

    Reload();
    EXPECT_TRUE(presenter_.shown.empty());
    EXPECT_EQ(session_->Files().List(FileKind::PlannedLines).size(), 1u);
}

TEST_F(FileLists, NamesLeadingOutOfTheProjectAreNeverReadOrTouched) {
    WriteText(data_ / "outside.lnw", "secret");
    Add("Planned Line Files\\", "SurLineFolder", "..\\..\\outside.lnw", "true", nullptr);
    Add("Planned Line Files\\", "SurLineFolder", "../../outside.lnw", "true", nullptr);
    Add("Planned Line Files\\", "SurLineFolder", (data_ / "outside.lnw").string(), "true", nullptr);
    Add("Planned Line Files\\", "SurLineFolder", "inside.lnw", "true");
    Reload();

    EXPECT_EQ(presenter_.Count("The file has been destroyed or not exist!"), 3u);
    ASSERT_EQ(lines_.read.size(), 1u);
    EXPECT_EQ(lines_.read[0], folder_ / "Planned Line Files" / "inside.lnw");
    EXPECT_EQ(ReadText(data_ / "outside.lnw"), "secret");
    EXPECT_EQ(ReadText(folder_ / "Lists.flst"), "Planned Line Files\\=inside.lnw\n");
}

TEST_F(FileLists, UnreadableListIsReportedWithItsPath) {
    fs::remove(folder_ / "Lists.flst");
    fs::create_directory(folder_ / "Lists.flst");
    Reload();
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].text,
              "Failed to read the file \"" + (folder_ / "Lists.flst").string() + "\"");
}

TEST_F(FileLists, LockedMatrixIndexIsReadAfterTheListAndKeptInRange) {
    Add("Matrix Files\\", "MatrixFolder", "a.mtrx", "true");
    Add("Matrix Files\\", "MatrixFolder", "b.mtrx", "true");
    for (const auto& [stored, expected] : std::vector<std::pair<std::string, int>>{
             {"1", 1}, {"0", 0}, {"-1", -1}, {"2", -1}, {"7x", -1}, {"", -1}, {"x", 0}}) {
        ASSERT_TRUE(platform::WriteProfileString(ngn_, "MatrixFolder", "PosMatrixFileLocked", stored));
        Reload();
        EXPECT_EQ(session_->Files().LockedMatrix(), expected) << "\"" << stored << "\"";
    }
}

// The parts are handed over in their order, each section through its owner's hooks.
TEST_F(ProjectFlow, LoadProjectReadsThePartsInOrder) {
    CreateProject("Order");
    const fs::path folder = data_ / "Order";
    WriteText(folder / "Track Line Files" / "t.tra", "1 2\n");
    ASSERT_TRUE(session_->AppendFileListEntry("Track Line Files\\", "t.tra"));
    ASSERT_TRUE(session_->WriteProjectKey("TrackLineFolder", "t.tra", "true"));
    Restart();

    std::vector<std::string> order;
    session_->Loaders().colourTable = [&](const fs::path& p) {
        order.push_back("colours " + p.filename().string());
        return true;
    };
    session_->Loaders().Set(FileKind::Tracks, [&](const fs::path& p) {
        order.push_back("track " + p.filename().string());
        return LoadTrackFileContent(p);
    });
    for (const char* section : {"ParaOfGeo", "DeviceModel", "DeviceLocation", "ParaOfAlarm", "ShengPou",
                                "DisplaySet", "ParaOfViewColor"}) {
        session_->Sections().Register(
            section, {[&order, section](const fs::path& p) {
                          order.push_back(std::string(section) + " " + p.filename().string());
                          return true;
                      },
                      {}});
    }
    session_->StartupLoad();
    EXPECT_EQ(order, (std::vector<std::string>{"colours Order.clr", "track t.tra", "ParaOfGeo Order.ini",
                                               "DeviceModel Order.ini", "DeviceLocation Order.ini",
                                               "ParaOfAlarm Order.ini", "ShengPou Order.ini",
                                               "DisplaySet Order.ngn", "ParaOfViewColor Order.ngn"}));
    const auto& tracks = session_->Files().List(FileKind::Tracks);
    ASSERT_EQ(tracks.size(), 1u);
    const auto* content = dynamic_cast<const TrackFileContent*>(tracks[0].content.get());
    ASSERT_NE(content, nullptr);
    ASSERT_EQ(content->points.size(), 1u);
    EXPECT_EQ(content->points[0].antennaNorthing, 2.0);
}

TEST_F(ProjectFlow, DisplaySettingsAndViewColoursComeFromTheProjectFile) {
    const fs::path ngn = CreateProject("Display");
    platform::WriteProfileString(ngn, "DisplaySet", "bBeamAngleSet", "true");
    platform::WriteProfileString(ngn, "DisplaySet", "fBeamAngleSet", "90.5");
    platform::WriteProfileString(ngn, "DisplaySet", "ShipTrackMode", "3");
    platform::WriteProfileString(ngn, "DisplaySet", "ShiftLineMode", "1");
    platform::WriteProfileString(ngn, "ParaOfViewColor", "PTrackColor", "255");
    Restart();
    session_->StartupLoad();
    EXPECT_TRUE(session_->Display().beamAngleLimitOn);
    EXPECT_EQ(session_->Display().lineSwitchMode, 1);
    EXPECT_TRUE(engine_.beamAngleLimitOn.load());
    EXPECT_EQ(engine_.beamAngleLimit.load(), 90.5);
    EXPECT_EQ(session_->ViewColours()[ViewColor::Track], 255u);
    bool trackMode = false, speedUnit = false;
    for (const auto& m : sink_.Take()) {
        trackMode |=
            m.id == WM_SET_TRACK_MODE && m.wParam == 3 && m.target == platform::MessageTarget::ChartView;
        speedUnit |= m.id == WM_SPEED_UNIT_CHANGED && m.target == platform::MessageTarget::DataPane;
    }
    EXPECT_TRUE(trackMode);
    EXPECT_TRUE(speedUnit);
}

TEST_F(ProjectFlow, MissingSettingsFileIsReportedBySection) {
    CreateProject("NoSettings");
    fs::remove(data_ / "NoSettings" / "NoSettings.ini");
    Restart();
    session_->StartupLoad();
    const std::string path = (data_ / "NoSettings" / "NoSettings.ini").string();
    for (const char* message : {"file path error, can not read the ellipsoid parameter information!",
                                "file path error, can not read device model information!",
                                "file path error, can not read device OffSet information!",
                                "file path error, can not read the sound velocity profile information!"}) {
        EXPECT_EQ(presenter_.Count(path + " " + message), 1u) << message;
    }
    EXPECT_EQ(presenter_.Count(path), 5u) << ::testing::PrintToString(presenter_.Texts());
}

TEST_F(ProjectFlow, ProfileNameLeadingOutOfTheProjectIsNotRead) {
    CreateProject("Svp");
    WriteText(data_ / "outside.vel", "FTP NEW 2\n0 1500\n10 1510\n");
    const fs::path ini = data_ / "Svp" / "Svp.ini";
    platform::WriteProfileString(ini, "ShengPou", "SoundVelocitySource", "0");
    platform::WriteProfileString(ini, "ShengPou", "sAcousticVelFile", "../outside.vel");
    Restart();
    session_->StartupLoad();
    EXPECT_EQ(presenter_.Count("File open failed!"), 1u);
    EXPECT_TRUE(session_->Sound().Profile().empty());

    platform::WriteProfileString(ini, "ShengPou", "sAcousticVelFile", "inside.vel");
    fs::copy_file(data_ / "outside.vel", data_ / "Svp" / "inside.vel");
    Restart();
    presenter_.shown.clear();
    session_->StartupLoad();
    EXPECT_TRUE(presenter_.shown.empty());
    EXPECT_EQ(session_->Sound().Profile().size(), 2u);
    EXPECT_EQ(session_->SoundVelocityStatus(), "SVP File:inside.vel");
}

TEST(SoundVelocityStatus, TextsByFlowAndLanguage) {
    using S = SoundVelocitySource;
    using C = SoundStatusContext;
    struct Case {
        S source;
        C context;
        bool english;
        const char* text;
    };
    const Case cases[] = {
        {S::ProfileFile, C::Opened, true, "SVP File:p.vel"},
        {S::ProfileFile, C::NewProject, true, "SVP File: p.vel"},
        {S::ProfileFile, C::Opened, false, "当前声剖文件：p.vel"},
        {S::AverageVelocity, C::Opened, true, "Sound Velocity: 1498.25 m/s"},
        {S::AverageVelocity, C::CopiedProject, false, "当前使用默认声速：1498.25米/秒"},
        {S::Sonar, C::Opened, true, "Sound Velocity: From Sonar"},
        {S::Sonar, C::CopiedProject, true, "Sound Velocity: From Sonar"},
        {S::Sonar, C::NewProject, false, "声速源：声纳声速"},
        {S::Sonar, C::CopiedProject, false, "声速源：声纳表面声速"},
        {static_cast<S>(7), C::Opened, true, "Sound Velocity: From Sonar"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SoundVelocityStatusText(c.source, "p.vel", 1498.25, c.context, c.english), c.text);
}

TEST_F(ProjectFlow, OpenProjectAsksFirstAndRefusesWhatItCannotOpen) {
    const fs::path first = CreateProject("First");
    const fs::path second = CreateProject("Second");
    sink_.Take();

    // Refused while surveying.
    engine_.surveyState.Set(SurveyState::Surveying());
    EXPECT_FALSE(session_->OpenProject());
    EXPECT_EQ(presenter_.Count("Can not open project, while recording or surveying!"), 1u);
    engine_.surveyState.Set(SurveyState::Idle());

    // Cancelled dialog, then "No".
    prompts_.files.push_back({});
    EXPECT_FALSE(session_->OpenProject());
    prompts_.files.push_back({first});
    prompts_.answers.push_back(MessageAnswer::No);
    EXPECT_FALSE(session_->OpenProject());
    EXPECT_EQ(session_->Project().projectFile, second);
    EXPECT_EQ(prompts_.choices.back().initialFolder, data_);
    EXPECT_EQ(prompts_.boxes.back(), platform::kBoxConfirm);

    // The current project again: nothing happens. A missing file: its message.
    prompts_.files.push_back({data_ / "Second" / "." / "Second.ngn"});
    prompts_.answers.push_back(MessageAnswer::Yes);
    EXPECT_FALSE(session_->OpenProject());
    prompts_.files.push_back({data_ / "none.ngn"});
    prompts_.answers.push_back(MessageAnswer::Yes);
    EXPECT_FALSE(session_->OpenProject());
    EXPECT_EQ(presenter_.Count("none.ngn file path error, can not read project information file!"), 1u);
    EXPECT_EQ(session_->Project().projectFile, second);

    // Opened: title is the bare path, Marivane.ini follows.
    sink_.Take();
    prompts_.files.push_back({first});
    prompts_.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(session_->OpenProject());
    EXPECT_EQ(session_->Project().projectFile, first);
    EXPECT_EQ(session_->WindowTitle(), first.string());
    EXPECT_EQ(platform::GetProfileString(program_ / "Marivane.ini", "PreProjectInfo", "StructionName", ""),
              first.string());
    EXPECT_EQ(platform::GetProfileString(program_ / "Marivane.ini", "PreProjectInfo", "PathName", ""),
              (data_ / "First").string() + "/");
    EXPECT_EQ(Posted(WM_REFRESH_PROJECT_TREE).size(), 7u);

    // Without Marivane.ini the project still opens, with a message.
    fs::remove(program_ / "Marivane.ini");
    prompts_.files.push_back({second});
    prompts_.answers.push_back(MessageAnswer::Yes);
    presenter_.shown.clear();
    EXPECT_TRUE(session_->OpenProject());
    EXPECT_EQ(session_->Project().projectFile, second);
    EXPECT_EQ(presenter_.Count("file path error, can not read initialization information!"), 1u);
}

TEST_F(ProjectFlow, OpeningReleasesThePreviousProjectsData) {
    const fs::path first = CreateProject("A");
    WriteText(data_ / "A" / "Border Files" / "b.brd", "b");
    ASSERT_TRUE(session_->AppendFileListEntry("Border Files\\", "b.brd"));
    ASSERT_TRUE(session_->WriteProjectKey("BorderLineFolder", "b.brd", "true"));
    const fs::path second = CreateProject("B");
    engine_.trackList.With([](auto& points) { points.push_back({}); });
    prompts_.files.push_back({first});
    prompts_.answers.push_back(MessageAnswer::Yes);
    ASSERT_TRUE(session_->OpenProject());
    EXPECT_EQ(session_->Files().List(FileKind::Borders).size(), 1u);
    EXPECT_TRUE(engine_.trackList.Copy().empty());

    bool released = false;
    session_->SetReleaseHook([&] { released = true; });
    prompts_.files.push_back({second});
    prompts_.answers.push_back(MessageAnswer::Yes);
    ASSERT_TRUE(session_->OpenProject());
    EXPECT_TRUE(released);
    EXPECT_TRUE(session_->Files().List(FileKind::Borders).empty());
}

// Sections written by the flows read back identically; lines written by hand stay.
TEST_F(ProjectFlow, SettingsSectionsReadBackIdenticallyAndKeepHandEditedLines) {
    NewProjectAnswers a = Wizard("Round");
    a.device.modelNo = 3;
    a.device.dualHead = 1;
    for (std::size_t f = 0; f < 7; ++f) {
        a.device.transducer[f] = 0.125 * static_cast<double>(f + 1);
        a.device.transducer2[f] = -0.5 * static_cast<double>(f + 1);
        a.device.gnss[f] = 1.0 + static_cast<double>(f);
        a.device.motion[f] = 2.25;
        a.device.heading[f] = -3.0;
    }
    a.alarm.deviceDataAlarm = 0;
    a.alarm.gnssQualityThreshold = 2;
    a.alarm.shallowDepth = 0.0f;
    std::snprintf(a.geo.CentralMeridian, sizeof a.geo.CentralMeridian, "%s", "120300000000E");
    std::snprintf(a.geo.PTransRa, sizeof a.geo.PTransRa, "%s", " 000100000000");
    a.geo.ProjectionType = 2;
    a.soundSource = SoundVelocitySource::AverageVelocity;
    a.averageVelocity = 1487.5;
    CreateProject("Round", a);

    const fs::path ini = data_ / "Round" / "Round.ini";
    const std::string written = ReadText(ini);
    WriteText(ini, "; notes by the surveyor\n[Mine]\nkey = value\n" + written + "[Other]\nx=1\n");

    Restart();
    session_->StartupLoad();
    EXPECT_TRUE(presenter_.shown.empty()) << ::testing::PrintToString(presenter_.Texts());
    EXPECT_EQ(session_->Device(), a.device);
    EXPECT_EQ(session_->Alarm(), a.alarm);
    EXPECT_EQ(std::memcmp(&session_->Geo(), &a.geo, sizeof a.geo), 0);
    EXPECT_EQ(std::memcmp(&coordinates_.Parameters(), &a.geo, sizeof a.geo), 0);
    EXPECT_EQ(session_->Sound().Source(), SoundVelocitySource::AverageVelocity);
    EXPECT_EQ(session_->Sound().AverageVelocity(), 1487.5);
    EXPECT_EQ(session_->SoundVelocityStatus(), "Sound Velocity: 1487.50 m/s");

    // Writing every section again changes nothing, and the hand-made lines stay.
    const std::string before = ReadText(ini);
    for (const char* section : {"ParaOfGeo", "DeviceModel", "DeviceLocation", "ParaOfAlarm", "ShengPou"})
        EXPECT_TRUE(session_->WriteProjectSettings(section, ini)) << section;
    EXPECT_EQ(ReadText(ini), before);
    EXPECT_EQ(ReadText(ini).rfind("; notes by the surveyor\n[Mine]\nkey = value\n", 0), 0u);
    EXPECT_NE(ReadText(ini).find("[Other]\nx=1\n"), std::string::npos);
    EXPECT_FALSE(session_->WriteProjectSettings("NoSuchSection", ini));
}

}  // namespace
