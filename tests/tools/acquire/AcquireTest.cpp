// acquire run as a program: its command line, its exit statuses for projects it cannot use, and a
// survey of the simulated sonar recorded through the real link into a fresh project, checked byte for
// byte against the simulator's own stream.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/acquisition/PacketFormat.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/acquisition/TrackFile.h"
#include "marivane/shell/ProjectSession.h"
#include "platform/Binary.h"
#include "platform/Profile.h"
#include "platform/Socket.h"
#include "tools/acquire/AcquireRun.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A child process with its own working folder, standard output and error in files.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& out,
          const fs::path& err) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::chdir(folder.c_str()) != 0)
                ::_exit(127);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ~Child() { Kill(); }
    // The exit status, or nothing when it did not end in time (it is then killed).
    std::optional<int> Wait(std::chrono::seconds limit) {
        for (const auto end = SteadyClock::now() + limit; SteadyClock::now() < end;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        Kill();
        return std::nullopt;
    }
    void Signal(int sig) {
        if (pid_ > 0)
            ::kill(pid_, sig);
    }
    void Kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
};

// Answers the new-project wizard once; every question gets "no".
class WizardPrompts final : public marivane::UserPrompts {
  public:
    explicit WizardPrompts(marivane::NewProjectAnswers a) : answers_(std::move(a)) {}
    platform::MessageAnswer Ask(std::string_view, std::string_view, unsigned) override {
        return platform::MessageAnswer::No;
    }
    std::vector<fs::path> ChooseFiles(const marivane::FileChoice&) override { return {}; }
    marivane::ProjectOption ChooseProjectOption() override { return marivane::ProjectOption::Cancel; }
    std::optional<marivane::NewProjectAnswers> RunNewProjectWizard(
        const marivane::NewProjectWizardStart&) override {
        return answers_;
    }

  private:
    marivane::NewProjectAnswers answers_;
};

class Acquire : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("acquire_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "program");
        fs::create_directories(dir_ / "data");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A fresh project made through the new-project flow, with the simulator's installation.
    fs::path CreateProject(const std::string& name) {
        marivane::NewProjectAnswers a;
        a.name = name;
        a.location = (dir_ / "data").string();
        a.device.transducer = {0.35, 1.10, 2.20, 0.40, 0.30, -0.20, 0.0};  // X Y Z yaw roll pitch latency
        a.device.gnss = {0.50, -2.40, -6.80, 0.0, 0.0, 0.0, 0.0};
        a.device.motion = {0.0, 0.0, 0.0, 0.0, 0.15, 0.10, 0.0};
        marivane::AcquisitionEngine engine;
        geodesy::CCoordinateCal coordinates;
        platform::NullMessageSink sink;
        marivane::AcquisitionPipeline pipeline(engine, coordinates, sink);
        WizardPrompts prompts(a);
        marivane::ProjectSession session(marivane::SessionEnvironment{
            dir_ / "program", pipeline, coordinates, sink, platform::SystemClock(), prompts});
        EXPECT_TRUE(session.NewProject());
        device_ = session.Device();
        geo_ = coordinates.Parameters();
        return dir_ / "data" / name / (name + ".ngn");
    }
    void WriteNetSettings(std::uint16_t port) {
        std::ofstream(dir_ / "program" / "NetCfg.ini")
            << "[Net]\nIP=127.0.0.1\nPORT=" << port << "\nIP_Spare=127.0.0.1\nPORT_Spare=" << port << "\n";
    }
    struct Result {
        std::optional<int> status;
        std::string out, err;
    };
    Result RunAcquire(const std::vector<std::string>& args, std::chrono::seconds limit = 60s) {
        std::vector<std::string> argv = {ACQUIRE_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        Child child(argv, dir_ / "program", dir_ / "acquire.out", dir_ / "acquire.err");
        Result r;
        r.status = child.Wait(limit);
        r.out = ReadText(dir_ / "acquire.out");
        r.err = ReadText(dir_ / "acquire.err");
        return r;
    }

    fs::path dir_;
    marivane::DeviceSettings device_;
    geodesy::ParaOfGeo geo_;
};

TEST(AcquireArguments, ProjectRecordAndSeconds) {
    acquire::Options o;
    std::string error;
    ASSERT_TRUE(acquire::ParseArguments({"p.ngn"}, o, error));
    EXPECT_EQ(o.project, "p.ngn");
    EXPECT_FALSE(o.record);
    EXPECT_FALSE(o.seconds.has_value());
    ASSERT_TRUE(acquire::ParseArguments({"--seconds", "2.5", "p.ngn", "--record"}, o, error));
    EXPECT_TRUE(o.record);
    EXPECT_EQ(o.seconds, 2.5);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{},
                                               {"--record"},
                                               {"a.ngn", "b.ngn"},
                                               {"p.ngn", "--seconds"},
                                               {"p.ngn", "--seconds", "-1"},
                                               {"p.ngn", "--seconds", "nan"},
                                               {"p.ngn", "--seconds", "5x"},
                                               {"p.ngn", "--loud"}}) {
        EXPECT_FALSE(acquire::ParseArguments(bad, o, error)) << ::testing::PrintToString(bad);
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(Acquire, ExitStatusesForProjectsItCannotUse) {
    const auto usage = RunAcquire({"--record"});
    EXPECT_EQ(usage.status, acquire::kExitUsage);
    EXPECT_NE(usage.err.find("usage: acquire"), std::string::npos);

    const auto missing = RunAcquire({(dir_ / "data" / "none.ngn").string(), "--seconds", "1"});
    EXPECT_EQ(missing.status, acquire::kExitFailed);
    EXPECT_NE(missing.err.find("can not read project information file!"), std::string::npos) << missing.err;

    fs::create_directories(dir_ / "data" / "Bad");
    std::ofstream(dir_ / "data" / "Bad" / "Bad.ngn") << "[FileOfProject]\nMultipleBeamPath=..\\..\\\n";
    const auto damaged =
        RunAcquire({(dir_ / "data" / "Bad" / "Bad.ngn").string(), "--record", "--seconds", "1"});
    EXPECT_EQ(damaged.status, acquire::kExitFailed);
    EXPECT_NE(damaged.err.find("Failed to get multibeam data folder path"), std::string::npos) << damaged.err;
    // Nothing was recorded, least of all where the damaged folder name points.
    for (const auto& e : fs::recursive_directory_iterator(dir_))
        EXPECT_NE(e.path().extension(), ".mbm") << e.path();
}

TEST_F(Acquire, WithoutASonarItRunsItsTimeAndWritesNothing) {
    const fs::path ngn = CreateProject("Quiet");
    auto listener = platform::ListeningSocket::Listen("127.0.0.1", 0, 1);
    WriteNetSettings(listener.Port());
    listener.Close();
    const auto start = SteadyClock::now();
    const auto r = RunAcquire({ngn.string(), "--seconds", "1.5"});
    EXPECT_EQ(r.status, acquire::kExitOk) << r.err;
    EXPECT_GE(SteadyClock::now() - start, 1500ms);
    EXPECT_NE(r.out.find("acquire: packets 0 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("acquire: no files written"), std::string::npos) << r.out;
    EXPECT_EQ(ReadText(dir_ / "data" / "Quiet" / "Quiet.flst"), "");
    // The program's last project follows, as after opening it.
    EXPECT_EQ(
        platform::GetProfileString(dir_ / "program" / "Marivane.ini", "PreProjectInfo", "StructionName", ""),
        ngn.string());
}

#ifdef SONARSIM_PATH

struct Item {
    std::uint64_t offset = 0, length = 0;
    std::uint32_t type = 0;
    std::string fate;
    bool risk = false;
    bool Accepted() const { return fate == "good" || fate == "duplicate" || fate == "flag0"; }
};

std::vector<Item> ReadManifest(const fs::path& path) {
    std::vector<Item> items;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream f(line);
        Item i;
        int risk = 0;
        if (f >> i.offset >> i.length >> i.type >> i.fate >> risk) {
            i.risk = risk != 0;
            items.push_back(i);
        }
    }
    return items;
}

struct Span {
    std::size_t offset, length;
};

// Whole packets one after the other from `at`; false when the bytes are not that.
bool SplitPackets(const std::string& bytes, std::size_t at, std::vector<Span>& out) {
    namespace pk = marivane::packet;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    while (at < bytes.size()) {
        if (bytes.size() - at < pk::kMinPacketLength || platform::LoadLE<std::uint32_t>(p + at) != pk::kMagic)
            return false;
        const std::uint32_t length = platform::LoadLE<std::uint32_t>(p + at + pk::kOffLength);
        if (length < pk::kMinPacketLength || length > bytes.size() - at ||
            platform::LoadLE<std::uint32_t>(p + at + length - pk::kTailSize) != pk::kTail ||
            (platform::LoadLE<std::uint32_t>(p + at + pk::kOffFlags) & pk::kFlagDiscard) != 0) {
            return false;
        }
        out.push_back({at, length});
        at += length;
    }
    return true;
}

double SensorTime(const std::string& bytes, const Span& s) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data()) + s.offset;
    namespace sn = marivane::packet::sensor;
    return p[sn::kMonth + 1] * 86400.0 + p[sn::kMonth + 2] * 3600.0 + p[sn::kMonth + 3] * 60.0 +
           p[sn::kMonth + 4] + platform::LoadLE<std::uint32_t>(p + sn::kMicroseconds) * 1e-6;
}

// An empty depth grid file: 5 m cells over 600 m by 600 m from (499800, 3299800).
void WriteEmptyGrid(const fs::path& path) {
    std::string bytes(256 + 120 * 120 * 8, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    platform::StoreLE<double>(p + 0, 499800.0);
    platform::StoreLE<double>(p + 8, 3299800.0);
    platform::StoreLE<double>(p + 16, 600.0);
    platform::StoreLE<double>(p + 24, 600.0);
    platform::StoreLE<double>(p + 32, 5.0);
    platform::StoreLE<double>(p + 40, 5.0);
    platform::StoreLE<std::uint32_t>(p + 56, 120);
    platform::StoreLE<std::uint32_t>(p + 60, 120);
    std::ofstream(path, std::ios::binary) << bytes;
}

std::uint64_t SoundingsInGrid(const fs::path& path) {
    const std::string bytes = ReadText(path);
    std::uint64_t sum = 0;
    for (std::size_t at = 256; at + 8 <= bytes.size(); at += 8)
        sum += platform::LoadLE<std::uint32_t>(bytes.data() + at);
    return sum;
}

TEST_F(Acquire, RecordsTheSimulatedStreamByteForByte) {
    const fs::path ngn = CreateProject("Sim");
    // A locked depth grid over the survey area.
    const fs::path grid = dir_ / "data" / "Sim" / "Matrix Files" / "area.mtrx";
    WriteEmptyGrid(grid);
    std::ofstream(dir_ / "data" / "Sim" / "Sim.flst", std::ios::app) << "Matrix Files\\=area.mtrx\n";
    platform::WriteProfileString(ngn, "MatrixFolder", "area.mtrx", "true");
    platform::WriteProfileString(ngn, "MatrixFolder", "PosMatrixFileLocked", "0");
    const std::vector<std::string> scene = {
        "--lines",     "1",  "--line-length", "300",          "--duration", "40",     "--beams", "64",
        "--ping-rate", "10", "--faults",      "--fault-rate", "0.12",       "--seed", "11"};
    // The simulator's stream as a file, with the fate of every packet.
    std::vector<std::string> write = {SONARSIM_PATH, "write", (dir_ / "stream.mbm").string(), "--manifest",
                                      (dir_ / "stream.txt").string()};
    write.insert(write.end(), scene.begin(), scene.end());
    Child writer(write, dir_, dir_ / "write.out", dir_ / "write.err");
    ASSERT_EQ(writer.Wait(60s), 0) << ReadText(dir_ / "write.err");

    std::vector<std::string> serve = {SONARSIM_PATH, "serve",   "--bind", "127.0.0.1",     "--port",
                                      "0",           "--speed", "1",      "--wait-client", "30"};
    serve.insert(serve.end(), scene.begin(), scene.end());
    Child sim(serve, dir_, dir_ / "sim.out", dir_ / "sim.err");
    std::uint16_t port = 0;
    const std::regex listening(R"(listening on [0-9.]+:([0-9]+))");
    for (const auto end = SteadyClock::now() + 10s; port == 0 && SteadyClock::now() < end;) {
        std::smatch m;
        const std::string log = ReadText(dir_ / "sim.err");
        if (std::regex_search(log, m, listening))
            port = static_cast<std::uint16_t>(std::stoi(m[1]));
        else
            std::this_thread::sleep_for(20ms);
    }
    ASSERT_NE(port, 0) << ReadText(dir_ / "sim.err");
    WriteNetSettings(port);

    const auto r = RunAcquire({ngn.string(), "--record", "--seconds", "8"});
    sim.Kill();
    ASSERT_EQ(r.status, acquire::kExitOk) << r.out << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex(R"(pings positioned ([0-9]+))"))) << r.out;
    EXPECT_GT(std::stoi(m[1]), 10) << r.out;

    // The files of the recording, listed and keyed in the project.
    const fs::path folder = dir_ / "data" / "Sim";
    std::vector<fs::path> raws, tracks;
    for (const auto& e : fs::directory_iterator(folder / "Multibeam Files")) raws.push_back(e.path());
    for (const auto& e : fs::directory_iterator(folder / "Track Line Files")) tracks.push_back(e.path());
    ASSERT_EQ(raws.size(), 1u);
    ASSERT_EQ(tracks.size(), 1u);
    const std::string rawName = raws[0].filename().string(), trackName = tracks[0].filename().string();
    EXPECT_EQ(raws[0].stem(), tracks[0].stem());
    EXPECT_TRUE(std::regex_match(rawName, std::regex(R"(\d{8}_\d{6}\.mbm)"))) << rawName;
    EXPECT_EQ(ReadText(folder / "Sim.flst"), "Matrix Files\\=area.mtrx\nMultibeam Files\\=" + rawName +
                                                 "\nTrack Line Files\\=" + trackName + "\n");

    // Every sounding the summary counts is in the locked grid's file.
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex(R"(soundings added to the locked grid ([0-9]+))")))
        << r.out;
    const std::uint64_t soundings = std::stoull(m[1]);
    EXPECT_EQ(SoundingsInGrid(grid), soundings);
#ifdef ACQUIRE_WITH_GRID
    EXPECT_GT(soundings, 1000u) << r.out;
#endif
    EXPECT_EQ(platform::ReadProfileValue(ngn, "TrackLineFolder", trackName), "false");

    // Raw file: the preamble of the project's settings, then exactly the packets the framer took.
    const std::string raw = ReadText(raws[0]);
    const auto preamble = marivane::MakeRawFilePreamble(marivane::ToRawFileDevice(device_), geo_);
    ASSERT_GE(raw.size(), preamble.size());
    EXPECT_EQ(std::memcmp(raw.data(), preamble.data(), preamble.size()), 0);
    std::vector<Span> recorded;
    ASSERT_TRUE(SplitPackets(raw, marivane::kRawFilePreambleSize, recorded));
    ASSERT_GT(recorded.size(), 100u);
    std::size_t n = 0;
    for (const Span& s : recorded) n += s.length;
    EXPECT_EQ(raw.size(), 1832 + n);

    // Each recorded packet is the next packet of the stream the framer accepts (good, duplicate or
    // flag 0), byte for byte; none is missing except those at risk after a bad tail; flag 1 never.
    const std::string stream = ReadText(dir_ / "stream.mbm");
    const std::vector<Item> items = ReadManifest(dir_ / "stream.txt");
    ASSERT_FALSE(items.empty());
    const auto same = [&](const Item& i, const Span& s) {
        return i.length == s.length && i.offset + i.length <= stream.size() &&
               std::memcmp(stream.data() + i.offset, raw.data() + s.offset, s.length) == 0;
    };
    bool matched = false;
    std::size_t flag1Skipped = 0, atRiskMissing = 0;
    for (std::size_t first = 0; first < items.size() && !matched; ++first) {
        if (!items[first].Accepted() || !same(items[first], recorded[0]))
            continue;
        std::size_t k = 0, flag1 = 0, risk = 0;
        bool broken = false;
        for (std::size_t j = first; j < items.size() && k < recorded.size() && !broken; ++j) {
            if (!items[j].Accepted()) {
                flag1 += items[j].fate == "flag1" ? 1 : 0;
            } else if (same(items[j], recorded[k])) {
                ++k;
            } else if (items[j].risk) {
                ++risk;
            } else {
                broken = true;
            }
        }
        if (!broken && k == recorded.size()) {
            matched = true;
            flag1Skipped = flag1;
            atRiskMissing = risk;
        }
    }
    EXPECT_TRUE(matched) << "the raw file is not the simulator's stream";
    EXPECT_GT(flag1Skipped, 0u) << "no flag 1 packet went by while recording";
    RecordProperty("recorded_packets", static_cast<int>(recorded.size()));
    RecordProperty("recorded_bytes", static_cast<int>(n));
    RecordProperty("at_risk_missing", static_cast<int>(atRiskMissing));

    // Track file: about one record per second of the sonar's time while recording.
    const std::string track = ReadText(tracks[0]);
    ASSERT_GE(track.size(), 64u);
    EXPECT_EQ((track.size() - 64) % 32, 0u);
    const auto records = static_cast<double>((track.size() - 64) / 32);
    double firstFix = -1, lastFix = -1;
    for (const Span& s : recorded) {
        const auto type = platform::LoadLE<std::uint32_t>(raw.data() + s.offset + marivane::packet::kOffType);
        if (type != marivane::packet::kTypeGnss)
            continue;
        const double t = SensorTime(raw, s);
        if (firstFix < 0)
            firstFix = t;
        lastFix = t;
    }
    const double span = lastFix - firstFix;
    EXPECT_GT(span, 4.0);
    EXPECT_NEAR(records, span, 2.0) << records << " track records over " << span << " s of fixes";
    RecordProperty("track_records", static_cast<int>(records));
    std::printf(
        "raw file %zu bytes = 1832 + %zu bytes of %zu packets; %g track records over %.1f s of fixes; "
        "%llu soundings in the locked grid\n",
        raw.size(), n, recorded.size(), records, span, static_cast<unsigned long long>(soundings));
    std::printf("%s", r.out.c_str());
}

#endif

}  // namespace
