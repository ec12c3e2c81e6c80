#pragma once
// What the line and the border editor share: the current file, the modified flag, the input mode,
// the pick mode flag, the save question before New, Open and Exit, Save and Save As, and the
// registration of every saved file in the open project.

#include <filesystem>
#include <optional>
#include <string>

#include "marivane/lines/EditorPorts.h"
#include "marivane/lines/PointText.h"

namespace marivane {

// Puts a saved file into the open project: when it already lies in the project's folder of its kind
// its name is listed; otherwise it is copied there (after "The file already exists.\nDo you want to
// replace it?" when a file of that name is there; No leaves the project as it was) and listed. Then
// its key is set to "true" and the project's copy is loaded, shown. Nothing happens without an open
// project. False when the file was not registered.
bool RegisterSavedFile(EditedFileKind kind, const std::filesystem::path& saved, const EditorContext& context);

struct PointRow {
    int number = 0;  // 1-based
    PointTexts texts;
};

class FileEditorBase {
  public:
    virtual ~FileEditorBase() = default;
    FileEditorBase(const FileEditorBase&) = delete;
    FileEditorBase& operator=(const FileEditorBase&) = delete;

    // The file being edited; empty for a new list. The window title shows it.
    const std::filesystem::path& Path() const { return path_; }
    bool Modified() const { return modified_; }
    InputMode Mode() const { return mode_; }
    // The chart's pick mode: left clicks add points (PickPoint of the editor).
    bool Picking() const { return picking_; }

    // Save: Save As without a file, otherwise write the file; then register it in the project. True
    // when the working copy was written.
    bool Save();
    // Save As: the save dialog, then write the chosen file; the editor's file becomes the chosen one
    // only once it is written. True when written.
    bool SaveAs();

    // The note of the input mode for the status bar.
    virtual Bilingual Note() const = 0;

  protected:
    FileEditorBase(EditorContext context, EditedFileKind kind);

    // The save question of New, Open and Exit. True to go on: nothing to save, the changes were
    // saved, or the user chose No. False to stay as the editor is: Cancel, a cancelled save dialog
    // or a failed write, so that no unsaved change is thrown away against the user's answer.
    bool ResolveUnsavedChanges();

    // Open's file dialog after the save question; nothing when cancelled or when the current file
    // was chosen again.
    std::optional<std::filesystem::path> ChooseFileToOpen();

    // Writes the working copy; clears the modified flag as the format's writer does.
    virtual bool WriteWorkingCopy(const std::filesystem::path& path) = 0;

    void RefreshChart() const;
    void Message(const char* chinese, const char* english) const;

    EditorContext context_;
    EditedFileKind kind_;
    std::filesystem::path path_;
    bool modified_ = false;
    InputMode mode_ = InputMode::PlanXY;
    bool picking_ = false;

  private:
    FileDialogRequest DialogRequest(bool save) const;
    bool WriteAndRegister(const std::filesystem::path& path);
};

}  // namespace marivane
