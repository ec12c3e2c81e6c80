#pragma once
// The depth grid plugged into a project session: matrix files load as grids, the colour file loads
// the depth colour table, the locked grid's file is held open for update and fed with the soundings
// of every positioned ping, and clear data empties a grid in memory and in its file.

#include <cstdint>
#include <memory>

#include "marivane/grid/ColourTable.h"
#include "marivane/grid/LoadedMatrices.h"
#include "marivane/grid/LockedGridFeed.h"
#include "marivane/grid/MatrixLock.h"
#include "marivane/shell/ProjectSession.h"

namespace marivane {

// A loaded grid as the session's matrix list holds it.
class MatrixContent final : public FileContent {
  public:
    explicit MatrixContent(LoadedMatrix g) : grid(std::move(g)) {}
    LoadedMatrix grid;
};

class GridPlugin final : public GridUpdater {
  public:
    // Registers the matrix and colour loaders with the session and becomes its grid updater.
    explicit GridPlugin(ProjectSession& session);
    ~GridPlugin() override;
    GridPlugin(const GridPlugin&) = delete;
    GridPlugin& operator=(const GridPlugin&) = delete;

    bool Open(LoadedFile& matrix) override;
    void Close() override;
    bool IsOpen() const override { return lock_.IsOpen(); }
    std::filesystem::path OpenPath() const override { return lock_.OpenPath(); }
    PositionedPingConsumer* Soundings() override { return &feed_; }
    std::uint64_t SoundingsAdded() const override { return feed_.SoundingsAdded(); }
    bool ClearData(LoadedFile& matrix) override;

    const DepthColourTable& Colours() const { return colours_; }

  private:
    LoadedMatrix* Find(const std::filesystem::path& path);

    ProjectSession& session_;
    DepthColourTable colours_;
    MatrixLock lock_;
    LockedGridFeed feed_;
};

}  // namespace marivane
