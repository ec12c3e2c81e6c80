// The new-project flow: checks, the folder layout and the four project files, then the settings,
// either copied from a template project or taken from the wizard's pages.
//
// Once the previous project's data is released (step 6) the project file names nothing until the new
// project file exists, so no entry for the new folder can reach the previous project's files. When a
// later step fails before the new project is complete (folders, files, Marivane.ini, the FileOfProject
// keys), the program continues without a project: every project field is cleared, the survey state
// is "no project", and a Marivane.ini that already named the new project is cleared again. What was
// created stays on disk.

#include <cstdio>
#include <system_error>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/FileList.h"
#include "marivane/shell/ProjectPaths.h"
#include "marivane/shell/ProjectSession.h"
#include "platform/Message.h"
#include "platform/Profile.h"

namespace marivane {

namespace fs = std::filesystem;
using platform::FormatMessageText;
using platform::ShowBilingualMessage;

namespace {

void ShowError(std::string_view chinese, std::string_view english) {
    ShowBilingualMessage(chinese, english, platform::kBoxError);
}

void ShowErrorWith(std::string_view chinese, std::string_view english, std::string_view value) {
    ShowBilingualMessage(FormatMessageText(chinese, value), FormatMessageText(english, value),
                         platform::kBoxError);
}

bool IsAllowedProjectName(std::string_view name) {
    return name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos &&
           !HasControlCharacter(name);
}

fs::path WithSuffix(fs::path base, std::string_view suffix) {
    base += std::string(suffix);
    return base;
}

// The folders of a new project, in the order they are made.
constexpr DataFolder kCreationOrder[] = {DataFolder::PlannedLines, DataFolder::Borders,
                                         DataFolder::Tracks,       DataFolder::Background,
                                         DataFolder::Matrices,     DataFolder::Multibeam};

constexpr std::string_view kSettingsSectionOrder[] = {geodesy::kParaOfGeoSection, kDeviceModelSection,
                                                      kDeviceLocationSection, kAlarmSection,
                                                      kSoundVelocitySection};

}  // namespace

bool CheckNewProjectPage(const NewProjectAnswers& page) {
    if (TrimBlanks(page.name).empty() || TrimBlanks(page.location).empty()) {
        ShowError("项目名称和项目路径不能为空！", "Project name and project path cannot be empty!");
        return false;
    }
    std::error_code ec;
    if (!fs::is_directory(fs::path(TrimBlanks(page.location)), ec)) {
        ShowError("非法工程路径！", "Illegal project path!");
        return false;
    }
    if (page.copyProject && page.templateProject.empty()) {
        ShowError("套用项目路径不能为空！", "The path of the project that to be copied can not be empty!");
        return false;
    }
    return true;
}

bool ProjectSession::NewProject() {
    // 1.
    if (!ProjectReplaceable(State())) {
        ShowError("当前正在测量或者正在记录，不能新建其他工程！",
                  "Can not create a new project, while recording or surveying!!");
        return false;
    }
    // 2.
    NewProjectWizardStart start;
    start.name = TimeStampName(clock_.LocalNow());
    start.location = DefaultProjectLocation();
    start.geo = geo_;
    start.alarm = alarm_;
    start.device = device_;
    const std::optional<NewProjectAnswers> answers = prompts_.RunNewProjectWizard(start);
    if (!answers)
        return false;
    // 3.
    if (project_.IsOpen() &&
        prompts_.Ask("确定离开当前工程，建立新工程？", "Be sure to create a new project?",
                     platform::kBoxConfirm) != platform::MessageAnswer::Yes) {
        return false;
    }
    // 4.
    const std::string name = TrimBlanks(answers->name);
    if (name.empty()) {
        ShowError("工程名不能为空", "Project name cannot be empty");
        return false;
    }
    if (!IsAllowedProjectName(name)) {
        ShowErrorWith("非法工程名%s！", "Illegal project name %s!", name);
        return false;
    }
    const std::string location = TrimBlanks(answers->location);
    if (location.empty() || HasControlCharacter(location)) {
        ShowError("非法工程路径！", "Illegal project path!");
        return false;
    }
    std::error_code ec;
    if (answers->copyProject) {
        // Without the template's project and settings files the previous project's settings would stay
        // in force while success is reported.
        const fs::path base = fs::path(answers->templateProject).replace_extension();
        for (const fs::path& needed : {answers->templateProject, WithSuffix(base, ".ini")}) {
            if (answers->templateProject.empty() || !fs::is_regular_file(needed, ec)) {
                ShowErrorWith("套用项目文件%s不存在！",
                              "The file %s of the project to be copied does not exist!", needed.string());
                return false;
            }
        }
    }
    const fs::path folder = fs::path(location) / name;
    // 5.
    if (fs::exists(folder, ec)) {
        ShowErrorWith("此工程路径%s已存在,请重新输入工程名！",
                      "The project  %s  already exists, please enter another name!", FolderText(folder));
        return false;
    }
    if (!fs::create_directory(folder, ec) || ec) {
        ShowErrorWith("创建路径%s失败！", "Failed to create path : %s !", FolderText(folder));
        return false;
    }
    // 6.
    ReleaseProjectData();
    project_.Clear();
    project_.projectFolder = folder;
    pipeline_.Engine().surveyState.Set(SurveyState::Idle());
    // 7 to 10.
    if (!CreateProjectLayout(name))
        return false;
    // 11.
    return answers->copyProject ? CopySettingsFromTemplate(*answers) : ApplyWizardSettings(*answers);
}

void ProjectSession::LeaveWithoutProject(bool clearProgramIni) {
    ShowNoProject();
    if (clearProgramIni)
        WriteLastProject(false);
    PostTreeRefresh(0, 0);
}

bool ProjectSession::CreateProjectLayout(const std::string& name) {
    std::error_code ec;
    // 7. The six data folders.
    for (const DataFolder f : kCreationOrder) {
        const fs::path path = *JoinContained(project_.projectFolder, DefaultFolderName(f));
        if (!fs::create_directory(path, ec) || ec) {
            ShowErrorWith("创建路径%s失败！", "Failed to create path : %s !", FolderText(path));
            LeaveWithoutProject(false);
            return false;
        }
        project_.SetFolderName(f, std::string(DefaultFolderName(f)));
    }
    // 8. The four files.
    const fs::path ngn = project_.projectFolder / (name + ".ngn");
    const struct {
        std::string file;
        std::string* field;
    } files[] = {{name + ".ngn", nullptr},
                 {name + ".ini", &project_.settingsFile},
                 {name + ".clr", &project_.colourFile},
                 {name + ".flst", &project_.fileList}};
    for (const auto& f : files) {
        const fs::path path = project_.projectFolder / f.file;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr || std::fclose(out) != 0) {
            ShowErrorWith("创建文件%s失败！", "Failed to create file : %s !", path.string());
            LeaveWithoutProject(false);
            return false;
        }
        if (f.field != nullptr) {
            *f.field = f.file;
        } else {
            project_.projectFile = path;
            title_ = path.string();
        }
    }
    // 9. Marivane.ini afresh.
    if (!WriteLastProject(true)) {
        ShowErrorWith("打开文件%s失败！", "Failed to open file : %s !",
                      ProgramIniPath(programFolder_).string());
        LeaveWithoutProject(false);
        return false;
    }
    PostTreeRefresh(0, 0);
    // 10. FileOfProject.
    const std::pair<std::string_view, std::string> keys[] = {
        {kProjectPathKey, FolderText(project_.projectFolder)},
        {kBorderFolderKey, project_.FolderName(DataFolder::Borders)},
        {kPlannedLineFolderKey, project_.FolderName(DataFolder::PlannedLines)},
        {kTrackFolderKey, project_.FolderName(DataFolder::Tracks)},
        {kBackgroundFolderKey, project_.FolderName(DataFolder::Background)},
        {kMatrixFolderKey, project_.FolderName(DataFolder::Matrices)},
        {kMultibeamFolderKey, project_.FolderName(DataFolder::Multibeam)},
        {kSettingsFileKey, project_.settingsFile},
        {kColourFileKey, project_.colourFile},
        {kFileListKey, project_.fileList},
    };
    for (const auto& [key, value] : keys) {
        if (!platform::WriteProfileString(ngn, kFileOfProjectSection, key, value)) {
            ShowErrorWith("创建文件%s失败！", "Failed to create file : %s !", ngn.string());
            LeaveWithoutProject(true);
            return false;
        }
    }
    return true;
}

bool ProjectSession::CopySettingsFromTemplate(const NewProjectAnswers& answers) {
    const fs::path templateFile = answers.templateProject;
    const fs::path base = fs::path(templateFile).replace_extension();
    const fs::path templateFolder = templateFile.parent_path();
    // 1, 2. Settings file.
    const fs::path settings = *project_.SettingsPath();
    CopyFileSafely(WithSuffix(base, ".ini"), settings, true);
    for (const std::string_view section : kSettingsSectionOrder) ReadProjectSettings(section, settings);
    // 3. Sound velocity; the profile comes along.
    if (Sound().Source() == SoundVelocitySource::ProfileFile) {
        const auto from = JoinContained(templateFolder, Sound().ProfileFileName());
        const auto to = JoinContained(project_.projectFolder, Sound().ProfileFileName());
        if (from && to)
            CopyFileSafely(*from, *to, true);
    }
    ApplySoundVelocity();
    SetSoundVelocityStatus(SoundStatusContext::CopiedProject);
    // 4. Depth colours.
    const fs::path colours = *project_.ColourPath();
    CopyFileSafely(WithSuffix(base, ".clr"), colours, true);
    if (loaders_.colourTable)
        loaders_.colourTable(colours);
    // 5. Borders, planned lines and matrices as chosen, hidden.
    if (const auto text = ReadFileListText(WithSuffix(base, ".flst")); text && !text->empty()) {
        const struct {
            std::string_view folderText;
            bool wanted;
            DataFolder folder;
            FileKind kind;
        } copies[] = {{DefaultFolderName(DataFolder::Borders), answers.copyBorders, DataFolder::Borders,
                       FileKind::Borders},
                      {DefaultFolderName(DataFolder::PlannedLines), answers.copyPlannedLines,
                       DataFolder::PlannedLines, FileKind::PlannedLines},
                      {DefaultFolderName(DataFolder::Matrices), answers.copyMatrices, DataFolder::Matrices,
                       FileKind::Matrices}};
        for (const FileListEntry& entry : ParseFileList(*text)) {
            for (const auto& c : copies) {
                if (!c.wanted || entry.folder != c.folderText)
                    continue;
                const auto fromFolder = JoinContained(templateFolder, entry.folder);
                const auto from = fromFolder ? JoinContained(*fromFolder, entry.name) : std::nullopt;
                const auto to = project_.DataFilePath(c.folder, entry.name);
                if (!from || !to || CopyFileSafely(*from, *to, true) != CopyResult::Copied)
                    continue;
                AppendFileListEntry(entry.folder, entry.name);
                WriteProjectKey(FolderSection(c.folder), entry.name, "false");
                files_.Load(c.kind, *to, entry.name, false, loaders_);
            }
        }
    }
    // 6.
    for (const DataFolder f : {DataFolder::Borders, DataFolder::PlannedLines, DataFolder::Matrices})
        PostTreeRefresh(static_cast<int>(f), static_cast<int>(f));
    sink_.Post(platform::MessageTarget::MainFrame, WM_REFRESH_VIEWS, kRefreshChart, 0);
    ShowBilingualMessage("新建工程成功！", "Create the project successfully!", platform::kBoxInformation);
    return true;
}

bool ProjectSession::ApplyWizardSettings(const NewProjectAnswers& answers) {
    // 1. Coordinate system.
    geo_ = answers.geo;
    coordinates_.Load(geo_);
    // 2. Device.
    device_ = answers.device;
    AcquisitionEngine& engine = pipeline_.Engine();
    PushDeviceOffsets(device_, engine.head1, engine.head2, engine.track, device_.DualHeadOn());
    // 3. Alarms.
    alarm_ = answers.alarm;
    // 4. Sound velocity; a chosen profile is copied into the project under its own name.
    Sound().SetSource(answers.soundSource);
    if (answers.soundSource == SoundVelocitySource::ProfileFile) {
        const std::string profileName = answers.profileFile.filename().string();
        if (const auto to = JoinContained(project_.projectFolder, profileName))
            CopyFileSafely(answers.profileFile, *to, true);
        Sound().SetProfileFileName(profileName);
    } else if (answers.soundSource == SoundVelocitySource::AverageVelocity) {
        Sound().SetAverageVelocity(answers.averageVelocity);
    }
    ApplySoundVelocity();
    SetSoundVelocityStatus(SoundStatusContext::NewProject);
    // 5.
    const fs::path settings = *project_.SettingsPath();
    std::error_code ec;
    if (!fs::exists(settings, ec)) {
        ShowErrorWith("%s文件路径错误,无法将坐标系统信息写入文件！",
                      "%s file path error, can not to write coordinate system information!",
                      settings.string());
        return false;
    }
    // 6.
    for (const std::string_view section : kSettingsSectionOrder) WriteProjectSettings(section, settings);
    sink_.Post(platform::MessageTarget::DataPane, WM_DATA_UPDATE, kDataProjectOpened, 0);
    ShowBilingualMessage("新建工程成功！", "Create the project successfully!", platform::kBoxInformation);
    return true;
}

}  // namespace marivane
