#include "marivane/shell/ProjectTree.h"

#include <algorithm>
#include <system_error>

#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/FileList.h"
#include "marivane/shell/ProjectPaths.h"
#include "marivane/shell/ProjectSession.h"
#include "platform/Message.h"

namespace marivane {

namespace fs = std::filesystem;
using platform::FormatMessageText;
using platform::ShowBilingualMessage;

namespace {

bool English() {
    return platform::MessageLanguageEnglish();
}

std::size_t ChildSlot(DataFolder folder) {
    return FolderSlot(folder);
}

bool ValidFolderIndex(int index) {
    return index >= 1 && index <= 6;
}

struct ImportDialog {
    std::string_view chinese;
    std::string_view english;
    std::string_view extension;
    std::string_view filter;
};

ImportDialog ImportDialogOf(DataFolder folder) {
    switch (folder) {
        case DataFolder::Borders:
            return {"导入边界线", "Import Border Line", "brd", "BorderLine File(*.brd)|*.brd||"};
        case DataFolder::PlannedLines:
            return {"导入测线", "Import Survey Line", "lnw",
                    "SurLine File(*.lnw)|*.lnw|dxf File(*.dxf)|*.dxf||"};
        case DataFolder::Tracks:
            return {"导入航迹线", "Import Track Line", "tra", "TrackLine File(*.tra)|*.tra||"};
        case DataFolder::Background:
            return {"", "", "dxf", "DXF file format(*.dxf)|*.dxf|Tif file format (*.tif)|*.tif||"};
        case DataFolder::Matrices:
            return {"导入矩阵文件", "Import Matrix File", "mtrx", "Matrix File(*.mtrx)|*.mtrx||"};
        case DataFolder::Multibeam:
            break;
    }
    return {};
}

// The last three characters are "DXF" in any case.
bool EndsWithDxf(std::string_view name) {
    if (name.size() < 3)
        return false;
    const std::string_view end = name.substr(name.size() - 3);
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return upper(end[0]) == 'D' && upper(end[1]) == 'X' && upper(end[2]) == 'F';
}

void ShowRecordingRefusal(const fs::path& path) {
    const std::string shown = path.string();
    ShowBilingualMessage(FormatMessageText("%s正在记录中，停止记录前不能移除、删除、清空或替换！", shown),
                         FormatMessageText("%s is being recorded: it cannot be removed, deleted, cleared or "
                                           "replaced until recording stops!",
                                           shown),
                         platform::kBoxError);
}

}  // namespace

std::string ProjectTree::FolderCaption(DataFolder folder, bool english) {
    switch (folder) {
        case DataFolder::Borders:
            return english ? "Border Files" : "边界线文件";
        case DataFolder::PlannedLines:
            return english ? "Planned Line Files" : "计划测线文件";
        case DataFolder::Tracks:
            return english ? "Track Line Files" : "测量数据文件";
        case DataFolder::Background:
            return english ? "Background Files" : "工程底图文件";
        case DataFolder::Matrices:
            return english ? "Matrix Files" : "矩阵文件";
        case DataFolder::Multibeam:
            return english ? "Multibeam Files" : "多波束数据文件";
    }
    return {};
}

const TreeNode* ProjectTree::Node(TreeNodeRef ref) const {
    return const_cast<ProjectTree*>(this)->MutableNode(ref);
}

TreeNode* ProjectTree::MutableNode(TreeNodeRef ref) {
    if (!root_)
        return nullptr;
    if (ref.folder == 0)
        return ref.file < 0 ? &*root_ : nullptr;
    if (!ValidFolderIndex(ref.folder))
        return nullptr;
    TreeNode* node = &root_->children[static_cast<std::size_t>(ref.folder - 1)];
    if (ref.file < 0)
        return ref.line < 0 ? node : nullptr;
    if (static_cast<std::size_t>(ref.file) >= node->children.size())
        return nullptr;
    node = &node->children[static_cast<std::size_t>(ref.file)];
    if (ref.line < 0)
        return node;
    if (static_cast<std::size_t>(ref.line) >= node->children.size())
        return nullptr;
    return &node->children[static_cast<std::size_t>(ref.line)];
}

std::optional<std::pair<FileKind, std::size_t>> ProjectTree::FileOf(TreeNodeRef ref) const {
    if (ref.line >= 0)
        return std::nullopt;
    const TreeNode* node = Node(ref);
    if (node == nullptr || node->kind != TreeNodeKind::File)
        return std::nullopt;
    if (node->listIndex >= session_.Files().List(node->fileKind).size())
        return std::nullopt;
    return std::make_pair(node->fileKind, node->listIndex);
}

void ProjectTree::Rebuild(int index) {
    const bool english = English();
    if (index == 0) {
        root_.reset();
        const ProjectState& project = session_.Project();
        if (!project.IsOpen())
            return;
        TreeNode root;
        root.kind = TreeNodeKind::Root;
        root.text = project.projectFile.stem().string();
        for (const DataFolder folder : kDataFolders) {
            TreeNode node;
            node.kind = TreeNodeKind::Folder;
            node.folder = folder;
            node.text = FolderCaption(folder, english);
            node.hasCheckBox = folder != DataFolder::Multibeam;
            root.children.push_back(std::move(node));
        }
        root_ = std::move(root);
        return;
    }
    if (!ValidFolderIndex(index))
        return;
    const auto folder = static_cast<DataFolder>(index);
    if (!root_) {
        const bool twoBlanks = folder == DataFolder::Background || folder == DataFolder::Multibeam;
        ShowBilingualMessage("请首先创建工程！",
                             twoBlanks ? "Please create a project  first!" : "Please create a project first!",
                             platform::kBoxError);
        return;
    }
    TreeNode& node = root_->children[ChildSlot(folder)];
    node.children.clear();
    const LoadedFiles& files = session_.Files();
    const CurrentLine current = files.Current();
    for (const FileKind kind : KindsOf(folder)) {
        const auto& list = files.List(kind);
        for (std::size_t i = 0; i < list.size(); ++i) {
            TreeNode file;
            file.kind = TreeNodeKind::File;
            file.folder = folder;
            file.fileKind = kind;
            file.listIndex = i;
            file.text = list[i].FileName();
            file.hasCheckBox = folder != DataFolder::Multibeam;
            file.checked = file.hasCheckBox && list[i].shown;
            file.image = kind == FileKind::Matrices && static_cast<int>(i) == files.LockedMatrix()
                             ? kImageLockedMatrix
                             : kImageFile;
            if (kind == FileKind::PlannedLines && list[i].content) {
                const FileContent& content = *list[i].content;
                for (std::size_t j = 0; j < content.ItemCount(); ++j) {
                    TreeNode line;
                    line.kind = TreeNodeKind::Line;
                    line.folder = folder;
                    line.fileKind = kind;
                    line.listIndex = i;
                    line.lineIndex = j;
                    line.text = content.ItemName(j);
                    line.hasCheckBox = true;
                    line.checked = current.file == static_cast<int>(i) && current.line == static_cast<int>(j);
                    line.image = kImageLine;
                    file.children.push_back(std::move(line));
                }
            }
            node.children.push_back(std::move(file));
        }
    }
    node.checked =
        node.hasCheckBox && !node.children.empty() &&
        std::all_of(node.children.begin(), node.children.end(), [](const TreeNode& n) { return n.checked; });
}

bool ProjectTree::Deliver(const platform::PostedMessage& message) {
    if (message.target != platform::MessageTarget::ProjectPane || message.id != WM_REFRESH_PROJECT_TREE)
        return false;
    if (message.wParam <= 6)
        Rebuild(static_cast<int>(message.wParam));
    return true;
}

void ProjectTree::RefreshViews() {
    session_.Sink().Post(platform::MessageTarget::MainFrame, WM_REFRESH_VIEWS, kRefreshChart, 0);
}

void ProjectTree::SetShown(const TreeNode& file, bool shown) {
    auto& list = session_.Files().List(file.fileKind);
    if (file.listIndex >= list.size())
        return;
    LoadedFile& entry = list[file.listIndex];
    entry.shown = shown;
    session_.WriteProjectKey(FolderSection(file.folder), entry.listedName, shown ? "true" : "false");
}

bool ProjectTree::ClickCheckBox(TreeNodeRef ref) {
    TreeNode* node = MutableNode(ref);
    if (node == nullptr || !node->hasCheckBox)
        return false;
    const bool state = !node->checked;
    node->checked = state;
    TreeNode& folder = root_->children[static_cast<std::size_t>(ref.folder - 1)];
    const auto uncheckLines = [](TreeNode& file) {
        for (TreeNode& line : file.children) line.checked = false;
    };
    const auto folderFromChildren = [&] {
        folder.checked =
            !folder.children.empty() && std::all_of(folder.children.begin(), folder.children.end(),
                                                    [](const TreeNode& n) { return n.checked; });
    };
    switch (node->kind) {
        case TreeNodeKind::Folder:
            for (TreeNode& file : node->children) {
                file.checked = state;
                SetShown(file, state);
                if (!state)
                    uncheckLines(file);
            }
            break;
        case TreeNodeKind::File:
            SetShown(*node, state);
            if (!state)
                uncheckLines(*node);
            folderFromChildren();
            break;
        case TreeNodeKind::Line: {
            TreeNode& file = folder.children[static_cast<std::size_t>(ref.file)];
            if (state) {
                file.checked = true;
                SetShown(file, true);
                for (TreeNode& other : folder.children) {
                    for (TreeNode& line : other.children) line.checked = &line == node;
                }
                session_.Files().SetCurrentLine(
                    CurrentLine{static_cast<int>(node->listIndex), static_cast<int>(node->lineIndex)});
                folderFromChildren();
            } else {
                session_.Files().ClearCurrentLineItem();
            }
            break;
        }
        case TreeNodeKind::Root:
            break;
    }
    RefreshViews();
    return true;
}

bool ProjectTree::HasFolderMenu(TreeNodeRef ref) const {
    const TreeNode* node = Node(ref);
    return node != nullptr && node->kind == TreeNodeKind::Folder && node->folder != DataFolder::Multibeam;
}

std::optional<FileMenu> ProjectTree::FileMenuFor(TreeNodeRef ref) const {
    const auto file = FileOf(ref);
    if (!file)
        return std::nullopt;
    FileMenu menu;
    menu.edit = file->first == FileKind::Borders || file->first == FileKind::PlannedLines;
    menu.lock = menu.clearData = file->first == FileKind::Matrices;
    menu.unlock = menu.lock && static_cast<int>(file->second) == session_.Files().LockedMatrix();
    return menu;
}

bool ProjectTree::RefuseRecordingFile(FileKind kind, std::size_t index) {
    if (!session_.IsRecordingFile(kind, index))
        return false;
    ShowRecordingRefusal(session_.Files().List(kind)[index].path);
    return true;
}

bool ProjectTree::RemoveEntry(FileKind kind, std::size_t index) {
    const LoadedFile& entry = session_.Files().List(kind)[index];
    const DataFolder folder = FolderOf(kind);
    const std::string name = entry.listedName;
    session_.RemoveFileListEntry(name);
    if (!FolderSection(folder).empty())
        session_.DeleteProjectKey(FolderSection(folder), name);
    const int lockedBefore = session_.Files().LockedMatrix();
    session_.Files().Remove(kind, index);
    if (session_.Files().LockedMatrix() != lockedBefore)
        session_.WriteLockedMatrix();
    Rebuild(static_cast<int>(folder));
    RefreshViews();
    return true;
}

bool ProjectTree::RemoveFile(TreeNodeRef ref) {
    const auto file = FileOf(ref);
    if (!file || RefuseRecordingFile(file->first, file->second))
        return false;
    return RemoveEntry(file->first, file->second);
}

bool ProjectTree::DeleteFile(TreeNodeRef ref) {
    const auto file = FileOf(ref);
    if (!file || RefuseRecordingFile(file->first, file->second))
        return false;
    if (session_.Prompts().Ask("文件删除不可恢复，确认删除？",
                               "File cannot be recovered.\nAre you sure you want to delete this file?",
                               platform::kBoxDestructiveConfirm) != platform::MessageAnswer::Ok) {
        return false;
    }
    const fs::path path = session_.Files().List(file->first)[file->second].path;
    RemoveEntry(file->first, file->second);
    std::error_code ec;
    fs::remove(path, ec);
    if (file->first == FileKind::BackgroundTif)
        fs::remove(fs::path(path).replace_extension(".tfw"), ec);
    return true;
}

bool ProjectTree::ToggleLock(TreeNodeRef ref) {
    const auto file = FileOf(ref);
    if (!file || file->first != FileKind::Matrices)
        return false;
    LoadedFiles& files = session_.Files();
    GridUpdater& grid = session_.Grid();
    const bool recording = session_.State().recording;
    const int index = static_cast<int>(file->second);
    const int before = files.LockedMatrix();
    LoadedFile& entry = files.List(FileKind::Matrices)[file->second];
    const auto openFailed = [&] {
        ShowBilingualMessage("矩阵文件打开失败！", "Failed to open Matrix file!", platform::kBoxError);
        files.SetLockedMatrix(before);
        return false;
    };
    if (index == before) {
        if (!recording) {
            files.SetLockedMatrix(-1);
        } else if (grid.IsOpen()) {
            grid.Close();
            files.SetLockedMatrix(-1);
        } else if (!grid.Open(entry)) {
            return openFailed();
        }
    } else {
        files.SetLockedMatrix(index);
        if (recording) {
            grid.Close();
            if (!grid.Open(entry))
                return openFailed();
        }
    }
    session_.WriteLockedMatrix();
    Rebuild(static_cast<int>(DataFolder::Matrices));
    return true;
}

bool ProjectTree::ClearData(TreeNodeRef ref) {
    const auto file = FileOf(ref);
    if (!file || file->first != FileKind::Matrices || RefuseRecordingFile(file->first, file->second))
        return false;
    if (session_.Prompts().Ask("确定要清空矩形文件数据吗？",
                               "Are you sure you want to empty the matrix file data?",
                               platform::kBoxDestructiveConfirm) != platform::MessageAnswer::Ok) {
        return false;
    }
    const bool cleared = session_.Grid().ClearData(session_.Files().List(FileKind::Matrices)[file->second]);
    RefreshViews();
    return cleared;
}

void ProjectTree::ImportDxfAsLines(const fs::path& dxf) {
    ProjectState& project = session_.Project();
    std::string target = dxf.filename().string();
    target.replace(target.size() - 3, 3, "lnw");
    const auto list = project.FileListPath();
    const auto text = list ? ReadFileListText(*list) : std::nullopt;
    if (text && FileListHasName(*text, target)) {
        const std::string shown = dxf.string();
        ShowBilingualMessage(
            FormatMessageText("本工程已经包含与%s同名的lnw文件，请修改当前dxf文件名！", shown),
            FormatMessageText("The file  %s  already exists.\nPlease modify the current dxf file name!",
                              shown),
            platform::kBoxError);
        return;
    }
    const auto destination = project.DataFilePath(DataFolder::PlannedLines, target);
    if (!destination)
        return;
    const auto& convert = session_.Loaders().dxfToLnw;
    if (!convert) {
        const std::string shown = dxf.string();
        ShowBilingualMessage(FormatMessageText("%s无法转换为测线文件：没有DXF读取模块！", shown),
                             FormatMessageText("%s cannot be converted into survey lines: no DXF reader is "
                                               "available!",
                                               shown),
                             platform::kBoxError);
        return;
    }
    // The entry is only listed once the planned line file exists.
    if (!convert(dxf, *destination))
        return;
    session_.AppendFileListEntry(project.FolderName(DataFolder::PlannedLines), target);
    session_.WriteProjectKey(FolderSection(DataFolder::PlannedLines), target, "true");
    session_.Files().Load(FileKind::PlannedLines, *destination, target, true, session_.Loaders());
}

void ProjectTree::ImportFiles(DataFolder folder) {
    ProjectState& project = session_.Project();
    if (!project.IsOpen() || folder == DataFolder::Multibeam)
        return;
    const ImportDialog dialog = ImportDialogOf(folder);
    FileChoice choice;
    choice.chineseTitle = dialog.chinese;
    choice.englishTitle = dialog.english;
    choice.filter = dialog.filter;
    choice.defaultExtension = dialog.extension;
    choice.initialFolder = project.FolderPath(folder).value_or(project.projectFolder);
    choice.multiple = true;
    const std::vector<fs::path> chosen = session_.Prompts().ChooseFiles(choice);
    if (chosen.empty())
        return;
    const std::string& folderName = project.FolderName(folder);
    const std::string_view section = FolderSection(folder);
    const int lockedBefore = session_.Files().LockedMatrix();
    for (const fs::path& source : chosen) {
        const std::string name = source.filename().string();
        if (name.empty() || HasControlCharacter(name))
            continue;
        FileKind kind = KindsOf(folder).front();
        if (folder == DataFolder::Background) {
            const auto background = BackgroundKindOf(source);
            if (!background)
                continue;
            kind = *background;
        }
        if (folder == DataFolder::PlannedLines && EndsWithDxf(name)) {
            ImportDxfAsLines(source);
            continue;
        }
        const auto destination = project.DataFilePath(folder, name);
        if (!destination)
            continue;
        std::error_code ec;
        bool copied = false;
        if (source == *destination || SameFile(source, *destination)) {
            session_.AddFileListEntry(folderName, name);
        } else if (!fs::exists(*destination, ec)) {
            CopyFileSafely(source, *destination, false);
            session_.AppendFileListEntry(folderName, name);
            copied = true;
        } else {
            if (session_.IsRecordingPath(*destination)) {
                ShowRecordingRefusal(*destination);
                continue;
            }
            const bool plannedLines = folder == DataFolder::PlannedLines;
            if (session_.Prompts().Ask(plannedLines ? "此位置已经包含同名文件，是否替换当前文件？"
                                                    : "当前工程文件夹下已有该文件，是否覆盖该文件？",
                                       "The file already exists.\nDo you want to replace it?",
                                       platform::kBoxConfirm) != platform::MessageAnswer::Yes) {
                continue;
            }
            CopyFileSafely(source, *destination, true);
            session_.AddFileListEntry(folderName, name);
            copied = true;
        }
        if (copied && kind == FileKind::BackgroundTif) {
            const fs::path world = fs::path(source).replace_extension(".tfw");
            if (fs::is_regular_file(world, ec))
                CopyFileSafely(world, fs::path(*destination).replace_extension(".tfw"), true);
        }
        session_.WriteProjectKey(section, name, "true");
        session_.Files().Load(kind, *destination, name, true, session_.Loaders());
    }
    // A reloaded locked grid moved to the end of its list (or, unreadable now, is no longer locked).
    if (session_.Files().LockedMatrix() != lockedBefore)
        session_.WriteLockedMatrix();
    Rebuild(static_cast<int>(folder));
    RefreshViews();
}

}  // namespace marivane
