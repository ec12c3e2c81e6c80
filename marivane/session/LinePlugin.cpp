#include "marivane/session/LinePlugin.h"

#include "marivane/lines/BrdFile.h"
#include "marivane/lines/LnwFile.h"

namespace marivane {

namespace fs = std::filesystem;

LinePlugin::LinePlugin(ProjectSession& session) {
    // The display readers keep their own rules and messages; their list is only a vehicle here.
    session.Loaders().Set(FileKind::PlannedLines, [](const fs::path& path) -> std::unique_ptr<FileContent> {
        LoadedLineFiles read;
        if (!LoadLineFileForDisplay(read, path, true) || read.files.empty()) return nullptr;
        return std::make_unique<LineFileContent>(std::move(read.files.back().lines));
    });
    session.Loaders().Set(FileKind::Borders, [](const fs::path& path) -> std::unique_ptr<FileContent> {
        LoadedBorderFiles read;
        if (!LoadBorderFileForDisplay(read, path, true) || read.empty()) return nullptr;
        return std::make_unique<BorderFileContent>(std::move(read.back().border));
    });
}

}  // namespace marivane
