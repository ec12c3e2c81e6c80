// The command line and the batch driver behind it: options, messages in both languages, exit status,
// the list of produced files, damaged and unreadable inputs, unwritable targets, dual-head files, and
// folder runs on several files at once giving what a run one file after another gives.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "ConverterTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "quillfen/CommandLine.h"
#include "tools/sonarsim/SonarSimApp.h"

namespace {

using namespace qftest;

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome Quillfen(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Outcome r;
    r.status = quillfen::RunCommandLine(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

void Simulate(const std::filesystem::path& file, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"write", file.string(), "--duration", "3"};
    args.insert(args.end(), options.begin(), options.end());
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(sonarsim::RunSonarSim(args, in, out, err), 0) << err.str();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// No output and no temporary file: only the given names are in the folder.
void ExpectOnly(const TempDir& dir, std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.Names(), names);
}

TEST(CommandLine, UsageErrorsAndHelp) {
    EXPECT_EQ(Quillfen({"--help"}).status, 0);
    EXPECT_TRUE(Contains(Quillfen({"1", "--help"}).out, "--convert SOURCE"));
    const std::vector<std::vector<std::string>> bad = {
        {"--convert", "x.mbm"},  // no type
        {"--convert", "x.mbm", "--type", "xtf3"},
        {"--convert", "x.mbm", "--type", "hsx", "--jobs", "0"},
        {"--convert", "x.mbm", "--type", "hsx", "--adjust", "ten"},
        {"--convert", "x.mbm", "--type", "hsx", "--surface-sv", "-1"},
        {"--convert", "x.mbm", "--type", "hsx", "--log", "a.log"},       // a list belongs to a folder run
        {"--convert", "x.mbm", "--type", "hsx", "--settings", "a.ini"},  // only with --reset-cs
        {"--convert", "x.mbm", "--type", "hsx", "--bogus"},
        {"--convert"},
        {},  // the dialog is not part of this build
    };
    for (const auto& args : bad) {
        const Outcome r = Quillfen(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(CommandLine, NamesTheFormOffers) {
    EXPECT_EQ(quillfen::RetypedTargetName("survey.HSX", quillfen::kOutputXtf1), "survey.xtf");
    EXPECT_EQ(quillfen::RetypedTargetName("survey.xtf", quillfen::kOutputHsx), "survey.HSX");
    EXPECT_EQ(quillfen::RetypedTargetName("a", quillfen::kOutputXtf2), "a.xtf");
    EXPECT_EQ(quillfen::TargetNameForSource("/data/20240301_140509.mbm", quillfen::kOutputHsx),
              "20240301_140509.HSX");
    EXPECT_EQ(quillfen::ListNameForFolder("/data/Multibeam Files/"), "Multibeam Files.log");
    EXPECT_EQ(quillfen::ListNameForFolder("/data/line7"), "line7.log");
}

TEST(CommandLine, SingleFileInBothLanguages) {
    TempDir dir;
    Simulate(dir / "survey.mbm");
    const Outcome english = Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "hsx"});
    EXPECT_EQ(english.status, 0) << english.err;
    EXPECT_TRUE(Contains(english.err, "Quillfen: Conversion successful!\n"));
    EXPECT_TRUE(Contains(english.err, "[1/1] survey.mbm: 100 %"));
    // Chinese without a language flag; the target name follows the type.
    const Outcome chinese =
        Quillfen({"--convert", (dir / "survey.mbm").string(), "--type", "xtf1", "--quiet"});
    EXPECT_EQ(chinese.status, 0);
    EXPECT_EQ(chinese.err, "Quillfen: 文件转换成功!\n");
    ExpectOnly(dir, {"survey.mbm", "survey.HSX", "survey.xtf"});

    // Another folder and name.
    TempDir out;
    const Outcome named =
        Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "xtf2", "--target-folder",
                  out.Path().string(), "--target", "other.xtf", "--quiet"});
    EXPECT_EQ(named.status, 0);
    ExpectOnly(out, {"other.xtf"});
}

TEST(CommandLine, RefusedSettingsConvertNothing) {
    TempDir dir;
    Simulate(dir / "survey.mbm");
    const Outcome r =
        Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "hsx", "--adjust", "150"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(
        r.err, "The system adjustment constant is set incorrectly. The absolute value can not exceed 100!"));
    ExpectOnly(dir, {"survey.mbm"});
    EXPECT_EQ(Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "hsx", "--adjust", "-100",
                        "--quiet"})
                  .status,
              0);
}

TEST(CommandLine, BrokenInputsFailWithoutLeavingFiles) {
    TempDir src;
    Simulate(src / "good.mbm");
    const Bytes good = ReadAll(src / "good.mbm");
    struct Case {
        const char* what;
        Bytes bytes;
        const char* reason;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, "The file is empty"});
    cases.push_back({"cut in the header", Bytes(good.begin(), good.begin() + 40), "ends inside its header"});
    cases.push_back({"cut in the blocks", Bytes(good.begin(), good.begin() + 900), "ends inside its header"});
    cases.push_back({"cut in a packet", Bytes(good.begin(), good.end() - 1000), "unfinished packet"});
    Bytes garbage = good;
    garbage.insert(garbage.begin() + 5000, 300, 0xA5);
    cases.push_back({"garbage inside", garbage, "damaged"});
    Bytes badTail = good;
    const auto packets = WalkPackets(good);
    std::size_t at = marivane::kRawFilePreambleSize;
    for (std::size_t k = 0; k < 40; ++k) at += packets[k].bytes.size();
    badTail[at - 1] ^= 0xFF;  // the tail of packet 40
    cases.push_back({"a wrong tail", badTail, "broken packet"});
    Bytes version = good;
    version[28] = '2';  // "2.2.0"
    cases.push_back({"unknown version", version, "Not a raw data file of a known format"});
    Bytes noPings = Bytes(good.begin(), good.begin() + marivane::kRawFilePreambleSize);
    cases.push_back({"no pings", noPings, "no sonar pings"});

    for (const Case& c : cases) {
        TempDir dir;
        WriteAll(dir / "input.mbm", c.bytes);
        for (const char* type : {"hsx", "xtf1"}) {
            const Outcome r =
                Quillfen({"1", "--convert", (dir / "input.mbm").string(), "--type", type, "--quiet"});
            EXPECT_EQ(r.status, 1) << c.what;
            EXPECT_TRUE(Contains(r.err, "Conversion failed!")) << c.what << ": " << r.err;
            EXPECT_TRUE(Contains(r.err, c.reason)) << c.what << ": " << r.err;
            ExpectOnly(dir, {"input.mbm"});
        }
    }

    // A missing file is an open failure.
    TempDir dir;
    const Outcome missing =
        Quillfen({"1", "--convert", (dir / "none.mbm").string(), "--type", "hsx", "--quiet"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.err, "Open the File Failed"));
    ExpectOnly(dir, {});

    // A file cut short is converted as far as it goes when asked to, with a warning.
    WriteAll(dir / "cut.mbm", cases[3].bytes);
    const Outcome accepted = Quillfen(
        {"1", "--convert", (dir / "cut.mbm").string(), "--type", "hsx", "--accept-damaged", "--quiet"});
    EXPECT_EQ(accepted.status, 0);
    EXPECT_TRUE(Contains(accepted.err, "The file is damaged"));
    EXPECT_TRUE(Contains(accepted.err, "Conversion successful!"));
    ExpectOnly(dir, {"cut.mbm", "cut.HSX"});
}

TEST(CommandLine, UnwritableTargets) {
    TempDir dir;
    Simulate(dir / "survey.mbm");
    WriteAll(dir / "plain", {1, 2, 3});
    // A folder that is a file, and a folder that does not exist.
    for (const std::filesystem::path& target : {dir / "plain", dir / "missing" / "deeper"}) {
        const Outcome hsx = Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "hsx",
                                      "--target-folder", target.string(), "--quiet"});
        EXPECT_EQ(hsx.status, 1);
        EXPECT_TRUE(Contains(hsx.err, "New .HSX file failed"));
        const Outcome xtf = Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "xtf2",
                                      "--target-folder", target.string(), "--quiet"});
        EXPECT_EQ(xtf.status, 1);
        EXPECT_TRUE(Contains(xtf.err, "New .xtf file failed"));
    }
    ExpectOnly(dir, {"plain", "survey.mbm"});
    // The source itself as the target.
    const Bytes before = ReadAll(dir / "survey.mbm");
    const Outcome self = Quillfen({"1", "--convert", (dir / "survey.mbm").string(), "--type", "hsx",
                                   "--target", "survey.mbm", "--quiet"});
    EXPECT_EQ(self.status, 1);
    EXPECT_TRUE(ReadAll(dir / "survey.mbm") == before);
    // A folder run whose list file cannot be created.
    TempDir folder;
    Simulate(folder / "a.mbm");
    const Outcome list =
        Quillfen({"1", "--convert", folder.Path().string(), "--type", "hsx", "--log", "no/such/dir.log"});
    EXPECT_EQ(list.status, 1);
    EXPECT_TRUE(Contains(list.err, "Open .log File Failed"));
    ExpectOnly(folder, {"a.mbm"});
}

TEST(CommandLine, FolderRunListAndFailures) {
    TempDir dir;
    Simulate(dir / "a.mbm");
    WriteAll(dir / "b.mbm", {});
    Simulate(dir / "c.MBM", {"--start", "2026-06-01 15:59:58"});
    WriteAll(dir / "notes.txt", {'x'});
    std::filesystem::create_directory(dir / "sub.mbm");

    const Outcome r = Quillfen({"1", "--convert", dir.Path().string(), "--type", "hsx", "--jobs", "1"});
    EXPECT_EQ(r.status, 1);
    const std::string log = dir.Path().filename().string() + ".log";
    EXPECT_EQ(ReadText(dir / log), "a.HSX\nc.HSX\nc_NewDay1.HSX\n");
    EXPECT_TRUE(Contains(
        r.err, "The number of failed Conversion is: 1\nConversion failed file names were:\nb.mbm\n"));
    EXPECT_TRUE(Contains(r.err, "b.mbm:\nThe file is empty"));
    EXPECT_FALSE(Contains(r.err, "All files have been converted"));
    ExpectOnly(dir,
               {"a.mbm", "b.mbm", "c.MBM", "notes.txt", "sub.mbm", "a.HSX", "c.HSX", "c_NewDay1.HSX", log});

    // Without the failing file: the summary, with the note about the file split at midnight.
    std::filesystem::remove(dir / "b.mbm");
    const Outcome ok =
        Quillfen({"1", "--convert", dir.Path().string(), "--type", "hsx", "--log", "list.log", "--quiet"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_TRUE(Contains(ok.err, "All files have been converted\nPlease note: file c.MBMspans time 0"));
    EXPECT_EQ(ReadText(dir / "list.log"), "a.HSX\nc.HSX\nc_NewDay1.HSX\n");

    // An empty folder.
    TempDir empty;
    const Outcome none = Quillfen({"0", "--convert", empty.Path().string(), "--type", "hsx"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Contains(none.err, "设置目录下没有*.mbm文件"));
    ExpectOnly(empty, {});
}

TEST(CommandLine, SeveralJobsWriteWhatOneJobWrites) {
    TempDir dir;
    for (int k = 0; k < 5; ++k)
        Simulate(dir / ("s" + std::to_string(k) + ".mbm"), {"--seed", std::to_string(k + 3)});
    WriteAll(dir / "s2.mbm", {0, 1, 2});  // one failure in the middle
    const auto snapshot = [&] {
        std::map<std::string, Bytes> files;
        for (const std::string& name : dir.Names()) files[name] = ReadAll(dir / name);
        return files;
    };
    const auto clean = [&] {
        for (const std::string& name : dir.Names())
            if (name.find(".mbm") == std::string::npos)
                std::filesystem::remove(dir / name);
    };
    for (const char* type : {"hsx", "xtf1"}) {
        const Outcome one =
            Quillfen({"1", "--convert", dir.Path().string(), "--type", type, "--jobs", "1", "--quiet"});
        const auto sequential = snapshot();
        clean();
        const Outcome three =
            Quillfen({"1", "--convert", dir.Path().string(), "--type", type, "--jobs", "3", "--quiet"});
        EXPECT_EQ(three.status, one.status);
        EXPECT_EQ(three.err, one.err);
        EXPECT_TRUE(snapshot() == sequential) << type;
        clean();
    }
}

TEST(CommandLine, DualHeadFilesAndXtf) {
    TempDir dir;
    Simulate(dir / "a.mbm");
    Simulate(dir / "b.mbm", {"--dual-head"});
    Simulate(dir / "c.mbm");
    // HSX takes both heads.
    const Outcome hsx = Quillfen({"1", "--convert", (dir / "b.mbm").string(), "--type", "hsx", "--quiet"});
    EXPECT_EQ(hsx.status, 0);
    EXPECT_TRUE(Contains(ReadText(dir / "b.HSX"), "MBI 1 2 4 1081 512 512 0 0\n"));
    std::filesystem::remove(dir / "b.HSX");
    // XTF refuses a dual-head file, and in a folder run that stops the run.
    const Outcome single =
        Quillfen({"1", "--convert", (dir / "b.mbm").string(), "--type", "xtf1", "--quiet"});
    EXPECT_EQ(single.status, 1);
    EXPECT_TRUE(Contains(single.err, "Conversion to XTF File for Dual Head Sonar data is not supported!"));
    for (const char* jobs : {"1", "3"}) {
        const Outcome folder = Quillfen({"1", "--convert", dir.Path().string(), "--type", "xtf2", "--log",
                                         "l.log", "--jobs", jobs, "--quiet"});
        EXPECT_EQ(folder.status, 1);
        EXPECT_TRUE(Contains(folder.err, "Dual Head"));
        EXPECT_FALSE(Contains(folder.err, "All files have been converted"));
        EXPECT_EQ(ReadText(dir / "l.log"), "a.xtf\n");
        ExpectOnly(dir, {"a.mbm", "b.mbm", "c.mbm", "a.xtf", "l.log"});
        std::filesystem::remove(dir / "a.xtf");
    }
}

TEST(CommandLine, ResetCoordinateSystemFromTheSettingsFile) {
    TempDir dir;
    Simulate(dir / "s.mbm");
    geodesy::ParaOfGeo own = geodesy::DefaultParaOfGeo();
    std::strcpy(own.EastConst, "700000.0");
    ASSERT_TRUE(geodesy::WriteParaOfGeo(own, dir / "Quillfen.ini"));
    const auto firstPos = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"1",      "--convert", (dir / "s.mbm").string(),
                                         "--type", "hsx",       "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Quillfen(args).status, 0);
        for (const HsxRecord& r : ParseHsx(ReadText(dir / "s.HSX")).records)
            if (r.name == "POS")
                return std::stod(r.fields[2]);
        return 0.0;
    };
    const double file = firstPos({});
    const double reset = firstPos({"--reset-cs", "--settings", (dir / "Quillfen.ini").string()});
    EXPECT_NEAR(reset - file, 200000.0, 1e-6);
    EXPECT_EQ(Quillfen({"1", "--convert", (dir / "s.mbm").string(), "--type", "hsx", "--reset-cs",
                        "--settings", (dir / "none.ini").string()})
                  .status,
              2);
}

TEST(CommandLine, TextFormatFilesConvert) {
    // A 1.1.0 file with a GNSS receiver on port 0 and "$TR2400" pings of four beams.
    std::string hex;
    for (int k = 0; k < 512; ++k) hex += k < 4 ? "0100" : "0000";
    std::string tr = "$TR2400,x,5,040506.50,1,3,2024,4,0,2,1500,f11,10," + hex + ",f14";
    for (int k = 15; k <= 22; ++k) tr += "#0";
    tr += std::string(2300 - tr.size(), ' ');
    const Clock c{};
    const std::string body = "$GPGGA,040506.00,3000.0000,N,11700.0000,E,4,12,0.8,5.0,M,10.0,M,,*00\r\n" +
                             Marker("GPSI", c) + tr + Marker("DEPTH", c.Plus(0.6));
    TempDir dir;
    WriteAll(dir / "old.mbm", TextFile(body, {}));
    const Outcome r = Quillfen({"1", "--convert", (dir / "old.mbm").string(), "--type", "hsx", "--quiet"});
    EXPECT_EQ(r.status, 0) << r.err;
    const HsxFile f = ParseHsx(ReadText(dir / "old.HSX"));
    ASSERT_EQ(f.records.size(), 3u);
    EXPECT_EQ(f.records[1].name, "POS");
    EXPECT_EQ(f.records[2].line, "RMB 1 43506.500 2 0 1081 4 1500.00 5");
    EXPECT_EQ(f.records[2].values[0], (std::vector<double>{17.85, 17.85, 17.85, 17.85}));
}

}  // namespace
