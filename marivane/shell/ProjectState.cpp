#include "marivane/shell/ProjectState.h"

#include "marivane/shell/ProjectPaths.h"

namespace marivane {

namespace fs = std::filesystem;

std::string_view FolderKey(DataFolder folder) {
    switch (folder) {
        case DataFolder::Borders:
            return kBorderFolderKey;
        case DataFolder::PlannedLines:
            return kPlannedLineFolderKey;
        case DataFolder::Tracks:
            return kTrackFolderKey;
        case DataFolder::Background:
            return kBackgroundFolderKey;
        case DataFolder::Matrices:
            return kMatrixFolderKey;
        case DataFolder::Multibeam:
            return kMultibeamFolderKey;
    }
    return {};
}

std::string_view FolderSection(DataFolder folder) {
    switch (folder) {
        case DataFolder::Borders:
            return "BorderLineFolder";
        case DataFolder::PlannedLines:
            return "SurLineFolder";
        case DataFolder::Tracks:
            return "TrackLineFolder";
        case DataFolder::Background:
            return "BKGRDSeaCharFolder";
        case DataFolder::Matrices:
            return "MatrixFolder";
        case DataFolder::Multibeam:
            return {};
    }
    return {};
}

std::string_view DefaultFolderName(DataFolder folder) {
    switch (folder) {
        case DataFolder::Borders:
            return "Border Files\\";
        case DataFolder::PlannedLines:
            return "Planned Line Files\\";
        case DataFolder::Tracks:
            return "Track Line Files\\";
        case DataFolder::Background:
            return "Background Files\\";
        case DataFolder::Matrices:
            return "Matrix Files\\";
        case DataFolder::Multibeam:
            return "Multibeam Files\\";
    }
    return {};
}

std::optional<DataFolder> ProjectState::FolderNamed(std::string_view text) const {
    if (text.empty())
        return std::nullopt;
    for (const DataFolder folder : kDataFolders) {
        if (FolderName(folder) == text)
            return folder;
    }
    return std::nullopt;
}

std::optional<fs::path> ProjectState::FolderPath(DataFolder folder) const {
    if (projectFolder.empty())
        return std::nullopt;
    return JoinContained(projectFolder, FolderName(folder));
}

std::optional<fs::path> ProjectState::DataFilePath(DataFolder folder, std::string_view name) const {
    const auto base = FolderPath(folder);
    if (!base)
        return std::nullopt;
    return JoinContained(*base, name);
}

namespace {
std::optional<fs::path> ProjectFile(const fs::path& folder, const std::string& name) {
    if (folder.empty())
        return std::nullopt;
    return JoinContained(folder, name);
}
}  // namespace

std::optional<fs::path> ProjectState::SettingsPath() const {
    return ProjectFile(projectFolder, settingsFile);
}

std::optional<fs::path> ProjectState::ColourPath() const {
    return ProjectFile(projectFolder, colourFile);
}

std::optional<fs::path> ProjectState::FileListPath() const {
    return ProjectFile(projectFolder, fileList);
}

std::string ProjectState::ShownDataPath(DataFolder folder, std::string_view name) const {
    if (const auto path = DataFilePath(folder, name))
        return path->string();
    const std::string folderText = projectFolder.empty() ? std::string() : FolderText(projectFolder);
    return folderText + FolderName(folder) + std::string(name);
}

fs::path ProgramIniPath(const fs::path& programFolder) {
    return programFolder / std::string(kProgramIniName);
}

}  // namespace marivane
