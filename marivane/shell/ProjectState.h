#pragma once
// The current project: its project file and folder, the names of its six data folders and of its
// settings, colour and list files, as the project file stores them. Every data file lies at
// project folder + folder name + file name; the settings, colour and list files at project folder +
// file name. Also the program's own "Marivane.ini", which remembers the last project.

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace marivane {

// ---- Marivane.ini (program folder) -------------------------------------------------------------

inline constexpr std::string_view kProgramIniName = "Marivane.ini";
inline constexpr std::string_view kPreProjectSection = "PreProjectInfo";
inline constexpr std::string_view kLastProjectFileKey = "StructionName";
inline constexpr std::string_view kLastProjectFolderKey = "PathName";

// ---- Project file (.ngn) -----------------------------------------------------------------------

inline constexpr std::string_view kFileOfProjectSection = "FileOfProject";
inline constexpr std::string_view kProjectPathKey = "ProjectPath";
inline constexpr std::string_view kBorderFolderKey = "BorderLinePath";
inline constexpr std::string_view kPlannedLineFolderKey = "PlanSurLinePath";
inline constexpr std::string_view kTrackFolderKey = "SurveyDataPath";
inline constexpr std::string_view kBackgroundFolderKey = "BackgroundSeaChartPath";
inline constexpr std::string_view kMatrixFolderKey = "MatrixPath";
inline constexpr std::string_view kMultibeamFolderKey = "MultipleBeamPath";
inline constexpr std::string_view kSettingsFileKey = "ProjectNameINIF";
inline constexpr std::string_view kColourFileKey = "ColorFile";
inline constexpr std::string_view kFileListKey = "FileListOfFolder";

inline constexpr std::string_view kLockedMatrixKey = "PosMatrixFileLocked";  // in section MatrixFolder

// The six data folders. The values are the folder indices of the project tree and of
// WM_REFRESH_PROJECT_TREE.
enum class DataFolder : int {
    Borders = 1,
    PlannedLines = 2,
    Tracks = 3,
    Background = 4,
    Matrices = 5,
    Multibeam = 6,
};
inline constexpr std::array<DataFolder, 6> kDataFolders = {DataFolder::Borders,  DataFolder::PlannedLines,
                                                           DataFolder::Tracks,   DataFolder::Background,
                                                           DataFolder::Matrices, DataFolder::Multibeam};

inline constexpr std::size_t FolderSlot(DataFolder folder) {
    return static_cast<std::size_t>(static_cast<int>(folder) - 1);
}

// The key of FileOfProject that stores a folder's name.
std::string_view FolderKey(DataFolder folder);
// The section of the project file that holds the shown flags of a folder's files (empty for the
// multibeam folder, which has none).
std::string_view FolderSection(DataFolder folder);
// The folder name a new project gets ("Border Files\\", ...).
std::string_view DefaultFolderName(DataFolder folder);

struct ProjectState {
    std::filesystem::path projectFile;    // .ngn; empty while no project is open
    std::filesystem::path projectFolder;  // the folder that holds the project
    std::array<std::string, 6> folders;   // by FolderSlot, as stored ("Border Files\\")
    std::string settingsFile;             // ProjectNameINIF, as stored
    std::string colourFile;               // ColorFile
    std::string fileList;                 // FileListOfFolder

    bool IsOpen() const { return !projectFile.empty(); }
    const std::string& FolderName(DataFolder folder) const { return folders[FolderSlot(folder)]; }
    void SetFolderName(DataFolder folder, std::string name) { folders[FolderSlot(folder)] = std::move(name); }

    // The folder whose stored name is exactly `text` (never an empty name).
    std::optional<DataFolder> FolderNamed(std::string_view text) const;

    // Full paths, or nothing when there is no project folder or the stored name would lead out of it.
    std::optional<std::filesystem::path> FolderPath(DataFolder folder) const;
    std::optional<std::filesystem::path> DataFilePath(DataFolder folder, std::string_view name) const;
    std::optional<std::filesystem::path> SettingsPath() const;
    std::optional<std::filesystem::path> ColourPath() const;
    std::optional<std::filesystem::path> FileListPath() const;

    // The path of a data file as a message shows it, also for a name that cannot be joined.
    std::string ShownDataPath(DataFolder folder, std::string_view name) const;

    void Clear() { *this = ProjectState{}; }
};

// Marivane.ini in the program folder.
std::filesystem::path ProgramIniPath(const std::filesystem::path& programFolder);

}  // namespace marivane
