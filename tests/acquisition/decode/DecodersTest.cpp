#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include <unistd.h>

#include "DecoderRig.h"
#include "TestPackets.h"
#include "marivane/acquisition/BeamAngleTables.h"
#include "marivane/acquisition/TrackFile.h"
#include "marivane/acquisition/WindowMessages.h"

namespace {

using namespace testpackets;
using marivane::PingRecord;
using platform::MessageTarget;
using platform::PostedMessage;

constexpr double kNoon = kMarch1st2024 + 12 * 3600.0;  // the default stamp

Stamp At(std::uint8_t second, std::uint32_t microseconds = 0) {
    Stamp s;
    s.second = second;
    s.microseconds = microseconds;
    return s;
}

class DecodersTest : public ::testing::Test {
  protected:
    // Decodes through the framer, as the receiving thread does.
    bool Accepted(const Bytes& packet) {
        const std::uint64_t before = rig_.framer.Counters().rejectedPackets;
        rig_.Feed(packet);
        return rig_.framer.Counters().rejectedPackets == before;
    }
    PingRecord Current() { return rig_.engine.currentPing.Copy(); }

    testrig::DecoderRig rig_;
};

// --- Pings ----------------------------------------------------------------------------------------

TEST_F(DecodersTest, FullPingFillsTheRecord) {
    FullPing p;
    p.samples = {1000, 2000, 65535};  // odd count: the angles sit behind an even-padded block
    p.counts = {-6000, 0, 32767};
    p.tilt = -2.7f;
    p.stamp = At(5, 250000);
    ASSERT_TRUE(Accepted(Build(p)));

    const PingRecord r = Current();
    EXPECT_EQ(r.year, 2024u);
    EXPECT_EQ(r.month, 3u);
    EXPECT_EQ(r.hour, 12u);
    EXPECT_FLOAT_EQ(r.second, 5.25f);
    EXPECT_DOUBLE_EQ(r.time, kNoon + 5.25);
    EXPECT_EQ(r.pingNumber, 77u);
    EXPECT_EQ(r.beamCount, 3u);
    EXPECT_DOUBLE_EQ(r.surfaceSoundVelocity, 1510.5);
    EXPECT_FLOAT_EQ(r.pingRate, 4.0f);
    EXPECT_EQ(r.beamSpacingMode, 1);
    EXPECT_EQ(r.stabilisationFlags, 0x09);  // low byte of the ping flags
    EXPECT_EQ(r.deviceNumber, 1234);
    EXPECT_STREQ(r.model, "TR240");
    EXPECT_EQ(r.head, 0);
    EXPECT_EQ(r.tilt, -2);
    EXPECT_EQ(r.tilted, 1u);
    EXPECT_FLOAT_EQ(r.openingAngle, 128.0f);
    EXPECT_FLOAT_EQ(r.travelTime[0], 0.05f);
    EXPECT_FLOAT_EQ(r.travelTime[2], 65535 * 0.0001f * 0.5f);
    EXPECT_FLOAT_EQ(r.angle[0], -60.0f);
    EXPECT_FLOAT_EQ(r.angle[1], 0.0f);
    EXPECT_FLOAT_EQ(r.angle[2], 327.67f);

    // Queued for the processing, stamped, and announced to the data pane.
    EXPECT_EQ(rig_.engine.pingInput.Copy().size(), 1u);
    EXPECT_EQ(rig_.processor.calls, 1u);
    EXPECT_EQ(rig_.engine.stamps.Copy().pingHead1, 14u * 3600 + 5 * 60 + 9);
    EXPECT_EQ(rig_.engine.stamps.Copy().pingHead2, 0u);
    const auto messages = rig_.sink.Take();
    EXPECT_EQ(messages,
              (std::vector<PostedMessage>{{MessageTarget::DataPane, marivane::WM_DATA_UPDATE, 4, 0}}));
}

TEST_F(DecodersTest, PingRateAndTiltEdgeValues) {
    struct Case {
        float interval;
        float tilt;
        float rate;
        std::int32_t wholeTilt;
        std::uint32_t tilted;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0.5f, 0.05f, 2.0f, 0, 0},
        {0.001f, 0.1f, 1.0f, 0, 1},  // interval not above 1 ms: rate 1
        {0.0f, -0.99f, 1.0f, 0, 1},
        {-3.0f, 45.9f, 1.0f, 45, 1},
        {nan, nan, 1.0f, 0, 0},  // not-a-number tilt: no tilt
        {inf, inf, 0.0f, std::numeric_limits<std::int32_t>::max(), 1},
        {0.25f, -1e20f, 4.0f, std::numeric_limits<std::int32_t>::min(), 1},
    };
    std::uint8_t second = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tilt);
        FullPing p;
        p.interval = c.interval;
        p.tilt = c.tilt;
        p.stamp = At(second++);
        ASSERT_TRUE(Accepted(Build(p)));
        const PingRecord r = Current();
        EXPECT_FLOAT_EQ(r.pingRate, c.rate);
        EXPECT_EQ(r.tilt, c.wholeTilt);
        EXPECT_EQ(r.tilted, c.tilted);
    }
}

TEST_F(DecodersTest, DuplicatePingsAreDroppedPerHead) {
    FullPing p;
    ASSERT_TRUE(Accepted(Build(p)));
    EXPECT_FALSE(Accepted(Build(p)));  // retransmission on head 0
    p.type = 3300;
    ASSERT_TRUE(Accepted(Build(p)));  // same time on head 1
    EXPECT_EQ(Current().head, 1);
    EXPECT_FALSE(Accepted(Build(p)));
    p.stamp.microseconds = 50;  // 0.05 ms later: still a retransmission
    EXPECT_FALSE(Accepted(Build(p)));
    p.stamp.microseconds = 1000;
    EXPECT_TRUE(Accepted(Build(p)));
    p.type = 3000;
    p.stamp.microseconds = 0;
    p.stamp.second = 59;  // an earlier ping after a later one is dropped too
    p.stamp.minute = 59;
    p.stamp.hour = 11;
    EXPECT_FALSE(Accepted(Build(p)));
    EXPECT_EQ(rig_.engine.pingInput.Copy().size(), 3u);
}

TEST_F(DecodersTest, PingClockRanges) {
    struct Case {
        const char* name;
        Stamp stamp;
        bool accepted;
    };
    auto stamp = [](std::uint16_t y, std::uint8_t mo, std::uint8_t d, std::uint8_t h, std::uint8_t mi,
                    std::uint8_t s, std::uint32_t us) { return Stamp{y, mo, d, h, mi, s, us}; };
    const Case cases[] = {
        {"year 1999", stamp(1999, 12, 31, 0, 0, 0, 0), false},
        {"year 2000", stamp(2000, 1, 1, 0, 0, 1, 0), true},
        {"year 2220", stamp(2220, 12, 31, 23, 59, 59, 0), true},
        {"year 2221", stamp(2221, 1, 1, 0, 0, 0, 0), false},
        {"month 0", stamp(2024, 0, 1, 0, 0, 0, 0), false},
        {"month 13", stamp(2024, 13, 1, 0, 0, 0, 0), false},
        {"day 0", stamp(2024, 1, 0, 0, 0, 0, 0), false},
        {"day 32", stamp(2024, 1, 32, 0, 0, 0, 0), false},
        {"hour 24", stamp(2024, 1, 1, 24, 0, 0, 0), false},
        {"minute 60", stamp(2024, 1, 1, 0, 60, 0, 0), false},
        {"second 60.0", stamp(2024, 1, 1, 0, 0, 60, 0), true},
        {"second 60.000001", stamp(2024, 1, 1, 0, 0, 60, 1), false},
        {"second 59 + 1 s of microseconds", stamp(2024, 1, 1, 0, 0, 59, 1000000), true},
        {"microseconds beyond a minute", stamp(2024, 1, 1, 0, 0, 0, 61000000), false},
        // In range, but not a date: its epoch time is 0, which never passes the duplicate rule.
        {"31 February", stamp(2024, 2, 31, 0, 0, 0, 0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testrig::DecoderRig rig;
        FullPing p;
        p.stamp = c.stamp;
        EXPECT_EQ(rig.decoders.Decode(Build(p)), c.accepted);
        EXPECT_EQ(rig.engine.pingInput.Copy().size(), c.accepted ? 1u : 0u);
        ShortPing s;
        s.stamp = c.stamp;
        EXPECT_EQ(rig.decoders.Decode(Build(s)), false) << "the short ping shares the head-0 last time";
        testrig::DecoderRig fresh;
        EXPECT_EQ(fresh.decoders.Decode(Build(s)), c.accepted);
    }
}

TEST_F(DecodersTest, PingProcessingResultDecidesThePost) {
    rig_.processor.result = 0;
    ASSERT_TRUE(Accepted(Build(FullPing{})));
    EXPECT_EQ(rig_.sink.Count(marivane::WM_PING_PROCESSED), 0u);
    rig_.processor.result = 2;
    FullPing p;
    p.stamp = At(1);
    ASSERT_TRUE(Accepted(Build(p)));
    const auto messages = rig_.sink.Take();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], (PostedMessage{MessageTarget::MainFrame, marivane::WM_PING_PROCESSED, 0, 0}));
    EXPECT_EQ(messages[2].id, marivane::WM_DATA_UPDATE);  // the snapshot comes after the processing
}

TEST_F(DecodersTest, BeamCountsBeyond512AreLimited) {
    FullPing p;
    p.samples.assign(600, 0);
    p.counts.assign(600, 0);
    for (std::size_t i = 0; i < 600; ++i) {
        p.samples[i] = static_cast<std::uint16_t>(i + 1);
        p.counts[i] = static_cast<std::int16_t>(-static_cast<int>(i));
    }
    ASSERT_TRUE(Accepted(Build(p)));
    const PingRecord r = Current();
    EXPECT_EQ(r.beamCount, 512u);
    EXPECT_FLOAT_EQ(r.travelTime[511], 512 * 0.0001f * 0.5f);
    EXPECT_FLOAT_EQ(r.angle[511], -511 * 0.01f);

    ShortPing s;
    s.stamp = At(1);
    s.samples.assign(600, 7);
    ASSERT_TRUE(Accepted(Build(s)));
    EXPECT_EQ(Current().beamCount, 512u);
}

TEST_F(DecodersTest, PacketsTooShortForTheirFieldsAreRejectedBeforeAnythingChanges) {
    FullPing ping;
    const Bytes fullPing = Build(ping);
    ShortPing shortPing;
    const Bytes shortBytes = Build(shortPing);
    FullPing declaresMore;
    declaresMore.declaredCount = 6;  // beam arrays claimed longer than the packet carries
    struct Case {
        const char* name;
        Bytes packet;
        std::size_t keep;  // bytes before the tail that remain
    };
    const Case cases[] = {
        {"full ping without beams", fullPing, 140},
        {"full ping cut in its angles", fullPing, fullPing.size() - 9},
        {"full ping with a larger beam count", Build(declaresMore), Build(declaresMore).size() - 4},
        {"short ping without beams", shortBytes, 80},
        {"short ping cut in its samples", shortBytes, shortBytes.size() - 6},
        {"gnss", Build(Gnss{}), 66},
        {"heading", Heading(Stamp{}, 1.0f), 38},
        {"attitude", Attitude(Stamp{}, 1, 2, 3), 46},
        {"time", TimeSignal(Stamp{}), 34},
        {"header only", Plain(5001, 0), 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testrig::DecoderRig rig;
        // Cut the body and put the tail right after what is kept.
        Bytes cut(c.packet.begin(), c.packet.begin() + static_cast<std::ptrdiff_t>(c.keep));
        const std::uint8_t tail[4] = {0x77, 0xEE, 0xEE, 0x77};
        cut.insert(cut.end(), tail, tail + 4);
        const std::uint32_t length = static_cast<std::uint32_t>(cut.size());
        std::memcpy(cut.data() + 8, &length, 4);
        rig.Feed(cut);
        EXPECT_EQ(rig.framer.Counters().rejectedPackets, 1u);
        EXPECT_TRUE(rig.sink.Take().empty());
        EXPECT_EQ(rig.decoders.Last().ping[0], 0.0);
        EXPECT_EQ(rig.decoders.Last().fix, 0.0);
    }
}

// --- Short pings ---------------------------------------------------------------------------------

TEST_F(DecodersTest, ShortPingRecord) {
    FullPing second;
    second.type = 3300;
    second.deviceText = "42";
    ASSERT_TRUE(Accepted(Build(second)));

    ShortPing s;
    s.stamp = At(1);
    s.mode = 0;
    s.opening = 128.05f;
    s.stabilisation = 0x0A;
    ASSERT_TRUE(Accepted(Build(s)));
    const PingRecord r = Current();
    EXPECT_EQ(r.head, 1) << "the head is left as it was";
    EXPECT_EQ(r.deviceNumber, 0);
    EXPECT_EQ(r.beamCount, 4u);
    EXPECT_EQ(r.stabilisationFlags, 0x0A);
    EXPECT_EQ(r.beamSpacingMode, 0);
    EXPECT_FLOAT_EQ(r.pingRate, 2.0f);
    EXPECT_DOUBLE_EQ(r.surfaceSoundVelocity, 1500.0);
    EXPECT_FLOAT_EQ(r.travelTime[3], 400 * 0.0001f * 0.5f);
    const auto& table = marivane::EquiDistantTable(4);  // 128 degrees
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(r.angle[i], table[i]);
    EXPECT_EQ(rig_.engine.stamps.Copy().pingHead1, 14u * 3600 + 5 * 60 + 9);
    EXPECT_DOUBLE_EQ(rig_.decoders.Last().ping[0], kNoon + 1);

    // The short ping and the first head share one last time.
    FullPing first;
    first.stamp = At(1);
    EXPECT_FALSE(Accepted(Build(first)));
}

TEST_F(DecodersTest, ShortPingAngleTables) {
    using marivane::EquiAngleTable;
    using marivane::EquiDistantTable;
    using marivane::TiltedTable;
    struct Case {
        const char* name;
        const char* model;
        std::uint8_t mode;
        float tilt;
        float opening;
        const marivane::BeamAngleTable* table;  // null: the angles of the previous ping stay
        float shift;
    };
    const Case cases[] = {
        {"TR240S1 whatever the mode", "TR240S1", 4, 10.0f, 90.0f, &marivane::Tr240S1Table(), 0},
        {"TR240S1 prefix only", "TR240S", 1, 0.0f, 90.0f, &EquiAngleTable(2), 0},
        {"TR240S1 followed by more text", "TR240S1X", 0, 0.0f, 90.0f, &EquiDistantTable(2), 0},
        {"equi-distant 128.05", "TR240", 0, 0.0f, 128.05f, &EquiDistantTable(4), 0},
        {"equi-distant 129: no match", "TR240", 0, 0.0f, 129.0f, &EquiDistantTable(4), 0},
        {"equi-distant 28", "TR240", 0, 0.0f, 27.95f, &EquiDistantTable(0), 0},
        {"equi-angle 164", "TR240", 3, 0.0f, 164.0f, &EquiAngleTable(9), 0},
        {"tilt below one degree counts as level", "TR240", 5, 0.9f, 53.0f, &EquiAngleTable(1), 0},
        {"mode 4 tilted positive", "TR240", 4, 1.0f, 128.0f, &TiltedTable(4, true), 0},
        {"mode 5 tilted negative", "TR240", 5, -1.5f, 128.0f, &TiltedTable(5, false), 0},
        {"mode 6 tilted positive", "TR240", 6, 30.0f, 128.0f, &TiltedTable(6, true), 0},
        {"mode 7 positive: shifted by -T", "TR240", 7, 3.7f, 90.0f, &EquiAngleTable(4), 3.0f},
        {"mode 7 negative: shifted by +T", "TR240", 7, -3.7f, 90.0f, &EquiAngleTable(4), -3.0f},
        {"mode 1 tilted: no table", "TR240", 1, 5.0f, 128.0f, nullptr, 0},
        {"mode 0 tilted: no table", "TR240", 0, -5.0f, 128.0f, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testrig::DecoderRig rig;
        for (float& a : rig.engine.workingPing.angle) a = 999.0f;  // the previous ping's angles
        ShortPing s;
        s.model = c.model;
        s.mode = c.mode;
        s.tilt = c.tilt;
        s.opening = c.opening;
        s.samples.assign(300, 10);
        ASSERT_TRUE(rig.decoders.Decode(Build(s)));
        const PingRecord r = rig.engine.currentPing.Copy();
        for (std::size_t i : {0u, 1u, 150u, 299u}) {
            const float expected = c.table ? (*c.table)[i] - c.shift : 999.0f;
            EXPECT_FLOAT_EQ(r.angle[i], expected) << i;
        }
        EXPECT_EQ(r.angle[300], 999.0f) << "only the first n entries are written";
    }
}

// --- GNSS ----------------------------------------------------------------------------------------

TEST_F(DecodersTest, GnssFixIsConvertedQueuedAndKept) {
    Gnss g;
    g.latitude = -33.5;
    g.longitude = -70.25;
    g.quality = 5;
    ASSERT_TRUE(Accepted(Build(g)));

    double x = 0, y = 0, h = 0;
    rig_.coordinates.GeoToGrid(-33.5, -70.25, 7.5, x, y, h);
    const auto history = rig_.engine.fixHistory.Copy();
    ASSERT_EQ(history.size(), 1u);
    const marivane::GnssFix& fix = history.back();
    EXPECT_DOUBLE_EQ(fix.time, kNoon);
    EXPECT_DOUBLE_EQ(fix.height, 7.5);
    EXPECT_EQ(fix.latitudeHemisphere, 'S');
    EXPECT_EQ(fix.longitudeHemisphere, 'W');
    EXPECT_DOUBLE_EQ(fix.northing, x);
    EXPECT_DOUBLE_EQ(fix.easting, y);
    EXPECT_DOUBLE_EQ(fix.gridHeight, h);
    EXPECT_EQ(fix.satellites, 12u);
    EXPECT_DOUBLE_EQ(fix.hdop, 0.8f);
    const auto positions = rig_.engine.positionInput.Copy();
    ASSERT_EQ(positions.size(), 1u);
    EXPECT_DOUBLE_EQ(positions[0].easting, y);
    EXPECT_DOUBLE_EQ(positions[0].northing, x);
    const auto stamps = rig_.engine.stamps.Copy();
    EXPECT_EQ(stamps.gnssQuality, 5);
    EXPECT_EQ(stamps.gnss, 14u * 3600 + 5 * 60 + 9);
    const auto messages = rig_.sink.Take();
    EXPECT_EQ(messages,
              (std::vector<PostedMessage>{{MessageTarget::MainFrame, marivane::WM_REFRESH_VIEWS, 0, 1},
                                          {MessageTarget::DataPane, marivane::WM_DATA_UPDATE, 1, 0}}));
}

TEST_F(DecodersTest, RejectedFixStillSetsTheLastFixTime) {
    Gnss g;
    g.latitude = 91.0;
    EXPECT_FALSE(Accepted(Build(g)));
    g.latitude = 45.0;
    EXPECT_FALSE(Accepted(Build(g))) << "same time: a retransmission";
    g.stamp = At(1);
    g.longitude = -180.5;
    EXPECT_FALSE(Accepted(Build(g)));
    g.stamp = At(2);
    g.longitude = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(Accepted(Build(g)));
    g.stamp = At(3);
    g.longitude = 180.0;
    g.latitude = -90.0;
    EXPECT_TRUE(Accepted(Build(g)));
    EXPECT_EQ(rig_.engine.fixHistory.Copy().size(), 1u);
    EXPECT_EQ(rig_.engine.positionInput.Copy().size(), 1u);
}

TEST_F(DecodersTest, TrackPointAboutOnceASecondAndIntoTheOpenTrackFile) {
    const auto path =
        std::filesystem::temp_directory_path() / ("decoders_track_" + std::to_string(::getpid()) + ".tra");
    std::filesystem::remove(path);
    marivane::TrackRecorder track;
    ASSERT_EQ(track.Open(path), marivane::RecordingOpenResult::Opened);
    rig_.decoders.SetTrackRecorder(&track);

    // Fix times in ms after noon; a point is made when more than 995 ms passed since the last one.
    const std::uint32_t times[] = {0, 500, 990, 996, 1500, 2000, 2500};
    const bool makesPoint[] = {true, false, false, true, false, true, false};
    for (std::size_t k = 0; k < std::size(times); ++k) {
        Gnss g;
        g.stamp = At(static_cast<std::uint8_t>(times[k] / 1000), (times[k] % 1000) * 1000);
        ASSERT_TRUE(Accepted(Build(g)));
        EXPECT_EQ(rig_.sink.Count(marivane::WM_REFRESH_VIEWS), makesPoint[k] ? 1u : 0u) << times[k];
        rig_.sink.Take();
    }
    EXPECT_EQ(rig_.engine.trackList.Copy().size(), 3u);
    EXPECT_EQ(track.PointsWritten(), 3u);
    ASSERT_TRUE(track.Close());
    const auto points = marivane::ReadTrackFile(path);
    ASSERT_TRUE(points.has_value());
    ASSERT_EQ(points->size(), 3u);
    EXPECT_DOUBLE_EQ(points->back().antennaEasting, rig_.engine.trackList.Copy().back().antennaEasting);
    EXPECT_EQ(rig_.engine.fixHistory.Copy().size(), 7u);
    std::filesystem::remove(path);
}

TEST_F(DecodersTest, TrackPointTakesTheTransducerFromTheCurrentMotion) {
    rig_.engine.track.SetInstallGPS(2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(Accepted(Heading(Stamp{}, 90.0f)));
    ASSERT_TRUE(Accepted(Attitude(Stamp{}, 0.0f, 0.0f, 0.0f)));
    ASSERT_TRUE(Accepted(Build(Gnss{})));
    const auto track = rig_.engine.trackList.Copy();
    ASSERT_EQ(track.size(), 1u);
    const marivane::TrackPoint& tp = track[0];
    // Antenna 2 m to starboard, vessel heading east: the transducer lies 2 m north of the antenna.
    EXPECT_NEAR(tp.transducerEasting - tp.antennaEasting, 0.0, 1e-6);
    EXPECT_NEAR(tp.transducerNorthing - tp.antennaNorthing, 2.0, 1e-6);
}

// --- Heading, attitude, time signal --------------------------------------------------------------

TEST_F(DecodersTest, HeadingAndAttitude) {
    ASSERT_TRUE(Accepted(Heading(At(1), 359.5f)));
    EXPECT_FALSE(Accepted(Heading(At(1), 10.0f)));
    ASSERT_TRUE(Accepted(Attitude(At(1), 1.5f, -2.0f, 0.25f)));
    EXPECT_FALSE(Accepted(Attitude(At(1, 50), 0, 0, 0)));
    ASSERT_TRUE(Accepted(Attitude(At(2), 3.0f, 4.0f, 5.0f)));

    EXPECT_DOUBLE_EQ(rig_.engine.currentHeading.Copy(), 359.5);
    const auto headings = rig_.engine.headingInput.Copy();
    ASSERT_EQ(headings.size(), 1u);
    EXPECT_DOUBLE_EQ(headings[0].time, kNoon + 1);
    const auto attitudes = rig_.engine.attitudeInput.Copy();
    ASSERT_EQ(attitudes.size(), 2u);
    EXPECT_DOUBLE_EQ(attitudes[0].roll, 1.5);
    EXPECT_DOUBLE_EQ(attitudes[0].pitch, -2.0);
    EXPECT_DOUBLE_EQ(attitudes[0].heave, 0.25);
    EXPECT_DOUBLE_EQ(rig_.engine.currentAttitude.Copy().roll, 3.0);
    const auto messages = rig_.sink.Take();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], (PostedMessage{MessageTarget::DataPane, marivane::WM_DATA_UPDATE, 2, 0}));
    EXPECT_EQ(messages[1], (PostedMessage{MessageTarget::DataPane, marivane::WM_DATA_UPDATE, 3, 0}));
    const auto stamps = rig_.engine.stamps.Copy();
    EXPECT_NE(stamps.heading, 0u);
    EXPECT_NE(stamps.attitude, 0u);
}

TEST_F(DecodersTest, TimeSignalRanges) {
    struct Case {
        Stamp stamp;
        bool accepted;
    };
    const Case cases[] = {
        {{2009, 12, 31, 0, 0, 0, 0}, false}, {{2010, 1, 1, 0, 0, 0, 0}, true},
        {{3017, 1, 1, 0, 0, 0, 0}, true},    {{3018, 1, 1, 0, 0, 0, 0}, false},
        {{2024, 0, 1, 0, 0, 0, 0}, false},   {{2024, 12, 30, 24, 60, 60, 0}, true},
        {{2024, 1, 1, 25, 0, 0, 0}, false},  {{2024, 1, 1, 0, 61, 0, 0}, false},
        {{2024, 1, 1, 0, 0, 61, 0}, false},  {{2024, 1, 32, 0, 0, 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.stamp.year << "-" << int(c.stamp.month) << "-" << int(c.stamp.day) << " "
                     << int(c.stamp.hour) << ":" << int(c.stamp.minute) << ":" << int(c.stamp.second));
        testrig::DecoderRig rig;
        EXPECT_EQ(rig.decoders.Decode(TimeSignal(c.stamp)), c.accepted);
        EXPECT_EQ(rig.engine.stamps.Copy().timeSignal != 0, c.accepted);
        EXPECT_TRUE(rig.sink.Take().empty());
    }
    // Duplicates.
    ASSERT_TRUE(Accepted(TimeSignal(At(1))));
    EXPECT_FALSE(Accepted(TimeSignal(At(1, 99))));
    EXPECT_TRUE(Accepted(TimeSignal(At(1, 200))));
}

TEST_F(DecodersTest, UndecodedTypesAreAccepted) {
    EXPECT_TRUE(rig_.decoders.Decode(Plain(3001)));
    EXPECT_TRUE(rig_.decoders.Decode(Plain(12345)));
    EXPECT_TRUE(rig_.sink.Take().empty());
}

}  // namespace
