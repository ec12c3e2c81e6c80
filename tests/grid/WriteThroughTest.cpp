// The locked grid while recording: soundings of positioned pings applied and written through, the
// file equal to memory after every batch (also after failed writes), and the lock commands.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "marivane/grid/LockedGridFeed.h"
#include "marivane/grid/MatrixLock.h"

namespace {

namespace fs = std::filesystem;
using gridtest::GridHeader;
using gridtest::GridTest;
using marivane::LoadedMatrix;
using marivane::MatrixCell;
using marivane::MatrixLock;
using marivane::PositionedPing;

// Writes that fail while told to.
struct FileControl {
    bool failWrites = false;
    int writes = 0;
    int opens = 0;
};

class ControlledFile final : public marivane::MatrixUpdateFile {
  public:
    ControlledFile(std::unique_ptr<marivane::MatrixUpdateFile> real, FileControl& control)
        : real_(std::move(real)), control_(control) {}
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
        ++control_.writes;
        return !control_.failWrites && real_->WriteAt(offset, data, size);
    }
    bool Close() override { return real_->Close(); }

  private:
    std::unique_ptr<marivane::MatrixUpdateFile> real_;
    FileControl& control_;
};

class WriteThroughTest : public GridTest {
  protected:
    WriteThroughTest()
        : lock_([this](const fs::path& path,
                       std::uint64_t minimumSize) -> std::unique_ptr<marivane::MatrixUpdateFile> {
              auto real = marivane::OpenMatrixFileForUpdate(path, minimumSize);
              if (!real)
                  return nullptr;
              ++control_.opens;
              return std::make_unique<ControlledFile>(std::move(real), control_);
          }),
          feed_(list_, lock_, colours_) {}

    void SetUp() override {
        GridTest::SetUp();
        // 60 × 40 cells of 1 m at (1000, 2000), turned by 20 degrees.
        for (const char* name : {"a.mtrx", "b.mtrx"}) {
            marivane::MatrixHeader h = GridHeader(1000.0, 2000.0, 60, 40, 1.0, 20.0);
            ASSERT_TRUE(marivane::CreateMatrixFile(Path(name), h));
            ASSERT_EQ(marivane::LoadMatrix(list_, Path(name), colours_), marivane::MatrixLoadResult::Loaded);
        }
    }

    // Pings whose soundings scatter over the grid and beyond it, some with no depth (invalid beams).
    std::vector<PositionedPing> Pings(std::size_t count) {
        std::vector<PositionedPing> pings(count);
        std::uniform_real_distribution<double> along(-10.0, 75.0), across(-10.0, 55.0), depth(5.0, 60.0);
        for (auto& ping : pings) {
            const double centre = along(random_);
            for (auto& s : ping.solutions) {
                s.easting = 1000.0 + centre + 0.05 * across(random_);
                s.northing = 2000.0 + across(random_);
                s.depth = std::bernoulli_distribution(0.1)(random_) ? 0.0 : depth(random_);
                s.valid = s.depth > 0.0 ? 1 : 0;
            }
        }
        return pings;
    }

    LoadedMatrix& Grid(const std::string& name) {
        return list_[static_cast<std::size_t>(marivane::IndexOfMatrix(list_, Path(name)))];
    }

    void ExpectFileEqualsMemory(const std::string& name) {
        const auto onDisk = gridtest::FileCells(Path(name));
        const auto memory = Grid(name).matrix.Cells();
        ASSERT_EQ(onDisk.size(), memory.size());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < onDisk.size(); ++i) differing += onDisk[i] == memory[i] ? 0 : 1;
        EXPECT_EQ(differing, 0u) << name;
    }

    std::uint64_t Soundings(const std::string& name) {
        std::uint64_t total = 0;
        for (const MatrixCell& c : Grid(name).matrix.Cells()) total += c.count;
        return total;
    }

    void Record(int index) {
        ASSERT_TRUE(lock_.Lock(index, list_, false));
        ASSERT_EQ(lock_.OpenForRecording(list_), MatrixLock::OpenResult::Opened);
    }

    std::mt19937 random_{12345};
    FileControl control_;
    marivane::DepthColourTable colours_;
    marivane::LoadedMatrixList list_;
    MatrixLock lock_;
    marivane::LockedGridFeed feed_;
};

TEST_F(WriteThroughTest, EveryBatchLeavesTheFileEqualToMemory) {
    Record(0);
    std::uint64_t writes = 0;
    for (int batch = 0; batch < 25; ++batch) {
        const auto pings = Pings(1 + batch % 5);
        feed_.ConsumePositionedPings(pings);
        ExpectFileEqualsMemory("a.mtrx");
        writes = static_cast<std::uint64_t>(control_.writes);
    }
    EXPECT_EQ(feed_.SoundingsAdded(), Soundings("a.mtrx"));
    EXPECT_GT(feed_.SoundingsAdded(), 10000u);
    EXPECT_EQ(feed_.IncompleteBatches(), 0u);
    // Changed cells go out in runs: far fewer writes than soundings.
    EXPECT_LT(writes * 10, feed_.SoundingsAdded());
    EXPECT_EQ(Soundings("b.mtrx"), 0u);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(WriteThroughTest, TheValidFlagIsNotConsulted) {
    Record(0);
    std::vector<PositionedPing> pings(1);
    auto& s = pings[0].solutions[7];
    s = {1000.5, 2000.5, 12.0, 0.0, 0};  // invalid, yet inside the grid with a depth
    feed_.ConsumePositionedPings(pings);
    EXPECT_EQ(Grid("a.mtrx").matrix.Cells()[0].count, 1u);
    // The 511 empty solutions (easting, northing and depth 0) changed nothing.
    EXPECT_EQ(Soundings("a.mtrx"), 1u);
    ExpectFileEqualsMemory("a.mtrx");
}

TEST_F(WriteThroughTest, AFailedWriteIsReportedOnceAndCaughtUpByTheNextBatch) {
    Record(0);
    feed_.ConsumePositionedPings(Pings(2));
    control_.failWrites = true;
    feed_.ConsumePositionedPings(Pings(2));
    feed_.ConsumePositionedPings(Pings(2));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Failed to write the matrix file!");
    EXPECT_EQ(feed_.IncompleteBatches(), 2u);
    EXPECT_GT(lock_.PendingCells(), 0u);
    EXPECT_GT(lock_.FailedWrites(), 0u);
    const auto onDisk = gridtest::FileCells(Path("a.mtrx"));
    const auto memory = Grid("a.mtrx").matrix.Cells();
    EXPECT_FALSE(std::equal(onDisk.begin(), onDisk.end(), memory.begin()));

    control_.failWrites = false;
    feed_.ConsumePositionedPings(Pings(1));
    EXPECT_EQ(lock_.PendingCells(), 0u);
    ExpectFileEqualsMemory("a.mtrx");
    EXPECT_EQ(feed_.IncompleteBatches(), 2u);

    // A new failure after writing recovered is reported again.
    control_.failWrites = true;
    feed_.ConsumePositionedPings(Pings(1));
    EXPECT_EQ(messages_.shown.size(), 2u);
}

TEST_F(WriteThroughTest, StoppingWritesPendingCellsBeforeClosing) {
    Record(0);
    control_.failWrites = true;
    feed_.ConsumePositionedPings(Pings(3));
    EXPECT_GT(lock_.PendingCells(), 0u);
    control_.failWrites = false;
    EXPECT_TRUE(lock_.Close(list_));
    EXPECT_FALSE(lock_.IsOpen());
    ExpectFileEqualsMemory("a.mtrx");

    // Still failing at the stop: reported by the result.
    Record(0);
    control_.failWrites = true;
    feed_.ConsumePositionedPings(Pings(1));
    EXPECT_FALSE(lock_.Close(list_));
}

TEST_F(WriteThroughTest, PingsAreDroppedWithoutAnOpenFile) {
    feed_.ConsumePositionedPings(Pings(2));  // locked nowhere, not recording
    ASSERT_TRUE(lock_.Lock(0, list_, false));
    feed_.ConsumePositionedPings(Pings(2));  // locked, but not recording
    EXPECT_EQ(Soundings("a.mtrx"), 0u);

    ASSERT_EQ(lock_.OpenForRecording(list_), MatrixLock::OpenResult::Opened);
    EXPECT_EQ(lock_.OpenForRecording(list_), MatrixLock::OpenResult::AlreadyOpen);
    feed_.ConsumePositionedPings(Pings(1));
    const auto fed = Soundings("a.mtrx");
    EXPECT_GT(fed, 0u);

    // Unlocking while recording closes the file: nothing is fed any more.
    lock_.Unlock(list_);
    EXPECT_EQ(lock_.LockedIndex(), -1);
    EXPECT_FALSE(lock_.IsOpen());
    feed_.ConsumePositionedPings(Pings(2));
    EXPECT_EQ(Soundings("a.mtrx"), fed);
    ExpectFileEqualsMemory("a.mtrx");
}

TEST_F(WriteThroughTest, LockingAnotherGridWhileRecordingMovesTheFileAlong) {
    Record(0);
    feed_.ConsumePositionedPings(Pings(2));
    const auto fedA = Soundings("a.mtrx");
    ASSERT_TRUE(lock_.Lock(1, list_, true));
    EXPECT_EQ(lock_.OpenPath(), Path("b.mtrx"));
    feed_.ConsumePositionedPings(Pings(2));
    EXPECT_EQ(Soundings("a.mtrx"), fedA);
    EXPECT_GT(Soundings("b.mtrx"), 0u);
    ExpectFileEqualsMemory("a.mtrx");
    ExpectFileEqualsMemory("b.mtrx");
    EXPECT_FALSE(lock_.Lock(2, list_, true));  // no such grid: nothing changes
    EXPECT_EQ(lock_.LockedIndex(), 1);
}

TEST_F(WriteThroughTest, TheFileFollowsItsGridWhenLoadedAgainOrCleared) {
    Record(0);
    feed_.ConsumePositionedPings(Pings(2));
    // Loaded again: the entry moves to the end of the list and its index now names the other grid.
    ASSERT_EQ(marivane::LoadMatrix(list_, Path("a.mtrx"), colours_), marivane::MatrixLoadResult::Loaded);
    EXPECT_EQ(list_[0].path, Path("b.mtrx"));
    feed_.ConsumePositionedPings(Pings(2));
    EXPECT_EQ(Soundings("b.mtrx"), 0u);
    ExpectFileEqualsMemory("a.mtrx");

    // Cleared: the file was replaced; the next batch lands in the new one.
    ASSERT_EQ(marivane::ClearMatrixData(Grid("a.mtrx")), marivane::MatrixClearResult::Cleared);
    const int opens = control_.opens;
    feed_.ConsumePositionedPings(Pings(1));
    EXPECT_EQ(control_.opens, opens + 1);
    EXPECT_GT(Soundings("a.mtrx"), 0u);
    ExpectFileEqualsMemory("a.mtrx");
}

TEST_F(WriteThroughTest, FilesThatCannotBeOpenedAreReported) {
    lock_.SetLockedIndex(5);
    EXPECT_EQ(lock_.OpenForRecording(list_), MatrixLock::OpenResult::NotLocked);
    lock_.SetLockedIndex(-1);
    EXPECT_EQ(lock_.OpenForRecording(list_), MatrixLock::OpenResult::NotLocked);
    EXPECT_TRUE(messages_.shown.empty());

    // A file shorter than its cells is not written into.
    auto bytes = gridtest::ReadBytes(Path("a.mtrx"));
    bytes.resize(bytes.size() - 8);
    gridtest::WriteBytes(Path("a.mtrx"), bytes);
    lock_.SetLockedIndex(0);
    EXPECT_EQ(lock_.OpenForRecording(list_), MatrixLock::OpenResult::Failed);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Failed to open the Matrix file!"});
    EXPECT_FALSE(lock_.IsOpen());

    fs::remove(Path("a.mtrx"));
    messages_.shown.clear();
    EXPECT_TRUE(lock_.Lock(0, list_, true));
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Failed to open Matrix file!"});
    EXPECT_EQ(lock_.LockedIndex(), 0);
    EXPECT_FALSE(lock_.IsOpen());
}

}  // namespace
