// The HSX writer on small files built byte by byte: the header text, every record, the tie order,
// the options, dual-head lines, refraction, the midnight continuation files and failures.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "ConverterTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "quillfen/HsxWriter.h"
#include "quillfen/RawReader.h"

namespace {

using namespace qftest;

std::string F(const char* format, double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

marivane::RawFileDevice Device() {
    marivane::RawFileDevice d;
    d.gnss = {0.5, -2.4, -6.8, 0, 0, 0, 0};
    d.transducer = {0.35, 1.1, 2.2, 0.4, 0.3, -0.2, 0.01};
    d.attitude = {0, 0, 0, 0.15, 0.1, 0, 0};
    d.transducer2 = {0.95, 1.1, 2.2, -0.4, 0.3, -0.2, 0.01};
    return d;
}

PingSpec Ping(const Clock& c, std::uint32_t number, int head = 0) {
    PingSpec s;
    s.clock = c;
    s.pingNumber = number;
    s.head = head;
    s.counts = {4000, 3000, 4000};
    s.angles = {-4500, 0, 4500};
    return s;
}

struct Converted {
    quillfen::WriteOutcome outcome;
    std::vector<HsxFile> files;
    std::vector<std::string> names;
    std::vector<std::string> texts;
};

Converted Convert(const Bytes& raw, const quillfen::ConversionSettings& settings, const TempDir& dir,
                  const std::string& name = "survey.HSX") {
    quillfen::RawDataReader reader;
    quillfen::ReaderOptions options;
    options.surfaceSoundVelocity = settings.surfaceSoundVelocity;
    options.surfaceSoundVelocityValue = settings.surfaceSoundVelocityValue;
    EXPECT_TRUE(reader.OpenRawBytes(raw, options).Ok());
    Converted c;
    c.outcome = quillfen::WriteHsx(reader, dir / name, settings);
    std::string error;
    EXPECT_TRUE(quillfen::CommitOutputs(c.outcome.outputs, error)) << error;
    for (const auto& o : c.outcome.outputs) {
        c.names.push_back(o.final.filename().string());
        c.texts.push_back(ReadText(o.final));
        c.files.push_back(ParseHsx(c.texts.back()));
    }
    EXPECT_TRUE(reader.Pings().empty()) << "the lists are cleared on return";
    return c;
}

TEST(HsxWriter, HeaderAndRecordsOfASmallFile) {
    const Clock c{};  // 04:05:06 on 1 March 2024, 12:05:06 local
    PingSpec p = Ping(c.Plus(0.5), 7);
    p.flags = 0x8;  // roll compensated, as the acquisition program's positioning reads bit 3
    const Bytes raw =
        BinaryFile({Attitude(c, 1.5f, -2.25f, 0.125f), Fix(c, 30.0, 117.0), FullPing(p),
                    Heading(c.Plus(1), 359.995f), Fix(c.Plus(1), 30.0001, 117.0, 5.0f, 10.0f, 5, 9, 1.25f)},
                   Device());
    TempDir dir;
    const Converted out = Convert(raw, {}, dir);
    ASSERT_EQ(out.outcome.files, 1);
    ASSERT_EQ(out.names, (std::vector<std::string>{"survey.HSX"}));
    const std::string expectedHeader =
        "FTP NEW 2\n"
        "HSX 0\n"
        "TND 12:05:06 03/01/2024\n"
        "INF \" \" \" \" \" \" \" \" 0.00 0.00 1500.00\n"
        "HSP 0.0 600.0 2000.0 2000.0 89 89 3 1 200.0 0.0 0\n"
        "DEV 0 260 \"GPS\"\n"
        "DV2 0 44 0 1 \n"
        "OF2 0 0 0.50 -2.40 -6.80 0.00 0.00 0.00 0.00\n"
        "PRI 0\n"
        "DEV 1 32784 \"MultiBeam Echo Sounder\"\n"
        "DV2 1 1 0 1\n"
        "OF2 1 3 0.35 1.10 2.20 0.40 0.30 -0.20 0.01\n"
        "MBI 1 2 1 1081 512 0 0 0\n"
        "DEV 2 512 \"MRU\"\n"
        "DV2 2 200 0 1\n"
        "OF2 2 2 0.00 0.00 0.00 0.15 0.10 0.00 0.00\n"
        "DEV 3 32 \"Compass\"\n"
        "DV2 3 20 0 1\n"
        "OF2 3 1 0.00 0.00 0.00 0.00 0.00 0.00 0.00\n"
        "EOH\n"
        "FIX 99 43506.000 1\n";
    ASSERT_EQ(out.texts[0].substr(0, expectedHeader.size()), expectedHeader);

    const std::vector<HsxRecord>& r = out.files[0].records;
    std::vector<std::string> names;
    for (const HsxRecord& rec : r) names.push_back(rec.name);
    EXPECT_EQ(names, (std::vector<std::string>{"FIX", "HCP", "POS", "RMB", "POS", "GPS", "GYR"}));
    EXPECT_EQ(r[1].line, "HCP 2 43506.000 0.12 1.50 -2.25");  // heave 0.125 rounds to even
    EXPECT_EQ(r[3].line, "RMB 1 43506.500 2 1 1081 512 1500.00 7");
    EXPECT_EQ(r[6].line, "GYR 3 43507.000 " + F("%.2f", static_cast<double>(359.995f)));
    // The first fix writes no GPS record; the second does, with a trailing blank.
    EXPECT_EQ(r[5].fields[1], "43507.000");
    geodesy::CCoordinateCal cal;
    cal.Load(geodesy::DefaultParaOfGeo());
    double x0 = 0, y0 = 0, h0 = 0, x1 = 0, y1 = 0, h1 = 0;
    cal.GeoToGrid(30.0, 117.0, 15.0, x0, y0, h0);
    cal.GeoToGrid(30.0001, 117.0, 15.0, x1, y1, h1);
    EXPECT_EQ(r[4].line, "POS 0 43507.000 " + F("%.2f", y1) + " " + F("%.2f", x1));
    EXPECT_EQ(r[5].fields[3], F("%.2f", std::hypot(x1 - x0, y1 - y0) * 1.944));
    EXPECT_EQ(r[5].fields[4], "1.2");  // HDOP 1.25 ("%.1f" of the stored float)
    EXPECT_EQ(r[5].fields[5], "2");    // quality 5 maps to 2
    EXPECT_EQ(r[5].fields[6], "9");
    EXPECT_EQ(r[5].line.back(), ' ');
    EXPECT_NEAR(std::stod(r[5].fields[2]), 0.0, 0.01);  // course: due north

    // Ranges: travel time x c; angles: negated (the refraction ratio is 1 here).
    ASSERT_EQ(r[3].values.size(), 3u);
    ASSERT_EQ(r[3].values[0].size(), 512u);
    EXPECT_EQ(r[3].values[0][0], std::stod(F("%.3f", 4000 * 1e-5f * 0.5f * 1500.0)));
    EXPECT_EQ(r[3].values[1][0], 45.0);
    EXPECT_EQ(r[3].values[1][2], -45.0);
    EXPECT_EQ(r[3].values[0][3], 0.0);
    for (const double q : r[3].values[2]) ASSERT_EQ(q, 3.0);
}

TEST(HsxWriter, TiesAreWrittenAttitudeFixPingHeading) {
    const Clock c{};
    const Bytes raw =
        BinaryFile({Heading(c, 1), FullPing(Ping(c, 1)), Fix(c, 30, 117), Attitude(c, 0, 0, 0)});
    TempDir dir;
    const Converted out = Convert(raw, {}, dir);
    std::vector<std::string> names;
    for (const HsxRecord& rec : out.files[0].records) names.push_back(rec.name);
    EXPECT_EQ(names, (std::vector<std::string>{"FIX", "HCP", "POS", "RMB", "GYR"}));
}

TEST(HsxWriter, SoundingFlagsFromThePingFlags) {
    struct Case {
        std::uint16_t flags;
        int sounding;
    };
    // Bit 0 or bit 3: roll compensated (1); bit 1: pitch compensated (2); bit 2 alone means neither.
    const Case cases[] = {{0x0, 0}, {0x1, 1}, {0x8, 1}, {0x4, 0}, {0x2, 2}, {0xB, 3}, {0x100, 0}};
    for (const Case& k : cases) {
        EXPECT_EQ(quillfen::HsxSoundingFlags(k.flags), k.sounding) << k.flags;
        PingSpec p = Ping(Clock{}, 1);
        p.flags = k.flags;
        PingSpec later = Ping(Clock{}.Plus(1), 2);
        later.flags = 0xFF;  // only the first ping counts
        TempDir dir;
        const Converted out = Convert(BinaryFile({FullPing(p), FullPing(later)}), {}, dir);
        EXPECT_EQ(out.files[0].header[12], "MBI 1 2 " + std::to_string(k.sounding) + " 1081 512 0 0 0");
        EXPECT_EQ(out.files[0].records[2].fields[3], std::to_string(k.sounding));
    }
}

TEST(HsxWriter, RtkTideFreeMode) {
    const Clock c{};
    // Default coordinate system: the grid height is the ellipsoidal height (altitude + separation).
    const Bytes raw = BinaryFile(
        {FullPing(Ping(c, 1)), Fix(c.Plus(1), 30, 117, 5.0f, 10.0f), Fix(c.Plus(2), 30, 117, 7.5f, 10.0f)},
        Device());
    quillfen::ConversionSettings s;
    s.rtkTideFree = true;
    {
        TempDir dir;
        const Converted out = Convert(raw, s, dir);
        // A = 6.8 (minus the antenna's Z offset); header tide A - h of the first fix.
        EXPECT_EQ(out.files[0].header[3], "INF \" \" \" \" \" \" \" \" -8.20 0.00 1500.00");
        EXPECT_EQ(out.files[0].records[1].line, "TID 0 43506.000 -8.20");
        std::vector<std::string> tides;
        for (const HsxRecord& rec : out.files[0].records)
            if (rec.name == "TID")
                tides.push_back(rec.line);
        EXPECT_EQ(tides, (std::vector<std::string>{"TID 0 43506.000 -8.20", "TID 0 43507.000 -8.20",
                                                   "TID 0 43508.000 -10.70"}));
    }
    {
        s.resetAntennaHeight = true;
        s.antennaHeight = 2.5;
        TempDir dir;
        const Converted out = Convert(raw, s, dir);
        EXPECT_EQ(out.files[0].header[3], "INF \" \" \" \" \" \" \" \" -12.50 0.00 1500.00");
    }
    {
        // Pings but no fixes: no POS, GPS or TID records, and the header tide is A.
        TempDir dir;
        const Converted out = Convert(BinaryFile({FullPing(Ping(c, 1))}, Device()), s, dir);
        EXPECT_EQ(out.files[0].header[3], "INF \" \" \" \" \" \" \" \" 2.50 0.00 1500.00");
        for (const HsxRecord& rec : out.files[0].records) {
            EXPECT_NE(rec.name, "POS");
            EXPECT_NE(rec.name, "GPS");
        }
    }
}

TEST(HsxWriter, SurfaceSoundVelocityAndRefraction) {
    const Clock c{};
    PingSpec p = Ping(c, 1);
    p.model = "TR120";  // array constant 3.75
    quillfen::ConversionSettings s;
    s.surfaceSoundVelocity = true;
    s.surfaceSoundVelocityValue = 1520.0;
    s.adjustment = 10;
    TempDir dir;
    const Converted out = Convert(BinaryFile({FullPing(p)}), s, dir);
    EXPECT_EQ(out.files[0].header[3], "INF \" \" \" \" \" \" \" \" 0.00 0.00 1520.00");
    const HsxRecord& rmb = out.files[0].records[1];
    EXPECT_EQ(rmb.fields[6], "1520.00");
    EXPECT_EQ(rmb.values[0][1], std::stod(F("%.3f", 3000 * 1e-5f * 0.5f * 1520.0)));
    const double ratio = 1520.0 * 3.75 / (1500.0 * (3.75 + 10 * 0.001));
    const double expected =
        std::asin(std::sin(45.0 * std::numbers::pi / 180.0) * ratio) * 180.0 / std::numbers::pi;
    EXPECT_NEAR(rmb.values[1][0], expected, 0.0011);
    EXPECT_NEAR(rmb.values[1][2], -expected, 0.0011);
    EXPECT_EQ(rmb.values[1][1], 0.0);

    // A ratio that would take the sine beyond 1 gives the limit of the fan, never "nan".
    s.surfaceSoundVelocityValue = 3000.0;
    s.adjustment = 0;
    TempDir dir2;
    const Converted wide = Convert(BinaryFile({FullPing(p)}), s, dir2);
    EXPECT_EQ(wide.texts[0].find("nan"), std::string::npos);
    EXPECT_EQ(wide.files[0].records[1].values[1][0], 90.0);
    EXPECT_EQ(wide.files[0].records[1].values[1][2], -90.0);
}

TEST(HsxWriter, SoundVelocitySamplesOfATextFile) {
    // Sound velocity on port 1, format 0; two "$TR2400" pings of four beams.
    const auto ping = [](const std::string& time) {
        std::string hex;
        for (int k = 0; k < 512; ++k) hex += k < 4 ? "0100" : "0000";
        std::string r = "$TR2400,x,5," + time + ",1,3,2024,4,0,2,1500,f11,10," + hex + ",f14";
        for (int k = 15; k <= 22; ++k) r += "#0";
        return r + std::string(2300 - r.size(), ' ');
    };
    const Clock c{};
    const std::string body = Marker("SVPI", c).insert(0, "$SV 1490.0 x\r\n") + ping("040506.00") +
                             Marker("DEPTH", c.Plus(0.1)) + "$SV 1510.0 x\r\n" + Marker("SVPI", c.Plus(0.5)) +
                             "$SV 1530.0 x\r\n" + Marker("SVPI", c.Plus(2)) + ping("040509.00") +
                             Marker("DEPTH", c.Plus(3));
    std::array<std::int32_t, 12> inputs{};
    inputs[9] = 1;
    TempDir dir;
    const Converted out = Convert(TextFile(body, inputs), {}, dir);
    ASSERT_EQ(out.outcome.files, 1);
    std::vector<const HsxRecord*> rmb;
    for (const HsxRecord& rec : out.files[0].records)
        if (rec.name == "RMB")
            rmb.push_back(&rec);
    ASSERT_EQ(rmb.size(), 2u);
    EXPECT_EQ(out.files[0].header[3], "INF \" \" \" \" \" \" \" \" 0.00 0.00 1490.00");  // the first sample
    EXPECT_EQ(out.files[0].header[12], "MBI 1 2 0 1081 4 0 0 0");
    EXPECT_EQ(rmb[0]->fields[5], "4");
    EXPECT_EQ(rmb[0]->fields[6], "1510.00");  // the first sample later than the ping
    EXPECT_EQ(rmb[1]->fields[6], "1530.00");  // none later: the last
    EXPECT_EQ(rmb[0]->values[0].size(), 4u);
    EXPECT_EQ(rmb[0]->values[0][0], std::stod(F("%.3f", static_cast<float>(238 * 0.5 / 10000.0) * 1510.0)));
}

TEST(HsxWriter, DualHeadLines) {
    marivane::RawFileDevice device = Device();
    device.dualHead = 1;
    const Clock c{};
    PingSpec p1 = Ping(c, 1, 0);
    p1.flags = 1;
    const Bytes raw = BinaryFile({FullPing(p1), FullPing(Ping(c, 2, 1))}, device);
    TempDir dir;
    const Converted out = Convert(raw, {}, dir);
    const HsxFile& f = out.files[0];
    EXPECT_EQ(f.header[12], "OF2 1 4 0.95 1.10 2.20 -0.40 0.30 -0.20 0.01");
    EXPECT_EQ(f.header[13], "MBI 1 2 5 1081 512 512 0 0");
    const HsxRecord& head1 = f.records[1];
    const HsxRecord& head2 = f.records[2];
    EXPECT_EQ(head1.fields[3], "5");
    EXPECT_EQ(head1.fields[5], "1024");
    for (int line = 0; line < 3; ++line) {
        ASSERT_EQ(head1.values[line].size(), 1024u);
        ASSERT_EQ(head2.values[line].size(), 1024u);
    }
    EXPECT_EQ(head1.values[0][0], head2.values[0][512]);
    EXPECT_EQ(head1.values[1][0], 45.0);
    EXPECT_EQ(head2.values[1][512], 45.0);
    for (std::size_t i = 0; i < 512; ++i) {
        ASSERT_EQ(head1.values[0][512 + i], 0.0);
        ASSERT_EQ(head2.values[0][i], 0.0);
        ASSERT_EQ(head1.values[2][i], 3.0);
        ASSERT_EQ(head1.values[2][512 + i], 0.0);
        ASSERT_EQ(head2.values[2][i], 0.0);
        ASSERT_EQ(head2.values[2][512 + i], 3.0);
    }
}

TEST(HsxWriter, MidnightContinuationFiles) {
    // 15:59:59 on the sonar's clock is 23:59:59 local.
    const Clock d1{2024, 2, 28, 15, 59, 59, 500000};
    const Clock d1after{2024, 2, 28, 16, 0, 0, 500000};
    const Clock d2{2024, 2, 29, 15, 59, 59, 500000};
    const Clock d2after{2024, 2, 29, 16, 0, 0, 500000};
    const Clock d3{2024, 3, 1, 16, 0, 1, 0};
    const Bytes raw =
        BinaryFile({FullPing(Ping(d1, 1)), Attitude(d1after.Plus(-0.3), 0, 0, 0), FullPing(Ping(d1after, 2)),
                    FullPing(Ping(d2, 3)), FullPing(Ping(d2after, 4)), Attitude(d3, 0, 0, 0)});
    TempDir dir;
    const Converted out = Convert(raw, {}, dir);
    ASSERT_EQ(out.outcome.files, 3);
    EXPECT_EQ(out.names,
              (std::vector<std::string>{"survey.HSX", "survey_NewDay1.HSX", "survey_NewDay1_NewDay2.HSX"}));
    EXPECT_EQ(dir.Names(),
              (std::vector<std::string>{"survey.HSX", "survey_NewDay1.HSX", "survey_NewDay1_NewDay2.HSX"}));
    // Each file has a full header with the time of its first sample.
    EXPECT_EQ(out.files[0].header[2], "TND 23:59:59 02/28/2024");
    EXPECT_EQ(out.files[1].header[2], "TND 00:00:00 02/29/2024");
    EXPECT_EQ(out.files[2].header[2], "TND 00:00:00 03/01/2024");
    EXPECT_EQ(out.files[1].records[0].line, "FIX 99 0.200 1");
    EXPECT_EQ(out.files[1].records[1].name, "HCP");
    // The third day's attitude comes after the last ping: it stays in the last file.
    EXPECT_EQ(out.files[2].records.back().line, "HCP 2 1.000 0.00 0.00 0.00");
    std::size_t records = 0;
    for (const HsxFile& f : out.files) records += f.records.size() - 1;  // without each FIX line
    EXPECT_EQ(records, 6u);
}

TEST(HsxWriter, NothingToWriteOrNowhereToWrite) {
    TempDir dir;
    quillfen::RawDataReader reader;
    ASSERT_TRUE(reader.OpenRawBytes(BinaryFile({Fix(Clock{}, 30, 117)})).Ok());
    quillfen::WriteOutcome out = quillfen::WriteHsx(reader, dir / "none.HSX", {});
    EXPECT_EQ(out.files, 0);
    EXPECT_TRUE(dir.Names().empty());

    ASSERT_TRUE(reader.OpenRawBytes(BinaryFile({FullPing(Ping(Clock{}, 1))})).Ok());
    out = quillfen::WriteHsx(reader, dir / "missing" / "x.HSX", {});
    EXPECT_EQ(out.files, 0);
    EXPECT_EQ(out.error.english, "New .HSX file failed");
    EXPECT_EQ(out.error.chinese, "新建.HSX文件失败");
    EXPECT_TRUE(dir.Names().empty());
}

TEST(HsxWriter, ContinuationNames) {
    EXPECT_EQ(quillfen::NextDayPath("/a/survey.HSX", 1, ".HSX"),
              std::filesystem::path("/a/survey_NewDay1.HSX"));
    EXPECT_EQ(quillfen::NextDayPath("/a/survey_NewDay1.HSX", 2, ".HSX"),
              std::filesystem::path("/a/survey_NewDay1_NewDay2.HSX"));
    EXPECT_EQ(quillfen::NextDayPath("b.xtf", 3, ".xtf"), std::filesystem::path("b_NewDay3.xtf"));
    // A name without a four-character extension is not cut into.
    EXPECT_EQ(quillfen::NextDayPath("/a/out", 1, ".HSX"), std::filesystem::path("/a/out_NewDay1.HSX"));
}

}  // namespace
