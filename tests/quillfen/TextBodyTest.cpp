// Text bodies of the older raw data files: cutting records at their marker lines, choosing a parser
// by tag and input settings, every parser, the midnight rule, and the sonar records with their hex
// beams and angle tables.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "ConverterTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/BeamAngleTables.h"
#include "quillfen/RawReader.h"
#include "quillfen/TextBody.h"

namespace {

using namespace qftest;
using quillfen::RawDataReader;

constexpr double kDeg = 180.0 / std::numbers::pi;

// Input settings: GNSS port, format, -, motion port, format, -, heading source, format, -, sound
// velocity port, format, -.
using Inputs = std::array<std::int32_t, 12>;
const Inputs kDefaults{};

struct Opened {
    std::unique_ptr<RawDataReader> reader = std::make_unique<RawDataReader>();
    RawDataReader* operator->() { return reader.get(); }
};

Opened Read(const std::string& body, const Inputs& inputs = kDefaults) {
    Opened o;
    const auto r = o.reader->OpenRawBytes(TextFile(body, inputs));
    EXPECT_TRUE(r.Ok());
    return o;
}

const Clock kMarker{2024, 3, 1, 4, 5, 6, 250000};

std::string Hex(const std::vector<int>& values, std::size_t slots = 512) {
    std::string s;
    char buffer[8];
    for (std::size_t i = 0; i < slots; ++i) {
        std::snprintf(buffer, sizeof buffer, "%04X", i < values.size() ? values[i] : 0);
        s += buffer;
    }
    return s;
}

struct Tr2400Spec {
    std::string ping = "17", time = "040506.50", day = "1", month = "3", year = "2024", beams = "4";
    std::string equiAngle = "0", mode = "2", velocity = "1500", rate = "10", widthCode = "4";
    std::string beams_hex = Hex({256, 17, 18, 19});
};

std::string Tr2400(const Tr2400Spec& s) {
    std::string r = "$TR2400,x," + s.ping + "," + s.time + "," + s.day + "," + s.month + "," + s.year + "," +
                    s.beams + "," + s.equiAngle + "," + s.mode + "," + s.velocity + ",f11," + s.rate + "," +
                    s.beams_hex + ",f14";
    // Fields 15 to 22 behind "#".
    for (int k = 15; k <= 22; ++k) r += "#" + (k == 21 ? s.widthCode : std::string("0"));
    r += std::string(r.size() < 2300 ? 2300 - r.size() : 0, ' ');
    return r;
}

struct Tr1200Spec {
    std::string kind = "$TR1200", field1 = "ABCDE", ping = "21", time = "040506.50", day = "1", month = "3",
                year = "2024", spacing = "1", mode = "3", velocity = "1480", rate = "20", widthCode = "7",
                half = "1", flags = "9", tilt = "", first = "314";
    std::string beams_hex = Hex({1000});
};

std::string Tr1200(const Tr1200Spec& s) {
    std::vector<std::string> f(35, "0");
    f[0] = s.kind;
    f[1] = s.field1;
    f[2] = s.ping;
    f[3] = s.time;
    f[4] = s.day;
    f[5] = s.month;
    f[6] = s.year;
    f[8] = s.spacing;
    f[9] = s.mode;
    f[10] = s.velocity;
    f[12] = s.rate;
    f[13] = s.beams_hex;
    f[15] = s.widthCode;
    f[25] = s.half;
    f[26] = s.flags;
    f[27] = s.tilt;
    f[33] = s.first;
    std::string r;
    for (std::size_t k = 0; k < f.size(); ++k) r += (k ? "," : "") + f[k];
    r += std::string(r.size() < 2400 ? 2400 - r.size() : 0, ' ');
    return r;
}

std::string Record(const std::string& payload, const std::string& tag, const Clock& c = kMarker) {
    return payload + Marker(tag, c);
}

TEST(TextBody, PositionSentenceAndTheMidnightRule) {
    // GNSS on port 0 in format 0: "GPSI" records with a GGA sentence.
    const std::string gga = "$GPGGA,235958.00,3030.0000,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*5C\r\n";
    Opened o = Read(Record(gga, "GPSI", Clock{2024, 3, 2, 0, 0, 1, 0}));
    ASSERT_EQ(o->Fixes().size(), 1u);
    const auto& f = o->Fixes()[0];
    // Dated 1 March before the shift, so 07:59:58 on 2 March.
    EXPECT_EQ(f.time.month, 3);
    EXPECT_EQ(f.time.day, 2);
    EXPECT_EQ(f.time.hour, 7);
    EXPECT_EQ(f.time.minute, 59);
    EXPECT_EQ(f.time.secondMicros, 58000000);
    EXPECT_DOUBLE_EQ(f.latitude, 30.5);
    EXPECT_DOUBLE_EQ(f.longitude, 117.25);
    EXPECT_DOUBLE_EQ(f.height, 15.0);
    EXPECT_EQ(f.quality, 4);
    EXPECT_EQ(f.satellites, 12);
    EXPECT_FLOAT_EQ(f.hdop, 0.8f);

    // Without the midnight case the sentence's time of day goes with the marker's date.
    Opened plain = Read(Record("$GPGGA,040506.00,3030.0000,S,11715.0000,W,1,5,1.5,0,M,0,M,,*00\r\n", "GPSI"));
    ASSERT_EQ(plain->Fixes().size(), 1u);
    EXPECT_EQ(plain->Fixes()[0].time.day, 1);
    EXPECT_EQ(plain->Fixes()[0].time.hour, 12);
    EXPECT_DOUBLE_EQ(plain->Fixes()[0].latitude, -30.5);
    EXPECT_DOUBLE_EQ(plain->Fixes()[0].longitude, -117.25);
}

TEST(TextBody, PositionSentencesThatAreDropped) {
    const char* bad[] = {
        "$GPGGA,040506.00,3030.0000,X,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*00",  // hemisphere letter
        "$GPGGA,040506.00,3030.0000,N,11715.0000,Q,4,12,0.8,5.0,M,10.0,M,,*00",
        "$GPGGA,040506.00,,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*00",           // empty latitude
        "$GPGGA,040506.00,0000.0000,N,00000.0000,E,4,12,0.8,5.0,M,10.0,M,,*00",  // nowhere
        "$GPGGA,040506.00,3030.0000,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M*00",    // too few commas
        "$GPGGA,250506.00,3030.0000,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*00",  // hour 25
        "$GPGGA,040506.00,9530.0000,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*00",  // latitude 95
    };
    std::string body;
    for (const char* s : bad) body += Record(std::string(s) + "\r\n", "GPSI");
    Opened o = Read(body);
    EXPECT_TRUE(o->Fixes().empty());
}

TEST(TextBody, ParserSelectionByTagAndInputSettings) {
    const std::string gga = "$GPGGA,040506.00,3030.0000,N,11715.0000,E,4,12,0.8,5.0,M,10.0,M,,*00\r\n";
    struct Case {
        const char* what;
        std::string tag;
        Inputs inputs;
        std::size_t fixes;
    };
    const Case cases[] = {
        {"GPSI on port 0, format 0", "GPSI", {0, 0}, 1},
        {"GPSI on port 0, format 1", "GPSI", {0, 1}, 0},
        {"GPSI when the receiver is on port 1", "GPSI", {1, 0}, 0},
        {"GPSO on port 1, any format", "GPSO", {1, 5}, 1},
        {"GPSO on port 0", "GPSO", {0, 0}, 0},
        {"a tag that is not exactly a name", "GPSI ", {0, 0}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(Record(gga, c.tag), c.inputs)->Fixes().size(), c.fixes) << c.what;
}

TEST(TextBody, MotionHeadingAndSoundVelocityParsers) {
    const Clock c1 = kMarker, c2 = kMarker.Plus(1), c3 = kMarker.Plus(2), c4 = kMarker.Plus(3);
    // Motion on port 0: columns with heading, 0.01 units.
    {
        Opened o = Read(Record(":12345 -0123  0456 -0789\r\n", "ATTI", c1));
        ASSERT_EQ(o->Attitudes().size(), 1u);
        ASSERT_EQ(o->Headings().size(), 1u);
        EXPECT_DOUBLE_EQ(o->Headings()[0].heading, 123.45);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[0], -7.89);  // pitch
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[1], 4.56);   // roll
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[2], -1.23);  // heave
    }
    // Motion on port 1, by format.
    Inputs motion{};
    motion[3] = 1;
    {
        motion[4] = 0;  // columns from ":" at 8, 14, 20
        Opened o = Read(Record(":00A000 -0012Q 0150  0275\r\n", "ATTO", c1), motion);
        ASSERT_EQ(o->Attitudes().size(), 1u);
        EXPECT_TRUE(o->Headings().empty());
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[2], -0.12);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[1], 1.50);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[0], 2.75);
    }
    {
        motion[4] = 2;  // columns when ":" is there, else a heading sentence
        Opened o = Read(
            Record("$HEHDT,271.5,T*00\r\n", "ATTO", c1) + Record(":00A000 -0012Q 0150  0275\r\n", "ATTO", c2),
            motion);
        ASSERT_EQ(o->Headings().size(), 1u);
        EXPECT_DOUBLE_EQ(o->Headings()[0].heading, 271.5);
        EXPECT_EQ(o->Attitudes().size(), 1u);
    }
    {
        motion[4] = 3;  // $HEAPP: its own time of day, pitch negated
        Opened o = Read(Record("$HEAPP,x,040510.50,x,95.5,1.25,2.5,x,-0.75*00\r\n", "ATTO", c1), motion);
        ASSERT_EQ(o->Attitudes().size(), 1u);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[0], -2.5);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[1], 1.25);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[2], -0.75);
        EXPECT_DOUBLE_EQ(o->Headings()[0].heading, 95.5);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].time.secondsOfDay, 12 * 3600 + 5 * 60 + 10.5);
    }
    {
        motion[4] = 4;  // $PASHR: eleven commas and a "*" after them
        Opened o = Read(Record("$PASHR,040506.25,200.0,T,-1.0,0.5,0.25,a,b,c,d,e*00\r\n", "ATTO", c1) +
                            Record("$PASHR,040506.25,200.0,T,-1.0,0.5,0.25,a,b,c,d*00\r\n", "ATTO", c3),
                        motion);
        ASSERT_EQ(o->Attitudes().size(), 1u);
        EXPECT_DOUBLE_EQ(o->Headings()[0].heading, 200.0);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[0], 0.5);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[1], -1.0);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].values[2], 0.25);
        EXPECT_DOUBLE_EQ(o->Attitudes()[0].time.secondsOfDay, 12 * 3600 + 5 * 60 + 6.25);  // the marker's
    }
    // Heading source 3 in format 0, and sound velocity on port 1 in format 0 (1300 to 1700 m/s).
    Inputs other{};
    other[6] = 3;
    other[9] = 1;
    Opened o = Read(Record("$HEHDT,12.5,T*00\r\n", "HEADO", c1) + Record("$PSV 1512.30 m/s\r\n", "SVPI", c2) +
                        Record("$PSV 1250.00 m/s\r\n", "SVPO", c3) + Record("$PSV 1499 x\r\n", "SVPO", c4),
                    other);
    ASSERT_EQ(o->Headings().size(), 1u);
    EXPECT_DOUBLE_EQ(o->Headings()[0].heading, 12.5);
    ASSERT_EQ(o->SoundVelocities().size(), 2u);
    EXPECT_DOUBLE_EQ(o->SoundVelocities()[0].velocity, 1512.3);
    EXPECT_DOUBLE_EQ(o->SoundVelocities()[1].velocity, 1499.0);
    EXPECT_DOUBLE_EQ(o->DefaultSoundVelocity(), 1512.3);  // the first sound velocity sample
}

TEST(TextBody, Tr2400BeamsAndAngles) {
    Tr2400Spec s;
    Opened o = Read(Record(Tr2400(s), "DEPTH"));
    ASSERT_EQ(o->Pings().size(), 1u);
    const auto& p = o->Pings()[0];
    EXPECT_EQ(p.pingNumber, 17u);
    EXPECT_EQ(quillfen::ModelOf(p), "TR240");
    EXPECT_EQ(p.flags, 0);
    EXPECT_EQ(p.firstInteger, 0);
    EXPECT_FLOAT_EQ(p.soundVelocity, 1500.0f);
    EXPECT_EQ(o->BeamCount(), 4);
    const quillfen::PingBeams beams = o->BeamsOf(0);
    // "0100" (256) with R = 10, SV = 1500 and w' = 0.05: offset 18, (256 - 18) * 0.5 / 10000 s.
    EXPECT_FLOAT_EQ(beams.travelTime[0], 0.0119f);
    EXPECT_EQ(beams.travelTime[1], 0.0f);  // "0011" (17) is below the offset
    EXPECT_EQ(beams.travelTime[2], 0.0f);  // 18 is the offset itself
    EXPECT_FLOAT_EQ(beams.travelTime[3], 1 * 0.5f / 10000.0f);
    // The ping's own date and time, not the marker's.
    EXPECT_DOUBLE_EQ(p.time.secondsOfDay, 12 * 3600 + 5 * 60 + 6.5);
    // Mode 2, equi-distant: atan(tan(atan(1)) u).
    for (const std::size_t i : {0u, 100u, 255u, 511u}) {
        const double u = (2.0 * static_cast<double>(i) - 511.0) / 511.0;
        EXPECT_NEAR(beams.angle[i], std::atan(u) * kDeg, 1e-4) << i;
    }

    // Sound velocity outside 1000 to 2000 drops the record.
    s.velocity = "999";
    EXPECT_TRUE(Read(Record(Tr2400(s), "DEPTH"))->Pings().empty());
    // An unknown mode keeps the previous ping's angles; equi-angle when field 8 is not 0.
    Tr2400Spec a;
    a.equiAngle = "1";
    a.mode = "4";
    Tr2400Spec b = a;
    b.mode = "9";
    b.time = "040507.50";
    Opened two = Read(Record(Tr2400(a), "DEPTH", kMarker) + Record(Tr2400(b), "DEPTH", kMarker.Plus(1)));
    ASSERT_EQ(two->Pings().size(), 2u);
    EXPECT_NEAR(two->BeamsOf(0).angle[0], -std::atan(2.0) * kDeg, 1e-4);
    EXPECT_EQ(two->BeamsOf(1).angle, two->BeamsOf(0).angle);
}

TEST(TextBody, Tr1200AndTr2401Records) {
    Tr1200Spec s;
    Opened o = Read(Record(Tr1200(s), "DEPTH"));
    ASSERT_EQ(o->Pings().size(), 1u);
    const auto& p = o->Pings()[0];
    EXPECT_EQ(quillfen::ModelOf(p), "TR120");
    EXPECT_EQ(p.flags, 9);
    EXPECT_EQ(p.firstInteger, 314);
    EXPECT_EQ(o->BeamCount(), 512);
    const quillfen::PingBeams beams = o->BeamsOf(0);
    // Code "7": w = 1, halved (field 25 is 1): offset = trunc(20 (40 / 1480 + 0.5)) + 18 = 28.
    EXPECT_FLOAT_EQ(beams.travelTime[0], static_cast<float>((1000 - 28) * 0.5 / 20000.0));
    // Spacing 1, mode 3: equi-angle over 56.5°.
    EXPECT_NEAR(beams.angle[0], -56.5, 1e-4);
    EXPECT_NEAR(beams.angle[511], 56.5, 1e-4);

    // Field 1 must have exactly five characters.
    Tr1200Spec six = s;
    six.field1 = "ABCDEF";
    EXPECT_TRUE(Read(Record(Tr1200(six), "DEPTH"))->Pings().empty());

    // Letter modes with a 12-character field 27: tilted tables by the sign of the tilt, or the 64°
    // equi-angle table minus the tilt.
    struct Letter {
        std::string spacing, tilt;
        std::function<float(std::size_t)> angle;
    };
    const auto equiAngle = [](double half, std::size_t i) {
        return half * (2.0 * static_cast<double>(i) - 511.0) / 511.0;
    };
    const Letter letters[] = {
        {"a", "xxxx000xxxxx", [](std::size_t i) { return marivane::TiltedTable(4, false)[i]; }},
        {"b", "xxxx-05xxxxx", [](std::size_t i) { return marivane::TiltedTable(5, false)[i]; }},
        {"c", "xxxx010xxxxx", [](std::size_t i) { return marivane::TiltedTable(6, true)[i]; }},
        {"d", "xxxx007xxxxx", [&](std::size_t i) { return static_cast<float>(equiAngle(64.0, i) - 7.0); }},
        // Field 27 not 12 characters long: the letter counts as 0 ... 3 (here "b": 1, equi-angle).
        {"b", "short", [&](std::size_t i) { return static_cast<float>(equiAngle(56.5, i)); }},
    };
    int k = 0;
    for (const Letter& l : letters) {
        Tr1200Spec t = s;
        t.kind = "$TR2401";
        t.spacing = l.spacing;
        t.tilt = l.tilt;
        Opened r = Read(Record(Tr1200(t), "DEPTH"));
        ASSERT_EQ(r->Pings().size(), 1u) << k;
        EXPECT_EQ(quillfen::ModelOf(r->Pings()[0]), "TR240S1");
        for (const std::size_t i : {0u, 200u, 399u, 400u, 511u})
            EXPECT_NEAR(r->BeamsOf(0).angle[i], l.angle(i), 1e-4) << "case " << k << " entry " << i;
        ++k;
    }
}

TEST(TextBody, BothSonarKindsInOnePayload) {
    // The same time: the second ping fails the duplicate rule. A second later: both are kept.
    Tr2400Spec a;
    Tr1200Spec b;
    EXPECT_EQ(Read(Record(Tr2400(a) + "\r\n" + Tr1200(b), "DEPTH"))->Pings().size(), 1u);
    b.time = "040507.50";
    Opened o = Read(Record(Tr2400(a) + "\r\n" + Tr1200(b), "DEPTH"));
    ASSERT_EQ(o->Pings().size(), 2u);
    EXPECT_EQ(quillfen::ModelOf(o->Pings()[0]), "TR240");
    EXPECT_EQ(quillfen::ModelOf(o->Pings()[1]), "TR120");
    EXPECT_EQ(o->LastPingModel(), "TR120");
}

TEST(TextBody, RecordCuttingAcrossPiecesAndItsLimits) {
    geodesy::CCoordinateCal coordinates;
    quillfen::SampleLists lists(coordinates);
    Inputs motion{};
    motion[3] = 1;
    motion[4] = 2;
    quillfen::InputSettings settings;
    settings.motionPort = 1;
    settings.motionFormat = 2;

    // Many records fed in awkward pieces: every one is found.
    std::string body;
    for (int k = 0; k < 400; ++k)
        body += Record("$HEHDT," + std::to_string(k) + ".0,T*00\r\n", "ATTO", kMarker.Plus(k * 0.01));
    for (const std::size_t piece : {1u, 7u, 64u, 65536u}) {
        lists.Reset();
        quillfen::TextBodyReader reader(lists, settings);
        for (std::size_t at = 0; at < body.size(); at += piece)
            reader.Feed(std::string_view(body).substr(at, piece));
        reader.Finish();
        EXPECT_EQ(lists.headings.size(), 400u) << piece;
        EXPECT_EQ(reader.BytesDropped(), 0u);
        EXPECT_EQ(reader.TrailingBytes(), 0u);
    }

    // More than 4800 characters without a marker are thrown away; the next record is read.
    lists.Reset();
    {
        quillfen::TextBodyReader reader(lists, settings);
        reader.Feed(std::string(5000, 'x'));
        reader.Feed(Record("$HEHDT,1.0,T*00\r\n", "ATTO"));
        reader.Finish();
        EXPECT_EQ(reader.BytesDropped(), 5000u);
        EXPECT_EQ(lists.headings.size(), 1u);
    }
    // A marker line that runs on for more than 50 characters without a line feed is thrown away.
    lists.Reset();
    {
        quillfen::TextBodyReader reader(lists, settings);
        reader.Feed("$HEHDT,1.0,T*00\r\n$MARKTIME,ATTO,2024,03,01,04,05,06,000000*" + std::string(40, ' '));
        reader.Feed("\n");
        EXPECT_GT(reader.BytesDropped(), 0u);
        EXPECT_TRUE(lists.headings.empty());
        // An unfinished record at the end counts as cut short.
        reader.Feed("$HEHDT,2.0,T*00\r\n$MARKTIME,ATTO");
        reader.Finish();
        EXPECT_GT(reader.TrailingBytes(), 0u);
    }

    // Through the reader: a body longer than a read piece, cut short at the end.
    std::string longBody = body + body.substr(0, body.size() / 3);
    Opened o = Read(longBody + "$HEHDT,9", motion);
    EXPECT_EQ(o->Headings().size(), 400u);  // the repeated part fails the duplicate rule
    EXPECT_GT(o->Damage().trailingBytes, 0u);
}

TEST(TextBody, TimeFieldsAndHexDigits) {
    quillfen::ClockReading c;
    quillfen::ParseTimeOfDay("235959.99", c);
    EXPECT_EQ(c.hour, 23);
    EXPECT_EQ(c.minute, 59);
    EXPECT_EQ(c.secondMicros, 59990000);
    quillfen::ParseTimeOfDay("-1", c);
    EXPECT_EQ(c.hour, 99);
    quillfen::ParseTimeOfDay("1e300", c);
    EXPECT_EQ(c.hour, 99);
    EXPECT_EQ(quillfen::HexBeam("0100"), 256);
    EXPECT_EQ(quillfen::HexBeam("ffFF"), 65535);
    EXPECT_EQ(quillfen::HexBeam("00G0"), -1);
    EXPECT_EQ(quillfen::HexBeam("010"), -1);
    EXPECT_DOUBLE_EQ(quillfen::DegreesMinutes("11715.0000"), 117.25);
}

}  // namespace
