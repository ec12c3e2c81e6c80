// The raw data file as "sonarsim write" makes it: file header, device block, geodetic block, then the
// packets back to back.

#include <gtest/gtest.h>

#include <map>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "tests/tools/sonarsim/SimTestSupport.h"

namespace {

using simtest::Get;

constexpr std::size_t kHead = 64 + 512 + 1256;

TEST(RawFile, HeadBlocksThenWholePacketsCoveringTheSurvey) {
    simtest::TempDir dir;
    const auto file = dir / "survey.mbm";
    const auto r = simtest::Run({"write", file.string(), "--duration", "3", "--beams", "33", "--dual-head",
                                 "--transducer", "0.5,1,2,0.3,-0.2,0.4,0.01"});
    ASSERT_EQ(r.status, 0) << r.err;
    const simtest::Bytes b = simtest::ReadAll(file);
    ASSERT_GT(b.size(), kHead);
    EXPECT_EQ(Get<std::uint32_t>(b, 0), 1768u);
    EXPECT_EQ(simtest::Text(b, 12, 8), "TR240");
    EXPECT_EQ(Get<std::uint32_t>(b, 64), 512u);
    EXPECT_EQ(b[64 + 4], 1) << "dual head";
    // Transducer at 288 (X, Y, Z, Forward, Roll, Pitch, Latency); the second head defaults to 0.6 m
    // further to starboard.
    const double transducer[7] = {0.5, 1, 2, 0.4, 0.3, -0.2, 0.01};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Get<double>(b, 64 + 288 + 8 * i), transducer[i]) << i;
        EXPECT_EQ(Get<double>(b, 64 + 184 + 8 * i), transducer[i] + (i == 0 ? 0.6 : 0.0)) << i;
    }
    const auto geodetic = geodesy::ToBlock(geodesy::DefaultParaOfGeo());
    EXPECT_TRUE(std::equal(geodetic.begin(), geodetic.end(), b.begin() + 576));

    std::size_t end = 0;
    const auto packets = simtest::Walk(b, kHead, &end);
    ASSERT_EQ(end, b.size()) << "something other than whole packets at " << end;
    std::size_t sum = 0;
    std::map<std::uint32_t, std::vector<double>> times;  // per type, in file order
    std::vector<std::uint32_t> pingNumbers;
    for (const auto& p : packets) {
        sum += p.length;
        EXPECT_EQ(p.flags, 0u);
        const bool ping = p.type == 3000 || p.type == 3300;
        times[p.type].push_back(simtest::EpochAt(b, p.offset + (ping ? 44 : 24)));
        if (ping) {
            EXPECT_EQ(Get<std::uint16_t>(b, p.offset + 122), 33);
            EXPECT_EQ(p.length, 148u + 8 * 34);
        }
        if (p.type == 3000)
            pingNumbers.push_back(Get<std::uint32_t>(b, p.offset + 40));
    }
    EXPECT_EQ(b.size(), kHead + sum);
    // 3 s of pings at 4 Hz from 1 s on, on both heads; the sensors start before the first ping and go
    // on for more than a second after the last, so that every beam's echo time is covered.
    ASSERT_EQ(times[3000].size(), 13u);
    EXPECT_EQ(times[3300], times[3000]);
    for (std::size_t i = 0; i < pingNumbers.size(); ++i) EXPECT_EQ(pingNumbers[i], i + 1);
    for (const std::uint32_t type : {5000u, 5001u, 5004u, 5005u}) {
        SCOPED_TRACE(type);
        const auto& t = times[type];
        ASSERT_GE(t.size(), 2u);
        EXPECT_TRUE(std::is_sorted(t.begin(), t.end()));
        EXPECT_EQ(std::adjacent_find(t.begin(), t.end()), t.end()) << "a repeated time";
        EXPECT_LE(t.front(), times[3000].front());
        if (type != 5000) {
            EXPECT_GT(t.back(), times[3000].back() + 1.0);
        }
    }
    EXPECT_NEAR(times[5005][1] - times[5005][0], 0.02, 1e-6);
    EXPECT_NEAR(times[5004][1] - times[5004][0], 0.1, 1e-6);
    EXPECT_NEAR(times[5000][1] - times[5000][0], 1.0, 1e-6);
    EXPECT_DOUBLE_EQ(times[5000].front(), 1780300800.0) << "2026-06-01 08:00:00 by default";
}

TEST(RawFile, CoordinateSystemFromSettingsGoesIntoTheBlockAndTheFixes) {
    simtest::TempDir dir;
    geodesy::ParaOfGeo record = geodesy::DefaultParaOfGeo();
    std::snprintf(record.CentralMeridian, sizeof record.CentralMeridian, "%s", "120000000000E");
    std::snprintf(record.EastConst, sizeof record.EastConst, "%s", "400000.0");
    ASSERT_TRUE(geodesy::WriteParaOfGeo(record, dir / "project.ini"));
    geodesy::ParaOfGeo expected = geodesy::DefaultParaOfGeo();
    ASSERT_TRUE(geodesy::ReadParaOfGeo(expected, dir / "project.ini"));

    const auto file = dir / "survey.mbm";
    const auto r = simtest::Run({"write", file.string(), "--duration", "1", "--beams", "8", "--origin",
                                 "400000,3300000", "--settings", (dir / "project.ini").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const simtest::Bytes b = simtest::ReadAll(file);
    const auto block = geodesy::ToBlock(expected);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), b.begin() + 576));
    const auto defaults = geodesy::ToBlock(geodesy::DefaultParaOfGeo());
    EXPECT_FALSE(std::equal(defaults.begin(), defaults.end(), b.begin() + 576));

    // The first fix, converted back with that coordinate system, lies at the start of the line (the
    // antenna is a few metres from the reference point, which is 3 m before the origin at 0 s).
    geodesy::CCoordinateCal cal;
    cal.Load(expected);
    bool found = false;
    for (const auto& p : simtest::Walk(b, kHead)) {
        if (p.type != 5001)
            continue;
        double x = 0, y = 0, h = 0;
        cal.GeoToGrid(Get<double>(b, p.offset + 36), Get<double>(b, p.offset + 44),
                      Get<float>(b, p.offset + 60) + Get<float>(b, p.offset + 64), x, y, h);
        EXPECT_NEAR(y, 400000.0, 15.0);
        EXPECT_NEAR(x, 3300000.0, 15.0);
        found = true;
        break;
    }
    EXPECT_TRUE(found);
}

}  // namespace
