// rawdump on surveys written by the simulator: the soundings it prints lie on the simulator's sea
// floor, and its counts of a damaged file agree with what the simulator says it put in.

#ifdef SONARSIM_PATH

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "RawDumpSupport.h"
#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/shell/DeviceSettings.h"
#include "platform/Profile.h"

namespace {

using dumptest::Lines;
using dumptest::Slurp;

constexpr const char* kLayers = "FTP NEW 2\n0 1520\n5 1518\n12 1505\n20 1495\n30 1490\n45 1487\n80 1485\n";

struct Errors {
    std::size_t soundings = 0;
    std::size_t perHead[2] = {0, 0};
    double median = NAN;
    double max = NAN;
};

class RawDumpSurvey : public dumptest::DumpTest {
  protected:
    // Writes a survey with the simulator; extra options after the defaults.
    dumptest::fs::path Simulate(const std::string& name, std::vector<std::string> options) {
        const auto file = Path(name);
        options.insert(options.begin(), {"write", file.string(), "--duration", "60"});
        const auto r = Execute(SONARSIM_PATH, options);
        EXPECT_EQ(r.status, 0) << r.err;
        return file;
    }

    // rawdump --soundings with `options`, each depth compared with the simulator's floor at its place.
    Errors SoundingErrors(const dumptest::fs::path& file, std::vector<std::string> options) {
        options.insert(options.begin(), "--soundings");
        options.push_back(file.string());
        const auto dump = Dump(options);
        EXPECT_EQ(dump.status, 0) << dump.err;
        EXPECT_EQ(dump.err, "");
        std::string points;
        std::vector<double> depths;
        Errors e;
        for (const auto& line : Lines(dump.out)) {
            double t, east, north, depth;
            unsigned ping, head, beam;
            if (std::sscanf(line.c_str(), "%lf %u %u %u %lf %lf %lf", &t, &ping, &head, &beam, &east, &north,
                            &depth) != 7 ||
                head > 1) {
                ADD_FAILURE() << "not a sounding: " << line;
                continue;
            }
            ++e.perHead[head];
            depths.push_back(depth);
            points +=
                line.substr(line.find(' ', line.find(' ', line.find(' ', line.find(' ') + 1) + 1) + 1) + 1);
            points += '\n';
        }
        const auto pointFile = WriteText("points.txt", points);
        const auto truth = Execute(SONARSIM_PATH, {"truth"}, pointFile);
        EXPECT_EQ(truth.status, 0) << truth.err;
        const auto truthLines = Lines(truth.out);
        EXPECT_EQ(truthLines.size(), depths.size());
        std::vector<double> errors;
        for (std::size_t i = 0; i < depths.size() && i < truthLines.size(); ++i)
            errors.push_back(std::fabs(depths[i] - std::stod(truthLines[i])));
        e.soundings = errors.size();
        if (!errors.empty()) {
            std::sort(errors.begin(), errors.end());
            e.median = errors[errors.size() / 2];
            e.max = errors.back();
        }
        std::printf("[ errors   ] %zu soundings: median %.4f m, max %.4f m\n", e.soundings, e.median, e.max);
        return e;
    }
};

TEST_F(RawDumpSurvey, OneVelocityWithMotionLiesOnTheFloor) {
    const auto file = Simulate("one.mbm", {});
    const Errors e = SoundingErrors(file, {});
    // 60 s at 4 pings a second with 512 beams; the first pings wait for motion data.
    EXPECT_GT(e.soundings, 230u * 512u);
    EXPECT_LT(e.median, 0.01);
}

TEST_F(RawDumpSurvey, LayeredProfileWithMotionLiesOnTheFloor) {
    const auto svp = WriteText("layers.vel", kLayers);
    const auto file = Simulate("layers.mbm", {"--svp", svp.string()});
    const Errors e = SoundingErrors(file, {"--svp", svp.string()});
    EXPECT_GT(e.soundings, 230u * 512u);
    EXPECT_LT(e.median, 0.05);
}

TEST_F(RawDumpSurvey, SecondHeadUsesItsOwnTransducer) {
    const auto file = Simulate("dual.mbm", {"--dual-head", "--transducer2", "-0.8,1.0,2.6,-0.5,0.3,-0.2"});
    const Errors e = SoundingErrors(file, {});
    EXPECT_GT(e.perHead[0], 230u * 512u);
    EXPECT_GT(e.perHead[1], 230u * 512u);
    EXPECT_LT(e.median, 0.01);
    EXPECT_LT(e.max, 0.05);
}

// The header's installation and coordinate system written as project settings, with the profile named
// in them: the same soundings through the settings path.
TEST_F(RawDumpSurvey, ProjectSettingsGiveTheSameSoundings) {
    const auto svp = WriteText("layers.vel", kLayers);
    const auto file = Simulate("layers.mbm", {"--svp", svp.string()});
    const std::string head = Slurp(file).substr(0, marivane::kRawFilePreambleSize);
    const auto preamble = marivane::ParseRawFilePreamble(
        std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()));
    ASSERT_TRUE(preamble.Ok()) << preamble.message;
    const auto settings = Path("Project.ini");
    const auto device = marivane::FromRawFileDevice(preamble.preamble.device);
    ASSERT_TRUE(geodesy::WriteParaOfGeo(preamble.preamble.geo, settings));
    ASSERT_TRUE(marivane::WriteDeviceModel(device, settings));
    ASSERT_TRUE(marivane::WriteDeviceLocation(device, settings));
    ASSERT_TRUE(platform::WriteProfileString(settings, "ShengPou", "SoundVelocitySource", "0"));
    ASSERT_TRUE(platform::WriteProfileString(settings, "ShengPou", "sAcousticVelFile", "layers.vel"));

    const Errors e = SoundingErrors(file, {"--settings", settings.string()});
    EXPECT_GT(e.soundings, 230u * 512u);
    EXPECT_LT(e.median, 0.05);
}

// "offset length type fate risk" lines of the simulator's manifest, counted by type and fate: all of
// them, and those whose fate is guaranteed (risk 0).
struct Manifest {
    std::map<std::pair<std::uint32_t, std::string>, std::uint64_t> all, sure;
    std::uint64_t sureGarbageBytes = 0;
    std::uint64_t sureRepeats = 0;  // duplicates right after a sure original, themselves sure

    std::uint64_t All(std::uint32_t type, const std::string& fate) const { return Get(all, type, fate); }
    std::uint64_t Sure(std::uint32_t type, const std::string& fate) const { return Get(sure, type, fate); }
    std::uint64_t SureFate(const std::string& fate) const { return Sum(sure, fate); }
    std::uint64_t AllFate(const std::string& fate) const { return Sum(all, fate); }

  private:
    static std::uint64_t Get(const std::map<std::pair<std::uint32_t, std::string>, std::uint64_t>& m,
                             std::uint32_t type, const std::string& fate) {
        const auto it = m.find({type, fate});
        return it == m.end() ? 0 : it->second;
    }
    static std::uint64_t Sum(const std::map<std::pair<std::uint32_t, std::string>, std::uint64_t>& m,
                             const std::string& fate) {
        std::uint64_t n = 0;
        for (const auto& [key, count] : m) n += key.second == fate ? count : 0;
        return n;
    }
};

Manifest ReadManifest(const std::string& text) {
    Manifest m;
    bool previousSure = false;
    for (const auto& line : Lines(text)) {
        if (line.empty() || line[0] == '#')
            continue;
        unsigned long long offset = 0, length = 0;
        unsigned type = 0, risk = 0;
        char fate[32] = {};
        if (std::sscanf(line.c_str(), "%llu %llu %u %31s %u", &offset, &length, &type, fate, &risk) != 5) {
            ADD_FAILURE() << "manifest line: " << line;
            continue;
        }
        ++m.all[{type, fate}];
        const bool sure = risk == 0;
        if (sure) {
            ++m.sure[{type, fate}];
            if (std::string(fate) == "garbage")
                m.sureGarbageBytes += length;
            if (std::string(fate) == "duplicate" && previousSure)
                ++m.sureRepeats;
        }
        previousSure = sure;
    }
    return m;
}

std::uint64_t SummaryNumber(const std::string& summary, const std::string& prefix) {
    for (const auto& line : Lines(summary)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stoull(line.substr(prefix.size()));
    }
    ADD_FAILURE() << "no line \"" << prefix << "\" in\n" << summary;
    return 0;
}

TEST_F(RawDumpSurvey, FaultCountsMatchTheManifest) {
    const auto manifestFile = Path("faults.txt");
    const auto file =
        Simulate("faults.mbm", {"--faults", "--fault-rate", "0.002", "--seed", "3", "--ping-rate", "10",
                                "--beams", "128", "--manifest", manifestFile.string()});
    const Manifest m = ReadManifest(Slurp(manifestFile));
    // The chosen seed puts every kind of damage where it is sure to be seen.
    for (const char* fate : {"garbage", "duplicate", "bad-tail", "flag0", "flag1"})
        ASSERT_GT(m.SureFate(fate), 0u) << fate;

    const auto r = Dump({file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& s = r.out;
    SCOPED_TRACE(s);
    // A type's packets taken by the framer: good ones, duplicates and record-only ones.
    for (const std::uint32_t type : {3000u, 5000u, 5001u, 5004u, 5005u}) {
        SCOPED_TRACE(type);
        const std::uint64_t taken = SummaryNumber(s, "type " + std::to_string(type) + ": ");
        EXPECT_GE(taken, m.Sure(type, "good") + m.Sure(type, "duplicate") + m.Sure(type, "flag0"));
        EXPECT_LE(taken, m.All(type, "good") + m.All(type, "duplicate") + m.All(type, "flag0"));
    }
    const std::uint64_t flag0 = SummaryNumber(s, "flag bit 0 (recorded, not decoded): ");
    EXPECT_GE(flag0, m.SureFate("flag0"));
    EXPECT_LE(flag0, m.AllFate("flag0"));
    const std::uint64_t flag1 = SummaryNumber(s, "flag bit 1 (discarded): ");
    EXPECT_GE(flag1, m.SureFate("flag1"));
    EXPECT_LE(flag1, m.AllFate("flag1"));
    EXPECT_GE(SummaryNumber(s, "broken packets: "), m.SureFate("bad-tail"));
    EXPECT_GE(SummaryNumber(s, "bytes skipped while searching for a header: "), m.sureGarbageBytes);
    EXPECT_GE(SummaryNumber(s, "packets rejected by the decoders: "), m.sureRepeats);
    EXPECT_EQ(SummaryNumber(s, "bytes left incomplete at the end: "), 0u);
    const std::uint64_t pings = SummaryNumber(s, "pings accepted: head 0 ");
    EXPECT_GE(pings, m.Sure(3000, "good"));
    EXPECT_LE(pings, m.All(3000, "good"));
}

}  // namespace

#endif  // SONARSIM_PATH
