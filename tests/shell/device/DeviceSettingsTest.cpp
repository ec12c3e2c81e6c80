#include <gtest/gtest.h>

#include <cfloat>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "beamora/Beamora.h"
#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/shell/DeviceSettings.h"
#include "platform/Message.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using marivane::DeviceSensor;
using marivane::DeviceSettings;

constexpr DeviceSensor kAllSensors[] = {DeviceSensor::Transducer, DeviceSensor::Transducer2,
                                        DeviceSensor::Gnss, DeviceSensor::Motion, DeviceSensor::Heading};

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned, bool) override {
        shown.emplace_back(text);
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> shown;
};

class DeviceSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("device_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        platform::SetMessagePresenter(&presenter_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        fs::remove_all(dir_);
    }
    fs::path Settings(const std::string& content) {
        const fs::path path = dir_ / "Survey.ini";
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
    RecordingPresenter presenter_;
};

// Every value different: sensor s, field f holds s + 1 + f / 8 (exact in binary and in "%f").
DeviceSettings Distinct() {
    DeviceSettings d;
    d.modelNo = 4;
    d.dualHead = 1;
    for (const DeviceSensor s : kAllSensors) {
        for (std::size_t f = 0; f < 7; ++f)
            d.Offsets(s)[f] = static_cast<double>(static_cast<int>(s) + 1) + static_cast<double>(f) / 8.0;
    }
    return d;
}

TEST(DeviceOffsetKey, SpellsEveryKeyOfTheSettingsFile) {
    struct Case {
        DeviceSensor sensor;
        std::size_t field;
        const char* key;
    };
    const Case cases[] = {
        {DeviceSensor::Transducer, marivane::kOffsetX, "dRMBOffSetX"},
        {DeviceSensor::Transducer, marivane::kOffsetForward, "dRMBOffSetForward"},
        {DeviceSensor::Transducer2, marivane::kOffsetY, "dRMBOffSetY2"},
        {DeviceSensor::Transducer2, marivane::kOffsetLatency, "dRMBOffSetLatency2"},
        {DeviceSensor::Gnss, marivane::kOffsetZ, "dGPSOffSetZ"},
        {DeviceSensor::Motion, marivane::kOffsetRoll, "dATTOffSetRoll"},
        {DeviceSensor::Heading, marivane::kOffsetPitch, "dCPSOffSetPitch"},
    };
    for (const Case& c : cases) EXPECT_EQ(marivane::DeviceOffsetKey(c.sensor, c.field), c.key);
    std::set<std::string> keys;
    for (const DeviceSensor s : kAllSensors) {
        for (std::size_t f = 0; f < 7; ++f) keys.insert(marivane::DeviceOffsetKey(s, f));
    }
    EXPECT_EQ(keys.size(), 35u);
}

TEST(DeviceModels, ListOrderIsTheModelIndex) {
    const char* names[] = {"TR240", "TR120", "TR240P", "TR240H", "TR9600"};
    ASSERT_EQ(marivane::DeviceModels().size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(marivane::DeviceModels()[static_cast<std::size_t>(i)].name, names[i]);
        EXPECT_EQ(marivane::DeviceModelOf(i).picture, std::string(names[i]) + ".jpg");
    }
    EXPECT_EQ(marivane::DeviceModelOf(5).name, "TR240");
    EXPECT_EQ(marivane::DeviceModelOf(-1).name, "TR240");
}

TEST_F(DeviceSettingsTest, WritesBothSectionsAndReadsThemBack) {
    const DeviceSettings written = Distinct();
    const fs::path file = Settings("[ParaOfGeo]\nVersion=001.000\n");
    ASSERT_TRUE(marivane::WriteDeviceModel(written, file));
    ASSERT_TRUE(marivane::WriteDeviceLocation(written, file));

    const std::string text = Read(file);
    EXPECT_NE(text.find("Version=001.000"), std::string::npos) << "other sections stay";
    EXPECT_NE(text.find("ModelNo=4"), std::string::npos);
    EXPECT_NE(text.find("DualHead=1"), std::string::npos);
    EXPECT_NE(text.find("dGPSOffSetForward=3.375000"), std::string::npos) << text;
    EXPECT_NE(text.find("dRMBOffSetLatency2=2.750000"), std::string::npos) << text;
    const auto location = platform::ProfileText(text);
    for (const DeviceSensor s : kAllSensors) {
        for (std::size_t f = 0; f < 7; ++f)
            EXPECT_TRUE(location.Value("DeviceLocation", marivane::DeviceOffsetKey(s, f)));
    }

    DeviceSettings read;
    ASSERT_TRUE(marivane::ReadDeviceModel(read, file));
    ASSERT_TRUE(marivane::ReadDeviceLocation(read, file));
    EXPECT_EQ(read, written);
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(DeviceSettingsTest, SecondTransducerIsWrittenWithOneHeadToo) {
    DeviceSettings d = Distinct();
    d.dualHead = 0;
    const fs::path file = Settings("");
    ASSERT_TRUE(marivane::WriteDeviceLocation(d, file));
    DeviceSettings read;
    ASSERT_TRUE(marivane::ReadDeviceLocation(read, file));
    EXPECT_EQ(read.transducer2, d.transducer2);
}

TEST_F(DeviceSettingsTest, ReadsLeadingNumbersAndKeepsWhatIsMissing) {
    DeviceSettings d = Distinct();
    const fs::path file = Settings(
        "[DeviceModel]\n"
        "ModelNo=2abc\n"
        "DualHead=\n"
        "[DeviceLocation]\n"
        "dRMBOffSetX= -3.5e1xyz\n"
        "dgpsoffsetz=abc\n"
        "dATTOffSetLatency=\"0.25\"\n"
        "dCPSOffSetForward=\n");
    ASSERT_TRUE(marivane::ReadDeviceModel(d, file));
    ASSERT_TRUE(marivane::ReadDeviceLocation(d, file));
    const DeviceSettings before = Distinct();
    EXPECT_EQ(d.modelNo, 2);
    EXPECT_EQ(d.dualHead, before.dualHead) << "an empty value keeps the value";
    EXPECT_EQ(d.transducer[marivane::kOffsetX], -35.0);
    EXPECT_EQ(d.gnss[marivane::kOffsetZ], 0.0) << "keys match whatever their case";
    EXPECT_EQ(d.motion[marivane::kOffsetLatency], 0.25);
    EXPECT_EQ(d.heading[marivane::kOffsetForward], before.heading[marivane::kOffsetForward]);
    EXPECT_EQ(d.transducer[marivane::kOffsetY], before.transducer[marivane::kOffsetY]);
    EXPECT_EQ(d.transducer2, before.transducer2);
}

TEST_F(DeviceSettingsTest, MissingFileShowsItsMessageAndChangesNothing) {
    const fs::path missing = dir_ / "absent.ini";
    DeviceSettings d = Distinct();
    EXPECT_FALSE(marivane::ReadDeviceModel(d, missing));
    EXPECT_FALSE(marivane::ReadDeviceLocation(d, missing));
    EXPECT_EQ(d, Distinct());
    ASSERT_EQ(presenter_.shown.size(), 2u);
    EXPECT_EQ(presenter_.shown[0],
              missing.string() + " file path error, can not read device model information!");
    EXPECT_EQ(presenter_.shown[1],
              missing.string() + " file path error, can not read device OffSet information!");
}

bool Same(const CInstallPara& a, const CInstallPara& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.roll == b.roll && a.pitch == b.pitch &&
           a.yaw == b.yaw && a.latency == b.latency;
}

// Storage order X, Y, Z, Forward (yaw), Roll, Pitch, Latency; the library takes yaw after pitch.
CInstallPara Expected(const marivane::SensorOffsets& o) {
    return CInstallPara(static_cast<float>(o[0]), static_cast<float>(o[1]), static_cast<float>(o[2]),
                        static_cast<float>(o[4]), static_cast<float>(o[5]), static_cast<float>(o[3]),
                        static_cast<float>(o[6]));
}

TEST(PushDeviceOffsets, StorageOrderBecomesCallOrder) {
    DeviceSettings d;
    d.gnss = {1, 2, 3, 4, 5, 6, 7};  // X Y Z yaw roll pitch latency
    CBeamora head1, head2, track;
    marivane::PushDeviceOffsets(d, head1, head2, track, true);
    const CInstallPara expected(1, 2, 3, 5, 6, 4, 7);
    for (CBeamora* o : {&head1, &head2, &track}) EXPECT_TRUE(Same(o->GetInstallGPS(), expected));
}

TEST(PushDeviceOffsets, EachBlockReachesItsObjects) {
    const DeviceSettings d = Distinct();
    const CInstallPara untouched(9, 9, 9, 9, 9, 9, 9);
    for (bool second : {false, true}) {
        SCOPED_TRACE(second);
        CBeamora head1, head2, track;
        head2.SetInstallTransducer(untouched);
        marivane::PushDeviceOffsets(d, head1, head2, track, second);
        EXPECT_TRUE(Same(head1.GetInstallTransducer(), Expected(d.transducer)));
        EXPECT_TRUE(Same(track.GetInstallTransducer(), Expected(d.transducer)));
        EXPECT_TRUE(Same(head2.GetInstallTransducer(), second ? Expected(d.transducer2) : untouched));
        for (CBeamora* o : {&head1, &head2, &track}) {
            EXPECT_TRUE(Same(o->GetInstallGPS(), Expected(d.gnss)));
            EXPECT_TRUE(Same(o->GetInstallMRU(), Expected(d.motion)));
            EXPECT_TRUE(Same(o->GetInstallCompass(), Expected(d.heading)));
        }
    }
}

TEST(PushDeviceOffsets, ValuesBeyondSinglePrecisionAreHeld) {
    DeviceSettings d;
    d.transducer[marivane::kOffsetX] = 1e300;
    d.transducer[marivane::kOffsetZ] = -1e300;
    CBeamora head1, head2, track;
    marivane::PushDeviceOffsets(d, head1, head2, track, false);
    EXPECT_EQ(head1.GetInstallTransducer().x, FLT_MAX);
    EXPECT_EQ(head1.GetInstallTransducer().z, -FLT_MAX);
}

TEST(DeviceSettingsRawFile, HeaderCarriesTheRecord) {
    DeviceSettings d = Distinct();
    d.dualHead = 2;  // any set flag is a dual-head installation in the file
    const marivane::RawFileDevice raw = marivane::ToRawFileDevice(d);
    EXPECT_EQ(raw.dualHead, 1);
    EXPECT_EQ(raw.attitude, d.motion);
    EXPECT_EQ(raw.compass, d.heading);

    const auto parsed =
        marivane::ParseRawFilePreamble(marivane::MakeRawFilePreamble(raw, geodesy::ParaOfGeo{}));
    ASSERT_TRUE(parsed.Ok()) << parsed.message;
    DeviceSettings back = marivane::FromRawFileDevice(parsed.preamble.device);
    EXPECT_EQ(back.dualHead, 1);
    back.dualHead = d.dualHead;
    EXPECT_EQ(back, d);
}

}  // namespace
