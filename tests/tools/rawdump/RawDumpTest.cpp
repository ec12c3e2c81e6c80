// rawdump on small files made here from the packet layout.

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "RawDumpSupport.h"
#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/RawFile.h"
#include "tests/acquisition/decode/TestPackets.h"

namespace {

using dumptest::Lines;
using testpackets::Bytes;
using testpackets::Stamp;

constexpr double kT0 = testpackets::kMarch1st2024 + 12 * 3600;  // 2024-03-01 12:00:00

Stamp At(double secondsAfterNoon) {
    Stamp s;
    s.hour = 12;
    s.second = static_cast<std::uint8_t>(secondsAfterNoon);
    s.microseconds = static_cast<std::uint32_t>(std::lround((secondsAfterNoon - s.second) * 1e6));
    return s;
}

// Three beams at -30, 0 and +30 degrees, each 0.05 s one way.
Bytes Ping(std::uint32_t type, double at, std::uint32_t number, std::uint32_t flags = 0) {
    testpackets::FullPing p;
    p.type = type;
    p.stamp = At(at);
    p.pingNumber = number;
    p.pingFlags = 0;
    p.samples = {1000, 1000, 1000};
    p.counts = {-3000, 0, 3000};
    Bytes b = testpackets::Build(p);
    std::memcpy(b.data() + 12, &flags, 4);
    return b;
}

// Position, heading north, level: the sensors at one moment.
Bytes Sensors(double at) {
    testpackets::Gnss g;
    g.stamp = At(at);
    return testpackets::Concat({testpackets::Build(g), testpackets::Heading(At(at), 0.0f),
                                testpackets::Attitude(At(at), 0.0f, 0.0f, 0.0f)});
}

marivane::RawFileDevice HeaderDevice() {
    marivane::RawFileDevice d;
    d.dualHead = 1;
    d.transducer = {1.0, 0.0, 2.0, 0, 0, 0, 0};    // 1 m to starboard, 2 m down
    d.transducer2 = {-1.0, 0.0, 3.0, 0, 0, 0, 0};  // 1 m to port, 3 m down
    return d;
}

Bytes Preamble() {
    return marivane::MakeRawFilePreamble(HeaderDevice(), geodesy::DefaultParaOfGeo());
}

// A file with one of each thing the summary counts. Padding packets first, so that the reads of
// 64 KiB cut packets in two.
Bytes SurveyBytes() {
    Bytes file = Preamble();
    const auto add = [&](const Bytes& b) { file.insert(file.end(), b.begin(), b.end()); };
    for (int i = 0; i < 100; ++i) add(testpackets::Plain(3001, 1000));
    add(Bytes(37, 0x11));  // garbage: skipped while searching for a header
    add(testpackets::TimeSignal(At(0)));
    add(Sensors(0));
    add(Ping(3000, 0.5, 77));
    add(Ping(3300, 0.5, 77));
    add(Ping(3000, 0.5, 77));              // retransmission: rejected
    add(Ping(3000, 0.75, 78, 1));          // flag bit 0: recorded, not decoded
    add(testpackets::Plain(4242));         // unknown type: taken, no record
    add(testpackets::Plain(5000, 12, 2));  // flag bit 1: discarded
    add(Sensors(1));
    add(Ping(3000, 1.5, 79));                 // makes the processing position the pings at 0.5 s
    Bytes broken = testpackets::Plain(5004);  // bad tail, last: drops only itself
    broken.back() = 0;
    add(broken);
    return file;
}

bool Has(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos || text.rfind(line + "\n", 0) == 0;
}

class RawDumpTool : public dumptest::DumpTest {};

TEST_F(RawDumpTool, SummaryCountsWhatTheFramerTook) {
    const Bytes bytes = SurveyBytes();
    const auto file = WriteFile("survey.mbm", bytes);
    const auto r = Dump({file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string& s = r.out;
    const std::vector<std::string> expected = {
        "bytes " + std::to_string(bytes.size()),
        "header format 1.2.0 model TR240 dual-head 1",
        "type 3000: 4 packets",
        "type 3001: 100 packets",
        "type 3300: 1 packets",
        "type 4242: 1 packets",
        "type 5000: 1 packets",
        "type 5001: 2 packets",
        "type 5004: 2 packets",
        "type 5005: 2 packets",
        "flag bit 0 (recorded, not decoded): 1 packets",
        "flag bit 1 (discarded): 1 packets",
        "broken packets: 1 (36 bytes dropped)",
        "bytes skipped while searching for a header: 37",
        "bytes left incomplete at the end: 0",
        "packets rejected by the decoders: 1",
        "records decoded: 10",
        "first record: 2024-03-01 12:00:00.000000 (epoch 1709294400.000000)",
        "last record: 2024-03-01 12:00:01.500000 (epoch 1709294401.500000)",
        "pings accepted: head 0 2, head 1 1",
        "pings positioned: 2 (6 valid soundings)",
    };
    for (const std::string& line : expected) EXPECT_TRUE(Has(s, line)) << line << "\nin:\n" << s;
    // Types in ascending order, each once.
    EXPECT_LT(s.find("type 3000:"), s.find("type 3001:"));
    EXPECT_LT(s.find("type 3300:"), s.find("type 4242:"));
}

TEST_F(RawDumpTool, RecordsOneLinePerDecodedRecordInFileOrder) {
    const auto file = WriteFile("survey.mbm", SurveyBytes());
    const auto r = Dump({"--records", file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    std::vector<std::string> kinds;
    for (const auto& l : lines) kinds.push_back(l.substr(0, l.find(' ')));
    EXPECT_EQ(kinds, (std::vector<std::string>{"time", "gnss", "heading", "attitude", "ping", "ping", "gnss",
                                               "heading", "attitude", "ping"}));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "time 1709294400.000000");
    EXPECT_EQ(
        lines[1].rfind("gnss 1709294400.000000 lat 22.500000000 lon 114.250000000 height 7.500 east ", 0), 0u)
        << lines[1];
    EXPECT_NE(lines[1].find(" quality 4 sats 12 hdop 0.80"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "heading 1709294400.000000 heading 0.000");
    EXPECT_EQ(lines[3], "attitude 1709294400.000000 roll 0.000 pitch 0.000 heave 0.000");
    EXPECT_EQ(lines[4],
              "ping 1709294400.500000 head 0 number 77 beams 3 ssv 1510.50 rate 4.000 stab 0 tilt 0 "
              "opening 128.00 model TR240");
    EXPECT_EQ(lines[5].substr(0, 44), "ping 1709294400.500000 head 1 number 77 beam");
    EXPECT_EQ(lines[9].substr(0, 44), "ping 1709294401.500000 head 0 number 79 beam");
}

struct Sounding {
    double time;
    unsigned ping, head, beam;
    double easting, northing, depth;
};

std::vector<Sounding> ParseSoundings(const std::string& text) {
    std::vector<Sounding> out;
    for (const auto& line : Lines(text)) {
        Sounding s{};
        if (std::sscanf(line.c_str(), "%lf %u %u %u %lf %lf %lf", &s.time, &s.ping, &s.head, &s.beam,
                        &s.easting, &s.northing, &s.depth) == 7)
            out.push_back(s);
    }
    return out;
}

// Easting and northing of the fixes, from the records.
std::pair<double, double> FixPosition(const std::string& records) {
    for (const auto& line : Lines(records)) {
        double e = 0, n = 0;
        const auto at = line.find(" east ");
        if (line.rfind("gnss ", 0) == 0 && at != std::string::npos &&
            std::sscanf(line.c_str() + at, " east %lf north %lf", &e, &n) == 2)
            return {e, n};
    }
    return {NAN, NAN};
}

TEST_F(RawDumpTool, SoundingsUseTheHeaderOrTheSettings) {
    const auto file = WriteFile("survey.mbm", SurveyBytes());
    const auto records = Dump({"--records", file.string()});
    ASSERT_EQ(records.status, 0);
    const auto [east, north] = FixPosition(records.out);
    ASSERT_TRUE(std::isfinite(east));

    // Offsets 5 m and 6 m down, 2 m to starboard and port; the second transducer is handed over even
    // though the settings say one head. The average velocity replaces the pings' surface velocity.
    const auto settings = WriteText("Project.ini",
                                    "[DeviceModel]\nModelNo=0\nDualHead=0\n"
                                    "[DeviceLocation]\ndRMBOffSetX=2\ndRMBOffSetZ=5\n"
                                    "dRMBOffSetX2=-2\ndRMBOffSetZ2=6\n"
                                    "[ShengPou]\nSoundVelocitySource=1\ndAverAcousticVel=1480\n");
    const auto svp = WriteText("water.vel", "FTP NEW 2\n0 1450\n200 1450\n");

    struct Case {
        const char* name;
        std::vector<std::string> options;
        double velocity;    // m/s along the rays
        double x[2], z[2];  // transducer offsets of each head
    };
    const Case cases[] = {
        {"header, surface velocity of each ping", {}, 1510.5, {1, -1}, {2, 3}},
        {"settings", {"--settings", settings.string()}, 1480.0, {2, -2}, {5, 6}},
        {"header and a profile", {"--svp", svp.string()}, 1450.0, {1, -1}, {2, 3}},
        {"settings and a profile",
         {"--settings", settings.string(), "--svp", svp.string()},
         1450.0,
         {2, -2},
         {5, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.options;
        args.insert(args.begin(), "--soundings");
        args.push_back(file.string());
        const auto r = Dump(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto soundings = ParseSoundings(r.out);
        ASSERT_EQ(soundings.size(), 6u) << r.out;
        for (std::size_t i = 0; i < soundings.size(); ++i) {
            const Sounding& s = soundings[i];
            const unsigned head = i < 3 ? 0 : 1;
            const double angle = (static_cast<double>(s.beam) - 1.0) * 30.0 * M_PI / 180.0;
            const double path = c.velocity * 0.05;
            EXPECT_EQ(s.time, 1709294400.5);
            EXPECT_EQ(s.ping, 77u);
            EXPECT_EQ(s.head, head);
            EXPECT_EQ(s.beam, i % 3);
            EXPECT_NEAR(s.depth, c.z[head] + path * std::cos(angle), 0.0015) << "beam " << s.beam;
            EXPECT_NEAR(s.easting, east + c.x[head] + path * std::sin(angle), 0.0015) << "beam " << s.beam;
            EXPECT_NEAR(s.northing, north, 0.0015);
        }
    }
}

TEST_F(RawDumpTool, TruncatedLastPacketIsLeftOver) {
    Bytes bytes = Preamble();
    const Bytes ping = Ping(3000, 0.5, 1);
    bytes.insert(bytes.end(), ping.begin(), ping.begin() + 100);
    const auto r = Dump({WriteFile("cut.mbm", bytes).string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "bytes left incomplete at the end: 100")) << r.out;
    EXPECT_TRUE(Has(r.out, "first record: none")) << r.out;
    EXPECT_TRUE(Has(r.out, "pings positioned: 0 (0 valid soundings)")) << r.out;
}

TEST_F(RawDumpTool, RefusesFilesThatAreNoBinaryRawFile) {
    const Bytes preamble = Preamble();
    Bytes textFormat = preamble;
    std::memcpy(textFormat.data() + 28, "1.1.0", 5);
    const struct {
        const char* name;
        Bytes bytes;
        const char* says;
    } cases[] = {
        {"empty", {}, "too short"},
        {"cut preamble", Bytes(preamble.begin(), preamble.begin() + 1000), "too short"},
        {"text format", textFormat, "not a binary 1.2.0 raw data file"},
        {"packets without a header", testpackets::Plain(5000, 2000), "not a raw data file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = WriteFile("bad.mbm", c.bytes);
        for (const char* mode : {"--records", "--soundings"}) {
            const auto r = Dump({mode, file.string()});
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find(file.string() + ": "), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        }
    }
    const auto missing = Dump({Path("absent.mbm").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
}

TEST_F(RawDumpTool, UnreadableSettingsOrProfileFail) {
    const auto file = WriteFile("survey.mbm", SurveyBytes());
    const auto absentSvp = Path("absent.vel").string();
    const auto noSvp = Dump({"--svp", absentSvp, file.string()});
    EXPECT_EQ(noSvp.status, 1);
    // The message of the survey program's own code, in English.
    EXPECT_NE(noSvp.err.find(absentSvp + ": File open failed!"), std::string::npos) << noSvp.err;

    const auto noSettings = Dump({"--settings", Path("absent.ini").string(), file.string()});
    EXPECT_EQ(noSettings.status, 1);
    EXPECT_NE(noSettings.err.find("absent.ini"), std::string::npos) << noSettings.err;

    const auto named =
        WriteText("Named.ini", "[ShengPou]\nSoundVelocitySource=0\nsAcousticVelFile=gone.vel\n");
    const auto noProfile = Dump({"--soundings", "--settings", named.string(), file.string()});
    EXPECT_EQ(noProfile.status, 1);
    EXPECT_EQ(noProfile.out, "");
    EXPECT_NE(noProfile.err.find("gone.vel"), std::string::npos) << noProfile.err;
}

TEST_F(RawDumpTool, ProfileNamedInTheSettingsComesFromTheirFolder) {
    const auto file = WriteFile("survey.mbm", SurveyBytes());
    WriteText("deep.vel", "FTP NEW 2\n0 1400\n300 1400\n");
    const auto settings =
        WriteText("Named.ini", "[ShengPou]\nSoundVelocitySource=0\nsAcousticVelFile=deep.vel\n");
    const auto r = Dump({"--soundings", "--settings", settings.string(), file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto soundings = ParseSoundings(r.out);
    ASSERT_EQ(soundings.size(), 6u);
    EXPECT_NEAR(soundings[1].depth, 0.05 * 1400.0, 0.0015) << "no offsets in these settings";
}

TEST_F(RawDumpTool, UsageErrors) {
    const auto file = WriteFile("survey.mbm", Preamble()).string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--records", "--soundings", file},
        {"--frobnicate", file},
        {file, file},
        {file, "--settings"},
        {"--svp"},
    };
    for (const auto& args : cases) {
        const auto r = Dump(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: rawdump"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const auto help = Dump({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: rawdump"), std::string::npos);
}

}  // namespace
