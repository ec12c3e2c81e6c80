#include "marivane/shell/ProjectSession.h"

#include <cstdio>
#include <system_error>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/FileList.h"
#include "marivane/shell/ProjectPaths.h"
#include "platform/Message.h"
#include "platform/NumberText.h"
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

bool English() {
    return platform::MessageLanguageEnglish();
}

// A stored value that is present and not empty.
std::optional<std::string> NonEmpty(const std::optional<platform::ProfileText>& profile,
                                    std::string_view section, std::string_view key) {
    if (!profile)
        return std::nullopt;
    auto value = profile->Value(section, key, platform::kProfileBufferSize);
    if (!value || value->empty())
        return std::nullopt;
    return value;
}

constexpr std::string_view kSettingsSectionOrder[] = {geodesy::kParaOfGeoSection, kDeviceModelSection,
                                                      kDeviceLocationSection, kAlarmSection,
                                                      kSoundVelocitySection};

}  // namespace

std::string SoundVelocityStatusText(SoundVelocitySource source, std::string_view profileName,
                                    double averageVelocity, SoundStatusContext context, bool english) {
    switch (source) {
        case SoundVelocitySource::ProfileFile:
            if (english)
                return std::string(context == SoundStatusContext::Opened ? "SVP File:" : "SVP File: ") +
                       std::string(profileName);
            return "当前声剖文件：" + std::string(profileName);
        case SoundVelocitySource::AverageVelocity:
            return english ? platform::FormatDouble("Sound Velocity: %.2f m/s", averageVelocity)
                           : platform::FormatDouble("当前使用默认声速：%.2f米/秒", averageVelocity);
        case SoundVelocitySource::Sonar:
        default:
            break;
    }
    if (english)
        return "Sound Velocity: From Sonar";
    return context == SoundStatusContext::CopiedProject ? "声速源：声纳表面声速" : "声速源：声纳声速";
}

std::string TimeStampName(const platform::LocalDateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

bool LoadReport::Missing(std::string_view key) const {
    for (const auto& k : missingKeys) {
        if (k == key)
            return true;
    }
    return false;
}

bool LoadReport::Recordable() const {
    return projectFileRead && !Missing(kTrackFolderKey) && !Missing(kMultibeamFolderKey) &&
           !Missing(kFileListKey) && !Missing(kSettingsFileKey);
}

ProjectSession::ProjectSession(const SessionEnvironment& environment)
    : programFolder_(environment.programFolder),
      pipeline_(environment.pipeline),
      coordinates_(environment.coordinates),
      sink_(environment.sink),
      clock_(environment.clock),
      prompts_(environment.prompts),
      geo_(environment.coordinates.Parameters()) {
    RegisterBuiltInSections();
}

ProjectSession::~ProjectSession() {
    // The recorders belong to the pipeline; the locked grid's file is ours to close.
    fileHolder_.Close();
}

void ProjectSession::RegisterBuiltInSections() {
    sections_.Register(geodesy::kParaOfGeoSection,
                       {[this](const fs::path& file) {
                            if (!geodesy::ReadParaOfGeo(geo_, file))
                                return false;
                            coordinates_.Load(geo_);
                            return true;
                        },
                        [this](const fs::path& file) { return geodesy::WriteParaOfGeo(geo_, file); }});
    sections_.Register(kDeviceModelSection,
                       {[this](const fs::path& file) { return ReadDeviceModel(device_, file); },
                        [this](const fs::path& file) { return WriteDeviceModel(device_, file); }});
    sections_.Register(kDeviceLocationSection,
                       {[this](const fs::path& file) {
                            if (!ReadDeviceLocation(device_, file))
                                return false;
                            AcquisitionEngine& engine = pipeline_.Engine();
                            PushDeviceOffsets(device_, engine.head1, engine.head2, engine.track, true);
                            return true;
                        },
                        [this](const fs::path& file) { return WriteDeviceLocation(device_, file); }});
    sections_.Register(kAlarmSection,
                       {[this](const fs::path& file) { return ReadAlarmSettings(alarm_, file); },
                        [this](const fs::path& file) { return WriteAlarmSettings(alarm_, file); }});
    sections_.Register(kDisplaySection,
                       {[this](const fs::path& file) {
                            if (!ReadDisplaySettings(display_, file, sink_))
                                return false;
                            ApplyDisplaySettings(display_, pipeline_.Engine());
                            return true;
                        },
                        [this](const fs::path& file) { return WriteDisplaySettings(display_, file); }});
    sections_.Register(kViewColorSection,
                       {[this](const fs::path& file) { return ReadViewColors(viewColours_, file); },
                        [this](const fs::path& file) { return WriteViewColors(viewColours_, file); }});
    sections_.Register(kSoundVelocitySection,
                       {[this](const fs::path& file) { return Sound().ReadSettings(file); },
                        [this](const fs::path& file) { return Sound().WriteSettings(file); }});
}

void ProjectSession::SetGridUpdater(GridUpdater* updater) {
    grid_->Close();
    grid_ = updater != nullptr ? updater : &fileHolder_;
}

// ---- Project files -------------------------------------------------------------------------------

bool ProjectSession::ReadProjectSettings(std::string_view section, const fs::path& file) {
    return sections_.Read(section, file);
}

bool ProjectSession::WriteProjectSettings(std::string_view section, const fs::path& file) {
    return sections_.Write(section, file);
}

bool ProjectSession::WriteProjectKey(std::string_view section, std::string_view key, std::string_view value) {
    if (!project_.IsOpen())
        return false;
    return platform::WriteProfileString(project_.projectFile, section, key, value);
}

bool ProjectSession::DeleteProjectKey(std::string_view section, std::string_view key) {
    if (!project_.IsOpen())
        return false;
    return platform::DeleteProfileKey(project_.projectFile, section, key);
}

bool ProjectSession::WriteLockedMatrix() {
    return WriteProjectKey(FolderSection(DataFolder::Matrices), kLockedMatrixKey,
                           std::to_string(files_.LockedMatrix()));
}

bool ProjectSession::AddFileListEntry(std::string_view folder, std::string_view name) {
    const auto list = project_.FileListPath();
    return project_.IsOpen() && list && marivane::AddFileListEntry(*list, folder, name);
}

bool ProjectSession::AppendFileListEntry(std::string_view folder, std::string_view name) {
    const auto list = project_.FileListPath();
    return project_.IsOpen() && list && marivane::AppendFileListEntry(*list, folder, name);
}

bool ProjectSession::RemoveFileListEntry(std::string_view name) {
    const auto list = project_.FileListPath();
    return project_.IsOpen() && list && marivane::RemoveFileListEntry(*list, name);
}

void ProjectSession::SetSoundVelocityStatus(SoundStatusContext context) {
    soundStatus_ = SoundVelocityStatusText(Sound().Source(), Sound().ProfileFileName(),
                                           Sound().AverageVelocity(), context, English());
}

void ProjectSession::ApplySoundVelocity() {
    if (Sound().Source() != SoundVelocitySource::ProfileFile) {
        Sound().ApplySoundVelocity(project_.projectFolder);
        return;
    }
    const auto path = JoinContained(project_.projectFolder, Sound().ProfileFileName());
    if (!path) {
        // Never read: shown as the file that could not be opened.
        const std::string shown = FolderText(project_.projectFolder) + Sound().ProfileFileName();
        ShowError(shown + " : 文件打开失败", shown + ": File open failed!");
        return;
    }
    Sound().LoadSvpFile(*path);
}

LoadReport ProjectSession::LoadProject(const fs::path& projectFile) {
    LoadReport report;
    const auto profile = platform::ProfileText::Load(projectFile);
    report.projectFileRead = profile.has_value();
    const auto missing = [&](std::string_view key, std::string_view chinese, std::string_view english) {
        report.missingKeys.emplace_back(key);
        ShowError(chinese, english);
    };
    // A stored name that is present, not empty, and stays inside the project folder.
    const auto name = [&](std::string_view key) -> std::optional<std::string> {
        auto value = NonEmpty(profile, kFileOfProjectSection, key);
        if (value && !SplitContainedName(*value))
            return std::nullopt;
        return value;
    };

    // A name that is missing now names nothing (rather than a file of the previous project).
    for (const DataFolder folder : kDataFolders) project_.SetFolderName(folder, {});
    project_.settingsFile.clear();
    project_.colourFile.clear();
    project_.fileList.clear();

    // 1. The six folder names.
    struct FolderMessage {
        DataFolder folder;
        std::string_view chinese;
        std::string_view english;
    };
    constexpr FolderMessage kFolders[] = {
        {DataFolder::PlannedLines, "获取计划测线文件夹路径失败", "Failed to get planned line folder path"},
        {DataFolder::Borders, "获取边界线文件夹路径失败", "Failed to get border folder path"},
        {DataFolder::Tracks, "获取测量数据文件夹路径失败", "Failed to get track line folder path"},
        {DataFolder::Background, "获取工程底图文件夹路径失败", "Failed to get background folder path"},
        {DataFolder::Matrices, "获取矩阵文件夹路径失败", "Failed to get matrix folder path"},
        {DataFolder::Multibeam, "获取多波束数据文件夹路径失败", "Failed to get multibeam data folder path"},
    };
    for (const FolderMessage& f : kFolders) {
        if (auto value = name(FolderKey(f.folder)))
            project_.SetFolderName(f.folder, std::move(*value));
        else
            missing(FolderKey(f.folder), f.chinese, f.english);
    }

    // 2. The depth colour table.
    if (auto value = name(kColourFileKey)) {
        project_.colourFile = std::move(*value);
        if (loaders_.colourTable)
            loaders_.colourTable(*project_.ColourPath());
    } else {
        missing(kColourFileKey, "获取颜色文件路径失败", "Failed to get color file path");
    }

    // 3. The data files.
    if (auto value = name(kFileListKey)) {
        project_.fileList = std::move(*value);
        ReadFileLists(*project_.FileListPath());
    } else {
        missing(kFileListKey, "获取文件列表文件路径失败", "Failed to get file list file path");
    }

    // 4. The settings file and the sound velocity.
    if (auto value = name(kSettingsFileKey)) {
        project_.settingsFile = std::move(*value);
        const fs::path settings = *project_.SettingsPath();
        for (const std::string_view section : kSettingsSectionOrder) ReadProjectSettings(section, settings);
        ApplySoundVelocity();
        SetSoundVelocityStatus(SoundStatusContext::Opened);
    } else {
        missing(kSettingsFileKey, "获取设备参数文件路径失败", "Failed to get the device parameter file path");
    }

    // 5. Display settings (their reader tells the data pane and the chart view).
    ReadProjectSettings(kDisplaySection, projectFile);

    // 6. The locked matrix, read after the list (which may have removed keys of the project file).
    if (const auto value =
            platform::ReadProfileValue(projectFile, FolderSection(DataFolder::Matrices), kLockedMatrixKey);
        value && !value->empty()) {
        files_.SetLockedMatrix(platform::LeadingInt(*value));
    }

    // 7. View colours, then the chart repaints.
    ReadProjectSettings(kViewColorSection, projectFile);
    sink_.Post(platform::MessageTarget::MainFrame, WM_REFRESH_VIEWS, kRefreshChart, 0);

    lastLoad_ = report;
    return report;
}

void ProjectSession::ReadFileLists(const fs::path& listFile) {
    const auto text = ReadFileListText(listFile);
    if (!text) {
        ShowErrorWith("读取\"%s\"文件失败", "Failed to read the file \"%s\"", listFile.string());
        return;
    }
    std::optional<platform::ProfileText> keys =
        project_.IsOpen() ? platform::ProfileText::Load(project_.projectFile) : std::nullopt;
    std::vector<std::string> gone;
    for (const FileListEntry& entry : ParseFileList(*text)) {
        const auto folder = project_.FolderNamed(entry.folder);
        if (!folder)
            continue;
        const std::string_view section = FolderSection(*folder);
        const auto path = project_.DataFilePath(*folder, entry.name);
        std::error_code ec;
        if (!path || !fs::is_regular_file(*path, ec)) {
            // Missing, or a name that would lead out of the project folder: never read, forgotten.
            gone.push_back(entry.name);
            if (path && !section.empty()) {
                DeleteProjectKey(section, entry.name);
                if (keys)
                    keys->RemoveKey(section, entry.name);
            }
            const std::string shown = project_.ShownDataPath(*folder, entry.name);
            ShowBilingualMessage(FormatMessageText("%s文件已被破坏或文件不存在！", shown),
                                 FormatMessageText("%s\n The file has been destroyed or not exist!", shown),
                                 platform::kBoxError);
            continue;
        }
        if (*folder == DataFolder::Multibeam) {
            files_.Load(FileKind::Multibeam, *path, entry.name, false, loaders_);
            continue;
        }
        const auto value = keys ? keys->Value(section, entry.name) : std::nullopt;
        if (!value)
            continue;  // listed but not part of the folder's section: skipped
        FileKind kind = FileKind::Borders;
        switch (*folder) {
            case DataFolder::Borders:
                kind = FileKind::Borders;
                break;
            case DataFolder::PlannedLines:
                kind = FileKind::PlannedLines;
                break;
            case DataFolder::Tracks:
                kind = FileKind::Tracks;
                break;
            case DataFolder::Matrices:
                kind = FileKind::Matrices;
                break;
            case DataFolder::Background: {
                const auto background = BackgroundKindOf(*path);
                if (!background)
                    continue;
                kind = *background;
                break;
            }
            case DataFolder::Multibeam:
                break;
        }
        files_.Load(kind, *path, entry.name, *value == "true", loaders_);
    }
    for (const std::string& name : gone) marivane::RemoveFileListEntry(listFile, name);
}

// ---- Flows ---------------------------------------------------------------------------------------

void ProjectSession::SetNoProjectTitle() {
    title_ = English() ? "Marivane_No Project" : "Marivane_无工程";
}

void ProjectSession::ShowNoProject() {
    project_.Clear();
    SetNoProjectTitle();
    pipeline_.Engine().surveyState.Set(SurveyState::NoProject());
}

void ProjectSession::PostTreeRefresh(int first, int last) {
    for (int i = first; i <= last; ++i)
        sink_.Post(platform::MessageTarget::ProjectPane, WM_REFRESH_PROJECT_TREE,
                   static_cast<std::uintptr_t>(i), 0);
}

bool ProjectSession::WriteLastProject(bool create) {
    const fs::path ini = ProgramIniPath(programFolder_);
    if (create) {
        std::FILE* f = std::fopen(ini.c_str(), "wb");
        if (f == nullptr)
            return false;
        std::fclose(f);
    }
    const std::string file = project_.projectFile.string();
    const std::string folder =
        project_.projectFolder.empty() ? std::string() : FolderText(project_.projectFolder);
    const bool a = platform::WriteProfileString(ini, kPreProjectSection, kLastProjectFileKey, file);
    const bool b = platform::WriteProfileString(ini, kPreProjectSection, kLastProjectFolderKey, folder);
    return a && b;
}

void ProjectSession::StartupLoad() {
    const fs::path ini = ProgramIniPath(programFolder_);
    std::error_code ec;
    if (!fs::exists(ini, ec)) {
        ShowNoProject();
        return;
    }
    // The project folder is the one that holds the project file, whatever PathName says.
    if (const auto file = platform::ReadProfileValue(ini, kPreProjectSection, kLastProjectFileKey);
        file && !file->empty()) {
        project_.projectFile = programFolder_ / fs::path(*file);
    }
    if (project_.IsOpen() && fs::is_regular_file(project_.projectFile, ec)) {
        project_.projectFolder = project_.projectFile.parent_path();
        pipeline_.Engine().surveyState.Set(SurveyState::Idle());
        LoadProject(project_.projectFile);
        title_ = "Marivane_" + project_.projectFile.string();
        sink_.Post(platform::MessageTarget::DataPane, WM_DATA_UPDATE, kDataProjectOpened, 0);
        PostTreeRefresh(0, 6);
        return;
    }
    ShowNoProject();
    WriteLastProject(false);
    switch (prompts_.ChooseProjectOption()) {
        case ProjectOption::NewProject:
            NewProject();
            break;
        case ProjectOption::OpenProject:
            OpenProject();
            break;
        case ProjectOption::Cancel:
            break;
    }
}

bool ProjectSession::OpenProject() {
    if (!ProjectReplaceable(State())) {
        ShowError("当前正在测量或者正在记录，不能打开其他工程！",
                  "Can not open project, while recording or surveying!");
        return false;
    }
    FileChoice choice;
    choice.chineseTitle = "打开工程";
    choice.englishTitle = "Open project";
    choice.filter = "Project File(*.ngn)|*.ngn||";
    choice.defaultExtension = "ngn";
    choice.initialFolder = project_.IsOpen() ? project_.projectFolder.parent_path() : programFolder_;
    const auto chosen = prompts_.ChooseFiles(choice);
    if (chosen.empty())
        return false;
    if (project_.IsOpen() &&
        prompts_.Ask("确定离开当前工程，打开新工程？", "Be sure to open the new project?",
                     platform::kBoxConfirm) != platform::MessageAnswer::Yes) {
        return false;
    }
    return OpenChosenProject(chosen.front());
}

bool ProjectSession::OpenChosenProject(const fs::path& chosenPath) {
    std::error_code ec;
    const fs::path chosen = fs::absolute(chosenPath, ec).lexically_normal();
    if (project_.IsOpen() && (chosen == project_.projectFile || SameFile(chosen, project_.projectFile)))
        return false;
    if (!fs::is_regular_file(chosen, ec)) {
        ShowErrorWith("%s文件路径错误,不能在打开工程时读取工程文件信息！",
                      "%s file path error, can not read project information file!", chosen.string());
        return false;
    }
    ReleaseProjectData();
    pipeline_.Engine().surveyState.Set(SurveyState::Idle());
    project_.Clear();
    project_.projectFile = chosen;
    project_.projectFolder = chosen.parent_path();
    title_ = chosen.string();
    LoadProject(chosen);
    PostTreeRefresh(0, 6);
    const fs::path ini = ProgramIniPath(programFolder_);
    if (fs::exists(ini, ec)) {
        WriteLastProject(false);
    } else {
        ShowErrorWith("%s文件路径错误,无法打开程序初始化工程信息！",
                      "%s file path error, can not read initialization information!", ini.string());
    }
    sink_.Post(platform::MessageTarget::MainFrame, WM_REFRESH_VIEWS, kRefreshChart, 0);
    sink_.Post(platform::MessageTarget::DataPane, WM_DATA_UPDATE, kDataProjectOpened, 0);
    return true;
}

void ProjectSession::ReleaseProjectData() {
    grid_->Close();
    files_.Clear();
    pipeline_.Engine().trackList.Take();
    if (releaseHook_)
        releaseHook_();
}

fs::path ProjectSession::DefaultProjectLocation() const {
    const fs::path ini = ProgramIniPath(programFolder_);
    if (auto folder = platform::ReadProfileValue(ini, kPreProjectSection, kLastProjectFolderKey);
        folder && !folder->empty()) {
        while (!folder->empty() && (folder->back() == '\\' || folder->back() == '/')) folder->pop_back();
        const fs::path parent = fs::path(*folder).parent_path();
        std::error_code ec;
        if (!parent.empty() && fs::is_directory(parent, ec))
            return parent;
    }
    return programFolder_;
}

// ---- Survey and recording -------------------------------------------------------------------------

bool ProjectSession::StartSurvey() {
    if (!project_.IsOpen() || !Enabled(ShellCommand::StartSurvey))
        return false;
    pipeline_.Link().StartAcquisition();
    return true;
}

bool ProjectSession::StopSurvey() {
    if (!Enabled(ShellCommand::StopSurvey))
        return false;
    pipeline_.Link().StopAcquisition();
    return true;
}

bool ProjectSession::RequestClose() {
    if (ProjectReplaceable(State()))
        return true;
    ShowError("当前正在测量或者正在记录，不能关闭软件！",
              "Can not quit Marivane, while recording or surveying!");
    return false;
}

bool ProjectSession::StartRecording() {
    const SurveyState state = State();
    if (!project_.IsOpen() || state != SurveyState::Surveying())
        return false;
    AcquisitionEngine& engine = pipeline_.Engine();
    const auto rawFolder = project_.FolderPath(DataFolder::Multibeam);
    const auto trackFolder = project_.FolderPath(DataFolder::Tracks);

    // Names from the local time; a name in use already (a second start within the same second) gets
    // a suffix, so that no recording is ever appended to another.
    const std::string stamp = TimeStampName(clock_.LocalNow());
    std::string base = stamp;
    for (int n = 2; n < 1000; ++n) {
        std::error_code ec;
        const bool rawTaken = rawFolder && fs::exists(*rawFolder / (base + ".mbm"), ec);
        const bool trackTaken = trackFolder && fs::exists(*trackFolder / (base + ".tra"), ec);
        if (!rawTaken && !trackTaken)
            break;
        base = stamp + "_" + std::to_string(n);
    }
    const std::string rawName = base + ".mbm";
    const std::string trackName = base + ".tra";
    lastRecording_ = RecordingFiles{};

    engine.surveyState.Set(SurveyState::Recording());

    // The raw data file. A file that did not open properly is not recording: back to surveying.
    RawRecorder& raw = pipeline_.Raw();
    if (!raw.IsOpen()) {
        const auto failed = [&] {
            ShowError("网络数据文件创建失败！", "Failed to create Data file!");
            engine.surveyState.Set(SurveyState::Surveying());
            return false;
        };
        if (!rawFolder)
            return failed();
        const fs::path rawPath = *rawFolder / rawName;
        const RecordingOpenResult opened =
            raw.Open(rawPath, ToRawFileDevice(device_), coordinates_.Parameters());
        if (opened == RecordingOpenResult::HeaderWriteFailed) {
            raw.Close();
            std::error_code ec;
            fs::remove(rawPath, ec);
        }
        if (opened != RecordingOpenResult::Opened && opened != RecordingOpenResult::AlreadyOpen)
            return failed();
        if (opened == RecordingOpenResult::Opened) {
            lastRecording_.raw = rawPath;
            if (!AppendFileListEntry(project_.FolderName(DataFolder::Multibeam), rawName))
                ShowError("创建网络文件时打开文件列表文件写入失败", "Failed to open the list file");
            files_.Add(FileKind::Multibeam, LoadedFile{rawPath, rawName, false, nullptr});
            PostTreeRefresh(static_cast<int>(DataFolder::Multibeam), static_cast<int>(DataFolder::Multibeam));
        }
    }

    // The track file.
    TrackRecorder& track = pipeline_.Track();
    if (!track.IsOpen()) {
        const auto failed = [&] {
            ShowError("航迹线文件创建失败！", "Failed to create Track line file!");
            return true;  // the raw data file records
        };
        if (!trackFolder)
            return failed();
        const fs::path trackPath = *trackFolder / trackName;
        const RecordingOpenResult opened = track.Open(trackPath);
        if (opened == RecordingOpenResult::HeaderWriteFailed) {
            track.Close();
            std::error_code ec;
            fs::remove(trackPath, ec);
        }
        if (opened != RecordingOpenResult::Opened && opened != RecordingOpenResult::AlreadyOpen)
            return failed();
        if (opened == RecordingOpenResult::Opened) {
            lastRecording_.track = trackPath;
            if (!AppendFileListEntry(project_.FolderName(DataFolder::Tracks), trackName)) {
                ShowError("创建航迹线文件时打开文件列表文件写入失败",
                          "Failed to open the list file when creating a trackline file");
            }
            WriteProjectKey(FolderSection(DataFolder::Tracks), trackName, "false");
            files_.Add(FileKind::Tracks,
                       LoadedFile{trackPath, trackName, false, std::make_unique<TrackFileContent>()});
            PostTreeRefresh(static_cast<int>(DataFolder::Tracks), static_cast<int>(DataFolder::Tracks));
        }
    }

    // The locked depth grid.
    auto& matrices = files_.List(FileKind::Matrices);
    const int locked = files_.LockedMatrix();
    if (!matrices.empty() && !grid_->IsOpen() && locked >= 0 &&
        static_cast<std::size_t>(locked) < matrices.size()) {
        if (grid_->Open(matrices[static_cast<std::size_t>(locked)]))
            WriteLockedMatrix();
        else
            ShowError("矩阵文件打开失败！", "Failed to open the Matrix file!");
    }
    return true;
}

bool ProjectSession::StopRecording() {
    if (!Enabled(ShellCommand::StopRecording))
        return false;
    pipeline_.Engine().surveyState.Set(SurveyState::Surveying());
    pipeline_.Raw().Close();
    pipeline_.Track().Close();
    grid_->Close();
    if (display_.lineSwitchMode == 1)
        sink_.Post(platform::MessageTarget::ChartView, WM_RECORDING_STOPPED, 0, 0);
    return true;
}

int ProjectSession::FreeDiskGiB() const {
    if (!project_.IsOpen() || project_.projectFolder.empty())
        return -1;
    std::error_code ec;
    const fs::space_info space = fs::space(project_.projectFolder, ec);
    if (ec)
        return -1;
    return WholeGiB(space.available);
}

PositionedPingConsumer* ProjectSession::SoundingConsumer() {
    return grid_->IsOpen() ? grid_->Soundings() : nullptr;
}

bool ProjectSession::IsRecordingFile(FileKind kind, std::size_t index) const {
    if (!State().recording)
        return false;
    const auto& list = files_.List(kind);
    if (index >= list.size())
        return false;
    if (kind == FileKind::Matrices && static_cast<int>(index) == files_.LockedMatrix())
        return true;
    return IsRecordingPath(list[index].path);
}

bool ProjectSession::IsRecordingPath(const fs::path& path) const {
    if (!State().recording)
        return false;
    const auto same = [&](const fs::path& open) {
        return !open.empty() && (open == path || SameFile(open, path));
    };
    const auto& matrices = files_.List(FileKind::Matrices);
    const int locked = files_.LockedMatrix();
    return same(pipeline_.Raw().Path()) || same(pipeline_.Track().Path()) || same(grid_->OpenPath()) ||
           (locked >= 0 && static_cast<std::size_t>(locked) < matrices.size() &&
            same(matrices[static_cast<std::size_t>(locked)].path));
}

}  // namespace marivane
