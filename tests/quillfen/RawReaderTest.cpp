// The raw data file reader on binary bodies: header versions, the installation set and coordinate
// system, the time shift and the date checks, the duplicate rule, course and speed, beams, framing
// damage and the merge order.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ConverterTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/BeamAngleTables.h"
#include "quillfen/LocalTime.h"
#include "quillfen/RawReader.h"

namespace {

using namespace qftest;
using quillfen::OpenStatus;
using quillfen::RawDataReader;

struct Opened {
    std::unique_ptr<RawDataReader> reader = std::make_unique<RawDataReader>();
    RawDataReader::OpenResult result;
    RawDataReader* operator->() { return reader.get(); }
};

Opened Open(const Bytes& bytes, const quillfen::ReaderOptions& options = {}) {
    Opened o;
    o.result = o.reader->OpenRawBytes(bytes, options);
    return o;
}

PingSpec Ping(const Clock& c, std::uint32_t number, int head = 0) {
    PingSpec s;
    s.clock = c;
    s.pingNumber = number;
    s.head = head;
    s.counts = {1000, 2000, 3000};
    s.angles = {-4500, 0, 4500};
    return s;
}

TEST(RawReaderHeader, VersionsAndBrokenHeaders) {
    const Bytes good = BinaryFile({Fix(Clock{}, 30.0, 117.0)});
    struct Case {
        const char* what;
        Bytes bytes;
        OpenStatus status;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, OpenStatus::Empty});
    cases.push_back({"inside the header", Bytes(good.begin(), good.begin() + 30), OpenStatus::Truncated});
    cases.push_back({"inside the blocks", Bytes(good.begin(), good.begin() + 1000), OpenStatus::Truncated});
    Bytes wrong = good;
    std::memcpy(wrong.data() + 28, "1.0.0\0\0\0", 8);  // 1768 with "1.0.0"
    cases.push_back({"1768 and 1.0.0", wrong, OpenStatus::UnknownFormat});
    wrong = good;
    Put<std::uint32_t>(wrong, 0, 512);  // 512 with "1.2.0"
    cases.push_back({"512 and 1.2.0", wrong, OpenStatus::UnknownFormat});
    wrong = good;
    std::memcpy(wrong.data() + 28, "1.3.0\0\0\0", 8);
    cases.push_back({"1.3.0", wrong, OpenStatus::UnknownFormat});
    for (const Case& c : cases) {
        Opened o = Open(c.bytes);
        EXPECT_EQ(o.result.status, c.status) << c.what;
        EXPECT_FALSE(o.result.message.english.empty()) << c.what;
        EXPECT_TRUE(o->Fixes().empty()) << c.what;
    }
    EXPECT_TRUE(Open(good).result.Ok());
    EXPECT_EQ(Open(good)->Fixes().size(), 1u);
}

TEST(RawReaderHeader, MissingFileOrFolderIsAnOpenFailure) {
    TempDir dir;
    RawDataReader reader;
    for (const auto& path : {dir / "missing.mbm", dir.Path()}) {
        const auto r = reader.OpenRawFile(path);
        EXPECT_EQ(r.status, OpenStatus::OpenFailed);
        EXPECT_EQ(r.message.english, "Open the File Failed");
        EXPECT_EQ(r.message.chinese, "打开源文件失败");
    }
}

TEST(RawReaderHeader, InstallationSetDualHeadAndCoordinateSystem) {
    marivane::RawFileDevice device;
    device.dualHead = 1;
    for (std::size_t k = 0; k < 7; ++k) {
        device.transducer[k] = 1.25 + static_cast<double>(k);
        device.transducer2[k] = -2.5 - static_cast<double>(k);
        device.gnss[k] = 10.0 + static_cast<double>(k);
        device.attitude[k] = 20.0 + static_cast<double>(k);
        device.compass[k] = 30.0 + static_cast<double>(k);
    }
    geodesy::ParaOfGeo fileGeo = geodesy::DefaultParaOfGeo();
    std::strcpy(fileGeo.EastConst, "400000.0");
    const Bytes file = BinaryFile({Fix(Clock{}, 30.0, 117.5, 5.0f, 10.0f)}, device, fileGeo);

    Opened o = Open(file);
    ASSERT_TRUE(o.result.Ok());
    EXPECT_TRUE(o->DualHead());
    const auto& inst = o->Installation();
    EXPECT_FLOAT_EQ(inst[quillfen::kSonarHead1][0], 1.25f);
    EXPECT_FLOAT_EQ(inst[quillfen::kSonarHead2][6], -8.5f);
    EXPECT_FLOAT_EQ(inst[quillfen::kGnssAntenna][2], 12.0f);
    EXPECT_FLOAT_EQ(inst[quillfen::kMotionSensor][4], 24.0f);
    EXPECT_FLOAT_EQ(inst[quillfen::kCompass][5], 35.0f);

    // Grid coordinates through the file's own coordinate system ...
    geodesy::CCoordinateCal cal;
    cal.Load(fileGeo);
    double x = 0, y = 0, h = 0;
    cal.GeoToGrid(30.0, 117.5, 15.0, x, y, h);
    ASSERT_EQ(o->Fixes().size(), 1u);
    EXPECT_NEAR(o->Fixes()[0].easting, y, 1e-6);
    EXPECT_NEAR(o->Fixes()[0].northing, x, 1e-6);
    EXPECT_NEAR(o->Fixes()[0].gridHeight, h, 1e-6);
    EXPECT_DOUBLE_EQ(o->Fixes()[0].height, 15.0);

    // ... or, with the reset option, through the converter's own, ignoring the file's entirely.
    quillfen::ReaderOptions reset;
    reset.resetCoordinateSystem = true;
    std::strcpy(reset.ownParameters.EastConst, "600000.0");
    std::strcpy(reset.ownParameters.CentralMeridian, "118000000000E");
    Opened r = Open(file, reset);
    cal.Load(reset.ownParameters);
    cal.GeoToGrid(30.0, 117.5, 15.0, x, y, h);
    EXPECT_NEAR(r->Fixes()[0].easting, y, 1e-6);
    EXPECT_NEAR(r->Fixes()[0].northing, x, 1e-6);
    EXPECT_LT(r->Fixes()[0].easting, 600000.0);  // west of its central meridian
}

TEST(RawReaderTime, EightHoursLaterWithTheCalendarRollingOver) {
    struct Case {
        Clock in;
        int year, month, day, hour;
    };
    const Case cases[] = {
        {{2023, 12, 31, 17, 30, 0, 0}, 2024, 1, 1, 1},  // year
        {{2024, 2, 28, 20, 0, 0, 0}, 2024, 2, 29, 4},   // leap day
        {{2023, 2, 28, 20, 0, 0, 0}, 2023, 3, 1, 4},    // no leap day
        {{2100, 2, 28, 16, 0, 0, 0}, 2100, 3, 1, 0},    // century without leap day
        {{2024, 4, 30, 15, 59, 59, 0}, 2024, 4, 30, 23},
    };
    for (const Case& c : cases) {
        Opened o = Open(BinaryFile({Fix(c.in, 30.0, 117.0)}));
        ASSERT_EQ(o->Fixes().size(), 1u);
        const quillfen::TimeHead& t = o->Fixes()[0].time;
        EXPECT_EQ(t.year, c.year);
        EXPECT_EQ(t.month, c.month);
        EXPECT_EQ(t.day, c.day);
        EXPECT_EQ(t.hour, c.hour);
        EXPECT_EQ(t.minute, c.in.minute);
        EXPECT_DOUBLE_EQ(t.secondsOfDay, c.hour * 3600.0 + c.in.minute * 60.0 + c.in.second);
        EXPECT_DOUBLE_EQ(t.absolute, LocalEpoch(Fix(c.in, 30, 117), 24, 32));
    }
}

TEST(RawReaderTime, InvalidClocksAreDroppedBeforeTheDuplicateRule) {
    // One ping dated far in the future must not hide every later ping.
    Clock future{2221, 1, 1, 0, 0, 0, 0};
    Clock now{2024, 3, 1, 4, 5, 6, 0};
    std::vector<Bytes> packets = {FullPing(Ping(now, 1)), FullPing(Ping(future, 2)),
                                  FullPing(Ping(now.Plus(1), 3))};
    struct Bad {
        const char* what;
        Clock clock;
    };
    const Bad bad[] = {
        {"month 0", {2024, 0, 1, 4, 5, 6, 0}},           {"day 0", {2024, 3, 0, 4, 5, 6, 0}},
        {"30 February", {2024, 2, 30, 4, 5, 6, 0}},      {"hour 24", {2024, 3, 1, 24, 5, 6, 0}},
        {"minute 60", {2024, 3, 1, 4, 60, 6, 0}},        {"second 61", {2024, 3, 1, 4, 5, 61, 0}},
        {"second 60.000001", {2024, 3, 1, 4, 5, 60, 1}}, {"1999", {1999, 3, 1, 4, 5, 6, 0}}};
    for (const Bad& b : bad) packets.push_back(FullPing(Ping(b.clock, 99)));
    packets.push_back(FullPing(Ping(now.Plus(2), 4)));
    packets.push_back(FullPing(Ping(Clock{2024, 3, 1, 4, 5, 60, 0}, 5)));  // second 60.0 is fine
    // The same holds for fixes.
    packets.push_back(Fix(future, 30, 117));
    packets.push_back(Fix(now.Plus(3), 30, 117));

    Opened o = Open(BinaryFile(packets));
    ASSERT_TRUE(o.result.Ok());
    std::vector<std::uint32_t> numbers;
    for (const auto& p : o->Pings()) numbers.push_back(p.pingNumber);
    EXPECT_EQ(numbers, (std::vector<std::uint32_t>{1, 3, 4, 5}));
    EXPECT_EQ(o->Pings().back().time.minute, 5);  // 04:05:60, that is 12:06:00 local
    EXPECT_DOUBLE_EQ(o->Pings().back().time.secondsOfDay, 12 * 3600.0 + 6 * 60.0);
    EXPECT_EQ(o->Fixes().size(), 1u);
}

TEST(RawReaderTime, DuplicateRulePerListAndPerHead) {
    const Clock c{};
    Clock nearly = c;
    nearly.micros = 50;  // 0.00005 s later
    Clock enough = c;
    enough.micros = 100;  // exactly 0.0001 s later: accepted
    Opened o = Open(BinaryFile({
        Fix(c, 30, 117),
        Fix(nearly, 30, 117),
        Fix(enough, 30, 117),
        FullPing(Ping(c, 1, 0)),
        FullPing(Ping(c, 2, 1)),
        FullPing(Ping(c, 3, 0)),
        FullPing(Ping(nearly, 4, 1)),
        Heading(c, 10),
        Heading(c, 11),
        Attitude(c, 1, 2, 3),
        Attitude(nearly, 1, 2, 3),
        Attitude(enough, 1, 2, 3),
    }));
    EXPECT_EQ(o->Fixes().size(), 2u);
    ASSERT_EQ(o->Pings().size(), 2u);
    EXPECT_EQ(o->Pings()[0].head, 0);
    EXPECT_EQ(o->Pings()[1].head, 1);
    EXPECT_EQ(o->Pings()[1].pingNumber, 2u);
    EXPECT_EQ(o->Headings().size(), 1u);
    EXPECT_EQ(o->Attitudes().size(), 2u);
}

TEST(RawReaderFix, RangeChecksCourseSpeedAndCounter) {
    // Grid positions are in metres, so positions are made from the grid with the same calculator.
    geodesy::CCoordinateCal cal;
    cal.Load(geodesy::DefaultParaOfGeo());
    const auto geo = [&](double east, double north, double& lat, double& lon) {
        double h = 0;
        cal.GridToGeo(north, east, 15.0, lat, lon, h);
    };
    const double e0 = 500000.0, n0 = 3300000.0;
    struct Step {
        double dE, dN;   // metres from the previous fix
        double seconds;  // after the previous fix
        double course, speed;
    };
    const Step steps[] = {
        {0.004, 0.003, 1.0, 0.0, 0.0},  // 5 mm: standing still
        {0.0, 10.0, 1.0, 0.0, 19.44},   // north
        {10.0, 0.0, 2.0, 90.0, 9.72},   // east
        {-10.0, -10.0, 1.0, 225.0, 1.944 * std::sqrt(200.0)},
    };
    std::vector<Bytes> packets;
    Clock c{};
    double e = e0, n = n0, lat = 0, lon = 0, t = 0;
    geo(e, n, lat, lon);
    packets.push_back(Fix(c, lat, lon));
    packets.push_back(Fix(c.Plus(0.5), 91.0, lon));   // out of range: dropped, and not a "last" time
    packets.push_back(Fix(c.Plus(0.5), lat, 181.0));  // likewise
    for (const Step& s : steps) {
        e += s.dE;
        n += s.dN;
        t += s.seconds;
        geo(e, n, lat, lon);
        packets.push_back(Fix(c.Plus(t), lat, lon));
    }
    packets.push_back(Fix(c.Plus(t + 1), std::nan(""), lon));
    Opened o = Open(BinaryFile(packets));
    ASSERT_EQ(o->Fixes().size(), 5u);
    EXPECT_EQ(o->Fixes()[0].course, 0.0);
    EXPECT_EQ(o->Fixes()[0].speed, 0.0);
    for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(o->Fixes()[k].counter, static_cast<int>(k) + 1);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(o->Fixes()[k + 1].course, steps[k].course, 1e-4) << k;
        EXPECT_NEAR(o->Fixes()[k + 1].speed, steps[k].speed, 1e-4) << k;
    }
    EXPECT_EQ(o->Fixes()[1].time.secondsOfDay, o->Fixes()[0].time.secondsOfDay + 1.0);
}

TEST(RawReaderPing, BeamsScalesAndEmptySlots) {
    PingSpec s = Ping(Clock{}, 7);
    s.flags = 0x1234;
    s.soundVelocity = 1512.5f;
    s.device = "00000042";
    s.model = "TR120";
    Opened o = Open(BinaryFile({FullPing(s)}));
    ASSERT_EQ(o->Pings().size(), 1u);
    const auto& p = o->Pings()[0];
    EXPECT_EQ(p.flags, 0x1234);
    EXPECT_EQ(p.firstInteger, 42);
    EXPECT_EQ(quillfen::ModelOf(p), "TR120");
    EXPECT_EQ(o->LastPingModel(), "TR120");
    EXPECT_FLOAT_EQ(p.soundVelocity, 1512.5f);
    const quillfen::PingBeams b = o->BeamsOf(0);
    EXPECT_FLOAT_EQ(b.travelTime[1], 2000 * 1e-5f * 0.5f);
    EXPECT_FLOAT_EQ(b.angle[0], -45.0f);
    EXPECT_FLOAT_EQ(b.angle[2], 45.0f);
    for (std::size_t i = 3; i < quillfen::kBeamSlots; ++i) {
        ASSERT_EQ(b.travelTime[i], 0.0f);
        ASSERT_EQ(b.angle[i], 0.0f);
    }
    EXPECT_EQ(o->BeamCount(), 512);
    EXPECT_DOUBLE_EQ(o->DefaultSoundVelocity(), 1512.5);
}

TEST(RawReaderPing, BeamCountsBeyondTheArraysAndBrokenScales) {
    // 600 beams declared and present: only 512 are taken.
    PingSpec wide = Ping(Clock{}, 1);
    wide.counts.assign(600, 100);
    wide.angles.assign(600, 7);
    // 600 declared but only 3 present: the packet is too short for its fields.
    PingSpec lying = Ping(Clock{}.Plus(1), 2);
    lying.declaredBeams = 600;
    // Scales that are not numbers: no beam value may become one.
    PingSpec nan = Ping(Clock{}.Plus(2), 3);
    nan.rangeScale = std::numeric_limits<float>::quiet_NaN();
    nan.angleScale = std::numeric_limits<float>::infinity();
    nan.soundVelocity = std::numeric_limits<float>::quiet_NaN();
    Opened o = Open(BinaryFile({FullPing(wide), FullPing(lying), FullPing(nan)}));
    ASSERT_EQ(o->Pings().size(), 2u);
    EXPECT_FLOAT_EQ(o->BeamsOf(0).travelTime[511], 100 * 1e-5f * 0.5f);
    EXPECT_FLOAT_EQ(o->BeamsOf(0).angle[511], 0.07f);
    EXPECT_EQ(o->Damage().malformedPackets, 1u);
    const quillfen::PingBeams notNumbers = o->BeamsOf(1);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(notNumbers.travelTime[i], 0.0f);
        EXPECT_EQ(notNumbers.angle[i], 0.0f);
    }
    EXPECT_EQ(o->Pings()[1].soundVelocity, 0.0f);
}

TEST(RawReaderPing, ShortPingsTakeTheBuiltInTables) {
    Bytes p = Packet(3004, 88 + 2 * 4);
    std::memcpy(p.data() + 24, "TR240S1", 7);
    Put<std::uint32_t>(p, 40, 77);
    PutClock(p, 44, 52, Clock{});
    Put<float>(p, 64, 1490.0f);
    p[69] = 0x09;
    Put<std::uint16_t>(p, 70, 3);
    Put<float>(p, 80, 2e-5f);
    for (std::size_t i = 0; i < 3; ++i)
        Put<std::uint16_t>(p, 84 + 2 * i, static_cast<std::uint16_t>(100 * (i + 1)));
    Opened o = Open(BinaryFile({p}));
    ASSERT_EQ(o->Pings().size(), 1u);
    const auto& ping = o->Pings()[0];
    EXPECT_EQ(ping.pingNumber, 77u);
    EXPECT_EQ(ping.flags, 0x09);
    const quillfen::PingBeams b = o->BeamsOf(0);
    EXPECT_FLOAT_EQ(b.travelTime[2], 300 * 2e-5f * 0.5f);
    const auto& table = marivane::Tr240S1Table();
    for (std::size_t i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(b.angle[i], table[i]);
    EXPECT_EQ(b.angle[3], 0.0f);
}

// A short ping no table fits (tilted, spacing mode 0) keeps the angles of the ping before it, up to
// its own beam count; a chain of them narrows to the smallest count, and a refused ping in between
// takes no part. Asked for in any order, every ping gives the same beams.
TEST(RawReaderPing, ShortPingsWithoutATableRepeatThePreviousAngles) {
    const auto shortPing = [](int second, std::uint32_t number, std::size_t beams) {
        Bytes p = Packet(3004, 88 + 2 * beams);
        std::memcpy(p.data() + 24, "TR240", 5);
        Put<std::uint32_t>(p, 40, number);
        PutClock(p, 44, 52, Clock{}.Plus(second));
        Put<float>(p, 64, 1490.0f);
        p[68] = 0;
        Put<std::uint16_t>(p, 70, static_cast<std::uint16_t>(beams));
        Put<float>(p, 72, 5.0f);  // tilted: no table for mode 0
        Put<float>(p, 80, 2e-5f);
        for (std::size_t i = 0; i < beams; ++i) Put<std::uint16_t>(p, 84 + 2 * i, static_cast<std::uint16_t>(10 + i));
        return p;
    };
    const PingSpec full = Ping(Clock{}.Plus(1), 1);  // angles -45, 0, 45
    const Bytes duplicate = shortPing(1, 9, 1);       // same time as the full ping: refused
    Opened o = Open(BinaryFile({shortPing(0, 8, 3), FullPing(full), duplicate, shortPing(2, 2, 2),
                                shortPing(3, 3, 3)}));
    ASSERT_EQ(o->Pings().size(), 4u);
    const std::vector<std::vector<float>> expected = {
        {0, 0, 0, 0}, {-45, 0, 45, 0}, {-45, 0, 0, 0}, {-45, 0, 0, 0}};
    for (const std::size_t index : {3u, 0u, 2u, 1u}) {
        const quillfen::PingBeams b = o->BeamsOf(index);
        for (std::size_t i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(b.angle[i], expected[index][i]) << index << " " << i;
    }
    EXPECT_FLOAT_EQ(o->BeamsOf(3).travelTime[2], 12 * 2e-5f * 0.5f);
    EXPECT_FLOAT_EQ(o->BeamsOf(2).travelTime[2], 0.0f);
}

TEST(RawReaderFraming, FlagsGarbageBrokenAndCutPackets) {
    const Clock c{};
    Bytes recordOnly = FullPing(Ping(c, 1));
    Put<std::uint32_t>(recordOnly, 12, 1);
    Bytes discarded = FullPing(Ping(c.Plus(1), 2));
    Put<std::uint32_t>(discarded, 12, 2);
    const Bytes good = FullPing(Ping(c.Plus(2), 3));

    // Flag bits: record-only packets and discarded ones give no sample, the next packet does; a clean
    // file reports no damage.
    {
        Opened o = Open(BinaryFile({recordOnly, discarded, good, Packet(3001, 40), Packet(5000, 40)}));
        ASSERT_EQ(o->Pings().size(), 1u);
        EXPECT_EQ(o->Pings()[0].pingNumber, 3u);
        EXPECT_FALSE(o->Damage().Any());
    }
    // Garbage before a packet is skipped and counted.
    {
        const Bytes garbage = {'x', 'W', 'L', 'N', 0, 1, 2, 3, 4, 5};
        Opened o = Open(BinaryFile({garbage, good}));
        ASSERT_EQ(o->Pings().size(), 1u);
        EXPECT_EQ(o->Damage().bytesSkipped, garbage.size());
    }
    // A wrong tail throws away what is buffered with it, as the live framer does.
    {
        Bytes badTail = FullPing(Ping(c.Plus(3), 4));
        badTail[badTail.size() - 1] = 0;
        Opened o = Open(BinaryFile({good, badTail, FullPing(Ping(c.Plus(4), 5))}));
        ASSERT_EQ(o->Pings().size(), 1u);
        EXPECT_EQ(o->Damage().brokenPackets, 1u);
        EXPECT_GT(o->Damage().bytesDropped, 0u);
    }
    // A file cut inside its last packet.
    {
        Bytes file = BinaryFile({good, FullPing(Ping(c.Plus(5), 6))});
        file.resize(file.size() - 10);
        Opened o = Open(file);
        ASSERT_TRUE(o.result.Ok());
        EXPECT_EQ(o->Pings().size(), 1u);
        EXPECT_EQ(o->Damage().trailingBytes, good.size() - 10);
    }
    // A length that can never complete is broken at once rather than waited for.
    {
        Bytes huge = Packet(3000, 28);
        Put<std::uint32_t>(huge, 8, 0x7FFFFFFF);
        Opened o = Open(BinaryFile({huge, good}));
        EXPECT_EQ(o->Damage().brokenPackets, 1u);
    }
}

TEST(RawReaderFraming, PacketsAcrossChunksAndLargePackets) {
    // Enough pings to cross many 64 KiB chunks, each framed whole.
    std::vector<Bytes> packets;
    PingSpec s = Ping(Clock{}, 0);
    s.counts.assign(512, 1234);
    s.angles.assign(512, -100);
    for (std::uint32_t k = 0; k < 100; ++k) {
        s.pingNumber = k;
        s.clock = Clock{}.Plus(k * 0.25);
        packets.push_back(FullPing(s));
    }
    // An unknown packet type larger than a chunk is consumed silently.
    packets.insert(packets.begin() + 50, Packet(4242, 200000));
    Opened o = Open(BinaryFile(packets));
    ASSERT_EQ(o->Pings().size(), 100u);
    EXPECT_FALSE(o->Damage().Any());
    for (std::uint32_t k = 0; k < 100; ++k) ASSERT_EQ(o->Pings()[k].pingNumber, k);
}

TEST(RawReaderMerge, NextRecordInTimeTieOrder) {
    const Clock c{};
    // Written in the opposite order of the ties.
    Opened o = Open(BinaryFile({Heading(c, 1), FullPing(Ping(c, 1)), Fix(c, 30, 117), Attitude(c, 0, 0, 0),
                                Heading(c.Plus(0.5), 2), Attitude(c.Plus(1), 0, 0, 0)}));
    quillfen::RecordCursor cursor;
    std::vector<int> order;
    for (;;) {
        const int list = o->NextRecordInTime(cursor);
        if (list == quillfen::kNoRecord)
            break;
        order.push_back(list);
        switch (list) {
            case quillfen::kAttitudeList:
                ++cursor.attitude;
                break;
            case quillfen::kFixList:
                ++cursor.fix;
                break;
            case quillfen::kPingList:
                ++cursor.ping;
                break;
            default:
                ++cursor.heading;
                break;
        }
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 3, 0}));
    EXPECT_DOUBLE_EQ(o->CurrentTime().absolute, o->Attitudes().back().time.absolute);

    // A list is left out by giving its cursor its size.
    quillfen::RecordCursor noHeadings;
    noHeadings.heading = o->Headings().size();
    noHeadings.attitude = 1;
    noHeadings.fix = 1;
    noHeadings.ping = 1;
    EXPECT_EQ(o->NextRecordInTime(noHeadings), quillfen::kAttitudeList);
}

TEST(RawReaderDefaults, DefaultSoundVelocity) {
    const Clock c{};
    PingSpec s = Ping(c, 1);
    s.soundVelocity = 1488.0f;
    EXPECT_DOUBLE_EQ(Open(BinaryFile({FullPing(s)}))->DefaultSoundVelocity(), 1488.0);
    EXPECT_DOUBLE_EQ(Open(BinaryFile({Fix(c, 30, 117)}))->DefaultSoundVelocity(), 1500.0);
    quillfen::ReaderOptions surface;
    surface.surfaceSoundVelocity = true;
    surface.surfaceSoundVelocityValue = 1520.0;
    EXPECT_DOUBLE_EQ(Open(BinaryFile({FullPing(s)}), surface)->DefaultSoundVelocity(), 1520.0);
}

TEST(RawReaderLegacy, LegacyBlockBecomesTheCoordinateSystem) {
    Bytes block(512, 0);
    Put<std::int32_t>(block, 4, 2);   // Xian80
    Put<std::int32_t>(block, 8, 0);   // UTM
    Put<std::int32_t>(block, 12, 7);  // seven parameters
    Put<double>(block, 16, 120.5);
    Put<double>(block, 24, 500000.0);
    Put<double>(block, 32, -1.5);
    Put<double>(block, 40, 0.9996);
    Put<double>(block, 56, -12.25);
    for (std::size_t k = 0; k < 7; ++k) Put<double>(block, 64 + 8 * k, 1.5 * static_cast<double>(k + 1));
    Put<double>(block, 288, 3.5);         // sonar head X
    Put<double>(block, 344 + 16, -6.75);  // antenna Z

    geodesy::ParaOfGeo g =
        quillfen::ParaOfGeoFromLegacyBlock(std::span<const std::uint8_t, 512>(block.data(), 512));
    EXPECT_EQ(g.TargetEllipsoid, 3);
    EXPECT_STREQ(g.TargetSemimajor, geodesy::FindEllipsoid(3)->semimajor);
    EXPECT_EQ(g.SourceEllipsoid, 1);
    EXPECT_EQ(g.ProjectionType, 0);
    EXPECT_STREQ(g.CentralMeridian, "120300000000E");
    EXPECT_STREQ(g.EastConst, "500000.0000000000");
    EXPECT_STREQ(g.NorthConst, "-1.5000000000");
    EXPECT_STREQ(g.ScaleRadio, "0.9996000000");
    EXPECT_STREQ(g.DatumLatitude, "12150000000S");
    EXPECT_EQ(g.ETransType, 1);
    EXPECT_STREQ(g.ETransDx, "1.500000");
    EXPECT_STREQ(g.ETransSc, "10.500000");
    EXPECT_EQ(g.PTransType, 0);
    EXPECT_STREQ(g.ProjectonAltitude, "0.0");

    // User-defined ellipsoid, three parameters, plane transformation by model and by flag.
    Put<std::int32_t>(block, 4, 9);
    Put<double>(block, 224, 6378000.0);
    Put<double>(block, 232, 300.0);
    Put<std::int32_t>(block, 12, 3);
    Put<double>(block, 152, -10.0);
    g = quillfen::ParaOfGeoFromLegacyBlock(std::span<const std::uint8_t, 512>(block.data(), 512));
    EXPECT_EQ(g.TargetEllipsoid, 0);
    EXPECT_STREQ(g.TargetSemimajor, "6378000.000000");
    EXPECT_STREQ(g.TargetFlattening, "300.000000");
    EXPECT_STREQ(g.ETransDx, "-10.000000");
    EXPECT_STREQ(g.ETransRx, "0.0");
    Put<std::int32_t>(block, 12, 4);
    Put<double>(block, 120, 5.0);
    Put<double>(block, 136, -0.5);
    Put<double>(block, 144, 1.0001);
    g = quillfen::ParaOfGeoFromLegacyBlock(std::span<const std::uint8_t, 512>(block.data(), 512));
    EXPECT_EQ(g.ETransType, 0);
    EXPECT_EQ(g.PTransType, 1);
    EXPECT_STREQ(g.PTransDx, "5.000000");
    EXPECT_STREQ(g.PTransRa, "-000300000000");
    EXPECT_STREQ(g.PTransSc, "1.000100");
    Put<std::int32_t>(block, 216, 1);
    Put<double>(block, 176, 7.0);
    g = quillfen::ParaOfGeoFromLegacyBlock(std::span<const std::uint8_t, 512>(block.data(), 512));
    EXPECT_STREQ(g.PTransDx, "7.000000");

    // Read as a file: single head, installation from the same offsets.
    Opened o = Open(TextFile("", {}, "1.0.0", block));
    ASSERT_TRUE(o.result.Ok());
    EXPECT_FALSE(o->DualHead());
    EXPECT_FLOAT_EQ(o->Installation()[quillfen::kSonarHead1][0], 3.5f);
    EXPECT_FLOAT_EQ(o->Installation()[quillfen::kGnssAntenna][2], -6.75f);
    EXPECT_EQ(o->FileParameters().PTransType, 1);
}

}  // namespace
