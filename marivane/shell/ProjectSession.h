#pragma once
// The program-wide project: the project state, the loaded data files, the settings records, the
// survey state, and every flow of the main window that reads, creates or records into a project
// (start-up load, open project, new project, start and stop of survey and recording). The user
// interface calls these flows and draws their results; the command-line tools and the tests call them
// directly. Everything here runs on the user-interface thread; the acquisition threads only meet it
// through the raw and track recorders and the engine's queues.
//
// Messages go through platform::ShowBilingualMessage, questions through UserPrompts, and window
// messages through the message sink.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/shell/AlarmSettings.h"
#include "marivane/shell/DeviceSettings.h"
#include "marivane/shell/DisplaySettings.h"
#include "marivane/shell/LoadedFiles.h"
#include "marivane/shell/LockedGrid.h"
#include "marivane/shell/ProjectState.h"
#include "marivane/shell/Prompts.h"
#include "marivane/shell/SettingsSections.h"
#include "marivane/shell/SurveyCommands.h"
#include "marivane/shell/ViewColors.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"

namespace geodesy {
class CCoordinateCal;
}

namespace marivane {

// Which flow shows the sound velocity source in status pane 1 (the texts differ slightly).
enum class SoundStatusContext { Opened, NewProject, CopiedProject };

// The text of status pane 1 for a sound velocity source.
std::string SoundVelocityStatusText(SoundVelocitySource source, std::string_view profileName,
                                    double averageVelocity, SoundStatusContext context, bool english);

// "%Y%m%d_%H%M%S" of a local time: the names of recordings and the default project name.
std::string TimeStampName(const platform::LocalDateTime& t);

// What LoadProject could not find in section FileOfProject.
struct LoadReport {
    bool projectFileRead = false;
    std::vector<std::string> missingKeys;  // missing, empty, or leading out of the project folder

    bool Missing(std::string_view key) const;
    // The project can be surveyed and recorded: its settings, list, track and raw data folders are known.
    bool Recordable() const;
};

// The files of the last recording started.
struct RecordingFiles {
    std::filesystem::path raw;    // empty when no raw file opened
    std::filesystem::path track;  // empty when no track file opened
};

// What the session works with; nothing here is owned, and all of it outlives the session.
struct SessionEnvironment {
    std::filesystem::path programFolder;   // Marivane.ini lives here
    AcquisitionPipeline& pipeline;         // engine, sound velocity, recorders, link
    geodesy::CCoordinateCal& coordinates;  // the program's coordinate calculator (the pipeline's)
    platform::MessageSink& sink;
    const platform::Clock& clock;
    UserPrompts& prompts;
};

class ProjectSession {
  public:
    explicit ProjectSession(const SessionEnvironment& environment);
    ~ProjectSession();
    ProjectSession(const ProjectSession&) = delete;
    ProjectSession& operator=(const ProjectSession&) = delete;

    // ---- State -----------------------------------------------------------------------------------

    ProjectState& Project() { return project_; }
    const ProjectState& Project() const { return project_; }
    LoadedFiles& Files() { return files_; }
    const LoadedFiles& Files() const { return files_; }
    FileLoaders& Loaders() { return loaders_; }
    SettingsSections& Sections() { return sections_; }
    DeviceSettings& Device() { return device_; }
    AlarmSettings& Alarm() { return alarm_; }
    DisplaySettings& Display() { return display_; }
    ViewColors& ViewColours() { return viewColours_; }
    geodesy::ParaOfGeo& Geo() { return geo_; }
    SoundVelocity& Sound() { return pipeline_.Sound(); }
    AcquisitionPipeline& Pipeline() { return pipeline_; }
    UserPrompts& Prompts() { return prompts_; }
    platform::MessageSink& Sink() { return sink_; }
    const std::filesystem::path& ProgramFolder() const { return programFolder_; }

    SurveyState State() const { return pipeline_.Engine().surveyState.Copy(); }
    bool Enabled(ShellCommand command) const { return CommandEnabled(command, State()); }

    const std::string& WindowTitle() const { return title_; }
    const std::string& SoundVelocityStatus() const { return soundStatus_; }
    const LoadReport& LastLoad() const { return lastLoad_; }
    const RecordingFiles& LastRecording() const { return lastRecording_; }

    // The locked grid's file handling; nullptr restores the built-in file holder.
    void SetGridUpdater(GridUpdater* updater);
    GridUpdater& Grid() { return *grid_; }
    // Called when a project's data is released, for the lists other parts keep (the chart's track).
    void SetReleaseHook(std::function<void()> hook) { releaseHook_ = std::move(hook); }

    // ---- Project files ---------------------------------------------------------------------------

    // Reads the project file's parts in their order and hands each to its owner (the project file and
    // folder must already be set). One message per missing key; loading goes on after each.
    LoadReport LoadProject(const std::filesystem::path& projectFile);
    // One section through its registered hooks; any other name does nothing.
    bool ReadProjectSettings(std::string_view section, const std::filesystem::path& file);
    bool WriteProjectSettings(std::string_view section, const std::filesystem::path& file);
    // Loads every listed data file; files that are missing (or whose listed names would lead out of
    // the project folder) lose their key and their line, with one message each.
    void ReadFileLists(const std::filesystem::path& listFile);
    // The file list operations on the current project's list; false without a list.
    bool AddFileListEntry(std::string_view folder, std::string_view name);
    bool AppendFileListEntry(std::string_view folder, std::string_view name);
    bool RemoveFileListEntry(std::string_view name);
    // A key of the current project file; false (nothing written) while no project file is set.
    bool WriteProjectKey(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteProjectKey(std::string_view section, std::string_view key);
    // PosMatrixFileLocked from the locked matrix index.
    bool WriteLockedMatrix();
    // Status pane 1 from the sound velocity source.
    void SetSoundVelocityStatus(SoundStatusContext context = SoundStatusContext::Opened);
    // The sound velocity source of the settings handed to the positioning objects; a profile file
    // name that would lead out of the project folder is not read.
    void ApplySoundVelocity();

    // ---- Flows -----------------------------------------------------------------------------------

    // On WM_LOAD_LAST_PROJECT: the project named in Marivane.ini, or the project options.
    void StartupLoad();
    // Command 32864. True when another project was opened.
    bool OpenProject();
    // Command 32863. True when the new project was created and set up.
    bool NewProject();
    // Empties every loaded list and the pending track points; nothing locked.
    void ReleaseProjectData();
    // The folder the new-project page proposes: the one holding the last project folder when it
    // exists, else the program folder.
    std::filesystem::path DefaultProjectLocation() const;

    // ---- Survey and recording --------------------------------------------------------------------

    bool StartSurvey();     // idle -> surveying: the link's threads start
    bool StopSurvey();      // surveying -> idle: the link's threads end
    bool StartRecording();  // surveying -> recording; true when a raw data file is recording
    // Recording -> surveying; every recording file flushed and closed. In automatic line switching
    // (ShiftLineMode 1) the chart view is told to switch to the next line.
    bool StopRecording();
    // Close request: refused with a message while surveying or recording.
    bool RequestClose();
    // Whole GiB free for writing on the project folder's volume; -1 without a project or when the
    // query fails.
    int FreeDiskGiB() const;
    // Where the positioned pings go: the locked grid while it is open for update, else nullptr.
    PositionedPingConsumer* SoundingConsumer();
    // While recording: the entry is the open raw data file, the open track file or the locked grid.
    bool IsRecordingFile(FileKind kind, std::size_t index) const;
    // While recording: the path is the open raw data file, the open track file or the locked grid's.
    bool IsRecordingPath(const std::filesystem::path& path) const;

  private:
    void RegisterBuiltInSections();
    void ShowNoProject();
    void SetNoProjectTitle();
    bool OpenChosenProject(const std::filesystem::path& chosen);
    bool WriteLastProject(bool create);
    void PostTreeRefresh(int first, int last);
    // New project pieces (NewProject.cpp).
    bool CreateProjectLayout(const std::string& name);
    void LeaveWithoutProject(bool clearProgramIni);
    bool CopySettingsFromTemplate(const NewProjectAnswers& answers);
    bool ApplyWizardSettings(const NewProjectAnswers& answers);

    std::filesystem::path programFolder_;
    AcquisitionPipeline& pipeline_;
    geodesy::CCoordinateCal& coordinates_;
    platform::MessageSink& sink_;
    const platform::Clock& clock_;
    UserPrompts& prompts_;

    ProjectState project_;
    LoadedFiles files_;
    FileLoaders loaders_;
    SettingsSections sections_;
    DeviceSettings device_;
    AlarmSettings alarm_;
    DisplaySettings display_;
    ViewColors viewColours_;
    geodesy::ParaOfGeo geo_;
    MatrixFileHolder fileHolder_;
    GridUpdater* grid_ = &fileHolder_;
    std::function<void()> releaseHook_;
    std::string title_;
    std::string soundStatus_;
    LoadReport lastLoad_;
    RecordingFiles lastRecording_;
};

// Checks the new-project page shows when it is left (Next, or Finish in copy mode): name and
// location given, the location an existing folder, and in copy mode a template. Shows the message of
// the first failure and returns false.
bool CheckNewProjectPage(const NewProjectAnswers& page);

}  // namespace marivane
