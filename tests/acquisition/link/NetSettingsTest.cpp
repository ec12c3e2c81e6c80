#include "marivane/acquisition/NetSettings.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using marivane::NetSettings;
using marivane::ReadNetSettings;

class NetSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("netcfg_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Put(const std::string& text) { std::ofstream(dir_ / "NetCfg.ini", std::ios::binary) << text; }
    fs::path dir_;
};

TEST_F(NetSettingsFile, MissingFileGivesTheDefaultsAndIsNotCreated) {
    const NetSettings s = ReadNetSettings(dir_);
    EXPECT_EQ(s.ip, "192.168.1.31");
    EXPECT_EQ(s.port, 16129);
    EXPECT_EQ(s.ipSpare, "127.0.0.1");
    EXPECT_EQ(s.portSpare, 16129);
    EXPECT_FALSE(s.coverageOn);
    EXPECT_EQ(s.coveragePort, 6688);
    EXPECT_FALSE(fs::exists(dir_ / "NetCfg.ini"));
}

TEST_F(NetSettingsFile, EveryKeyIsReadFromItsSection) {
    const std::string text =
        "[Net]\r\nIP=10.0.0.5\r\nPORT=4000\r\nIP_Spare=10.0.0.6\r\nPORT_Spare=4001\r\n"
        "[NetCoverage]\r\nCoverageOn=1\r\nPORT=7000\r\n";
    Put(text);
    NetSettings expected;
    expected.ip = "10.0.0.5";
    expected.port = 4000;
    expected.ipSpare = "10.0.0.6";
    expected.portSpare = 4001;
    expected.coverageOn = true;
    expected.coveragePort = 7000;
    EXPECT_EQ(ReadNetSettings(dir_), expected);
    // Reading leaves the file as it was.
    std::ifstream in(dir_ / "NetCfg.ini", std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, text);
}

TEST_F(NetSettingsFile, ValuesAreShortTextAndPortsSixteenBitNumbers) {
    struct Case {
        const char* portText;
        std::uint16_t port;
        const char* coverageText;
        bool coverageOn;
    };
    for (const Case& c : {Case{"70000", 4464, "2", true}, Case{"16129abc", 16129, "abc", false},
                          Case{"-1", 65535, "0", false}, Case{"", 0, "-3", true}, Case{"x", 0, " 1", true}}) {
        Put(std::string("[Net]\nIP=") + std::string(50, '9') + "\nPORT=" + c.portText +
            "\n[NetCoverage]\nCoverageOn=" + c.coverageText + "\n");
        const NetSettings s = ReadNetSettings(dir_);
        EXPECT_EQ(s.port, c.port) << c.portText;
        EXPECT_EQ(s.coverageOn, c.coverageOn) << c.coverageText;
        EXPECT_EQ(s.ip, std::string(39, '9')) << "values are cut to 39 characters";
        EXPECT_EQ(s.portSpare, 16129) << "a missing key keeps its default";
        EXPECT_EQ(s.coveragePort, 6688);
    }
}

}  // namespace
