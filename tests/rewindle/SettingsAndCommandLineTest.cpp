// RewindleCfg.ini and the command line.

#include <gtest/gtest.h>

#include <fstream>

#include "TestSupport.h"
#include "rewindle/CommandLine.h"
#include "rewindle/RewindleSettings.h"

namespace {

using rewindle::CommandLine;
using rewindle::ParseRewindleSettings;
using rewindle::RewindleSettings;

TEST(RewindleSettings, ReadFromTheNetSection) {
    struct Case {
        const char* text;
        RewindleSettings expected;
    };
    const Case cases[] = {
        {"", {"127.0.0.1", 16129}},
        {"[Net]\nIP=192.168.3.4\nPORT=4001\n", {"192.168.3.4", 4001}},
        {"[net]\r\nip = \"10.0.0.1\"\r\nport = 17000abc\r\n", {"10.0.0.1", 17000}},
        {"[Other]\nIP=1.2.3.4\nPORT=1\n", {"127.0.0.1", 16129}},
        {"[Net]\nPORT=\n", {"127.0.0.1", 0}},
        {"[Net]\nPORT=70000\n", {"127.0.0.1", 4464}},
        {"[Net]\nPORT=-1\n", {"127.0.0.1", 65535}},
        {"[Net]\nPORT=99999999999999999999\n", {"127.0.0.1", 65535}},
        // Values are cut at 39 characters.
        {"[Net]\nIP=0123456789012345678901234567890123456789XYZ\n",
         {"012345678901234567890123456789012345678", 16129}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseRewindleSettings(platform::ProfileText(c.text)), c.expected) << c.text;
    }
}

TEST(RewindleSettings, FileInTheStartupFolder) {
    rewindle_test::TempFolder folder;
    EXPECT_EQ(rewindle::ReadRewindleSettings(folder.Path()), RewindleSettings{});
    std::ofstream(folder.Path() / "RewindleCfg.ini") << "[Net]\nIP=127.0.0.2\nPORT=2345\n";
    EXPECT_EQ(rewindle::ReadRewindleSettings(folder.Path()), (RewindleSettings{"127.0.0.2", 2345}));
}

TEST(RewindleCommandLine, Accepted) {
    struct Case {
        std::vector<std::string> args;
        CommandLine expected;
    };
    const auto with = [](auto change) {
        CommandLine c;
        change(c);
        return c;
    };
    const Case cases[] = {
        {{}, {}},
        {{"0"}, {}},
        {{"1"}, with([](CommandLine& c) { c.english = true; })},
        {{"01"}, {}},
        {{"English"}, {}},
        {{"1", "--file", "a b.mbm", "--speed", "8", "--start", "--exit-when-done"}, with([](CommandLine& c) {
             c.english = true;
             c.file = "a b.mbm";
             c.speedLevel = 8;
             c.start = true;
             c.exitWhenDone = true;
         })},
        {{"--speed", "0"}, with([](CommandLine& c) { c.speedLevel = 0; })},
        {{"0", "--exit-when-done"}, with([](CommandLine& c) { c.exitWhenDone = true; })},
    };
    for (const Case& c : cases) {
        const rewindle::CommandLineResult r = rewindle::ParseCommandLine(c.args);
        ASSERT_TRUE(r.commandLine) << r.error;
        EXPECT_EQ(*r.commandLine, c.expected);
    }
    EXPECT_TRUE(rewindle::ParseCommandLine({"1", "--exit-when-done"}).commandLine->Unattended());
    EXPECT_FALSE(rewindle::ParseCommandLine({"1", "--file", "x", "--speed", "2"}).commandLine->Unattended());
}

TEST(RewindleCommandLine, Refused) {
    const std::vector<std::vector<std::string>> cases = {
        {"0", "--bogus"},       {"0", "extra"},         {"0", "--file"},
        {"0", "--file", ""},    {"0", "--speed"},       {"0", "--speed", "9"},
        {"0", "--speed", "-1"}, {"0", "--speed", "3x"}, {"0", "--start"},  // nothing to start with
    };
    for (const auto& args : cases) {
        const rewindle::CommandLineResult r = rewindle::ParseCommandLine(args);
        EXPECT_FALSE(r.commandLine) << args.back();
        EXPECT_FALSE(r.error.empty());
    }
}

}  // namespace
