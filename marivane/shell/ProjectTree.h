#pragma once
// The project tree as a plain model and its operations. The model holds what the project pane draws:
// the root (the project name), six folder nodes, one node per loaded file and, under each planned
// line file, one node per survey line, with their check boxes and images. The operations are the
// pane's commands on the loaded lists: check-box clicks (shown flags and their keys), import,
// remove, delete, lock and unlock of the depth grid that recording fills, and clear data. Every
// change is written to the project files at once.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "marivane/shell/LoadedFiles.h"
#include "marivane/shell/ProjectState.h"
#include "platform/MessageSink.h"

namespace marivane {

class ProjectSession;

enum class TreeNodeKind { Root, Folder, File, Line };

inline constexpr int kImageFolder = 0;
inline constexpr int kImageFile = 1;
inline constexpr int kImageLine = 2;
inline constexpr int kImageLockedMatrix = 3;

struct TreeNode {
    TreeNodeKind kind = TreeNodeKind::Root;
    std::string text;
    bool hasCheckBox = false;
    bool checked = false;
    int image = kImageFolder;
    DataFolder folder = DataFolder::Borders;  // folder, file and line nodes
    FileKind fileKind = FileKind::Borders;    // file and line nodes
    std::size_t listIndex = 0;                // file and line nodes: position in the loaded list
    std::size_t lineIndex = 0;                // line nodes: position in the file
    std::vector<TreeNode> children;
};

// A node: folder 0 is the root, 1 to 6 a folder node; file is the position among the folder node's
// children, line the position among the file node's children (-1: the node above).
struct TreeNodeRef {
    int folder = 0;
    int file = -1;
    int line = -1;
};

// Menu 373 for a file node.
struct FileMenu {
    bool edit = false;  // borders and planned lines
    bool remove = true;
    bool erase = true;       // delete
    bool lock = false;       // matrices
    bool unlock = false;     // the lock item reads "Unlock": this matrix is the locked one
    bool clearData = false;  // matrices
};

class ProjectTree {
  public:
    explicit ProjectTree(ProjectSession& session) : session_(session) {}

    const std::optional<TreeNode>& Root() const { return root_; }
    const TreeNode* Node(TreeNodeRef ref) const;

    // The folder captions, in the language of the user interface.
    static std::string FolderCaption(DataFolder folder, bool english);

    // WM_REFRESH_PROJECT_TREE: 0 rebuilds the root and six empty folders (no root while no project is
    // open); 1 to 6 rebuild one folder's files from the loaded lists.
    void Rebuild(int index);
    // Handles a posted message meant for the project pane; true when it was one.
    bool Deliver(const platform::PostedMessage& message);

    // A click on a node's check box: the new state is the opposite of the old one. False when the
    // node has no check box.
    bool ClickCheckBox(TreeNodeRef ref);

    // Menu 374 (import) exists for folder nodes 1 to 5; menu 373 for file nodes. Nothing for the root,
    // the multibeam folder and survey lines.
    bool HasFolderMenu(TreeNodeRef ref) const;
    std::optional<FileMenu> FileMenuFor(TreeNodeRef ref) const;

    // Command 32975 on a folder node (1 to 5).
    void ImportFiles(DataFolder folder);
    // Commands 32971, 32972, 32973 and 33029 on a file node. False when nothing changed.
    bool RemoveFile(TreeNodeRef ref);
    bool DeleteFile(TreeNodeRef ref);
    bool ToggleLock(TreeNodeRef ref);
    bool ClearData(TreeNodeRef ref);

  private:
    TreeNode* MutableNode(TreeNodeRef ref);
    std::optional<std::pair<FileKind, std::size_t>> FileOf(TreeNodeRef ref) const;
    void SetShown(const TreeNode& file, bool shown);
    bool RefuseRecordingFile(FileKind kind, std::size_t index);
    bool RemoveEntry(FileKind kind, std::size_t index);
    void ImportDxfAsLines(const std::filesystem::path& dxf);
    void RefreshViews();

    ProjectSession& session_;
    std::optional<TreeNode> root_;
};

}  // namespace marivane
