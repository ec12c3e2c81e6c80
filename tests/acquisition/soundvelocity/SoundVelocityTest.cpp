#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "beamora/Beamora.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "platform/Message.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using marivane::AxisScale;
using marivane::SoundVelocity;
using marivane::SoundVelocitySource;
using marivane::SvpPoint;
using marivane::SvpPreviewStatus;
using Points = std::vector<SvpPoint>;

struct Shown {
    std::string text;
    unsigned boxType;
};

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned boxType,
                                    bool) override {
        shown.push_back({std::string(text), boxType});
        return platform::MessageAnswer::Ok;
    }
    std::vector<Shown> shown;
};

class SoundVelocityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("svp_") + info->test_suite_name() + "_" + info->name();
        for (char& ch : name) {
            if (ch == '/')
                ch = '_';
        }
        dir_ = fs::path(::testing::TempDir()) / name;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        platform::SetMessagePresenter(&presenter_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        fs::remove_all(dir_);
    }

    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Depth of a vertical beam of one-way time `time` from each of the three objects, transducer at the
    // surface.
    std::vector<double> VerticalDepths(double time) {
        std::vector<double> out;
        for (CBeamora* b : {&head1, &head2, &track}) {
            b->SetMotion(0.0, 0.0, 0.0, 0.0);
            b->PosGPSToTransducer(0.0, 0.0, 0.0);
            double e = 0, n = 0, d = 0, a = 0;
            b->PotitonOneBeam(0.0, time, e, n, d, a);
            out.push_back(d);
        }
        return out;
    }
    std::vector<std::string> TakeShown() {
        std::vector<std::string> out;
        for (const Shown& s : presenter_.shown) out.push_back(s.text);
        presenter_.shown.clear();
        return out;
    }

    fs::path dir_;
    RecordingPresenter presenter_;
    CBeamora head1, head2, track;
    SoundVelocity sv{head1, head2, track};
};

// ---- Loading profiles -------------------------------------------------------------------------------

struct LoadCase {
    const char* name;
    const char* file;
    std::string content;
    Points expected;
};

class LoadSvp : public SoundVelocityTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadSvp, OrdersCleansAndKeepsTheProfile) {
    const LoadCase& c = GetParam();
    ASSERT_TRUE(sv.LoadSvpFile(Write(c.file, c.content)));
    EXPECT_EQ(sv.Profile(), c.expected);
    EXPECT_TRUE(TakeShown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSvp,
    ::testing::Values(
        LoadCase{"Unordered",
                 "a.vel",
                 "FTP NEW 2\n10 1500\n0 1490\n5 1495\n5 1495\n20 1500\n",
                 {{0, 1490}, {5, 1495}, {10, 1500}, {20, 1500}}},
        LoadCase{
            "ConstantVelocity", "a.vel", "FTP NEW 2\n0 1500\n10 1500\n20 1500\n", {{0, 1500}, {20, 1500}}},
        LoadCase{"StartsBelowTheSurface",
                 "a.vel",
                 "FTP NEW 2\n3 1480\n40 1490\n",
                 {{0, 1480}, {3, 1480}, {40, 1490}}},
        // The first read of points at one depth stays; a point 0.00002 m below it stays too.
        LoadCase{"EqualDepthsKeepTheFirstRead",
                 "a.vel",
                 "FTP NEW 2\n0 1500\n5 1495\n5 1497\n5.000009 1499\n5.00002 1498\n9 1490\n",
                 {{0, 1500}, {5, 1495}, {5.00002, 1498}, {9, 1490}}},
        LoadCase{"OnePointBelowTheSurface", "a.vel", "FTP NEW 2\n10 1500\n", {{0, 1500}, {10, 1500}}},
        LoadCase{"VelocityWithinTolerance",
                 "a.vel",
                 "FTP NEW 2\n0 1500\n5 1500.000009\n10 1500\n",
                 {{0, 1500}, {10, 1500}}},
        LoadCase{"RangeLimitsIncluded",
                 "a.vel",
                 "FTP NEW 2\n0 1300\n-0.5 1500\n10000 1700\n10000.1 1500\n50 1299.9\n60 1700.1\n",
                 {{0, 1300}, {10000, 1700}}},
        LoadCase{"TextWithoutHeader", "a.txt", "0 1510\n50 1490\n", {{0, 1510}, {50, 1490}}},
        LoadCase{"ExtensionInAnyCase", "A.VeL", "FTP x y\n0 1510\n50 1490\n", {{0, 1510}, {50, 1490}}},
        LoadCase{"WindowsLinesBlanksAndExtraWords",
                 "a.vel",
                 "FTP NEW 2\r\n\r\n  0\t1510 extra\r\n\r\n50 1490m/s\r\n  \r\n7\r\n",
                 {{0, 1510}, {50, 1490}}},
        // Text that is no number reads as 0: a depth of 0 is fine, a velocity of 0 is not.
        LoadCase{"NotNumbers",
                 "a.vel",
                 "FTP NEW 2\nnan 1500\n5 nan\ninf 1490\n1e400 1480\n8 1e400\n10 1510\n",
                 {{0, 1500}, {10, 1510}}},
        LoadCase{"ByteOrderMark",
                 "a.vel",
                 "\xEF\xBB\xBF"
                 "FTP NEW 2\n0 1500\n9 1510\n",
                 {{0, 1500}, {9, 1510}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SoundVelocityTest, HugeLinesAreReadInBoundedPieces) {
    std::string content = "FTP NEW 2\n0 1500\n";
    content += std::string(3'000'000, '7') + " 1500\n";
    content += "20 1510 " + std::string(100'000, 'x') + "\n";
    ASSERT_TRUE(sv.LoadSvpFile(Write("huge.vel", content)));
    // Only the start of the line of digits is read, which has no second word.
    EXPECT_EQ(sv.Profile(), (Points{{0, 1500}, {20, 1510}}));
}

TEST_F(SoundVelocityTest, ALoadedProfileGoesToAllThreeObjects) {
    ASSERT_TRUE(sv.LoadSvpFile(Write("a.vel", "FTP NEW 2\n0 1450\n500 1450\n")));
    for (double d : VerticalDepths(0.01)) EXPECT_NEAR(d, 14.5, 1e-9);
}

struct FailCase {
    const char* name;
    const char* file;  // nullptr: no file at all
    std::string content;
    std::string english;  // "%s" stands for the path
    std::string chinese;
};

class LoadSvpFails : public SoundVelocityTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(LoadSvpFails, WarnsInEitherLanguageAndKeepsThePreviousProfile) {
    const FailCase& c = GetParam();
    ASSERT_TRUE(sv.LoadSvpFile(Write("good.vel", "FTP NEW 2\n0 1450\n500 1450\n")));
    const Points good = sv.Profile();
    const fs::path path = c.file != nullptr ? Write(c.file, c.content) : dir_ / "missing.vel";

    for (const bool english : {true, false}) {
        platform::SetMessageLanguageEnglish(english);
        EXPECT_FALSE(sv.LoadSvpFile(path));
        ASSERT_EQ(presenter_.shown.size(), 1u);
        EXPECT_EQ(presenter_.shown[0].text,
                  platform::FormatMessageText(english ? c.english : c.chinese, path.string()));
        EXPECT_EQ(presenter_.shown[0].boxType, 0x31u);
        presenter_.shown.clear();
    }
    EXPECT_EQ(sv.Profile(), good);
    for (double d : VerticalDepths(0.01)) EXPECT_NEAR(d, 14.5, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSvpFails,
    ::testing::Values(
        FailCase{"Missing", nullptr, "", "%s: File open failed!", "%s : 文件打开失败"},
        FailCase{"NotFtp", "a.vel", "XYZ NEW 2\n0 1500\n10 1500\n", "%s: File format error!",
                 "%s : 文件格式异常，读取失败！"},
        FailCase{"HeaderIsCaseSensitive", "a.vel", "ftp NEW 2\n0 1500\n10 1510\n", "%s: File format error!",
                 "%s : 文件格式异常，读取失败！"},
        FailCase{"EmptyVel", "a.vel", "", "%s: File format error!", "%s : 文件格式异常，读取失败！"},
        FailCase{"HeaderOnly", "a.vel", "FTP NEW 2\n", "Failed to read the file", "数据文件读取异常"},
        FailCase{"NoPointInRange", "a.txt", "0 1200\n-1 1500\n", "Failed to read the file",
                 "数据文件读取异常"},
        FailCase{"OneValidPoint", "a.vel", "FTP NEW 2\n0 1500\n20 1800\n", "SVP File format error!",
                 "声速剖面文件异常,读取失败!"},
        FailCase{"OnePointAfterCleanUp", "a.txt", "0 1500\n0.000001 1510\n", "SVP File format error!",
                 "声速剖面文件异常,读取失败!"},
        FailCase{"BinaryJunk", "a.txt", std::string("\0\x01\xff\xfe\n\x7f", 6), "Failed to read the file",
                 "数据文件读取异常"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SoundVelocityTest, LoadingADirectoryIsAnOpenFailure) {
    EXPECT_FALSE(sv.LoadSvpFile(dir_));
    EXPECT_EQ(TakeShown(), std::vector<std::string>{dir_.string() + ": File open failed!"});
}

// Profiles are counted after clean-up: 1024 points load, 1025 do not, however many lines the file has.
TEST_F(SoundVelocityTest, AtMost1024PointsAfterCleanUp) {
    const auto profile = [](int points, int duplicates) {
        std::string text = "FTP NEW 2\n";
        for (int i = 0; i < points; ++i) {
            const std::string line = std::to_string(i) + " " + (i % 2 == 0 ? "1500" : "1501") + "\n";
            text += line;
            if (i < duplicates)
                text += line;
        }
        return text;
    };
    ASSERT_TRUE(sv.LoadSvpFile(Write("a.vel", "FTP NEW 2\n0 1450\n500 1450\n")));

    EXPECT_TRUE(sv.LoadSvpFile(Write("b.vel", profile(1024, 300))));
    EXPECT_EQ(sv.Profile().size(), 1024u);
    EXPECT_EQ(sv.Profile().back(), (SvpPoint{1023, 1501}));
    EXPECT_TRUE(TakeShown().empty());

    EXPECT_FALSE(sv.LoadSvpFile(Write("c.vel", profile(1025, 0))));
    EXPECT_EQ(TakeShown(), std::vector<std::string>{"SVP File format error!"});
    EXPECT_EQ(sv.Profile().size(), 1024u);
    // The objects still trace through the 1024-point profile: about 1500.5 m/s.
    for (double d : VerticalDepths(0.1)) EXPECT_NEAR(d, 150.05, 0.01);
}

TEST(SvpCleanUp, ComparesWithThePointsKeptSoFar) {
    // 0.000006 is too close to 0 and goes; 0.000012 is then 0.000012 below the point kept before it.
    Points points{{0, 1500}, {0.000006, 1501}, {0.000012, 1502}, {0.000015, 1503}};
    marivane::CleanSvpPoints(points);
    EXPECT_EQ(points, (Points{{0, 1500}, {0.000012, 1502}}));

    // Runs of one velocity keep only their ends; the comparison is with the neighbours as they are.
    points = {{0, 1500}, {1, 1500}, {2, 1500}, {3, 1500}, {4, 1510}, {5, 1510}};
    marivane::CleanSvpPoints(points);
    EXPECT_EQ(points, (Points{{0, 1500}, {3, 1500}, {4, 1510}, {5, 1510}}));
    // A slow drift: once 1 m is gone, 2 m differs from 0 m by 0.000012 m/s and stays.
    points = {{0, 1500}, {1, 1500.000006}, {2, 1500.000012}, {3, 1500.000018}};
    marivane::CleanSvpPoints(points);
    EXPECT_EQ(points, (Points{{0, 1500}, {2, 1500.000012}, {3, 1500.000018}}));
}

// ---- Settings -----------------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    std::string ini;
    SoundVelocitySource source;
    std::string fileName;
    double velocity;
};

class ReadSettings : public SoundVelocityTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSettings, ReadsTheSourceAndOnlyItsOwnKey) {
    const ReadCase& c = GetParam();
    sv.SetSource(SoundVelocitySource::AverageVelocity);
    sv.SetProfileFileName("before.vel");
    sv.SetAverageVelocity(1234.0);
    ASSERT_TRUE(sv.ReadSettings(Write("p.ini", c.ini)));
    EXPECT_EQ(sv.Source(), c.source);
    EXPECT_EQ(sv.ProfileFileName(), c.fileName);
    EXPECT_EQ(sv.AverageVelocity(), c.velocity);
    EXPECT_TRUE(TakeShown().empty());
}

const std::string kKeys = "sAcousticVelFile=deep.vel\ndAverAcousticVel=1487.25\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadSettings,
    ::testing::Values(
        ReadCase{"File", "[ShengPou]\nSoundVelocitySource=0\n" + kKeys, SoundVelocitySource::ProfileFile,
                 "deep.vel", 1234.0},
        ReadCase{"Average", "[ShengPou]\nSoundVelocitySource=1\n" + kKeys,
                 SoundVelocitySource::AverageVelocity, "before.vel", 1487.25},
        ReadCase{"Sonar", "[ShengPou]\nSoundVelocitySource=2\n" + kKeys, SoundVelocitySource::Sonar,
                 "before.vel", 1234.0},
        ReadCase{"Missing", "[ShengPou]\n" + kKeys, SoundVelocitySource::Sonar, "before.vel", 1234.0},
        ReadCase{"NoSection", "[Other]\nSoundVelocitySource=1\n", SoundVelocitySource::Sonar, "before.vel",
                 1234.0},
        ReadCase{"Empty", "[ShengPou]\nSoundVelocitySource=\n" + kKeys, SoundVelocitySource::Sonar,
                 "before.vel", 1234.0},
        ReadCase{"AboveRange", "[ShengPou]\nSoundVelocitySource=3\n" + kKeys, SoundVelocitySource::Sonar,
                 "before.vel", 1234.0},
        ReadCase{"BelowRange", "[ShengPou]\nSoundVelocitySource=-1\n" + kKeys, SoundVelocitySource::Sonar,
                 "before.vel", 1234.0},
        ReadCase{"Huge", "[ShengPou]\nSoundVelocitySource=99999999999\n" + kKeys, SoundVelocitySource::Sonar,
                 "before.vel", 1234.0},
        ReadCase{"NotANumberIsZero", "[ShengPou]\nSoundVelocitySource=abc\n" + kKeys,
                 SoundVelocitySource::ProfileFile, "deep.vel", 1234.0},
        ReadCase{"LeadingNumber", "[ShengPou]\nSoundVelocitySource=1x\n" + kKeys,
                 SoundVelocitySource::AverageVelocity, "before.vel", 1487.25},
        ReadCase{"EmptyKeysKeepMemory", "[ShengPou]\nSoundVelocitySource=0\nsAcousticVelFile=\n",
                 SoundVelocitySource::ProfileFile, "before.vel", 1234.0},
        ReadCase{"VelocityNotANumber", "[ShengPou]\nSoundVelocitySource=1\ndAverAcousticVel=fast\n",
                 SoundVelocitySource::AverageVelocity, "before.vel", 0.0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SoundVelocityTest, AMissingSettingsFileIsReportedWithItsPath) {
    sv.SetSource(SoundVelocitySource::AverageVelocity);
    const fs::path path = dir_ / "none.ini";
    EXPECT_FALSE(sv.ReadSettings(path));
    EXPECT_EQ(sv.Source(), SoundVelocitySource::AverageVelocity);
    platform::SetMessageLanguageEnglish(false);
    EXPECT_FALSE(sv.ReadSettings(path));
    EXPECT_EQ(TakeShown(),
              (std::vector<std::string>{
                  path.string() + " file path error, can not read the sound velocity profile information!",
                  path.string() + "文件路径错误，无法读取声速剖面信息！"}));
}

TEST_F(SoundVelocityTest, WritesTheSourceAndTheKeyOfThatSource) {
    const fs::path ini = Write("p.ini", "[ShengPou]\nsAcousticVelFile=old.vel\n");
    sv.SetSource(SoundVelocitySource::AverageVelocity);
    sv.SetAverageVelocity(1487.5);
    ASSERT_TRUE(sv.WriteSettings(ini));
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "SoundVelocitySource"), "1");
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "dAverAcousticVel"), "1487.500000");
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "sAcousticVelFile"), "old.vel");

    sv.SetSource(SoundVelocitySource::ProfileFile);
    sv.SetProfileFileName("new.vel");
    sv.SetAverageVelocity(1400.0);
    ASSERT_TRUE(sv.WriteSettings(ini));
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "SoundVelocitySource"), "0");
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "sAcousticVelFile"), "new.vel");
    EXPECT_EQ(platform::ReadProfileValue(ini, "ShengPou", "dAverAcousticVel"), "1487.500000");

    CBeamora a, b, c;
    SoundVelocity reread(a, b, c);
    ASSERT_TRUE(reread.ReadSettings(ini));
    EXPECT_EQ(reread.Source(), SoundVelocitySource::ProfileFile);
    EXPECT_EQ(reread.ProfileFileName(), "new.vel");
}

struct ApplyCase {
    const char* name;
    SoundVelocitySource source;
    double velocity;  // that a vertical beam then travels at
};

class ApplySource : public SoundVelocityTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplySource, GivesEachObjectTheVelocityOfTheSource) {
    const ApplyCase& c = GetParam();
    Write("profile.vel", "FTP NEW 2\n0 1440\n900 1440\n");
    sv.SetProfileFileName("profile.vel");
    sv.SetAverageVelocity(1520.0);
    // Whatever the objects held before is replaced.
    for (CBeamora* o : {&head1, &head2, &track}) o->SetAsv(1600.0);
    sv.SetSource(c.source);
    sv.ApplySoundVelocity(dir_);
    for (double d : VerticalDepths(0.01)) EXPECT_NEAR(d, c.velocity * 0.01, 1e-9);
    EXPECT_TRUE(TakeShown().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ApplySource,
                         ::testing::Values(ApplyCase{"File", SoundVelocitySource::ProfileFile, 1440.0},
                                           ApplyCase{"Average", SoundVelocitySource::AverageVelocity, 1520.0},
                                           ApplyCase{"Sonar", SoundVelocitySource::Sonar, 1500.0}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Dialog helpers -----------------------------------------------------------------------------------

TEST_F(SoundVelocityTest, PreviewReadsWithoutRangeChecks) {
    auto preview = marivane::ReadSvpPreview(Write("a.vel", "FTP NEW 2\n30 1200\n-5 1800\n10 1500\n"));
    EXPECT_EQ(preview.status, SvpPreviewStatus::Ok);
    EXPECT_EQ(preview.points, (Points{{-5, 1800}, {10, 1500}, {30, 1200}}));
    EXPECT_EQ(preview.minDepth, -5.0);
    EXPECT_EQ(preview.maxDepth, 30.0);
    EXPECT_EQ(preview.minVelocity, 1200.0);
    EXPECT_EQ(preview.maxVelocity, 1800.0);

    preview = marivane::ReadSvpPreview(Write("a.txt", "5 1490\n0 1480\n"));
    EXPECT_EQ(preview.points, (Points{{0, 1480}, {5, 1490}}));

    preview = marivane::ReadSvpPreview(Write("b.vel", "NEW 2\n5 1490\n"));
    EXPECT_EQ(preview.status, SvpPreviewStatus::FormatError);
    EXPECT_TRUE(preview.points.empty());

    preview = marivane::ReadSvpPreview(dir_ / "none.vel");
    EXPECT_EQ(preview.status, SvpPreviewStatus::OpenFailed);
    EXPECT_TRUE(TakeShown().empty());
}

TEST_F(SoundVelocityTest, PreviewMessages) {
    marivane::ShowSvpPreviewMessage(SvpPreviewStatus::Ok);
    marivane::ShowSvpPreviewMessage(SvpPreviewStatus::OpenFailed);
    marivane::ShowSvpPreviewMessage(SvpPreviewStatus::FormatError);
    platform::SetMessageLanguageEnglish(false);
    marivane::ShowSvpPreviewMessage(SvpPreviewStatus::OpenFailed);
    marivane::ShowSvpPreviewMessage(SvpPreviewStatus::FormatError);
    EXPECT_EQ(TakeShown(), (std::vector<std::string>{"Failed to read the SVP file", "File format error!",
                                                     "读取声速文件失败", "数据文件读取异常"}));
}

struct AxisCase {
    double min, max;
    AxisScale expected;
};

class RoundAxis : public ::testing::TestWithParam<AxisCase> {};

TEST_P(RoundAxis, UsesRoundStepsOfOneTwoOrFive) {
    const AxisCase& c = GetParam();
    const AxisScale a = marivane::RoundAxis(c.min, c.max);
    EXPECT_DOUBLE_EQ(a.start, c.expected.start);
    EXPECT_DOUBLE_EQ(a.end, c.expected.end);
    EXPECT_DOUBLE_EQ(a.step, c.expected.step);
    EXPECT_EQ(a.intervals, c.expected.intervals);
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundAxis,
                         ::testing::Values(AxisCase{1450, 1550, {1440, 1560, 20, 6}},  // f = 2
                                           AxisCase{1, 60, {0, 60, 10, 6}},            // f = 1.18
                                           AxisCase{0, 75, {0, 80, 10, 8}},            // f = 1.5: still 1
                                           AxisCase{0, 175, {0, 180, 20, 9}},          // f = 3.5: still 2
                                           AxisCase{0, 37, {0, 40, 5, 8}},             // f = 7.4
                                           AxisCase{0, 38, {0, 40, 10, 4}},            // f = 7.6
                                           AxisCase{1490, 1500, {1490, 1500, 2, 5}},   // e = 0
                                           AxisCase{0, 1.1, {0, 2, 1, 2}},             // step0 below 1: e = 0
                                           AxisCase{3.7, 3612.4, {0, 4000, 500, 8}},
                                           AxisCase{2, 3, {2, 3, 1, 1}},  // range 1: unchanged
                                           AxisCase{5, 5.5, {5, 5.5, 0.5, 1}}, AxisCase{7, 7, {7, 7, 0, 1}}));

}  // namespace
