#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/RawFile.h"
#include "platform/FixedText.h"

namespace {

using marivane::ParseRawFilePreamble;
using marivane::RawFileDevice;
using marivane::RawPreambleStatus;
using Bytes = std::vector<std::uint8_t>;

// Every value different, so that a group read from the wrong offset or in the wrong order shows.
RawFileDevice DistinctDevice(int modelNo, int dualHead) {
    RawFileDevice d;
    d.modelNo = modelNo;
    d.dualHead = dualHead;
    for (std::size_t i = 0; i < 7; ++i) {
        const double k = static_cast<double>(i);
        d.transducer[i] = 1.0 + k / 8;
        d.transducer2[i] = -2.0 - k / 16;
        d.gnss[i] = 3.0 + k / 32;
        d.attitude[i] = -4.0 - k / 64;
        d.compass[i] = 5.0 + k / 128;
    }
    return d;
}

geodesy::ParaOfGeo ChangedGeo() {
    geodesy::ParaOfGeo g = geodesy::DefaultParaOfGeo();
    g.ProjectionType = 0;
    g.PositiveWest = 1;
    platform::SetFixedText(g.CentralMeridian, "114000000000E");
    platform::SetFixedText(g.PTransRa, "-000130000000");
    g.HFittingType = 2;
    return g;
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

void PutText8(Bytes& b, std::size_t at, const char* text, std::size_t n) {
    std::memset(b.data() + at, 0, 8);
    std::memcpy(b.data() + at, text, n);
}

TEST(RawFilePreamble, ReadsBackWhatTheWriterWrote) {
    for (int dualHead : {0, 1}) {
        SCOPED_TRACE(dualHead);
        const RawFileDevice device = DistinctDevice(3, dualHead);
        const geodesy::ParaOfGeo geo = ChangedGeo();
        Bytes file = marivane::MakeRawFilePreamble(device, geo);
        file.insert(file.end(), {'W', 'L', 'N', 0});  // the first packet's bytes are not the preamble's

        const auto r = ParseRawFilePreamble(file);
        ASSERT_TRUE(r.Ok()) << r.message;
        EXPECT_TRUE(r.message.empty());
        const auto& p = r.preamble;
        EXPECT_EQ(p.dataOffset, 1832u);
        EXPECT_EQ(p.formatVersion, "1.2.0");
        EXPECT_EQ(p.model, "TR240H");
        EXPECT_EQ(p.device.modelNo, 3);
        EXPECT_EQ(p.device.dualHead, dualHead);
        EXPECT_EQ(p.device.transducer, device.transducer);
        EXPECT_EQ(p.device.gnss, device.gnss);
        EXPECT_EQ(p.device.attitude, device.attitude);
        EXPECT_EQ(p.device.compass, device.compass);
        // The second head's group is written only for a dual-head installation.
        EXPECT_EQ(p.device.transducer2, dualHead == 1 ? device.transducer2 : marivane::SensorOffsets{});
        EXPECT_EQ(p.nonFiniteOffsets, 0);
        EXPECT_EQ(geodesy::ToBlock(p.geo), geodesy::ToBlock(geo));
    }
}

TEST(RawFilePreamble, ModelNumberSurvivesTheModelName) {
    // Numbers without a name of their own are written as "TR240" and read back as model 0.
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 0}, {-1, 0}};
    for (const auto& [written, read] : cases) {
        const Bytes file =
            marivane::MakeRawFilePreamble(DistinctDevice(written, 0), geodesy::DefaultParaOfGeo());
        const auto r = ParseRawFilePreamble(file);
        ASSERT_TRUE(r.Ok());
        EXPECT_EQ(r.preamble.device.modelNo, read) << "written " << written;
        EXPECT_EQ(r.preamble.model, marivane::RawFileModelName(written));
    }
}

TEST(RawFilePreamble, RefusesWhatIsNoBinaryRawFile) {
    const Bytes good = marivane::MakeRawFilePreamble(DistinctDevice(0, 0), geodesy::DefaultParaOfGeo());
    struct Case {
        const char* name;
        Bytes bytes;
        RawPreambleStatus status;
        const char* says;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, RawPreambleStatus::TooShort, "too short"});
    cases.push_back({"63 bytes", Bytes(good.begin(), good.begin() + 63), RawPreambleStatus::TooShort, "64"});
    cases.push_back(
        {"header only", Bytes(good.begin(), good.begin() + 64), RawPreambleStatus::TooShort, "1832"});
    cases.push_back(
        {"one byte short", Bytes(good.begin(), good.end() - 1), RawPreambleStatus::TooShort, "1831"});
    {
        Bytes b = good;
        PutU32(b, 0, 1769);
        cases.push_back({"other size", b, RawPreambleStatus::NotRawFile, "1769"});
    }
    {
        Bytes b = good;
        PutText8(b, 28, "1.3.0", 5);
        cases.push_back({"other version", b, RawPreambleStatus::NotRawFile, "\"1.3.0\""});
    }
    {
        Bytes b = good;
        PutText8(b, 28, "1.1.0", 5);
        cases.push_back(
            {"format 1.1.0", b, RawPreambleStatus::TextFormat, "not a binary 1.2.0 raw data file"});
    }
    {
        Bytes b(576, 0);
        PutU32(b, 0, 512);
        PutText8(b, 28, "1.0.0", 5);
        cases.push_back(
            {"format 1.0.0", b, RawPreambleStatus::TextFormat, "not a binary 1.2.0 raw data file"});
    }
    {
        Bytes b = good;  // the legacy version text with the size of the newer formats
        PutText8(b, 28, "1.0.0", 5);
        cases.push_back({"1768 with 1.0.0", b, RawPreambleStatus::NotRawFile, "not a raw data file"});
    }
    {
        Bytes b = good;  // eight characters, no terminator: the text ends with its field
        PutText8(b, 28, "1.2.0\x01\x7f\x80", 8);
        cases.push_back({"unterminated version", b, RawPreambleStatus::NotRawFile, "1.2.0\\x01\\x7F\\x80"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = ParseRawFilePreamble(c.bytes);
        EXPECT_EQ(r.status, c.status);
        EXPECT_FALSE(r.Ok());
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        for (const char ch : r.message) EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << r.message;
    }
}

TEST(RawFilePreamble, VersionTextEndsAtItsTerminator) {
    Bytes b = marivane::MakeRawFilePreamble(DistinctDevice(0, 0), geodesy::DefaultParaOfGeo());
    PutText8(b, 28, "1.2.0\0AB", 8);
    const auto r = ParseRawFilePreamble(b);
    ASSERT_TRUE(r.Ok()) << r.message;
    EXPECT_EQ(r.preamble.formatVersion, "1.2.0");
}

TEST(RawFilePreamble, OffsetsThatAreNoNumbersReadAsZero) {
    const RawFileDevice device = DistinctDevice(0, 1);
    Bytes b = marivane::MakeRawFilePreamble(device, geodesy::DefaultParaOfGeo());
    const auto put = [&](std::size_t blockOffset, std::size_t index, double v) {
        std::memcpy(b.data() + 64 + blockOffset + 8 * index, &v, 8);
    };
    put(marivane::kRawDeviceTransducer, 2, std::numeric_limits<double>::quiet_NaN());
    put(marivane::kRawDeviceTransducer2, 0, std::numeric_limits<double>::infinity());
    put(marivane::kRawDeviceCompass, 6, -std::numeric_limits<double>::infinity());
    b[64 + marivane::kRawDeviceDualHead] = 0xC8;  // a flag byte of any value is kept as it is

    const auto r = ParseRawFilePreamble(b);
    ASSERT_TRUE(r.Ok()) << r.message;
    const auto& d = r.preamble.device;
    EXPECT_EQ(r.preamble.nonFiniteOffsets, 3);
    EXPECT_EQ(d.transducer[2], 0.0);
    EXPECT_EQ(d.transducer2[0], 0.0);
    EXPECT_EQ(d.compass[6], 0.0);
    EXPECT_EQ(d.transducer[1], device.transducer[1]);
    EXPECT_EQ(d.transducer2[1], device.transducer2[1]);
    EXPECT_EQ(d.compass[5], device.compass[5]);
    EXPECT_EQ(d.dualHead, 0xC8);
}

TEST(RawFilePreamble, GeodeticTextsWithoutTerminatorAreCut) {
    Bytes b = marivane::MakeRawFilePreamble(DistinctDevice(0, 0), geodesy::DefaultParaOfGeo());
    // CentralMeridian (32 bytes at record offset 151) filled to the last byte.
    std::memset(b.data() + 64 + 512 + 151, '7', 32);
    const auto r = ParseRawFilePreamble(b);
    ASSERT_TRUE(r.Ok()) << r.message;
    EXPECT_EQ(geodesy::FieldText(r.preamble.geo.CentralMeridian), std::string(31, '7'));
}

}  // namespace
