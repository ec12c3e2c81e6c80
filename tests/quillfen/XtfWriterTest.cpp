// The XTF writer on small files built byte by byte, read back by offsets: the file header of both
// flavours, attitude packets with interpolated heading, position packets with the attitude at the fix,
// ping headers, the 7006 payload and the big-endian BTH0 payload, splits and failures.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>

#include "ConverterTestSupport.h"
#include "quillfen/RawReader.h"
#include "quillfen/XtfWriter.h"

namespace {

using namespace qftest;

constexpr double kRad = std::numbers::pi / 180.0;

marivane::RawFileDevice Device() {
    marivane::RawFileDevice d;
    d.gnss = {0.5, -2.4, -6.8, 0.25, 0, 0, 0};
    d.transducer = {0.35, 1.1, 2.2, 0.4, 0.3, -0.2, 0.01};
    d.attitude = {0.1, 0.2, 0.3, 0.15, 1.5, 2.5, 0};
    return d;
}

PingSpec Ping(const Clock& c, std::uint32_t number) {
    PingSpec s;
    s.clock = c;
    s.pingNumber = number;
    s.counts = {4000, 3000, 4000, 65000};
    s.angles = {-4500, -4490, -4480, 6000};
    return s;
}

struct Converted {
    quillfen::WriteOutcome outcome;
    std::vector<XtfFile> files;
    std::vector<std::filesystem::path> paths;
};

Converted Convert(const Bytes& raw, int flavour, const TempDir& dir, const std::string& name = "survey.xtf",
                  const quillfen::ConversionSettings& settings = {}) {
    quillfen::RawDataReader reader;
    EXPECT_TRUE(reader.OpenRawBytes(raw).Ok());
    Converted c;
    c.outcome = quillfen::WriteXtf(reader, dir / name, flavour, settings);
    std::string error;
    EXPECT_TRUE(quillfen::CommitOutputs(c.outcome.outputs, error)) << error;
    for (const auto& o : c.outcome.outputs) {
        c.paths.push_back(o.final);
        c.files.push_back(ParseXtf(ReadAll(o.final)));
        EXPECT_TRUE(c.files.back().wellFormed);
    }
    return c;
}

const XtfPacket* FirstOfType(const XtfFile& f, std::uint8_t type) {
    for (const XtfPacket& p : f.packets)
        if (p.type == type)
            return &p;
    return nullptr;
}

TEST(XtfWriter, FileHeaderOfBothFlavours) {
    const Bytes raw = BinaryFile({FullPing(Ping(Clock{}, 1))}, Device());
    TempDir dir;
    const Converted one = Convert(raw, 1, dir, "one.xtf");
    const Bytes& h = one.files[0].header;
    EXPECT_EQ(h[0], 0x7B);
    EXPECT_EQ(h[1], 1);
    EXPECT_EQ(TextAt(h, 2, 8), "Isis");
    EXPECT_EQ(TextAt(h, 10, 8), "7.1.42");
    EXPECT_EQ(TextAt(h, 18, 16), "Reason7125.exe");
    EXPECT_EQ(Get<std::uint16_t>(h, 34), 46);
    EXPECT_EQ(TextAt(h, 36, 64), "Reason 7125");
    EXPECT_EQ(Get<std::uint16_t>(h, 164), 3);
    EXPECT_EQ(Get<std::uint16_t>(h, 168), 1);
    // Navigation offsets Y, X, Z, yaw; motion sensor Y, X, Z, yaw, pitch, roll; sonar X, Y, Z, yaw,
    // pitch, roll.
    const float nav[4] = {-2.4f, 0.5f, -6.8f, 0.25f};
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(Get<float>(h, 216 + 4 * k), nav[k]) << k;
    const float mru[6] = {0.2f, 0.1f, 0.3f, 0.15f, 2.5f, 1.5f};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(Get<float>(h, 232 + 4 * k), mru[k]) << k;
    const float sonar[6] = {0.35f, 1.1f, 2.2f, 0.4f, -0.2f, 0.3f};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(Get<float>(h, 304 + 4 * k), sonar[k]) << k;
    EXPECT_EQ(h[256], 3);
    EXPECT_EQ(Get<std::uint16_t>(h, 258), 1);
    EXPECT_EQ(Get<std::uint32_t>(h, 264), 140u);
    EXPECT_EQ(TextAt(h, 268, 16), "BATH #1");
    EXPECT_EQ(Get<float>(h, 288), 400.0f);
    EXPECT_EQ(Get<float>(h, 292), 15.0f);
    EXPECT_EQ(Get<float>(h, 300), 90.0f);

    const Converted two = Convert(raw, 2, dir, "two.xtf");
    const Bytes& g = two.files[0].header;
    EXPECT_EQ(g[1], 0xCA);
    EXPECT_EQ(TextAt(g, 2, 8), "QINSy");
    EXPECT_EQ(TextAt(g, 10, 8), "223");
    EXPECT_EQ(TextAt(g, 18, 16), "R2SONIC.exe");
    EXPECT_EQ(Get<std::uint16_t>(g, 34), 53);
    EXPECT_EQ(TextAt(g, 36, 64), "R2SONIC");
    EXPECT_EQ(Get<std::uint16_t>(g, 260), 1);
    EXPECT_EQ(Get<std::uint16_t>(g, 262), 2);
    EXPECT_EQ(TextAt(g, 268, 16), "BATHY");
    EXPECT_EQ(Get<float>(g, 284), 5.0f);
    EXPECT_EQ(Get<float>(g, 292), 1.0f);
    EXPECT_EQ(Get<float>(g, 300), 1.0f);
    for (std::size_t at = 216; at < 256; at += 4) EXPECT_EQ(Get<std::uint32_t>(g, at), 0u) << at;
    for (std::size_t at = 304; at < 328; at += 4) EXPECT_EQ(Get<std::uint32_t>(g, at), 0u) << at;
    EXPECT_EQ(TextAt(g, 100, 64), (dir / "two.xtf").string());
}

TEST(XtfWriter, LongPathIsCutInTheHeaderOnly) {
    TempDir dir;
    const std::string name = std::string(90, 'n') + ".xtf";
    const Converted out = Convert(BinaryFile({FullPing(Ping(Clock{}, 1))}), 1, dir, name);
    ASSERT_EQ(out.outcome.files, 1);
    EXPECT_TRUE(std::filesystem::exists(dir / name));
    const std::string full = (dir / name).string();
    EXPECT_EQ(TextAt(out.files[0].header, 100, 64), full.substr(0, 63));
}

TEST(XtfWriter, AttitudePacketsCarryTheInterpolatedHeading) {
    const Clock c{};
    // Headings at 359 and 1 degrees around the attitude samples; attitude halfway between them.
    const Bytes raw = BinaryFile(
        {Attitude(c.Plus(-0.5), 0, 0, 0), Heading(c, 359.0f), Attitude(c.Plus(0.5), 1.5f, -2.0f, 0.25f),
         Heading(c.Plus(1), 1.0f), Attitude(c.Plus(1), 0, 0, 0), Attitude(c.Plus(1.25), 0, 0, 0),
         Heading(c.Plus(2), 90.0f), Attitude(c.Plus(3.5), 0, 0, 0), FullPing(Ping(c.Plus(4), 1))});
    TempDir dir;
    const Converted out = Convert(raw, 1, dir);
    std::vector<const XtfPacket*> att;
    for (const XtfPacket& p : out.files[0].packets) {
        EXPECT_NE(p.type, 0u);
        if (p.type == 3)
            att.push_back(&p);
    }
    ASSERT_EQ(att.size(), 5u);
    const std::vector<float> headings = {359.0f, 0.0f, 1.0f, 23.25f, 90.0f};
    for (std::size_t k = 0; k < 5; ++k) EXPECT_NEAR(Get<float>(att[k]->bytes, 50), headings[k], 1e-4) << k;
    const Bytes& a = att[1]->bytes;
    EXPECT_EQ(a.size(), 64u);
    EXPECT_EQ(Get<std::uint16_t>(a, 0), 0xFACE);
    EXPECT_EQ(Get<std::uint32_t>(a, 10), 64u);
    EXPECT_EQ(Get<float>(a, 30), -2.0f);  // pitch
    EXPECT_EQ(Get<float>(a, 34), 1.5f);   // roll
    EXPECT_EQ(Get<float>(a, 38), 0.25f);  // heave
    EXPECT_EQ(Get<std::uint32_t>(a, 46), static_cast<std::uint32_t>((12 * 3600 + 5 * 60 + 6) * 1000 + 500));
    EXPECT_EQ(Get<std::uint16_t>(a, 54), 2024);
    EXPECT_EQ(a[56], 3);
    EXPECT_EQ(a[57], 1);
    EXPECT_EQ(a[58], 12);
    EXPECT_EQ(a[59], 5);
    EXPECT_EQ(a[60], 6);
    EXPECT_EQ(Get<std::uint16_t>(a, 61), 500);

    EXPECT_DOUBLE_EQ(quillfen::InterpolateHeading(0, 359, 1, 1, 0.5), 0.0);
    EXPECT_DOUBLE_EQ(quillfen::InterpolateHeading(0, 1, 1, 359, 0.75), 359.5);
    EXPECT_DOUBLE_EQ(quillfen::InterpolateHeading(0, 10, 0.0000001, 20, 5), 15.0);
}

TEST(XtfWriter, PositionPacketsCarryTheAttitudeAndHeadingAtTheFix) {
    const Clock c{};
    const Bytes raw =
        BinaryFile({Attitude(c, 1.0f, 2.0f, 0.5f), Heading(c, 350.0f), Heading(c.Plus(1), 10.0f),
                    Fix(c.Plus(0.25), 30.25, 117.5, 5.0f, 10.0f), Attitude(c.Plus(1), 3.0f, 4.0f, -0.5f),
                    Fix(c.Plus(2), 30.5, 117.5), FullPing(Ping(c.Plus(2), 1))});
    TempDir dir;
    const Converted out = Convert(raw, 2, dir);
    std::vector<const XtfPacket*> fixes;
    for (const XtfPacket& p : out.files[0].packets)
        if (p.type == 107)
            fixes.push_back(&p);
    ASSERT_EQ(fixes.size(), 2u);
    const Bytes& f = fixes[0]->bytes;
    EXPECT_EQ(Get<std::uint32_t>(f, 10), 64u);
    EXPECT_EQ(Get<std::uint16_t>(f, 14), 2024);
    EXPECT_EQ(f[18], 12);
    EXPECT_EQ(f[20], 6);
    EXPECT_EQ(Get<std::uint16_t>(f, 21), 2500);  // 0.25 s in units of 0.0001 s
    EXPECT_EQ(Get<double>(f, 23), 30.25);
    EXPECT_EQ(Get<double>(f, 31), 117.5);
    EXPECT_EQ(Get<double>(f, 39), 15.0);
    // A quarter of the way from the first attitude sample to the second.
    EXPECT_NEAR(Get<float>(f, 47), 2.5f, 1e-5);   // pitch
    EXPECT_NEAR(Get<float>(f, 51), 1.5f, 1e-5);   // roll
    EXPECT_NEAR(Get<float>(f, 55), 0.25f, 1e-5);  // heave
    EXPECT_NEAR(Get<float>(f, 59), 355.0f, 1e-4);
    // Beyond the last sample: the last sample, the last heading.
    EXPECT_NEAR(Get<float>(fixes[1]->bytes, 47), 4.0f, 1e-6);
    EXPECT_NEAR(Get<float>(fixes[1]->bytes, 59), 10.0f, 1e-6);
}

TEST(XtfWriter, Flavour1PingHeaderAndPayload) {
    const Clock c{2024, 3, 1, 4, 5, 6, 456000};
    quillfen::ConversionSettings s;
    s.surfaceSoundVelocity = true;
    s.surfaceSoundVelocityValue = 1520.0;
    s.adjustment = -20;
    TempDir dir;
    const Converted out = Convert(BinaryFile({FullPing(Ping(c, 4242))}), 1, dir, "p.xtf", s);
    const XtfPacket* ping = FirstOfType(out.files[0], 61);
    ASSERT_NE(ping, nullptr);
    const Bytes& p = ping->bytes;
    ASSERT_EQ(p.size(), 17280u);
    EXPECT_EQ(Get<std::uint16_t>(p, 4), 1);
    EXPECT_EQ(Get<std::uint16_t>(p, 14), 2024);
    EXPECT_EQ(p[18], 12);
    EXPECT_EQ(p[20], 6);
    EXPECT_EQ(p[21], 45);                      // hundredths
    EXPECT_EQ(Get<std::uint16_t>(p, 22), 61);  // 1 March of a leap year
    EXPECT_EQ(Get<std::uint32_t>(p, 28), 4242u);
    EXPECT_EQ(Get<float>(p, 32), 760.0f);
    EXPECT_EQ(p[148], 12);
    EXPECT_EQ(p[150], 6);
    EXPECT_EQ(p[151], 45);
    const std::uint32_t millis = (12 * 3600 + 5 * 60 + 6) * 1000 + 456;
    EXPECT_EQ(Get<std::uint32_t>(p, 224), millis);
    EXPECT_EQ(Get<std::uint32_t>(p, 232), millis);

    const std::size_t b = 256;
    EXPECT_EQ(Get<std::uint16_t>(p, b + 0), 5);
    EXPECT_EQ(Get<std::uint16_t>(p, b + 2), 60);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 4), 0x0000FFFFu);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 8), 8796u);
    EXPECT_EQ(Get<std::uint16_t>(p, b + 20), 2024);
    EXPECT_EQ(Get<std::uint16_t>(p, b + 22), 61);
    EXPECT_NEAR(Get<float>(p, b + 24), 6.456f, 1e-6);
    EXPECT_EQ(p[b + 28], 12);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 32), 7006u);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 36), 7125u);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 72), 4242u);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 78), 512u);
    EXPECT_EQ(Get<float>(p, b + 84), 1520.0f);
    EXPECT_EQ(Get<float>(p, b + 88), 2.0f * (4000 * 1e-5f * 0.5f));
    EXPECT_EQ(Get<float>(p, b + 88 + 4 * 100), 0.0f);
    EXPECT_EQ(p[b + 2136], 15);
    EXPECT_EQ(Get<float>(p, b + 2648), 100.0f);
    EXPECT_EQ(Get<float>(p, b + 6744), 2.0f);
    EXPECT_EQ(Get<std::uint32_t>(p, b + 8804), 512u);
    const double ratio = 1520.0 * 1.875 / (1500.0 * (1.875 - 0.020));
    for (std::size_t i = 0; i < 3; ++i) {
        const double degrees = std::vector<double>{-45.0, -44.9, -44.8}[i];
        EXPECT_NEAR(Get<float>(p, b + 10856 + 4 * i), std::asin(std::sin(degrees * kRad) * ratio), 2e-6) << i;
    }
    EXPECT_EQ(Get<float>(p, b + 12904), 0.017453292f);
    EXPECT_EQ(Get<float>(p, b + 14952 + 4 * 511), 0.017453292f);
    for (std::size_t at = b + 17000; at < p.size(); ++at) ASSERT_EQ(p[at], 0) << at;
}

TEST(XtfWriter, Flavour2BigEndianPayload) {
    const Clock c{2024, 3, 1, 4, 5, 6, 123456};
    TempDir dir;
    // One ping: a period of 1.0.
    {
        const Converted out = Convert(BinaryFile({FullPing(Ping(c, 9))}), 2, dir, "one.xtf");
        const XtfPacket* ping = FirstOfType(out.files[0], 65);
        ASSERT_NE(ping, nullptr);
        EXPECT_EQ(GetBE<float>(ping->bytes, 256 + 52), 1.0f);
    }
    const Converted out = Convert(BinaryFile({FullPing(Ping(c, 9)), FullPing(Ping(c.Plus(0.25), 10)),
                                              FullPing(Ping(c.Plus(0.75), 11))}),
                                  2, dir);
    std::vector<const XtfPacket*> pings;
    for (const XtfPacket& p : out.files[0].packets)
        if (p.type == 65)
            pings.push_back(&p);
    ASSERT_EQ(pings.size(), 3u);
    EXPECT_NEAR(GetBE<float>(pings[0]->bytes, 256 + 52), 0.25f, 1e-5);  // the next ping's minus its own
    EXPECT_NEAR(GetBE<float>(pings[2]->bytes, 256 + 52), 0.5f, 1e-5);
    const Bytes& p = pings[0]->bytes;
    ASSERT_EQ(p.size(), 3776u);
    const std::size_t b = 256;
    EXPECT_EQ(TextAt(p, b, 4), "BTH0");
    EXPECT_EQ(GetBE<std::uint32_t>(p, b + 4), 3512u);
    EXPECT_EQ(TextAt(p, b + 12, 2), "H0");
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 14), 116);
    EXPECT_EQ(TextAt(p, b + 16, 12), "2024");
    EXPECT_EQ(TextAt(p, b + 28, 12), "10017");
    const std::uint32_t days = 19783;  // 1 March 2024
    EXPECT_EQ(GetBE<std::uint32_t>(p, b + 40), days * 86400u + 12 * 3600 + 5 * 60 + 6);
    EXPECT_EQ(GetBE<std::uint32_t>(p, b + 44), 123456000u);
    EXPECT_EQ(GetBE<std::uint32_t>(p, b + 48), 9u);
    EXPECT_EQ(GetBE<float>(p, b + 56), 1500.0f);
    const float settings[15] = {400.0f,  220.0f, 0.0001f, 1.0f,  1.0f,
                                0.0f,    0,      0,       60.0f, std::bit_cast<float>(0x473D64D9u),
                                1000.0f, 240.0f, 0,       0,     0};
    for (std::size_t k = 0; k < 15; ++k) EXPECT_EQ(GetBE<float>(p, b + 60 + 4 * k), settings[k]) << k;
    EXPECT_EQ(GetBE<float>(p, b + 80), 0.0f);  // no transmit steering
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 126), 512);
    EXPECT_EQ(TextAt(p, b + 128, 2), "R0");
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 130), 1032);
    EXPECT_EQ(GetBE<float>(p, b + 132), 5.15625e-6f);
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 136),
              static_cast<std::uint16_t>(2.0 * (4000 * 1e-5f * 0.5f) / 5.15625e-6f));
    // 65000 samples of 10 µs: a one-way time of 0.325 s does not fit; the largest count is written.
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 136 + 2 * 3), 65535);
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 136 + 2 * 4), 0);
    EXPECT_EQ(TextAt(p, b + 1160, 2), "A2");
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 1162), 1060);
    EXPECT_NEAR(GetBE<float>(p, b + 1164), -45.0 * kRad, 1e-6);
    EXPECT_EQ(GetBE<float>(p, b + 1168), 1.7453293e-7f);
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 1196), 0);
    // Steps of 0.1°: 10000 counts of the angle scale, within the rounding of single precision.
    EXPECT_NEAR(GetBE<std::uint16_t>(p, b + 1198), 10000, 1);
    EXPECT_NEAR(GetBE<std::uint16_t>(p, b + 1200), 10000, 1);
    // -44.8° to 60°: more than a 16-bit count can hold; 60° to 0 (the empty slots): negative. Both
    // kept within the field instead of wrapping.
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 1196 + 2 * 3), 65535);
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 1196 + 2 * 4), 0);
    EXPECT_EQ(TextAt(p, b + 2220, 2), "I1");
    EXPECT_EQ(GetBE<float>(p, b + 2224), 1.0f);
    EXPECT_EQ(TextAt(p, b + 3252, 2), "Q0");
    EXPECT_EQ(GetBE<std::uint16_t>(p, b + 3254), 260);
    for (std::size_t k = 0; k < 256; ++k) ASSERT_EQ(p[b + 3256 + k], 0x77);
    for (std::size_t k = 0; k < 8; ++k) ASSERT_EQ(p[b + 3512 + k], 0);

    EXPECT_EQ(quillfen::ClampedCount(std::nan("")), 0);
    EXPECT_EQ(quillfen::ClampedCount(-3.5), 0);
    EXPECT_EQ(quillfen::ClampedCount(65534.9), 65534);
    EXPECT_EQ(quillfen::ClampedCount(1e300), 65535);
}

TEST(XtfWriter, MidnightSplitAndFailures) {
    const Bytes raw = BinaryFile({FullPing(Ping(Clock{2024, 2, 28, 15, 59, 59, 500000}, 1)),
                                  Heading(Clock{2024, 2, 28, 16, 0, 0, 0}, 5.0f),  // headings never split
                                  FullPing(Ping(Clock{2024, 2, 28, 16, 0, 0, 500000}, 2))});
    TempDir dir;
    const Converted out = Convert(raw, 1, dir);
    ASSERT_EQ(out.outcome.files, 2);
    EXPECT_EQ(out.paths[1].filename(), "survey_NewDay1.xtf");
    EXPECT_EQ(TextAt(out.files[1].header, 100, 64), (dir / "survey_NewDay1.xtf").string().substr(0, 63));
    EXPECT_EQ(out.files[0].packets.size(), 1u);
    EXPECT_EQ(out.files[1].packets.size(), 1u);

    quillfen::RawDataReader reader;
    ASSERT_TRUE(reader.OpenRawBytes(BinaryFile({FullPing(Ping(Clock{}, 1))})).Ok());
    const quillfen::WriteOutcome failed = quillfen::WriteXtf(reader, dir / "no" / "x.xtf", 1, {});
    EXPECT_EQ(failed.files, 0);
    EXPECT_EQ(failed.error.english, "New .xtf file failed");
    ASSERT_TRUE(reader.OpenRawBytes(BinaryFile({Attitude(Clock{}, 0, 0, 0)})).Ok());
    EXPECT_EQ(quillfen::WriteXtf(reader, dir / "none.xtf", 2, {}).files, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.xtf"));
}

// Ping beams are read from the file while the output is written: a file that another program shortens
// in between gives zeros for what is gone, so the run must fail and leave no output behind.
TEST(XtfWriter, ASourceShortenedDuringTheConversionFailsIt) {
    std::vector<Bytes> packets;
    for (std::uint32_t n = 1; n <= 40; ++n) packets.push_back(FullPing(Ping(Clock{}.Plus(n), n)));
    TempDir dir;
    const Bytes raw = BinaryFile(packets);
    WriteAll(dir / "survey.mbm", raw);
    for (const int flavour : {1, 2}) {
        quillfen::RawDataReader reader;
        ASSERT_TRUE(reader.OpenRawFile(dir / "survey.mbm").Ok());
        ASSERT_EQ(reader.Pings().size(), 40u);
        std::filesystem::resize_file(dir / "survey.mbm", raw.size() / 4);
        const quillfen::WriteOutcome out = quillfen::WriteXtf(reader, dir / "survey.xtf", flavour, {});
        EXPECT_FALSE(out.Ok());
        EXPECT_EQ(out.error.english, "The file became shorter while it was being converted: survey.xtf");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"survey.mbm"});
        WriteAll(dir / "survey.mbm", raw);
    }
}

}  // namespace
