// A simulated survey recorded by the simulator, read back through the acquisition side (framer,
// decoders, ping processing) and drained into a locked depth grid as the main window does while
// recording: the grid file ends up holding exactly the cells in memory, and every cell's mean depth
// lies on the simulated sea floor.
//
// Tolerance: the soundings of a cell are spread over the cell, so their mean is the floor's depth
// somewhere between the least and the greatest depth the floor takes within the cell, not at the
// centre. For each cell the floor is sampled at the centre, corners and edge midpoints (a plane or a
// gently curved surface takes its extremes over a small cell there); the mean may differ from the
// centre depth by the largest difference among those samples, plus 2 cm for what lies between the
// samples on the seamount's curvature (under 2 mm for 2 m cells), the soundings' own error (about
// 1 mm) and the single-precision running mean (well under 1 mm at these depths and counts).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/grid/LockedGridFeed.h"
#include "marivane/grid/MatrixLock.h"
#include "platform/Binary.h"
#include "platform/Message.h"

namespace {

namespace fs = std::filesystem;

// The installation the simulator uses unless told otherwise.
struct Offsets {
    float x, y, z, roll, pitch, yaw;
};
constexpr Offsets kTransducer{0.35f, 1.1f, 2.2f, 0.3f, -0.2f, 0.4f};
constexpr Offsets kAntenna{0.5f, -2.4f, -6.8f, 0.0f, 0.0f, 0.0f};
constexpr Offsets kMotionSensor{0.0f, 0.0f, 0.0f, 0.15f, 0.1f, 0.0f};

void Install(CBeamora& b, bool transducer) {
    if (transducer) {
        b.SetInstallTransducer(kTransducer.x, kTransducer.y, kTransducer.z, kTransducer.roll,
                               kTransducer.pitch, kTransducer.yaw, 0.0f);
    }
    b.SetInstallGPS(kAntenna.x, kAntenna.y, kAntenna.z, kAntenna.roll, kAntenna.pitch, kAntenna.yaw, 0.0f);
    b.SetInstallMRU(kMotionSensor.x, kMotionSensor.y, kMotionSensor.z, kMotionSensor.roll,
                    kMotionSensor.pitch, kMotionSensor.yaw, 0.0f);
}

// One line of 150 m heading 30 degrees from (500000, 3300000) over the default floor (a slope with a
// seamount in the middle of the line).
const std::vector<std::string> kScene = {"--lines", "1", "--line-length", "150", "--seed", "7"};

// The grid: 75 × 40 cells of 2 m, its length along the line and its width across it, 40 m each side.
// At rotation 300 the length side points along (cos 300°, −sin 300°) = 30 degrees from north and the
// width side to port.
constexpr double kCell = 2.0;
constexpr std::uint32_t kColumns = 75, kRows = 40;
constexpr double kRotation = 300.0;

struct Point {
    double easting, northing;
};

class SurveyIntoGrid : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("grid_survey_" + std::to_string(::getpid()) + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string SceneArgs() const {
        std::string s;
        for (const auto& a : kScene) s += " " + a;
        return s;
    }

    // The simulator's sea floor depth at each point.
    std::vector<double> Truth(const std::vector<Point>& points) const {
        const fs::path in = dir_ / "points.txt", out = dir_ / "truth.txt";
        {
            std::ofstream f(in);
            char line[96];
            for (const auto& p : points) {
                std::snprintf(line, sizeof line, "%.4f %.4f\n", p.easting, p.northing);
                f << line;
            }
        }
        const std::string cmd =
            std::string(SONARSIM_PATH) + " truth" + SceneArgs() + " < " + in.string() + " > " + out.string();
        if (std::system(cmd.c_str()) != 0)
            return {};
        std::vector<double> depths;
        std::ifstream f(out);
        for (double d; f >> d;) depths.push_back(d);
        return depths;
    }

    fs::path dir_;
};

TEST_F(SurveyIntoGrid, CellMeansLieOnTheSimulatedFloorAndTheFileHoldsWhatMemoryHolds) {
    // The survey as the simulator records it.
    const fs::path raw = dir_ / "survey.mbm";
    const std::string cmd =
        std::string(SONARSIM_PATH) + " write " + raw.string() + SceneArgs() + " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream in(raw, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    const auto preamble = marivane::ParseRawFilePreamble(bytes);
    ASSERT_TRUE(preamble.Ok()) << preamble.message;

    // The locked grid, opened for update as at the start of recording.
    const double theta = kRotation * 3.14159265 / 180.0;
    const Point along{std::cos(theta), -std::sin(theta)}, across{std::sin(theta), std::cos(theta)};
    marivane::MatrixHeader header;
    header.baseX = 500000.0 - 40.0 * across.easting;
    header.baseY = 3300000.0 - 40.0 * across.northing;
    header.length = kColumns * kCell;
    header.width = kRows * kCell;
    header.cellLength = header.cellWidth = kCell;
    header.rotation = kRotation;
    const fs::path gridFile = dir_ / "survey.mtrx";
    ASSERT_TRUE(marivane::CreateMatrixFile(gridFile, header));
    marivane::DepthColourTable colours;
    marivane::LoadedMatrixList grids;
    ASSERT_EQ(marivane::LoadMatrix(grids, gridFile, colours), marivane::MatrixLoadResult::Loaded);
    marivane::MatrixLock lock;
    ASSERT_TRUE(lock.Lock(0, grids, false));
    ASSERT_EQ(lock.OpenForRecording(grids), marivane::MatrixLock::OpenResult::Opened);
    marivane::LockedGridFeed feed(grids, lock, colours);

    // The recorded packets through the acquisition side, the results drained as the main window does.
    marivane::AcquisitionEngine engine;
    geodesy::CCoordinateCal coordinates;
    platform::NullMessageSink sink;
    marivane::AcquisitionPipeline pipeline(engine, coordinates, sink);
    Install(engine.head1, true);
    Install(engine.head2, false);
    Install(engine.track, true);
    pipeline.Results().SetPositionedPingConsumer(&feed);
    std::vector<std::uint8_t> buffer(1 << 20);
    std::size_t fill = 0;
    bool continuing = false;
    for (std::size_t at = preamble.preamble.dataOffset; at < bytes.size();) {
        const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1 << 16);
        ASSERT_LE(fill + n, buffer.size());
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n,
                    buffer.begin() + static_cast<std::ptrdiff_t>(fill));
        at += n;
        fill = pipeline.FeedRecorded(buffer.data(), fill + n, continuing);
        continuing = true;
        pipeline.Results().OnPingProcessed();
    }
    pipeline.Results().OnPingProcessed();
    EXPECT_EQ(feed.IncompleteBatches(), 0u);
    ASSERT_TRUE(lock.Close(grids));

    // The file holds exactly the cells in memory.
    const marivane::DepthMatrix& grid = grids[0].matrix;
    std::ifstream file(gridFile, std::ios::binary);
    const std::vector<std::uint8_t> stored((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    ASSERT_EQ(stored.size(), marivane::MatrixCellOffset(grid.CellCount()));
    const auto* memory = reinterpret_cast<const std::uint8_t*>(grid.Cells().data());
    EXPECT_TRUE(std::equal(stored.begin() + marivane::kMatrixFileHeaderSize, stored.end(), memory));

    // Each cell with soundings: its centre and eight points around it on the floor.
    std::vector<std::size_t> filled;
    std::vector<Point> samples;
    for (std::uint32_t row = 0; row < kRows; ++row) {
        for (std::uint32_t column = 0; column < kColumns; ++column) {
            const std::size_t cell = static_cast<std::size_t>(row) * kColumns + column;
            if (grid.Cells()[cell].count == 0)
                continue;
            filled.push_back(cell);
            for (double v : {0.5, 0.0, 1.0}) {
                for (double u : {0.5, 0.0, 1.0}) {
                    const double a = (column + u) * kCell, b = (row + v) * kCell;
                    samples.push_back({header.baseX + a * along.easting + b * across.easting,
                                       header.baseY + a * along.northing + b * across.northing});
                }
            }
        }
    }
    EXPECT_GT(filled.size(), kRows * kColumns * 9 / 10) << "cells with soundings";
    EXPECT_EQ(feed.SoundingsAdded(), [&] {
        std::uint64_t n = 0;
        for (const auto& c : grid.Cells()) n += c.count;
        return n;
    }());
    const std::vector<double> truth = Truth(samples);
    ASSERT_EQ(truth.size(), samples.size());

    std::size_t outside = 0;
    double worst = 0.0;
    for (std::size_t k = 0; k < filled.size(); ++k) {
        const double* t = &truth[9 * k];  // t[0] is the centre
        double spread = 0.0;
        for (int i = 1; i < 9; ++i) spread = std::max(spread, std::fabs(t[i] - t[0]));
        const double error = std::fabs(grid.Cells()[filled[k]].mean - t[0]);
        worst = std::max(worst, error - spread);
        if (error > spread + 0.02)
            ++outside;
    }
    EXPECT_EQ(outside, 0u) << "of " << filled.size() << " cells; worst excess over the spread " << worst
                           << " m";
}

}  // namespace
