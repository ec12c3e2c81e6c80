// The sonarsim command line: usage errors, help, the truth command and failures of its inputs.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/tools/sonarsim/SimTestSupport.h"

namespace {

TEST(CommandLine, BadUsageGivesStatusTwoAndTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"fly"},
        {"write"},
        {"write", "a.mbm", "b.mbm"},
        {"serve"},
        {"serve", "--port", "70000"},
        {"truth", "1"},
        {"truth", "1", "x"},
        {"write", "a.mbm", "--beams", "513"},
        {"write", "a.mbm", "--beams"},
        {"write", "a.mbm", "--nope"},
        {"write", "a.mbm", "--dual-head=1"},
        {"write", "a.mbm", "--start", "2026-13-01 00:00:00"},
        {"write", "a.mbm", "--transducer", "1,2,3"},
        {"write", "a.mbm", "--spacing", "random"},
        {"write", "a.mbm", "--device-number", "12ab"},
        {"write", "a.mbm", "--velocity", "1490", "--svp", "p.vel"},
        {"write", "a.mbm", "--lines", "3", "--line-spacing", "0"},
        {"write", "a.mbm", "--angle-scale", "0.001"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const auto r = simtest::Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: sonarsim"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(CommandLine, HelpListsTheOptionsWithTheirDefaults) {
    const auto r = simtest::Run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"--start \"YYYY-MM-DD HH:MM:SS\"", "[2026-06-01 08:00:00]", "--svp FILE.vel",
                             "--velocity M/S", "[1500]", "--faults", "--manifest FILE", "--dual-head",
                             "--short-pings", "--transducer X,Y,Z,ROLL,PITCH,YAW[,LATENCY]", "--port P",
                             "--speed X", "--loop", "--seed N", "--settings PROJECT.ini", "[equidistant]"}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
}

TEST(CommandLine, TruthPrintsThePlaneWithItsSeamount) {
    const std::vector<std::string> floor = {
        "--origin", "1000,2000", "--depth",        "40", "--slope-east",  "0.01", "--slope-north", "-0.02",
        "--mount",  "1100,2100", "--mount-height", "12", "--mount-width", "30"};
    std::vector<std::string> args = {"truth", "1000", "2000",  "1100",   "2100",
                                     "1100",  "2130", "950.5", "2010.25"};
    args.insert(args.end(), floor.begin(), floor.end());
    const auto r = simtest::Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "39.9998\n27.0000\n31.1216\n39.3000\n");

    // The same from standard input, with a blank line, a comma and a line that is not a point.
    args = {"truth"};
    args.insert(args.end(), floor.begin(), floor.end());
    const auto piped = simtest::Run(args, "1100 2100\n\n1100,2130\nnorth of here\n1000\t2000\n");
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.out, "27.0000\n31.1216\n39.9998\n");
    EXPECT_NE(piped.err.find("line 4"), std::string::npos) << piped.err;
}

TEST(CommandLine, UnreadableInputsFailWithStatusOne) {
    simtest::TempDir dir;
    {
        std::ofstream vel(dir / "bad.vel");
        vel << "DEPTH VELOCITY\n0 1500\n10 1500\n";
        std::ofstream one(dir / "one.vel");
        one << "FTP NEW 2\n5 1500\n";
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--svp", (dir / "bad.vel").string()},
          {"--svp", (dir / "one.vel").string()},
          {"--svp", (dir / "missing.vel").string()},
          {"--settings", (dir / "missing.ini").string()}}) {
        std::vector<std::string> full = {"write", (dir / "out.mbm").string(), "--duration", "1"};
        full.insert(full.end(), args.begin(), args.end());
        const auto r = simtest::Run(full);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_FALSE(r.err.empty());
    }
    const auto r = simtest::Run({"write", (dir / "no" / "such" / "folder.mbm").string(), "--duration", "1"});
    EXPECT_EQ(r.status, 1);
}

}  // namespace
