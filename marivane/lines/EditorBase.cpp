#include "marivane/lines/EditorBase.h"

#include <system_error>

#include "marivane/acquisition/WindowMessages.h"
#include "marivane/lines/TextFile.h"
#include "marivane/lines/Texts.h"

namespace marivane {
namespace {

using lines_detail::ReplaceFirst;

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec))
        return true;
    return a.lexically_normal() == b.lexically_normal();
}

}  // namespace

bool RegisterSavedFile(EditedFileKind kind, const std::filesystem::path& saved,
                       const EditorContext& context) {
    if (context.registrar == nullptr)
        return false;
    const std::optional<std::filesystem::path> folder = context.registrar->DataFolder(kind);
    if (!folder)
        return false;
    const std::string name = saved.filename().string();
    if (name.empty())
        return false;
    const std::filesystem::path target = *folder / name;
    if (!SameFile(saved, target)) {
        std::error_code ec;
        if (std::filesystem::exists(target, ec)) {
            const char* chinese = kind == EditedFileKind::PlannedLines
                                      ? "此位置已经包含同名文件，是否替换当前文件？"
                                      : "当前工程文件夹下已有该文件，是否覆盖该文件？";
            if (context.prompt.Ask(chinese, "The file already exists.\nDo you want to replace it?",
                                   platform::kBoxConfirm) != platform::MessageAnswer::Yes)
                return false;
        }
        if (!CopyFileReplacing(saved, target)) {
            const std::string shown = target.string();
            platform::ShowBilingualMessage(
                ReplaceFirst("复制文件到\"%s\"失败，该文件未加入工程！", "%s", shown),
                ReplaceFirst("Failed to copy the file to \"%s\"; it was not added to "
                             "the project!",
                             "%s", shown),
                platform::kBoxError);
            return false;
        }
    }
    context.registrar->AddToFileList(kind, name);
    context.registrar->MarkShown(kind, name);
    context.registrar->LoadShown(kind, target);
    return true;
}

FileEditorBase::FileEditorBase(EditorContext context, EditedFileKind kind) : context_(context), kind_(kind) {}

bool FileEditorBase::Save() {
    if (path_.empty())
        return SaveAs();
    return WriteAndRegister(path_);
}

bool FileEditorBase::SaveAs() {
    const std::optional<std::filesystem::path> chosen = context_.prompt.ChooseFile(DialogRequest(true));
    if (!chosen || chosen->empty())
        return false;
    return WriteAndRegister(*chosen);
}

bool FileEditorBase::WriteAndRegister(const std::filesystem::path& path) {
    if (!WriteWorkingCopy(path))
        return false;
    path_ = path;
    RegisterSavedFile(kind_, path, context_);
    return true;
}

bool FileEditorBase::ResolveUnsavedChanges() {
    if (!modified_)
        return true;
    platform::MessageAnswer answer;
    if (path_.empty()) {
        answer = context_.prompt.Ask("是否保存修改？", "Save Changes?", kBoxSaveQuestion);
    } else {
        const std::string shown = path_.string();
        answer = context_.prompt.Ask(ReplaceFirst("是否保存对%s的修改？", "%s", shown),
                                     ReplaceFirst("Save changes to %s", "%s", shown), kBoxSaveQuestion);
    }
    switch (answer) {
        case platform::MessageAnswer::Yes:
            return Save();
        case platform::MessageAnswer::No:
            return true;
        default:
            return false;
    }
}

std::optional<std::filesystem::path> FileEditorBase::ChooseFileToOpen() {
    std::optional<std::filesystem::path> chosen = context_.prompt.ChooseFile(DialogRequest(false));
    if (!chosen || chosen->empty() || chosen->native() == path_.native())
        return std::nullopt;
    return chosen;
}

FileDialogRequest FileEditorBase::DialogRequest(bool save) const {
    FileDialogRequest request;
    request.save = save;
    if (kind_ == EditedFileKind::PlannedLines) {
        request.title = save ? Bilingual{"测线文件另存为：", "Save the Line File as:"}
                             : Bilingual{"打开测线文件", "Open the Line File"};
        request.filter = "Surveyline File(*.lnw)|*.lnw||";
        request.defaultName = save ? "surveyline1.lnw" : "";
        request.defaultExtension = ".lnw";
    } else {
        request.title = save ? Bilingual{"边界线文件另存为", "Save Border File as"}
                             : Bilingual{"打开边界线文件", "Open the Border File"};
        request.filter = "BorderLine File(*.brd)|*.brd||";
        request.defaultName = save ? "borderLine1.brd" : "";
        request.defaultExtension = ".brd";
    }
    if (context_.registrar != nullptr) {
        if (const std::optional<std::filesystem::path> folder = context_.registrar->DataFolder(kind_))
            request.initialFolder = *folder;
    }
    return request;
}

void FileEditorBase::RefreshChart() const {
    if (context_.sink != nullptr)
        context_.sink->Post(platform::MessageTarget::MainFrame, WM_REFRESH_VIEWS, kRefreshChart, 0);
}

void FileEditorBase::Message(const char* chinese, const char* english) const {
    platform::ShowBilingualMessage(chinese, english, platform::kBoxError);
}

}  // namespace marivane
