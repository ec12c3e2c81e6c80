#pragma once
// What the main window does with the soundings of positioned pings while recording: every one of the
// 512 beam solutions of every ping, valid or not, is coloured by the band of its depth and added to
// the locked grid (solutions outside the grid or with a depth outside (0, 100000) change nothing), and
// the cells a batch changed are written through to the grid's open file. Without a loaded grid or an
// open grid file the pings are dropped.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "marivane/acquisition/ProcessedPingHandler.h"
#include "marivane/grid/ColourTable.h"
#include "marivane/grid/LoadedMatrices.h"
#include "marivane/grid/MatrixLock.h"

namespace marivane {

class LockedGridFeed final : public PositionedPingConsumer {
  public:
    // The loaded grid with this path, or nullptr when none is loaded.
    using GridFinder = std::function<LoadedMatrix*(const std::filesystem::path& path)>;

    // None of them is owned; all are used on the user-interface thread only.
    LockedGridFeed(GridFinder find, MatrixLock& lock, const DepthColourTable& colours)
        : find_(std::move(find)), lock_(lock), colours_(colours) {}
    // Over a list of loaded grids.
    LockedGridFeed(LoadedMatrixList& matrices, MatrixLock& lock, const DepthColourTable& colours);

    void ConsumePositionedPings(std::span<const PositionedPing> pings) override;

    // Soundings that landed in a cell, and batches whose cells did not all reach the file.
    std::uint64_t SoundingsAdded() const { return added_; }
    std::uint64_t IncompleteBatches() const { return incompleteBatches_; }

  private:
    GridFinder find_;
    MatrixLock& lock_;
    const DepthColourTable& colours_;
    std::vector<std::uint32_t> changed_;
    std::uint64_t added_ = 0;
    std::uint64_t incompleteBatches_ = 0;
};

}  // namespace marivane
