#include "marivane/shell/LoadedFiles.h"

#include "marivane/acquisition/TrackFile.h"
#include "marivane/shell/ProjectPaths.h"
#include "platform/Message.h"

namespace marivane {

namespace fs = std::filesystem;

DataFolder FolderOf(FileKind kind) {
    switch (kind) {
        case FileKind::Borders:
            return DataFolder::Borders;
        case FileKind::PlannedLines:
            return DataFolder::PlannedLines;
        case FileKind::Tracks:
            return DataFolder::Tracks;
        case FileKind::BackgroundDxf:
        case FileKind::BackgroundTif:
            return DataFolder::Background;
        case FileKind::Matrices:
            return DataFolder::Matrices;
        case FileKind::Multibeam:
            return DataFolder::Multibeam;
    }
    return DataFolder::Multibeam;
}

std::vector<FileKind> KindsOf(DataFolder folder) {
    switch (folder) {
        case DataFolder::Borders:
            return {FileKind::Borders};
        case DataFolder::PlannedLines:
            return {FileKind::PlannedLines};
        case DataFolder::Tracks:
            return {FileKind::Tracks};
        case DataFolder::Background:
            return {FileKind::BackgroundDxf, FileKind::BackgroundTif};
        case DataFolder::Matrices:
            return {FileKind::Matrices};
        case DataFolder::Multibeam:
            return {FileKind::Multibeam};
    }
    return {};
}

std::optional<FileKind> BackgroundKindOf(const fs::path& path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".dxf")
        return FileKind::BackgroundDxf;
    if (ext == ".tif")
        return FileKind::BackgroundTif;
    return std::nullopt;
}

std::unique_ptr<FileContent> LoadTrackFileContent(const fs::path& path) {
    auto points = ReadTrackFile(path);
    if (!points) {
        const std::string shown = path.string();
        platform::ShowBilingualMessage(platform::FormatMessageText("打开\"%s\"文件失败", shown),
                                       platform::FormatMessageText("Failed to open the file\"%s\"", shown),
                                       platform::kBoxError);
        return nullptr;
    }
    return std::make_unique<TrackFileContent>(std::move(*points));
}

FileLoaders::FileLoaders() {
    Set(FileKind::Tracks, LoadTrackFileContent);
}

std::optional<std::size_t> LoadedFiles::Find(FileKind kind, const fs::path& path) const {
    const auto& list = List(kind);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].path == path)
            return i;
    }
    return std::nullopt;
}

void LoadedFiles::Erase(FileKind kind, std::size_t index) {
    auto& list = List(kind);
    if (index >= list.size())
        return;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    const int at = static_cast<int>(index);
    if (kind == FileKind::Matrices) {
        if (lockedMatrix_ == at)
            lockedMatrix_ = -1;
        else if (lockedMatrix_ > at)
            --lockedMatrix_;
    }
    if (kind == FileKind::PlannedLines) {
        if (current_.file == at)
            current_ = CurrentLine{};
        else if (current_.file > at)
            --current_.file;
    }
}

void LoadedFiles::Appended(FileKind kind, bool lockedWasThere, bool currentWasThere, int currentItem) {
    const auto& list = List(kind);
    const int last = static_cast<int>(list.size()) - 1;
    if (kind == FileKind::Matrices && lockedWasThere)
        lockedMatrix_ = last;
    if (kind == FileKind::PlannedLines && currentWasThere) {
        const FileContent* content = list.back().content.get();
        const std::size_t items = content != nullptr ? content->ItemCount() : 0;
        current_.file = last;
        current_.line = currentItem >= 0 && static_cast<std::size_t>(currentItem) < items ? currentItem : -1;
    }
}

bool LoadedFiles::Load(FileKind kind, const fs::path& path, std::string listedName, bool shown,
                       const FileLoaders& loaders) {
    const auto old = Find(kind, path);
    const bool lockedWasThere = kind == FileKind::Matrices && old && lockedMatrix_ == static_cast<int>(*old);
    const bool currentWasThere =
        kind == FileKind::PlannedLines && old && current_.file == static_cast<int>(*old);
    const int currentItem = current_.line;
    if (old)
        Erase(kind, *old);
    std::unique_ptr<FileContent> content;
    if (const FileLoader& loader = loaders.Get(kind)) {
        content = loader(path);
        if (!content)
            return false;
    }
    List(kind).push_back(LoadedFile{path, std::move(listedName), shown, std::move(content)});
    Appended(kind, lockedWasThere, currentWasThere, currentItem);
    return true;
}

void LoadedFiles::Add(FileKind kind, LoadedFile entry) {
    const auto old = Find(kind, entry.path);
    const bool lockedWasThere = kind == FileKind::Matrices && old && lockedMatrix_ == static_cast<int>(*old);
    const bool currentWasThere =
        kind == FileKind::PlannedLines && old && current_.file == static_cast<int>(*old);
    const int currentItem = current_.line;
    if (old)
        Erase(kind, *old);
    List(kind).push_back(std::move(entry));
    Appended(kind, lockedWasThere, currentWasThere, currentItem);
}

void LoadedFiles::Remove(FileKind kind, std::size_t index) {
    Erase(kind, index);
}

void LoadedFiles::Clear() {
    for (auto& list : lists_) list.clear();
    lockedMatrix_ = -1;
    current_ = CurrentLine{};
}

void LoadedFiles::SetLockedMatrix(int index) {
    const int count = static_cast<int>(List(FileKind::Matrices).size());
    lockedMatrix_ = index >= 0 && index < count ? index : -1;
}

bool LoadedFiles::SetCurrentLine(CurrentLine line) {
    if (line.file == -1 && line.line == -1) {
        current_ = line;
        return true;
    }
    const auto& list = List(FileKind::PlannedLines);
    if (line.file < 0 || static_cast<std::size_t>(line.file) >= list.size() || line.line < -1)
        return false;
    const FileContent* content = list[static_cast<std::size_t>(line.file)].content.get();
    const std::size_t items = content != nullptr ? content->ItemCount() : 0;
    if (line.line >= 0 && static_cast<std::size_t>(line.line) >= items)
        return false;
    current_ = line;
    return true;
}

}  // namespace marivane
