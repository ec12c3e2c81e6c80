// The receiving side against a simulated sonar on the loopback interface: the link finds the spare
// endpoint, every beam lands on the simulated sea floor, a vanished sonar is noticed through the
// keep-alive and found again when it returns, a faulty stream decodes only good packets, and the
// stop returns at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "platform/Socket.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The installation the simulator uses unless told otherwise.
struct Offsets {
    float x, y, z, roll, pitch, yaw;
};
constexpr Offsets kTransducer{0.35f, 1.1f, 2.2f, 0.3f, -0.2f, 0.4f};
constexpr Offsets kAntenna{0.5f, -2.4f, -6.8f, 0.0f, 0.0f, 0.0f};
constexpr Offsets kMotionSensor{0.0f, 0.0f, 0.0f, 0.15f, 0.1f, 0.0f};

void Install(CBeamora& b, bool transducer) {
    if (transducer) {
        b.SetInstallTransducer(kTransducer.x, kTransducer.y, kTransducer.z, kTransducer.roll, kTransducer.pitch,
                               kTransducer.yaw, 0.0f);
    }
    b.SetInstallGPS(kAntenna.x, kAntenna.y, kAntenna.z, kAntenna.roll, kAntenna.pitch, kAntenna.yaw, 0.0f);
    b.SetInstallMRU(kMotionSensor.x, kMotionSensor.y, kMotionSensor.z, kMotionSensor.roll, kMotionSensor.pitch,
                    kMotionSensor.yaw, 0.0f);
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("e2e_" + std::to_string(::getpid()) + "_" +
                                             std::to_string(Clock::now().time_since_epoch().count()));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// A sonarsim process serving on the loopback interface.
class Simulator {
public:
    Simulator(const fs::path& dir, std::vector<std::string> args) : log_(dir / ("sim" + std::to_string(++count_) + ".log")) {
        std::vector<std::string> argv = {SONARSIM_PATH, "serve", "--bind", "127.0.0.1"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, SONARSIM_PATH, &actions, nullptr, cargv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Simulator() { Stop(); }

    // The port it listens on, once it says so (0 when it does not within the time-out).
    std::uint16_t WaitForPort() {
        const std::regex listening(R"(listening on [0-9.]+:([0-9]+))");
        for (auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(20ms)) {
            std::ifstream in(log_);
            std::stringstream text;
            text << in.rdbuf();
            const std::string s = text.str();
            std::smatch m;
            if (std::regex_search(s, m, listening)) return static_cast<std::uint16_t>(std::stoi(m[1]));
        }
        return 0;
    }
    std::string Log() const {
        std::ifstream in(log_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    static inline int count_ = 0;
    fs::path log_;
    pid_t pid_ = -1;
};

// A loopback port with nothing listening on it.
std::uint16_t ClosedPort() {
    auto listener = platform::ListeningSocket::Listen("127.0.0.1", 0, 1);
    const std::uint16_t port = listener.Port();
    listener.Close();
    return port;
}

struct Sounding {
    double easting, northing, depth;
};

class Collector final : public marivane::PositionedPingConsumer {
public:
    void ConsumePositionedPings(std::span<const marivane::PositionedPing> pings) override {
        for (const auto& p : pings) {
            pingNumbers.push_back(p.pingNumber);
            for (const auto& s : p.solutions) {
                if (s.valid) soundings.push_back({s.easting, s.northing, s.depth});
            }
        }
    }
    std::vector<std::uint32_t> pingNumbers;
    std::vector<Sounding> soundings;
};

// The simulator's sea floor depth at each sounding's position.
std::vector<double> TruthDepths(const fs::path& dir, const std::vector<Sounding>& soundings,
                                const std::vector<std::string>& sceneArgs) {
    const fs::path in = dir / "points.txt";
    const fs::path out = dir / "truth.txt";
    {
        std::ofstream f(in);
        char line[96];
        for (const auto& s : soundings) {
            std::snprintf(line, sizeof line, "%.4f %.4f\n", s.easting, s.northing);
            f << line;
        }
    }
    std::string cmd = std::string(SONARSIM_PATH) + " truth";
    for (const auto& a : sceneArgs) cmd += " " + a;
    cmd += " < " + in.string() + " > " + out.string();
    if (std::system(cmd.c_str()) != 0) return {};
    std::vector<double> depths;
    std::ifstream f(out);
    for (double d; f >> d;) depths.push_back(d);
    return depths;
}

class LiveSurvey : public ::testing::Test {
protected:
    LiveSurvey() : pipeline_(engine_, coordinates_, sink_) {
        Install(engine_.head1, true);
        Install(engine_.head2, false);
        Install(engine_.track, true);
        pipeline_.Results().SetPositionedPingConsumer(&collector_);
    }
    ~LiveSurvey() override { pipeline_.Link().StopAcquisition(); }

    // What the main window's timers do: a keep-alive every 500 ms and the processed pings drained.
    void RunFor(std::chrono::milliseconds span, const std::function<bool()>& done = {}) {
        const auto end = Clock::now() + span;
        auto nextKeepAlive = Clock::now();
        while (Clock::now() < end) {
            if (Clock::now() >= nextKeepAlive) {
                pipeline_.Link().SendKeepAlive();
                nextKeepAlive += 500ms;
            }
            pipeline_.Results().OnPingProcessed();
            if (done && done()) return;
            std::this_thread::sleep_for(10ms);
        }
    }

    TempDir dir_;
    marivane::AcquisitionEngine engine_;
    geodesy::CCoordinateCal coordinates_;
    platform::QueueMessageSink sink_;
    marivane::AcquisitionPipeline pipeline_;
    Collector collector_;
};

TEST_F(LiveSurvey, SpareEndpointSoundingsOnTheSeaFloorLostPeerAndReconnect) {
    const std::vector<std::string> scene = {"--lines", "1", "--line-length", "400", "--ping-rate", "10"};
    std::vector<std::string> serve = {"--port", "0", "--speed", "5", "--loop", "--max-runtime", "60"};
    serve.insert(serve.end(), scene.begin(), scene.end());
    auto sim = std::make_unique<Simulator>(dir_.Path(), serve);
    const std::uint16_t port = sim->WaitForPort();
    ASSERT_NE(port, 0) << sim->Log();

    // The main endpoint refuses; the spare is the simulator.
    pipeline_.Link().SetEndpoints({"127.0.0.1", ClosedPort()}, {"127.0.0.1", port});
    pipeline_.Link().StartAcquisition();
    EXPECT_EQ(engine_.surveyState.Copy(), marivane::SurveyState::Surveying());
    RunFor(10s, [&] { return pipeline_.Link().Connected(); });
    ASSERT_TRUE(pipeline_.Link().Connected());
    EXPECT_GE(pipeline_.Link().ConnectAttempts(), 2u);

    RunFor(20s, [&] { return collector_.pingNumbers.size() >= 60; });
    ASSERT_GE(collector_.pingNumbers.size(), 60u);
    EXPECT_TRUE(std::is_sorted(collector_.pingNumbers.begin(), collector_.pingNumbers.end()));

    // Every valid sounding lies on the simulated sea floor.
    const auto truth = TruthDepths(dir_.Path(), collector_.soundings, scene);
    ASSERT_EQ(truth.size(), collector_.soundings.size());
    std::vector<double> errors;
    for (std::size_t i = 0; i < truth.size(); ++i) errors.push_back(std::fabs(collector_.soundings[i].depth - truth[i]));
    std::nth_element(errors.begin(), errors.begin() + static_cast<std::ptrdiff_t>(errors.size() / 2), errors.end());
    EXPECT_LT(errors[errors.size() / 2], 0.01) << "median depth error over " << errors.size() << " soundings";

    // The sonar vanishes: the keep-alive notices within about a second.
    sim->Stop();
    const auto lost = Clock::now();
    RunFor(5s, [&] { return !pipeline_.Link().Connected(); });
    EXPECT_FALSE(pipeline_.Link().Connected());
    EXPECT_LT(Clock::now() - lost, 2500ms);

    // It comes back on the same port: the link finds it again.
    serve[1] = std::to_string(port);
    sim = std::make_unique<Simulator>(dir_.Path(), serve);
    ASSERT_EQ(sim->WaitForPort(), port) << sim->Log();
    RunFor(10s, [&] { return pipeline_.Link().Connected(); });
    EXPECT_TRUE(pipeline_.Link().Connected());

    const auto stopping = Clock::now();
    pipeline_.Link().StopAcquisition();
    EXPECT_LT(Clock::now() - stopping, 2s);
    EXPECT_FALSE(pipeline_.Link().Running());
    EXPECT_EQ(engine_.surveyState.Copy(), marivane::SurveyState::Idle());
}

TEST_F(LiveSurvey, FaultyStreamDecodesEachGoodPacketOnce) {
    const fs::path manifest = dir_.Path() / "manifest.txt";
    Simulator sim(dir_.Path(), {"--port", "0", "--speed", "0", "--duration", "90", "--faults", "--fault-rate",
                                "0.003", "--manifest", manifest.string(), "--wait-client", "20"});
    const std::uint16_t port = sim.WaitForPort();
    ASSERT_NE(port, 0) << sim.Log();
    pipeline_.Link().SetEndpoints({"127.0.0.1", port}, {"127.0.0.1", port});
    pipeline_.Link().StartAcquisition();
    // Unpaced, the whole survey arrives quickly and the simulator ends after sending it; a loaded machine
    // running the sanitizers may still need a good while, so the wait is generous.
    RunFor(180s, [&] { return sim.Log().find("bytes sent") != std::string::npos; });
    ASSERT_NE(sim.Log().find("bytes sent"), std::string::npos) << sim.Log();

    // Fates of the pings from the manifest ("offset length type fate risk").
    std::ifstream in(manifest);
    std::string line;
    std::uint64_t goodPings = 0, safeGoodPings = 0, flaggedPings = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::uint64_t offset = 0, length = 0;
        std::string type, fate;
        int risk = 0;
        if (!(fields >> offset >> length >> type >> fate >> risk)) continue;
        if (type != "3000") continue;
        if (fate == "good") {
            ++goodPings;
            if (risk == 0) ++safeGoodPings;
        } else if (fate == "flag0" || fate == "flag1") {
            ++flaggedPings;
        }
    }
    ASSERT_GT(safeGoodPings, 50u) << sim.Log();
    EXPECT_GT(flaggedPings, 0u);

    // Sent is not yet received and processed: drain until the good pings are through (pings near the
    // end may still wait for motion data newer than them), then a little longer for any stray duplicate.
    RunFor(120s, [&] { return collector_.pingNumbers.size() + 5 >= safeGoodPings; });
    RunFor(500ms);
    pipeline_.Link().StopAcquisition();

    // Read after the stop: the receive thread has ended.
    const auto& counters = pipeline_.Frames().Counters();
    EXPECT_GT(counters.brokenPackets, 0u);
    EXPECT_GT(counters.bytesSkipped, 0u);

    // Every positioned ping is a distinct good one: no duplicate, no flagged or broken packet decoded.
    pipeline_.Results().OnPingProcessed();
    const auto& numbers = collector_.pingNumbers;
    EXPECT_TRUE(std::adjacent_find(numbers.begin(), numbers.end(),
                                   [](auto a, auto b) { return b <= a; }) == numbers.end());
    EXPECT_LE(numbers.size(), goodPings);
    // Pings near the end may still wait for motion data newer than them.
    EXPECT_GE(numbers.size() + 5, safeGoodPings);
}

}  // namespace
