// The new-project flow: its checks, the folder layout and files it makes, the settings branch, the
// copy-from-project branch, and the state it leaves when a step fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../project/ShellTestSupport.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/ProjectPaths.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using namespace marivane;
using platform::MessageAnswer;
using shelltest::ReadText;
using shelltest::WriteText;

class NewProjectFlow : public shelltest::ShellFixture {
  protected:
    // Runs the flow with these answers (and "Yes" to leaving an open project).
    bool Run(const NewProjectAnswers& answers) {
        prompts_.wizard.push_back(answers);
        if (session_->Project().IsOpen())
            prompts_.answers.push_back(MessageAnswer::Yes);
        return session_->NewProject();
    }
    std::vector<std::string> Entries(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(NewProjectFlow, CreatesTheLayoutFilesAndSettings) {
    WriteText(program_ / "Marivane.ini", "[Other]\nkey=1\n[PreProjectInfo]\nStructionName=old\nExtra=x\n");
    NewProjectAnswers a = Wizard("Survey1");
    a.device.modelNo = 2;
    a.device.gnss[0] = 1.5;
    a.alarm.gnssQualityThreshold = 1;
    ASSERT_TRUE(Run(a));

    const fs::path folder = data_ / "Survey1";
    EXPECT_EQ(Entries(folder),
              (std::vector<std::string>{"Background Files", "Border Files", "Matrix Files", "Multibeam Files",
                                        "Planned Line Files", "Survey1.clr", "Survey1.flst", "Survey1.ini",
                                        "Survey1.ngn", "Track Line Files"}));
    const fs::path ngn = folder / "Survey1.ngn";
    EXPECT_EQ(ReadText(ngn),
              "[FileOfProject]\n"
              "ProjectPath=" +
                  folder.string() +
                  "/\n"
                  "BorderLinePath=Border Files\\\n"
                  "PlanSurLinePath=Planned Line Files\\\n"
                  "SurveyDataPath=Track Line Files\\\n"
                  "BackgroundSeaChartPath=Background Files\\\n"
                  "MatrixPath=Matrix Files\\\n"
                  "MultipleBeamPath=Multibeam Files\\\n"
                  "ProjectNameINIF=Survey1.ini\n"
                  "ColorFile=Survey1.clr\n"
                  "FileListOfFolder=Survey1.flst\n");
    // Marivane.ini holds the two keys and nothing else.
    EXPECT_EQ(ReadText(program_ / "Marivane.ini"),
              "[PreProjectInfo]\nStructionName=" + ngn.string() + "\nPathName=" + folder.string() + "/\n");
    const fs::path ini = folder / "Survey1.ini";
    EXPECT_EQ(platform::ReadProfileValue(ini, "DeviceModel", "ModelNo"), "2");
    EXPECT_EQ(platform::ReadProfileValue(ini, "DeviceLocation", "dGPSOffSetX"), "1.500000");
    EXPECT_EQ(platform::ReadProfileValue(ini, "ParaOfAlarm", "GPSQualityValueForAlarm"), "1");
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "SoundVelocitySource"), "2");
    EXPECT_TRUE(platform::ReadProfileValue(ini, "ParaOfGeo", "CentralMeridian"));
    EXPECT_EQ(ReadText(folder / "Survey1.flst"), "");

    EXPECT_EQ(presenter_.Texts(), std::vector<std::string>{"Create the project successfully!"});
    EXPECT_EQ(presenter_.shown[0].box, platform::kBoxInformation);
    EXPECT_EQ(session_->State(), SurveyState::Idle());
    EXPECT_EQ(session_->WindowTitle(), ngn.string());
    EXPECT_EQ(session_->SoundVelocityStatus(), "Sound Velocity: From Sonar");
    EXPECT_EQ(session_->Device(), a.device);
    EXPECT_EQ(prompts_.starts.back().name, "20240301_140509");
    EXPECT_EQ(prompts_.starts.back().location, program_);  // no last project yet
    bool dataUpdate = false, root = false;
    for (const auto& m : sink_.Take()) {
        dataUpdate |= m.id == WM_DATA_UPDATE && m.wParam == kDataProjectOpened;
        root |= m.id == WM_REFRESH_PROJECT_TREE && m.wParam == 0;
    }
    EXPECT_TRUE(dataUpdate);
    EXPECT_TRUE(root);

    // The next wizard proposes the folder of the last project and the same name: refused, untouched.
    presenter_.shown.clear();
    EXPECT_FALSE(Run(Wizard("Survey1")));
    EXPECT_EQ(prompts_.starts.back().location, data_);
    EXPECT_EQ(presenter_.Texts(), std::vector<std::string>{"The project  " + folder.string() +
                                                           "/  already exists, please enter another name!"});
    EXPECT_EQ(session_->Project().projectFile, ngn);
    EXPECT_EQ(ReadText(folder / "Survey1.ini").empty(), false);
}

TEST_F(NewProjectFlow, PathWithOrWithoutTrailingSeparatorGivesTheSameFolder) {
    NewProjectAnswers a = Wizard("One");
    a.location = "  " + data_.string() + "/  ";
    a.name = "  One ";
    ASSERT_TRUE(Run(a));
    EXPECT_EQ(session_->Project().projectFolder, data_ / "One");
    NewProjectAnswers b = Wizard("One");
    EXPECT_FALSE(Run(b));  // the same folder
    EXPECT_EQ(presenter_.Count("already exists"), 1u);
}

TEST_F(NewProjectFlow, NamesThatAreNotOneFolderAreRefusedBeforeAnythingIsMade) {
    for (const std::string& name :
         {std::string(""), std::string("   "), std::string("a/b"), std::string("a\\b"), std::string("."),
          std::string(".."), std::string("a\x01z"), std::string("new\nline")}) {
        presenter_.shown.clear();
        EXPECT_FALSE(Run(Wizard(name))) << name;
        ASSERT_EQ(presenter_.shown.size(), 1u) << name;
        const std::string expected =
            TrimBlanks(name).empty() ? "Project name cannot be empty" : "Illegal project name";
        EXPECT_EQ(presenter_.shown[0].text.rfind(expected, 0), 0u) << presenter_.shown[0].text;
    }
    EXPECT_TRUE(fs::is_empty(data_));
    EXPECT_FALSE(fs::exists(program_ / "Marivane.ini"));
}

TEST_F(NewProjectFlow, CancelOrNoChangesNothingAndSurveyingRefuses) {
    const fs::path first = CreateProject("Kept");
    prompts_.wizard.push_back(std::nullopt);
    EXPECT_FALSE(session_->NewProject());
    prompts_.wizard.push_back(Wizard("Other"));
    prompts_.answers.push_back(MessageAnswer::No);
    EXPECT_FALSE(session_->NewProject());
    EXPECT_EQ(prompts_.asked.back(), "Be sure to create a new project?");
    EXPECT_FALSE(fs::exists(data_ / "Other"));
    EXPECT_EQ(session_->Project().projectFile, first);

    engine_.surveyState.Set(SurveyState::Recording());
    EXPECT_FALSE(session_->NewProject());
    EXPECT_EQ(presenter_.Texts(),
              std::vector<std::string>{"Can not create a new project, while recording or surveying!!"});
    EXPECT_EQ(prompts_.starts.size(), 3u);  // no wizard while recording
}

// A failure after the previous project's data was released: the program continues without a project
// and nothing of the new folder reaches the previous project's files.
TEST_F(NewProjectFlow, FailureAfterReleaseLeavesNoProjectAndThePreviousFilesUntouched) {
    const fs::path previous = CreateProject("Previous");
    const std::string ngnBefore = ReadText(previous);
    const std::string listBefore = ReadText(data_ / "Previous" / "Previous.flst");
    fs::remove(program_ / "Marivane.ini");
    fs::create_directory(program_ / "Marivane.ini");  // cannot be written: step 9 fails

    EXPECT_FALSE(Run(Wizard("Broken")));
    EXPECT_EQ(
        presenter_.Texts(),
        std::vector<std::string>{"Failed to open file : " + (program_ / "Marivane.ini").string() + " !"});
    EXPECT_EQ(session_->State(), SurveyState::NoProject());
    EXPECT_FALSE(session_->Project().IsOpen());
    EXPECT_TRUE(session_->Project().projectFolder.empty());
    EXPECT_EQ(session_->WindowTitle(), "Marivane_No Project");
    EXPECT_FALSE(session_->AppendFileListEntry("Border Files\\", "x.brd"));
    EXPECT_FALSE(session_->WriteProjectKey("BorderLineFolder", "x.brd", "true"));
    EXPECT_EQ(ReadText(previous), ngnBefore);
    EXPECT_EQ(ReadText(data_ / "Previous" / "Previous.flst"), listBefore);
    EXPECT_TRUE(fs::exists(data_ / "Broken" / "Broken.ngn"));  // what was made stays

    // Opening or creating a project works again.
    fs::remove(program_ / "Marivane.ini");
    ASSERT_TRUE(Run(Wizard("Next")));
    EXPECT_EQ(session_->State(), SurveyState::Idle());
}

class CopyBranch : public NewProjectFlow {
  protected:
    void SetUp() override {
        NewProjectFlow::SetUp();
        NewProjectAnswers a = Wizard("Template");
        a.device.modelNo = 4;
        a.device.dualHead = 1;
        a.device.transducer2[2] = 3.25;
        a.alarm.deviceDataAlarm = 0;
        a.soundSource = SoundVelocitySource::ProfileFile;
        WriteText(root_ / "profile.vel", "FTP NEW 2\n0 1490\n20 1500\n");
        a.profileFile = root_ / "profile.vel";
        template_ = CreateProject("Template", a);
        templateDevice_ = a.device;
        const fs::path t = data_ / "Template";
        WriteText(t / "Template.clr", "colours");
        for (const auto& [folder, name] :
             std::vector<std::pair<std::string, std::string>>{{"Border Files", "b.brd"},
                                                              {"Planned Line Files", "p.lnw"},
                                                              {"Matrix Files", "m.mtrx"},
                                                              {"Track Line Files", "t.tra"},
                                                              {"Background Files", "c.dxf"}}) {
            WriteText(t / folder / name, name);
            ASSERT_TRUE(session_->AppendFileListEntry(folder + "\\", name));
        }
        ASSERT_TRUE(session_->AppendFileListEntry("Border Files\\", "missing.brd"));
        ASSERT_TRUE(session_->AppendFileListEntry("Border Files\\", "..\\..\\Template\\Template.ngn"));
        // The copy starts from another project with other settings.
        CreateProject("Elsewhere");
    }
    NewProjectAnswers Copy(const std::string& name) {
        NewProjectAnswers a = Wizard(name);
        a.copyProject = true;
        a.templateProject = template_;
        a.alarm.deviceDataAlarm = 1;  // page values are not used when copying
        return a;
    }
    fs::path template_;
    DeviceSettings templateDevice_;
};

TEST_F(CopyBranch, TakesSettingsColoursProfileAndTheChosenFilesHidden) {
    NewProjectAnswers a = Copy("Copied");
    a.copyBorders = true;
    a.copyPlannedLines = true;
    ASSERT_TRUE(Run(a));
    const fs::path folder = data_ / "Copied";
    EXPECT_EQ(presenter_.Texts(), std::vector<std::string>{"Create the project successfully!"});
    EXPECT_EQ(session_->Device(), templateDevice_);
    EXPECT_EQ(session_->Alarm().deviceDataAlarm, 0);
    EXPECT_EQ(session_->Sound().Source(), SoundVelocitySource::ProfileFile);
    EXPECT_EQ(session_->Sound().Profile().size(), 2u);
    EXPECT_EQ(ReadText(folder / "profile.vel"), "FTP NEW 2\n0 1490\n20 1500\n");
    EXPECT_EQ(ReadText(folder / "Copied.clr"), "colours");
    EXPECT_EQ(ReadText(folder / "Copied.ini"), ReadText(data_ / "Template" / "Template.ini"));

    EXPECT_EQ(ReadText(folder / "Copied.flst"), "Border Files\\=b.brd\nPlanned Line Files\\=p.lnw\n");
    EXPECT_EQ(ReadText(folder / "Border Files" / "b.brd"), "b.brd");
    EXPECT_EQ(platform::ReadProfileValue(folder / "Copied.ngn", "SurLineFolder", "p.lnw"), "false");
    EXPECT_EQ(platform::ReadProfileValue(folder / "Copied.ngn", "BorderLineFolder", "b.brd"), "false");
    EXPECT_TRUE(fs::is_empty(folder / "Matrix Files"));
    EXPECT_TRUE(fs::is_empty(folder / "Track Line Files"));
    ASSERT_EQ(session_->Files().List(FileKind::PlannedLines).size(), 1u);
    EXPECT_FALSE(session_->Files().List(FileKind::PlannedLines)[0].shown);

    ProjectTree tree(*session_);
    for (const auto& m : sink_.Take()) tree.Deliver(m);
    ASSERT_NE(tree.Node({2, 0}), nullptr);
    EXPECT_FALSE(tree.Node({2, 0})->checked);

    platform::SetMessageLanguageEnglish(false);
    session_->SetSoundVelocityStatus(SoundStatusContext::CopiedProject);
    EXPECT_EQ(session_->SoundVelocityStatus(), "当前声剖文件：profile.vel");
}

TEST_F(CopyBranch, EmptyTemplateListCopiesOnlySettingsColoursAndProfile) {
    WriteText(data_ / "Template" / "Template.flst", "");
    NewProjectAnswers a = Copy("Plain");
    a.copyBorders = a.copyPlannedLines = a.copyMatrices = true;
    ASSERT_TRUE(Run(a));
    EXPECT_EQ(ReadText(data_ / "Plain" / "Plain.flst"), "");
    EXPECT_TRUE(fs::exists(data_ / "Plain" / "profile.vel"));
    EXPECT_EQ(ReadText(data_ / "Plain" / "Plain.clr"), "colours");
}

TEST_F(CopyBranch, TemplateWithoutItsSettingsIsRefusedBeforeAnythingChanges) {
    const fs::path open = session_->Project().projectFile;
    fs::remove(data_ / "Template" / "Template.ini");
    EXPECT_FALSE(Run(Copy("NoSettings")));
    EXPECT_EQ(presenter_.Texts(),
              std::vector<std::string>{"The file " + (data_ / "Template" / "Template.ini").string() +
                                       " of the project to be copied does not exist!"});
    EXPECT_FALSE(fs::exists(data_ / "NoSettings"));
    EXPECT_EQ(session_->Project().projectFile, open);

    presenter_.shown.clear();
    NewProjectAnswers a = Copy("NoTemplate");
    a.templateProject = data_ / "none.ngn";
    EXPECT_FALSE(Run(a));
    EXPECT_EQ(presenter_.Count("of the project to be copied does not exist!"), 1u);
    EXPECT_FALSE(fs::exists(data_ / "NoTemplate"));
}

TEST(NewProjectPage, ChecksWhatThePageNeeds) {
    shelltest::RecordingPresenter presenter;
    platform::SetMessagePresenter(&presenter);
    platform::SetMessageLanguageEnglish(true);
    const fs::path existing = fs::path(::testing::TempDir());
    struct Case {
        std::string name, location;
        bool copy;
        fs::path templ;
        const char* message;  // nullptr: accepted
    };
    const Case cases[] = {
        {"P", existing.string(), false, {}, nullptr},
        {"", existing.string(), false, {}, "Project name and project path cannot be empty!"},
        {"P", " ", false, {}, "Project name and project path cannot be empty!"},
        {"P", (existing / "no such folder").string(), false, {}, "Illegal project path!"},
        {"P", existing.string(), true, {}, "The path of the project that to be copied can not be empty!"},
        {"P", existing.string(), true, existing / "t.ngn", nullptr},
    };
    for (const Case& c : cases) {
        presenter.shown.clear();
        NewProjectAnswers page;
        page.name = c.name;
        page.location = c.location;
        page.copyProject = c.copy;
        page.templateProject = c.templ;
        EXPECT_EQ(CheckNewProjectPage(page), c.message == nullptr) << c.name << " " << c.location;
        if (c.message != nullptr) {
            EXPECT_EQ(presenter.Texts(), std::vector<std::string>{c.message});
        }
    }
    platform::SetMessagePresenter(nullptr);
}

}  // namespace
