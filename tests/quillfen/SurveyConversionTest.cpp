// Simulated surveys converted to HSX and to both XTF flavours, every record checked against the
// survey's packets read here on their own: times (8 hours on), grid positions through the project's
// coordinate system, course and speed, ranges, refraction-corrected angles, interpolated heading and
// attitude, and the files that continue after midnight.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

#include "ConverterTestSupport.h"
#include "geodesy/CoordinateCal.h"
#include "quillfen/HsxWriter.h"
#include "quillfen/RawReader.h"
#include "quillfen/XtfWriter.h"
#include "tools/sonarsim/SonarSimApp.h"

namespace {

using namespace qftest;

constexpr double kPi = std::numbers::pi;

// A project coordinate system that is not the default one: another central meridian and scale, and a
// plane transformation on top.
geodesy::ParaOfGeo ProjectSystem() {
    geodesy::ParaOfGeo g = geodesy::DefaultParaOfGeo();
    std::strcpy(g.CentralMeridian, "118300000000E");
    std::strcpy(g.ScaleRadio, "0.9996");
    g.PTransType = 1;
    std::strcpy(g.PTransDx, "120.0");
    std::strcpy(g.PTransDy, "-45.0");
    std::strcpy(g.PTransRa, " 000010000000");
    std::strcpy(g.PTransSc, "1.00001");
    return g;
}

struct Survey {
    TempDir dir;
    std::filesystem::path raw;
    Bytes bytes;
    std::vector<RawPacket> packets;
    geodesy::CCoordinateCal coordinates;
};

std::unique_ptr<Survey> Simulate(std::vector<std::string> options) {
    auto s = std::make_unique<Survey>();
    const std::filesystem::path ini = s->dir / "project.ini";
    EXPECT_TRUE(geodesy::WriteParaOfGeo(ProjectSystem(), ini));
    s->raw = s->dir / "survey.mbm";
    std::vector<std::string> args = {"write", s->raw.string(), "--settings", ini.string()};
    args.insert(args.end(), options.begin(), options.end());
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(sonarsim::RunSonarSim(args, in, out, err), 0) << err.str();
    s->bytes = ReadAll(s->raw);
    s->packets = WalkPackets(s->bytes);
    s->coordinates.Load(ProjectSystem());
    return s;
}

// ---- What the outputs must hold, from the packets ----------------------------------------------

enum List { kAttitude = 0, kFix = 1, kPing = 2, kHeading = 3 };

struct Sample {
    List list;
    double epoch;  // local
    const Bytes* p;
};

std::vector<Sample> Merge(const std::vector<RawPacket>& packets) {
    std::vector<Sample> samples;
    for (const RawPacket& r : packets) {
        if (r.flags != 0)
            continue;
        switch (r.type) {
            case 5005:
                samples.push_back({kAttitude, LocalEpoch(r.bytes, 24, 32), &r.bytes});
                break;
            case 5001:
                samples.push_back({kFix, LocalEpoch(r.bytes, 24, 32), &r.bytes});
                break;
            case 3000:
                samples.push_back({kPing, LocalEpoch(r.bytes, 44, 52), &r.bytes});
                break;
            case 5004:
                samples.push_back({kHeading, LocalEpoch(r.bytes, 24, 32), &r.bytes});
                break;
            default:
                break;
        }
    }
    std::stable_sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) {
        return a.epoch < b.epoch || (a.epoch == b.epoch && a.list < b.list);
    });
    return samples;
}

double SecondsOfDay(double epoch) {
    return epoch - std::floor(epoch / 86400.0) * 86400.0;
}

struct PingFields {
    std::size_t n = 0;
    std::vector<float> oneWay;  // as the sonar's fields give it, in single precision
    std::vector<double> degrees;
    float velocity = 0;
    std::uint32_t number = 0;
};

PingFields ReadPing(const Bytes& p) {
    PingFields f;
    f.n = Get<std::uint16_t>(p, 122);
    const std::size_t even = (f.n + 1) & ~std::size_t{1};
    const float rangeScale = Get<float>(p, 132), angleScale = Get<float>(p, 136);
    for (std::size_t i = 0; i < f.n; ++i) {
        f.oneWay.push_back(Get<std::uint16_t>(p, 144 + 2 * i) * rangeScale * 0.5f);
        f.degrees.push_back(static_cast<double>(Get<std::int16_t>(p, 144 + 6 * even + 2 * i) * angleScale));
    }
    f.velocity = Get<float>(p, 92);
    f.number = Get<std::uint32_t>(p, 40);
    return f;
}

double Ratio(double c, double cp, double arrayConstant, int adjustment) {
    return c * arrayConstant / (cp * (arrayConstant + adjustment * 0.001));
}

double Refracted(double degrees, double ratio) {
    return std::asin(std::clamp(std::sin(degrees * kPi / 180.0) * ratio, -1.0, 1.0));
}

void Grid(const Survey& s, const Bytes& fix, double& east, double& north) {
    const double height = static_cast<double>(Get<float>(fix, 60)) + static_cast<double>(Get<float>(fix, 64));
    double h = 0;
    s.coordinates.GeoToGrid(Get<double>(fix, 36), Get<double>(fix, 44), height, north, east, h);
}

// ---- HSX ----------------------------------------------------------------------------------------

struct HsxRun {
    double surface = 0;  // 0: off
    int adjustment = 0;
};

void CheckHsx(const Survey& s, const std::vector<HsxFile>& files, const HsxRun& run) {
    std::vector<const HsxRecord*> records;
    for (const HsxFile& f : files)
        for (const HsxRecord& r : f.records)
            if (r.name != "FIX")
                records.push_back(&r);
    const auto num = [](const HsxRecord* r, std::size_t k) { return std::stod(r->fields.at(k)); };

    std::size_t at = 0;
    int fixes = 0;
    double lastE = 0, lastN = 0, lastT = 0;
    std::size_t pings = 0;
    for (const Sample& sample : Merge(s.packets)) {
        ASSERT_LT(at, records.size());
        const HsxRecord* r = records[at++];
        const Bytes& p = *sample.p;
        const double sod = SecondsOfDay(sample.epoch);
        ASSERT_NEAR(num(r, 1), sod, 0.0005 + 1e-6) << r->line;
        switch (sample.list) {
            case kAttitude:
                ASSERT_EQ(r->name, "HCP");
                EXPECT_NEAR(num(r, 2), Get<float>(p, 44), 0.005 + 1e-9);
                EXPECT_NEAR(num(r, 3), Get<float>(p, 36), 0.005 + 1e-9);
                EXPECT_NEAR(num(r, 4), Get<float>(p, 40), 0.005 + 1e-9);
                break;
            case kHeading:
                ASSERT_EQ(r->name, "GYR");
                EXPECT_NEAR(num(r, 2), Get<float>(p, 36), 0.005 + 1e-9);
                break;
            case kFix: {
                ASSERT_EQ(r->name, "POS");
                double east = 0, north = 0;
                Grid(s, p, east, north);
                EXPECT_NEAR(num(r, 2), east, 0.005 + 1e-6);
                EXPECT_NEAR(num(r, 3), north, 0.005 + 1e-6);
                if (fixes++ > 0) {
                    const HsxRecord* g = records[at++];
                    ASSERT_EQ(g->name, "GPS");
                    double course = std::atan2(east - lastE, north - lastN) * 180.0 / kPi;
                    if (course < 0)
                        course += 360.0;
                    EXPECT_NEAR(num(g, 2), course, 0.01);
                    EXPECT_NEAR(num(g, 3),
                                std::hypot(east - lastE, north - lastN) * 1.944 / (sample.epoch - lastT),
                                0.01);
                    EXPECT_EQ(g->fields.at(6), std::to_string(p[53]));
                }
                lastE = east;
                lastN = north;
                lastT = sample.epoch;
                break;
            }
            case kPing: {
                ASSERT_EQ(r->name, "RMB");
                const PingFields f = ReadPing(p);
                const double c = run.surface > 0 ? run.surface : f.velocity;
                const double ratio = Ratio(c, f.velocity, 1.875, run.adjustment);
                EXPECT_EQ(r->fields.at(5), "512");
                EXPECT_NEAR(num(r, 6), c, 0.005 + 1e-9);
                EXPECT_EQ(r->fields.at(7), std::to_string(f.number));
                ASSERT_EQ(r->values.at(0).size(), 512u);
                for (std::size_t i = 0; i < 512; ++i) {
                    const double range = i < f.n ? static_cast<double>(f.oneWay[i]) * c : 0.0;
                    const double angle = i < f.n ? Refracted(-f.degrees[i], ratio) * 180.0 / kPi : 0.0;
                    ASSERT_NEAR(r->values[0][i], range, 0.0005 + 1e-7)
                        << "ping " << f.number << " beam " << i;
                    ASSERT_NEAR(r->values[1][i], angle, 0.0005 + 1e-5)
                        << "ping " << f.number << " beam " << i;
                    ASSERT_EQ(r->values[2][i], 3.0);
                }
                ++pings;
                break;
            }
        }
    }
    EXPECT_EQ(at, records.size());
    EXPECT_GT(pings, 10u);
}

std::vector<HsxFile> ConvertHsx(const Survey& s, const quillfen::ConversionSettings& settings,
                                std::vector<std::string>* names = nullptr) {
    quillfen::RawDataReader reader;
    quillfen::ReaderOptions options;
    options.surfaceSoundVelocity = settings.surfaceSoundVelocity;
    options.surfaceSoundVelocityValue = settings.surfaceSoundVelocityValue;
    EXPECT_TRUE(reader.OpenRawFile(s.raw, options).Ok());
    EXPECT_FALSE(reader.Damage().Any());
    const quillfen::WriteOutcome out = quillfen::WriteHsx(reader, s.dir / "survey.HSX", settings);
    std::string error;
    EXPECT_TRUE(quillfen::CommitOutputs(out.outputs, error));
    std::vector<HsxFile> files;
    for (const auto& o : out.outputs) {
        files.push_back(ParseHsx(ReadText(o.final)));
        if (names != nullptr)
            names->push_back(o.final.filename().string());
    }
    return files;
}

TEST(SurveyConversion, HsxRecordsMatchThePackets) {
    const auto survey = Simulate({"--duration", "12", "--stabilisation", "8"});
    const std::vector<HsxFile> files = ConvertHsx(*survey, {});
    ASSERT_EQ(files.size(), 1u);
    CheckHsx(*survey, files, {});
    // Roll compensation (bit 3 of the ping flags) reaches the header and every ping's record.
    EXPECT_EQ(files[0].header[12], "MBI 1 2 1 1081 512 0 0 0");
    // The simulated lines start at grid 500000, 3300000: the positions come back there through the
    // project's coordinate system.
    const HsxRecord* pos = nullptr;
    for (const HsxRecord& r : files[0].records)
        if (r.name == "POS" && pos == nullptr)
            pos = &r;
    ASSERT_NE(pos, nullptr);
    EXPECT_NEAR(std::stod(pos->fields[2]), 500000.0, 30.0);
    EXPECT_NEAR(std::stod(pos->fields[3]), 3300000.0, 30.0);
}

TEST(SurveyConversion, HsxWithSurfaceSoundVelocityAndAdjustment) {
    const auto survey = Simulate({"--duration", "6", "--velocity", "1490"});
    quillfen::ConversionSettings settings;
    settings.surfaceSoundVelocity = true;
    settings.surfaceSoundVelocityValue = 1525.0;
    settings.adjustment = -40;
    CheckHsx(*survey, ConvertHsx(*survey, settings), {1525.0, -40});
}

TEST(SurveyConversion, HsxContinuesAfterMidnight) {
    // 15:59:52 on the sonar's clock is 23:59:52 local.
    const auto survey = Simulate({"--duration", "16", "--start", "2026-06-01 15:59:52"});
    std::vector<std::string> names;
    const std::vector<HsxFile> files = ConvertHsx(*survey, {}, &names);
    ASSERT_EQ(names, (std::vector<std::string>{"survey.HSX", "survey_NewDay1.HSX"}));
    CheckHsx(*survey, files, {});
    EXPECT_EQ(files[0].header[2].substr(13), "06/01/2026");
    EXPECT_EQ(files[1].header[2].substr(0, 13), "TND 00:00:00 ");
    EXPECT_EQ(files[1].header[2].substr(13), "06/02/2026");
    for (const HsxRecord& r : files[0].records) ASSERT_GT(std::stod(r.fields.at(1)), 86000.0) << r.line;
    for (const HsxRecord& r : files[1].records) ASSERT_LT(std::stod(r.fields.at(1)), 100.0) << r.line;
}

// ---- XTF ----------------------------------------------------------------------------------------

double ExpectedHeading(const std::vector<Sample>& headings, double t) {
    if (headings.empty())
        return 0;
    const auto value = [](const Sample& s) { return static_cast<double>(Get<float>(*s.p, 36)); };
    std::size_t j = 0;
    while (j < headings.size() && headings[j].epoch <= t) ++j;
    if (j == 0)
        return value(headings.front());
    if (j == headings.size() || headings[j - 1].epoch == t)
        return value(headings[j - 1]);
    double h1 = value(headings[j - 1]), h2 = value(headings[j]);
    if (h1 > 270 && h2 < 90)
        h1 -= 360;
    if (h1 < 90 && h2 > 270)
        h2 -= 360;
    double h = h1 + (t - headings[j - 1].epoch) / (headings[j].epoch - headings[j - 1].epoch) * (h2 - h1);
    return h < 0 ? h + 360 : h;
}

void CheckXtf(const Survey& s, const std::vector<XtfFile>& files, int flavour) {
    std::vector<Sample> all = Merge(s.packets), headings, attitudes, walk;
    for (const Sample& x : all) {
        if (x.list == kHeading) {
            headings.push_back(x);
        } else {
            walk.push_back(x);
            if (x.list == kAttitude)
                attitudes.push_back(x);
        }
    }
    std::vector<const XtfPacket*> packets;
    for (const XtfFile& f : files) {
        ASSERT_TRUE(f.wellFormed);
        for (const XtfPacket& p : f.packets) packets.push_back(&p);
    }
    ASSERT_EQ(packets.size(), walk.size());
    std::size_t pings = 0;
    for (std::size_t k = 0; k < walk.size(); ++k) {
        const Bytes& raw = *walk[k].p;
        const Bytes& x = packets[k]->bytes;
        const double t = walk[k].epoch;
        const double millisOfDay = SecondsOfDay(t) * 1000.0;  // the written value is this, truncated
        switch (walk[k].list) {
            case kAttitude:
                ASSERT_EQ(packets[k]->type, 3);
                EXPECT_EQ(Get<float>(x, 30), Get<float>(raw, 40));
                EXPECT_EQ(Get<float>(x, 34), Get<float>(raw, 36));
                EXPECT_EQ(Get<float>(x, 38), Get<float>(raw, 44));
                EXPECT_NEAR(Get<std::uint32_t>(x, 46), millisOfDay, 1.0);
                EXPECT_NEAR(Get<float>(x, 50), ExpectedHeading(headings, t), 2e-4);
                break;
            case kFix: {
                ASSERT_EQ(packets[k]->type, 107);
                EXPECT_EQ(Get<double>(x, 23), Get<double>(raw, 36));
                EXPECT_EQ(Get<double>(x, 31), Get<double>(raw, 44));
                EXPECT_EQ(Get<double>(x, 39), static_cast<double>(Get<float>(raw, 60)) + Get<float>(raw, 64));
                // Attitude at the fix, linear between the samples around it (the last beyond the end).
                std::size_t j = 0;
                while (j < attitudes.size() && attitudes[j].epoch <= t) ++j;
                ASSERT_GT(j, 0u);
                const Sample& a = attitudes[j - 1];
                const Sample& b = j < attitudes.size() ? attitudes[j] : a;
                const double f = j < attitudes.size() ? (t - a.epoch) / (b.epoch - a.epoch) : 0.0;
                for (const auto& [xAt, rawAt] :
                     {std::pair<std::size_t, std::size_t>{47, 40}, {51, 36}, {55, 44}}) {
                    const double va = Get<float>(*a.p, rawAt), vb = Get<float>(*b.p, rawAt);
                    EXPECT_NEAR(Get<float>(x, xAt), va + f * (vb - va), 1e-4);
                }
                EXPECT_NEAR(Get<float>(x, 59), ExpectedHeading(headings, t), 2e-4);
                break;
            }
            default: {
                ASSERT_EQ(packets[k]->type, flavour == 1 ? 61 : 65);
                const PingFields f = ReadPing(raw);
                EXPECT_EQ(Get<std::uint32_t>(x, 28), f.number);
                EXPECT_NEAR(Get<std::uint32_t>(x, 224), millisOfDay, 1.0);
                EXPECT_EQ(Get<float>(x, 32), f.velocity * 0.5f);
                std::vector<double> angles(512, 0.0);
                for (std::size_t i = 0; i < f.n; ++i) angles[i] = Refracted(f.degrees[i], 1.0);
                if (flavour == 1) {
                    for (std::size_t i = 0; i < 512; ++i) {
                        ASSERT_EQ(Get<float>(x, 256 + 88 + 4 * i), i < f.n ? 2.0f * f.oneWay[i] : 0.0f) << i;
                        ASSERT_NEAR(Get<float>(x, 256 + 10856 + 4 * i), angles[i], 2e-6) << i;
                    }
                } else {
                    const float rangeScale = GetBE<float>(x, 256 + 132),
                                angleScale = GetBE<float>(x, 256 + 1168);
                    double angle = GetBE<float>(x, 256 + 1164);
                    for (std::size_t i = 0; i < f.n; ++i) {
                        const double twoWay =
                            GetBE<std::uint16_t>(x, 256 + 136 + 2 * i) * static_cast<double>(rangeScale);
                        ASSERT_NEAR(twoWay, 2.0 * f.oneWay[i], rangeScale) << i;
                        if (i > 0)
                            angle +=
                                GetBE<std::uint16_t>(x, 256 + 1196 + 2 * i) * static_cast<double>(angleScale);
                        ASSERT_NEAR(angle, angles[i], 1.2e-4) << i;
                    }
                }
                ++pings;
                break;
            }
        }
    }
    EXPECT_GT(pings, 10u);
}

std::vector<XtfFile> ConvertXtf(const Survey& s, int flavour, std::vector<std::string>* names = nullptr) {
    quillfen::RawDataReader reader;
    EXPECT_TRUE(reader.OpenRawFile(s.raw).Ok());
    const quillfen::WriteOutcome out = quillfen::WriteXtf(reader, s.dir / "survey.xtf", flavour, {});
    std::string error;
    EXPECT_TRUE(quillfen::CommitOutputs(out.outputs, error));
    std::vector<XtfFile> files;
    for (const auto& o : out.outputs) {
        files.push_back(ParseXtf(ReadAll(o.final)));
        if (names != nullptr)
            names->push_back(o.final.filename().string());
    }
    return files;
}

TEST(SurveyConversion, XtfFlavour1PacketsMatchThePackets) {
    const auto survey = Simulate({"--duration", "8"});
    CheckXtf(*survey, ConvertXtf(*survey, 1), 1);
}

TEST(SurveyConversion, XtfFlavour2PacketsMatchThePackets) {
    const auto survey = Simulate({"--duration", "8", "--spacing", "equiangle"});
    CheckXtf(*survey, ConvertXtf(*survey, 2), 2);
}

TEST(SurveyConversion, XtfContinuesAfterMidnight) {
    const auto survey = Simulate({"--duration", "10", "--start", "2026-12-31 15:59:55"});
    std::vector<std::string> names;
    const std::vector<XtfFile> files = ConvertXtf(*survey, 2, &names);
    ASSERT_EQ(names, (std::vector<std::string>{"survey.xtf", "survey_NewDay1.xtf"}));
    CheckXtf(*survey, files, 2);
    // The new day is the new year.
    const XtfPacket& first = files[1].packets.front();
    const std::size_t yearAt = first.type == 3 ? 54 : 14;
    EXPECT_EQ(Get<std::uint16_t>(first.bytes, yearAt), 2027);
}

// Large files are written in parts by several threads at once; however a file is cut into parts, the
// files are the same, and the progress rises to the number of pings.
TEST(SurveyConversion, XtfWrittenInPartsIsTheSame) {
    const auto survey = Simulate({"--duration", "20", "--start", "2026-12-31 15:59:45"});
    for (const int flavour : {1, 2}) {
        std::vector<std::vector<Bytes>> results;
        for (const std::size_t parts : {1u, 3u, 64u}) {
            quillfen::RawDataReader reader;
            ASSERT_TRUE(reader.OpenRawFile(survey->raw).Ok());
            const std::size_t pings = reader.Pings().size();
            std::size_t last = 0;
            bool rising = true;
            const quillfen::PingProgress progress = [&](std::size_t done, std::size_t total) {
                rising = rising && done > last && total == pings;
                last = done;
            };
            const quillfen::WriteOutcome out =
                quillfen::WriteXtfInParts(reader, survey->dir / "parts.xtf", flavour, {}, progress, parts);
            std::string error;
            ASSERT_TRUE(quillfen::CommitOutputs(out.outputs, error)) << error;
            ASSERT_EQ(out.files, 2);
            EXPECT_TRUE(rising);
            EXPECT_EQ(last, pings);
            std::vector<Bytes> files;
            for (const auto& o : out.outputs) {
                files.push_back(ReadAll(o.final));
                std::filesystem::remove(o.final);
            }
            results.push_back(files);
        }
        // Parts begin at most every 64 KiB: this is enough for three.
        EXPECT_GT(results[0][0].size(), 3 * 65536u) << "too small to be cut into parts";
        EXPECT_TRUE(results[1] == results[0]) << "flavour " << flavour;
        EXPECT_TRUE(results[2] == results[0]) << "flavour " << flavour;
    }
}

}  // namespace
