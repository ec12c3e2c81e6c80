// The geodetic parameter record: its block form in raw data files and its INI section.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "geodesy/ParaOfGeo.h"
#include "platform/Message.h"
#include "platform/Profile.h"

namespace geodesy {
namespace {

class RecordingPresenter : public platform::MessagePresenter {
  public:
    struct Shown {
        std::string text;
        unsigned boxType;
        bool english;
    };
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned boxType,
                                    bool english) override {
        shown.push_back({std::string(text), boxType, english});
        return platform::MessageAnswer::Ok;
    }
    std::vector<Shown> shown;
};

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests carry slashes
        dir_ =
            std::filesystem::temp_directory_path() / ("geodesy_" + std::to_string(::getpid()) + "_" + name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path File(const std::string& name) const { return dir_ / name; }
    static void WriteText(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadText(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path dir_;
};

template <std::size_t N>
void Set(char (&field)[N], const char* text) {
    ASSERT_LT(std::strlen(text), N);
    std::memset(field, 0, N);
    std::memcpy(field, text, std::strlen(text));
}

// A record in which every field differs from its default, with texts of full width and a rotation
// that starts with a blank.
ParaOfGeo EveryFieldChanged() {
    ParaOfGeo r;
    Set(r.Version, "002.345");
    r.SourceEllipsoid = 2;
    Set(r.SourceSemimajor, "6378245.0");
    Set(r.SourceFlattening, "298.3");
    r.TargetEllipsoid = 0;
    Set(r.TargetSemimajor, "6378206.400");
    Set(r.TargetFlattening, "1234567890123456789012345678901");  // 31 characters, the most a field holds
    r.ProjectionType = 2;
    r.AddBandnumber = 1;
    r.PositiveSouth = 1;
    r.PositiveWest = 1;
    Set(r.CentralMeridian, "120300000000W");
    Set(r.NorthConst, "-10000000.0");
    Set(r.EastConst, "250000.5");
    Set(r.ScaleRadio, "0.9996");
    Set(r.ProjectonAltitude, "-12.5");
    Set(r.DatumLatitude, "22300000000S");
    Set(r.NorthParallel, "25000000000N");
    Set(r.SouthParallel, "20000000000N");
    Set(r.SkewAzimuth, "45");
    r.ETransType = 1;
    Set(r.ETransDx, "-15.415");
    Set(r.ETransDy, "157.025");
    Set(r.ETransDz, "94.74");
    Set(r.ETransRx, "1.465");
    Set(r.ETransRy, "-0.312");
    Set(r.ETransRz, "-0.08");
    Set(r.ETransSc, "-0.838");
    r.PTransType = 1;
    r.PTransNorthDR = 1;
    r.PTransEastDR = 1;
    Set(r.PTransDx, "1.5");
    Set(r.PTransDy, "-2.5");
    Set(r.PTransRa, " 001020300000");
    Set(r.PTransSc, "1.0001");
    Set(r.PTransONorth, "3000000");
    r.HFittingType = 3;
    Set(r.HFittingA, "1.1");
    Set(r.HFittingB, "2.2e-3");
    Set(r.HFittingC, "-3.3e-3");
    Set(r.HFittingD, "4.4e-9");
    Set(r.HFittingE, "5.5e-9");
    Set(r.HFittingF, "-6.6e-9");
    Set(r.HFittingX0, "2500000");
    Set(r.HFittingY0, "500000");
    Set(r.CTransDx, "10");
    Set(r.CTransDy, "20");
    Set(r.CTransDz, "30");
    return r;
}

// --- Block form -------------------------------------------------------------------------------------

TEST(ParaOfGeoBlock, FieldsSitAtTheirFileOffsetsLittleEndianWithZeroPaddingAndTail) {
    ParaOfGeo r = EveryFieldChanged();
    r.SourceEllipsoid = 0x01020304;
    const ParaOfGeoBlock block = ToBlock(r);

    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()), 8), std::string("002.345\0", 8));
    EXPECT_EQ((std::vector<int>{block[8], block[9], block[10], block[11]}), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(block[144], 2);  // ProjectionType
    EXPECT_EQ(block[148], 1);  // AddBandnumber
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()) + 151), "120300000000W");
    EXPECT_EQ(block[439], 0);  // padding before ETransType
    EXPECT_EQ(block[440], 1);  // ETransType
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()) + 738), " 001020300000");
    EXPECT_EQ(block[834], 0);  // padding before HFittingType
    EXPECT_EQ(block[835], 0);
    EXPECT_EQ(block[836], 3);  // HFittingType
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()) + 1160), "30");
    for (std::size_t i = kParaOfGeoRecordSize; i < kParaOfGeoBlockSize; ++i) ASSERT_EQ(block[i], 0) << i;
}

TEST(ParaOfGeoBlock, RoundTripReproducesTheBlockByteForByte) {
    for (const ParaOfGeo& r : {DefaultParaOfGeo(), EveryFieldChanged()}) {
        const ParaOfGeoBlock block = ToBlock(r);
        ParaOfGeo back;
        ASSERT_TRUE(FromBlock(block, back));
        EXPECT_EQ(ToBlock(back), block);
    }
}

TEST(ParaOfGeoBlock, HostileBytesGiveTerminatedTextsAndZeroOrOneFlags) {
    std::vector<std::uint8_t> bytes(kParaOfGeoBlockSize, 0xFF);
    ParaOfGeo r;
    ASSERT_TRUE(FromBlock(bytes, r));

    EXPECT_EQ(FieldText(r.Version).size(), 7u);
    EXPECT_EQ(FieldText(r.CentralMeridian).size(), 31u);
    EXPECT_EQ(FieldText(r.CTransDz).size(), 31u);
    EXPECT_EQ(r.Version[7], '\0');
    EXPECT_EQ(r.PTransRa[31], '\0');
    for (std::uint8_t flag :
         {r.AddBandnumber, r.PositiveSouth, r.PositiveWest, r.PTransNorthDR, r.PTransEastDR}) {
        EXPECT_EQ(flag, 1);
    }
    EXPECT_EQ(r.ProjectionType, -1);
    // Read back, the cleaned record is stable.
    ParaOfGeo again;
    ASSERT_TRUE(FromBlock(ToBlock(r), again));
    EXPECT_EQ(ToBlock(again), ToBlock(r));
}

TEST(ParaOfGeoBlock, ShortBlockIsRefusedAndLeavesTheRecord) {
    const ParaOfGeo original = EveryFieldChanged();
    const ParaOfGeoBlock block = ToBlock(DefaultParaOfGeo());
    ParaOfGeo r = original;
    EXPECT_FALSE(FromBlock(std::span<const std::uint8_t>(block.data(), kParaOfGeoBlockSize - 1), r));
    EXPECT_EQ(ToBlock(r), ToBlock(original));
}

// --- INI section ------------------------------------------------------------------------------------

using ParaOfGeoIni = TempDir;

TEST_F(ParaOfGeoIni, DefaultsAreWrittenKeyByKeyInRecordOrder) {
    const auto path = File("settings.ini");
    ASSERT_TRUE(WriteParaOfGeo(DefaultParaOfGeo(), path));
    const std::string expected =
        "[ParaOfGeo]\nVersion=001.000\nSourceEllipsoid=1\nSourceSemimajor=6378137.0\n"
        "SourceFlattening=298.257223563\nTargetEllipsoid=1\nTargetSemimajor=6378137.0\n"
        "TargetFlattening=298.257223563\nProjectionType=1\nAddBandnumber=0\nPositiveSouth=0\nPositiveWest=0\n"
        "CentralMeridian=117000000000E\nNorthConst=0.0\nEastConst=500000.0\nScaleRadio=1.0\n"
        "ProjectonAltitude=0.0\nDatumLatitude=00000000000N\nNorthParallel=00000000000N\n"
        "SouthParallel=00000000000N\nSkewAzimuth=0\nETransType=0\nETransDx=0.0\nETransDy=0.0\nETransDz=0.0\n"
        "ETransRx=0.0\nETransRy=0.0\nETransRz=0.0\nETransSc=0.0\nPTransType=0\nPTransNorthDR=0\n"
        "PTransEastDR=0\nPTransDx=0.0\nPTransDy=0.0\nPTransRa=' 000000000000'\nPTransSc=1.0\n"
        "PTransONorth=0.0\nHFittingType=0\nHFittingA=0.0\nHFittingB=0.0\nHFittingC=0.0\nHFittingD=0.0\n"
        "HFittingE=0.0\nHFittingF=0.0\nHFittingX0=0.0\nHFittingY0=0.0\nCTransDx=0.0\nCTransDy=0.0\n"
        "CTransDz=0.0\n";
    EXPECT_EQ(ReadText(path), expected);
}

TEST_F(ParaOfGeoIni, WriteThenReadReproducesEveryField) {
    const auto path = File("settings.ini");
    WriteText(path, "[Other]\nkey=value\n");
    const ParaOfGeo written = EveryFieldChanged();
    ASSERT_TRUE(WriteParaOfGeo(written, path));

    ParaOfGeo read = DefaultParaOfGeo();
    ASSERT_TRUE(ReadParaOfGeo(read, path));
    EXPECT_EQ(ToBlock(read), ToBlock(written));
    EXPECT_EQ(FieldText(read.PTransRa), " 001020300000");
    EXPECT_EQ(platform::ReadProfileValue(path, "Other", "key"), "value");

    // Written over, the section keeps one key per field.
    ASSERT_TRUE(WriteParaOfGeo(DefaultParaOfGeo(), path));
    ASSERT_TRUE(ReadParaOfGeo(read, path));
    EXPECT_EQ(ToBlock(read), ToBlock(DefaultParaOfGeo()));
}

struct ReadCase {
    const char* name;
    const char* lines;                       // lines of section ParaOfGeo
    std::function<void(ParaOfGeo&)> expect;  // the change to the starting record, if any
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ParaOfGeoReadRules : public TempDir, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ParaOfGeoReadRules, ChangesOnlyWhatTheRulesAllow) {
    const ReadCase& c = GetParam();
    const auto path = File("settings.ini");
    WriteText(path, std::string("[ParaOfGeo]\n") + c.lines);
    const ParaOfGeo start = EveryFieldChanged();
    ParaOfGeo expected = start;
    if (c.expect)
        c.expect(expected);

    ParaOfGeo read = start;
    ASSERT_TRUE(ReadParaOfGeo(read, path));
    EXPECT_EQ(ToBlock(read), ToBlock(expected));
}

const std::string k31(31, '7');

INSTANTIATE_TEST_SUITE_P(
    Cases, ParaOfGeoReadRules,
    ::testing::Values(
        ReadCase{"EmptyValuesKeepEveryKind", "Version=\nSourceEllipsoid=\nAddBandnumber=\nSourceSemimajor=\n",
                 nullptr},
        ReadCase{"FortyCharacterTextIsIgnored", "SourceSemimajor=6666666666666666666666666666666666666666\n",
                 nullptr},
        ReadCase{"ThirtyOneCharactersFit", "NorthConst=7777777777777777777777777777777\n",
                 [](ParaOfGeo& r) { Set(r.NorthConst, k31.c_str()); }},
        ReadCase{"ThirtyTwoCharactersDoNot", "NorthConst=77777777777777777777777777777777\n", nullptr},
        ReadCase{"VersionTakesSevenCharacters", "Version=003.100\n",
                 [](ParaOfGeo& r) { Set(r.Version, "003.100"); }},
        ReadCase{"VersionRefusesEight", "Version=0003.100\n", nullptr},
        ReadCase{"IntTakesTheLeadingNumber", "ProjectionType=0abc\nETransType=-3\n",
                 [](ParaOfGeo& r) {
                     r.ProjectionType = 0;
                     r.ETransType = -3;
                 }},
        ReadCase{"IntWithoutNumberIsZero", "HFittingType=none\n", [](ParaOfGeo& r) { r.HFittingType = 0; }},
        ReadCase{"FlagIsOneForAnyNonZero", "AddBandnumber=0\nPositiveSouth=2\nPTransEastDR=-1\n",
                 [](ParaOfGeo& r) {
                     r.AddBandnumber = 0;
                     r.PositiveSouth = 1;
                     r.PTransEastDR = 1;
                 }},
        ReadCase{"QuotedRotationKeepsItsLeadingBlank", "PTransRa=' 000001000000'\n",
                 [](ParaOfGeo& r) { Set(r.PTransRa, " 000001000000"); }},
        ReadCase{"KeysOfOtherSectionsAreNotRead", "[Other]\nScaleRadio=2.0\n", nullptr}),
    [](const ::testing::TestParamInfo<ReadCase>& param) { return std::string(param.param.name); });

TEST_F(ParaOfGeoIni, MissingFileIsReportedAndLeavesTheRecord) {
    RecordingPresenter presenter;
    platform::SetMessagePresenter(&presenter);
    const auto path = File("absent.ini");
    const ParaOfGeo original = EveryFieldChanged();
    ParaOfGeo r = original;
    platform::SetMessageLanguageEnglish(true);
    EXPECT_FALSE(ReadParaOfGeo(r, path));
    platform::SetMessageLanguageEnglish(false);
    EXPECT_FALSE(ReadParaOfGeo(r, File("")));  // the folder itself is no settings file
    platform::SetMessageLanguageEnglish(true);
    platform::SetMessagePresenter(nullptr);

    EXPECT_EQ(ToBlock(r), ToBlock(original));
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].text,
              path.string() + " file path error, can not read the ellipsoid parameter information!");
    EXPECT_EQ(presenter.shown[0].boxType, 0x31u);
    EXPECT_EQ(presenter.shown[1].text, File("").string() + "文件路径错误，无法读取椭球参数信息！");
    EXPECT_FALSE(presenter.shown[1].english);
}

// --- Ellipsoid table --------------------------------------------------------------------------------

TEST(EllipsoidTable, EntriesAndOutOfRangeIndices) {
    ASSERT_EQ(EllipsoidTable().size(), 6u);
    const EllipsoidEntry* beijing = FindEllipsoid(2);
    ASSERT_NE(beijing, nullptr);
    EXPECT_STREQ(beijing->name, "Beijing54");
    EXPECT_STREQ(beijing->semimajor, "6378245.0");
    EXPECT_STREQ(beijing->inverseFlattening, "298.3");
    EXPECT_STREQ(FindEllipsoid(5)->semimajor, "6378206.400");
    EXPECT_STREQ(FindEllipsoid(0)->name, "User Defined");
    EXPECT_EQ(FindEllipsoid(-1), nullptr);
    EXPECT_EQ(FindEllipsoid(6), nullptr);
}

}  // namespace
}  // namespace geodesy
