#pragma once
// What the line and border editors need from the rest of the program, as small interfaces: the
// user's answers and file choices (EditorPrompt), the open project (ProjectFileRegistrar), the
// coordinate calculator and the posting of redraw messages.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Message.h"
#include "platform/MessageSink.h"

namespace geodesy {
class CCoordinateCal;
}

namespace marivane {

// Which kind of file an editor saves: planned line files (.lnw, project folder "Planned Line
// Files\", section SurLineFolder, tree folder 2) or border files (.brd, "Border Files\",
// BorderLineFolder, tree folder 1).
enum class EditedFileKind { PlannedLines, Borders };

// A save question with the buttons Yes, No and Cancel and the question icon.
inline constexpr unsigned kBoxSaveQuestion = 0x03 | platform::kBoxIconQuestion;

struct Bilingual {
    std::string chinese;
    std::string english;
    friend bool operator==(const Bilingual&, const Bilingual&) = default;
};

struct FileDialogRequest {
    bool save = false;
    Bilingual title;
    std::string filter;                   // "Surveyline File(*.lnw)|*.lnw||"
    std::string defaultName;              // save dialogs only
    std::string defaultExtension;         // ".lnw"
    std::filesystem::path initialFolder;  // empty: the dialog's own choice
};

// Questions to the user. The desktop program shows message boxes and file dialogs; tests answer
// from a script.
class EditorPrompt {
  public:
    virtual ~EditorPrompt() = default;
    // A question with the buttons and icon of `boxType` (kBoxSaveQuestion, platform::kBoxConfirm,
    // platform::kBoxDestructiveConfirm); the button pressed.
    virtual platform::MessageAnswer Ask(std::string_view chinese, std::string_view english,
                                        unsigned boxType) = 0;
    // An open or save dialog; the chosen file, or nothing when cancelled.
    virtual std::optional<std::filesystem::path> ChooseFile(const FileDialogRequest& request) = 0;
};

// The open project as the editors see it when they register a saved file. Implemented by the
// project core; every call happens on the user-interface thread.
class ProjectFileRegistrar {
  public:
    virtual ~ProjectFileRegistrar() = default;
    // Project folder + the folder name of this kind ("…/Planned Line Files/"), or nothing while no
    // project is open.
    virtual std::optional<std::filesystem::path> DataFolder(EditedFileKind kind) const = 0;
    // Adds "<folder name>=<file name>" to the project's file list unless a line with that file name
    // is there already.
    virtual void AddToFileList(EditedFileKind kind, const std::string& fileName) = 0;
    // Writes <file name>=true into the kind's section of the project file.
    virtual void MarkShown(EditedFileKind kind, const std::string& fileName) = 0;
    // Loads the file, shown, into the program's loaded list of its kind with the display reader
    // (LoadLineFileForDisplay / LoadBorderFileForDisplay) and rebuilds the kind's branch of the
    // project tree (WM_REFRESH_PROJECT_TREE 2 or 1).
    virtual void LoadShown(EditedFileKind kind, const std::filesystem::path& file) = 0;
};

// Everything an editor model is given; the referenced objects outlive the model.
struct EditorContext {
    const geodesy::CCoordinateCal& coordinates;
    EditorPrompt& prompt;
    ProjectFileRegistrar* registrar = nullptr;  // nullptr: saved files are not registered anywhere
    platform::MessageSink* sink = nullptr;      // receives WM_REFRESH_VIEWS (0, 0) after chart changes
};

}  // namespace marivane
