#pragma once
// The questions the project flows put to the user: yes/no and OK/cancel questions, file choices, the
// project options dialog and the new-project wizard. The desktop program answers them with dialogs;
// tests and command-line tools answer them from a script. Plain messages, which need no answer, go
// through platform::ShowBilingualMessage instead.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "marivane/shell/AlarmSettings.h"
#include "marivane/shell/DeviceSettings.h"
#include "platform/Message.h"

namespace marivane {

// A file-open dialog.
struct FileChoice {
    std::string chineseTitle;  // empty: the system's default title
    std::string englishTitle;
    std::string filter;  // "Project File(*.ngn)|*.ngn||"
    std::string defaultExtension;
    std::filesystem::path initialFolder;
    bool multiple = false;  // several files may be chosen
};

// The buttons of the project options dialog shown when start-up finds no project.
enum class ProjectOption { NewProject, OpenProject, Cancel };

// What the new-project wizard starts with.
struct NewProjectWizardStart {
    std::string name;                // the local time as "%Y%m%d_%H%M%S"
    std::filesystem::path location;  // the folder that holds the last project, or the program folder
    geodesy::ParaOfGeo geo;          // copy of the current coordinate system
    AlarmSettings alarm;             // copy of the current alarm record
    DeviceSettings device;           // the current device record (installation page)
};

// The wizard's answers when it ends with Finish.
struct NewProjectAnswers {
    std::string name;      // project name as typed
    std::string location;  // folder that will hold the project folder, as typed

    // Copy-from-project: settings, colours and (optionally) borders, planned lines and matrices are
    // taken from the template project; the pages below are then not used.
    bool copyProject = false;
    std::filesystem::path templateProject;  // its .ngn
    bool copyBorders = false;
    bool copyPlannedLines = false;
    bool copyMatrices = false;

    // The pages of the settings branch.
    geodesy::ParaOfGeo geo;
    DeviceSettings device;  // model index, dual-head flag and installation offsets
    AlarmSettings alarm;
    SoundVelocitySource soundSource = SoundVelocitySource::Sonar;
    double averageVelocity = kDefaultSoundVelocity;
    std::filesystem::path profileFile;  // the chosen profile, for source 0
};

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;

    // A question with its Chinese and English text; boxType is platform::kBoxConfirm (Yes/No) or
    // platform::kBoxDestructiveConfirm (OK/Cancel). Returns the button pressed.
    virtual platform::MessageAnswer Ask(std::string_view chinese, std::string_view english,
                                        unsigned boxType) = 0;

    // A file-open dialog; empty when cancelled. At most one path unless choice.multiple.
    virtual std::vector<std::filesystem::path> ChooseFiles(const FileChoice& choice) = 0;

    // The project options dialog ("new project", "open project", "cancel").
    virtual ProjectOption ChooseProjectOption() = 0;

    // The new-project wizard; nothing unless it ends with Finish.
    virtual std::optional<NewProjectAnswers> RunNewProjectWizard(const NewProjectWizardStart& start) = 0;
};

}  // namespace marivane
