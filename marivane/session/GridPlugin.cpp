#include "marivane/session/GridPlugin.h"

#include "marivane/grid/ColourFile.h"

namespace marivane {

namespace fs = std::filesystem;

GridPlugin::GridPlugin(ProjectSession& session)
    : session_(session), feed_([this](const fs::path& path) { return Find(path); }, lock_, colours_) {
    session_.Loaders().Set(FileKind::Matrices,
                           [this](const fs::path& path) -> std::unique_ptr<FileContent> {
                               auto grid = ReadMatrixFile(path, colours_);
                               if (!grid)
                                   return nullptr;
                               return std::make_unique<MatrixContent>(std::move(*grid));
                           });
    session_.Loaders().colourTable = [this](const fs::path& path) {
        return LoadColourFile(colours_, path);
    };
    session_.SetGridUpdater(this);
}

GridPlugin::~GridPlugin() {
    session_.SetGridUpdater(nullptr);
    session_.Loaders().Set(FileKind::Matrices, {});
    session_.Loaders().colourTable = {};
}

LoadedMatrix* GridPlugin::Find(const fs::path& path) {
    for (LoadedFile& entry : session_.Files().List(FileKind::Matrices)) {
        if (entry.path != path)
            continue;
        auto* content = dynamic_cast<MatrixContent*>(entry.content.get());
        return content != nullptr ? &content->grid : nullptr;
    }
    return nullptr;
}

bool GridPlugin::Open(LoadedFile& matrix) {
    auto* content = dynamic_cast<MatrixContent*>(matrix.content.get());
    return content != nullptr && lock_.OpenFile(content->grid);
}

void GridPlugin::Close() {
    if (lock_.IsOpen())
        lock_.CloseFile(Find(lock_.OpenPath()));
}

bool GridPlugin::ClearData(LoadedFile& matrix) {
    auto* content = dynamic_cast<MatrixContent*>(matrix.content.get());
    if (content == nullptr)
        return ZeroMatrixFileCells(matrix.path);
    return ClearMatrixData(content->grid) == MatrixClearResult::Cleared;
}

}  // namespace marivane
