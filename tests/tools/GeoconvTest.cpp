// Runs the built geoconv on batches of positions and compares every line with the calculator.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "platform/NumberText.h"

namespace {

using geodesy::CCoordinateCal;
using geodesy::ParaOfGeo;

template <std::size_t N>
void Set(char (&field)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class Geoconv : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("geoconv_" + std::to_string(::getpid()) + "_" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static std::string Quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }
    static std::string Slurp(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    RunResult Run(const std::vector<std::string>& args, const std::string& input) const {
        const auto in = dir_ / "stdin.txt";
        std::ofstream(in, std::ios::binary) << input;
        std::string command = Quote(GEOCONV_PATH);
        for (const auto& a : args) command += " " + Quote(a);
        command += " <" + Quote(in.string()) + " >" + Quote((dir_ / "stdout.txt").string()) + " 2>" +
                   Quote((dir_ / "stderr.txt").string());
        RunResult r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(dir_ / "stdout.txt");
        r.err = Slurp(dir_ / "stderr.txt");
        return r;
    }

    // A coordinate system with every step on, written as a settings file.
    std::filesystem::path Settings(ParaOfGeo& p) const {
        p.ProjectionType = geodesy::kProjectionUtm;
        Set(p.ScaleRadio, "0.9996");
        Set(p.CentralMeridian, "123000000000E");
        Set(p.TargetSemimajor, "6378140.0");
        Set(p.TargetFlattening, "298.257");
        p.ETransType = 1;
        Set(p.ETransDx, "-15.415");
        Set(p.ETransDy, "157.025");
        Set(p.ETransDz, "94.74");
        Set(p.ETransRx, "1.465");
        Set(p.ETransRz, "-0.08");
        Set(p.ETransSc, "-0.838");
        p.PTransType = 1;
        Set(p.PTransRa, "-000130000000");
        Set(p.PTransSc, "1.00002");
        Set(p.PTransDx, "-3400000");
        p.HFittingType = 2;
        Set(p.HFittingA, "1.25");
        Set(p.HFittingB, "1e-5");
        Set(p.CTransDx, "100");
        Set(p.CTransDy, "-50");
        Set(p.CTransDz, "0.5");
        const auto path = dir_ / "settings.ini";
        EXPECT_TRUE(geodesy::WriteParaOfGeo(p, path));
        return path;
    }

    std::filesystem::path dir_;
};

std::string Fixed(const char* format, double v) {
    return platform::FormatDouble(format, v);
}

std::string ForwardLine(const CCoordinateCal& cal, double B, double L, double H) {
    double x, y, h;
    cal.GeoToGrid(B, L, H, x, y, h);
    return Fixed("%.4f", y) + " " + Fixed("%.4f", x) + " " + Fixed("%.4f", h) + "\n";
}

TEST_F(Geoconv, ForwardBatchMatchesTheCalculator) {
    ParaOfGeo p;
    const auto settings = Settings(p);
    CCoordinateCal cal;
    cal.Load(p);

    // Positions around the central meridian in the separators a user may give.
    const char* separators[] = {" ", "\t", ", ", "  "};
    std::string input;
    std::string expected;
    for (int i = 0; i < 400; ++i) {
        const double B = -60.0 + (i * 37 % 1200) * 0.1;
        const double L = 120.0 + (i * 53 % 600) * 0.01;
        const double H = -20.0 + (i * 11 % 97) * 3.25;
        const char* sep = separators[i % 4];
        input +=
            Fixed("%.9f", B) + sep + Fixed("%.9f", L) + sep + Fixed("%.3f", H) + (i % 5 == 0 ? "\r\n" : "\n");
        expected +=
            ForwardLine(cal, platform::LeadingDouble(Fixed("%.9f", B)),
                        platform::LeadingDouble(Fixed("%.9f", L)), platform::LeadingDouble(Fixed("%.3f", H)));
    }
    // A leading sign, exponents, text after the third number, and a last line without a line end that
    // is longer than the program's read buffer.
    input += "+3.05e1 1.2225E2 -0 trailing words\n";
    expected += ForwardLine(cal, 30.5, 122.25, 0.0);
    input += "  31.5 123.5 7" + std::string(3 << 20, ' ');
    expected += ForwardLine(cal, 31.5, 123.5, 7.0);

    const RunResult r = Run({settings.string()}, input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected);
}

TEST_F(Geoconv, InverseBatchMatchesTheCalculator) {
    ParaOfGeo p;
    const auto settings = Settings(p);
    CCoordinateCal cal;
    cal.Load(p);

    std::string input;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        const double easting = 380000.0 + i * 811.125;
        const double northing = 3100000.0 + i * 9733.5;
        const double height = -5.0 + i * 0.75;
        input += Fixed("%.4f", easting) + " " + Fixed("%.4f", northing) + " " + Fixed("%.4f", height) + "\n";
        double B, L, H;
        cal.GridToGeo(northing, easting, height, B, L, H);
        expected += Fixed("%.10f", B) + " " + Fixed("%.10f", L) + " " + Fixed("%.4f", H) + "\n";
    }
    const RunResult r = Run({"--inverse", settings.string()}, input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

TEST_F(Geoconv, LinesWithoutThreeNumbersAreReportedWithTheirNumberAndSkipped) {
    ParaOfGeo p;
    const auto settings = Settings(p);
    CCoordinateCal cal;
    cal.Load(p);
    const std::string input =
        "31 123 0\n"        // 1
        "\n"                // 2
        " \t \r\n"          // 3
        "abc 1 2\n"         // 4
        "31 123\n"          // 5
        "1e999 123 0\n"     // 6
        "31 123 5 extra\n"  // 7
        "12abc 123 0\n"     // 8
        "nan 123 0\n"       // 9
        "31,,123,0\n"       // 10
        "+-31 123 0\n"      // 11
        "30 122 1";         // 12
    const RunResult r = Run({settings.string()}, input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, ForwardLine(cal, 31, 123, 0) + ForwardLine(cal, 31, 123, 5) +
                         ForwardLine(cal, 31, 123, 0) + ForwardLine(cal, 30, 122, 1));
    for (int bad : {4, 5, 6, 8, 9, 11}) {
        EXPECT_NE(r.err.find("line " + std::to_string(bad) + " "), std::string::npos) << bad << "\n" << r.err;
    }
    for (int good : {1, 2, 3, 7, 10, 12}) {
        EXPECT_EQ(r.err.find("line " + std::to_string(good) + " "), std::string::npos) << good << "\n"
                                                                                       << r.err;
    }
}

TEST_F(Geoconv, MissingSettingsFileIsReportedAndTheDefaultsAreUsed) {
    const auto missing = dir_ / "nowhere.ini";
    const RunResult r = Run({missing.string()}, "31.5 117.5 10\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(
        r.err.find(missing.string() + " file path error, can not read the ellipsoid parameter information!"),
        std::string::npos)
        << r.err;
    const CCoordinateCal defaults;
    EXPECT_EQ(r.out, ForwardLine(defaults, 31.5, 117.5, 10));
}

TEST_F(Geoconv, BadUsageGivesTheUsageAndStatusTwo) {
    const std::vector<std::vector<std::string>> usages = {
        {}, {"--inverse"}, {"--bogus", "a.ini"}, {"a.ini", "b.ini"}, {"--inverse", "--inverse", "a.ini"}};
    for (const auto& args : usages) {
        const RunResult r = Run(args, "31 117 0\n");
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: geoconv [--inverse] SETTINGS.ini"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
