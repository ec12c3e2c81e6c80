#include "marivane/grid/LockedGridFeed.h"

namespace marivane {

LockedGridFeed::LockedGridFeed(LoadedMatrixList& matrices, MatrixLock& lock, const DepthColourTable& colours)
    : LockedGridFeed(
          [&matrices](const std::filesystem::path& path) -> LoadedMatrix* {
              const int at = IndexOfMatrix(matrices, path);
              return at < 0 ? nullptr : &matrices[static_cast<std::size_t>(at)];
          },
          lock, colours) {}

void LockedGridFeed::ConsumePositionedPings(std::span<const PositionedPing> pings) {
    if (!lock_.IsOpen())
        return;
    LoadedMatrix* entry = find_(lock_.OpenPath());
    if (entry == nullptr || !lock_.Follow(*entry) || !entry->matrix.Valid())
        return;
    DepthMatrix& matrix = entry->matrix;
    changed_.clear();
    for (const PositionedPing& ping : pings) {
        for (const BeamSolution& s : ping.solutions) {
            const std::int32_t cell =
                matrix.AddSounding(colours_.SoundingColour(s.depth), s.easting, s.northing, s.depth);
            if (cell >= 0)
                changed_.push_back(static_cast<std::uint32_t>(cell));
        }
    }
    added_ += changed_.size();
    if (!lock_.WriteCells(*entry, changed_))
        ++incompleteBatches_;
}

}  // namespace marivane
