// The simulator's promise: a correct positioning of its pings, with the same installation and sound
// velocity, lands every beam on its sea floor. Checked here by positioning some pings from the packet
// bytes alone with a plain re-implementation (motion interpolated from the decoded samples, lever arms
// and beam direction by rotation matrices, the ray by brute-force integration) and comparing the depth
// with the true depth at the landing point.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <numbers>

#include "geodesy/CoordinateCal.h"
#include "tests/tools/sonarsim/RayMarch.h"
#include "tests/tools/sonarsim/SimTestSupport.h"
#include "tools/sonarsim/SimClock.h"
#include "tools/sonarsim/SimOptions.h"
#include "tools/sonarsim/SurveyGenerator.h"

namespace {

using simtest::Get;
using Vec = std::array<double, 3>;  // starboard, forward, down
using Mat = std::array<Vec, 3>;

constexpr double kRad = std::numbers::pi / 180.0;

Vec Apply(const Mat& m, const Vec& v) {
    Vec r{};
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

Mat Multiply(const Mat& a, const Mat& b) {
    Mat r{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    }
    return r;
}

// Roll turns starboard into down about the forward axis; pitch turns down into forward about the
// starboard axis (bow up moves the keel forward).
Mat Roll(double r) {
    return {{{std::cos(r), 0, -std::sin(r)}, {0, 1, 0}, {std::sin(r), 0, std::cos(r)}}};
}
Mat Pitch(double p) {
    return {{{1, 0, 0}, {0, std::cos(p), std::sin(p)}, {0, -std::sin(p), std::cos(p)}}};
}

struct Sample {
    double t;
    std::array<double, 3> v;
};

// Linear between the first later sample and the one before it; a sample within a microsecond is
// taken as it is.
// Headings take the short way across north.
std::array<double, 3> Interpolate(const std::vector<Sample>& s, double t, bool heading = false) {
    std::size_t j = 1;
    while (j + 1 < s.size() && s[j].t <= t) ++j;
    const Sample& a = s[j - 1];
    const Sample& b = s[j];
    if (std::fabs(t - a.t) < 1e-6)
        return a.v;
    const double f = (t - a.t) / (b.t - a.t);
    std::array<double, 3> out{};
    for (int i = 0; i < 3; ++i) {
        double bv = b.v[i];
        if (heading && bv - a.v[i] > 180)
            bv -= 360;
        if (heading && bv - a.v[i] < -180)
            bv += 360;
        out[i] = a.v[i] + f * (bv - a.v[i]);
    }
    return out;
}

struct Installed {
    double x, y, z, roll, pitch, yaw;  // metres, radians; single precision as stored
};

Installed Install(const sonarsim::InstallOffsets& o) {
    const auto f = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    return {f(o.x), f(o.y), f(o.z), f(o.roll * kRad), f(o.pitch * kRad), f(o.yaw * kRad)};
}

struct Scenario {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<double, double>> profile;  // empty: one velocity of 1500 m/s
};

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.name;
}

class Survey {
  public:
    explicit Survey(const Scenario& s) {
        std::vector<std::string> args = {"write", "unused.mbm"};
        args.insert(args.end(), s.args.begin(), s.args.end());
        if (!s.profile.empty()) {
            velFile_ = dir_ / "profile.vel";
            std::ofstream vel(velFile_);
            vel << "FTP NEW 2\n";
            for (const auto& [z, c] : s.profile) vel << z << ' ' << c << '\n';
            vel.close();
            args.push_back("--svp");
            args.push_back(velFile_.string());
        }
        sonarsim::CommandLine command;
        std::string error;
        EXPECT_TRUE(sonarsim::ParseCommandLine(args, command, error)) << error;
        options_ = command.options;
        std::string svpError;
        profile_ = s.profile.empty() ? sonarsim::SoundVelocityProfile::Constant(1500)
                                     : *sonarsim::SoundVelocityProfile::LoadVelFile(velFile_, svpError);
        cal_.Load(geodesy::DefaultParaOfGeo());
        sonarsim::SurveyGenerator generator(options_, profile_, cal_,
                                            *sonarsim::SimClock::ParseStart(options_.start));
        floor_ = generator.Floor();
        sonarsim::SimPacket packet;
        while (generator.Next(packet)) bytes_.insert(bytes_.end(), packet.bytes.begin(), packet.bytes.end());
        velocity_ =
            s.profile.empty() ? simtest::VelocityTable({{0, 1500}}) : simtest::VelocityTable(s.profile);
        Decode();
    }

    const std::vector<simtest::Packet>& Pings() const { return pings_; }

    // Largest |depth − true depth| over every `step`-th beam of the ping, and the share of beams with
    // a time. `echoRoll` false takes every beam's roll at the ping time instead of its echo time.
    std::pair<double, double> Check(const simtest::Packet& ping, std::size_t step,
                                    bool echoRoll = true) const {
        const simtest::Bytes& b = bytes_;
        const std::size_t at = ping.offset;
        const bool shortPing = ping.type == 3004;
        const double t = simtest::EpochAt(b, at + 44);
        const auto att = Interpolate(attitude_, t);
        const auto pos = Interpolate(position_, t);
        double heading = Interpolate(heading_, t, true)[0];
        if (heading < 0)
            heading += 360;
        heading *= kRad;
        const unsigned flags = shortPing ? b[at + 69] : b[at + 120];
        const bool rollComp = (flags & 9u) != 0, pitchComp = (flags & 2u) != 0;
        const std::size_t n = Get<std::uint16_t>(b, at + (shortPing ? 70 : 122));
        const float rangeScale = Get<float>(b, at + (shortPing ? 80 : 132));
        const float angleScale = shortPing ? 0.0f : Get<float>(b, at + 136);
        const std::size_t even = (n + 1) / 2 * 2;

        const Installed sensor = Install(options_.motionSensor);
        const Installed antenna = Install(options_.antenna);
        const Installed transducer =
            Install(ping.type == 3300 ? options_.SecondTransducer() : options_.transducer);
        const double pitch = att[1] * kRad - sensor.pitch;
        const double roll = std::asin(std::sin(att[0] * kRad - sensor.roll) / std::cos(pitch));
        const Mat motion = Multiply(Pitch(pitch), Roll(roll));
        const Vec arm = Apply(motion, {transducer.x, transducer.y, transducer.z});
        const Vec gps = Apply(motion, {antenna.x, antenna.y, antenna.z});
        const double fwd = arm[1] - gps[1], stb = arm[0] - gps[0];
        const double tEast = pos[0] + std::sin(heading) * fwd + std::cos(heading) * stb;
        const double tNorth = pos[1] + std::cos(heading) * fwd - std::sin(heading) * stb;
        const double tDepth = arm[2] - att[2];
        EXPECT_GT(tDepth, 0.0);

        double worst = 0;
        std::size_t checked = 0, withTime = 0;
        for (std::size_t i = 0; i < n; i += step) {
            ++checked;
            const std::uint16_t samples = Get<std::uint16_t>(b, at + (shortPing ? 84 : 144) + 2 * i);
            if (samples == 0)
                continue;
            ++withTime;
            const double angle =
                shortPing
                    ? static_cast<float>(std::atan(2.0 * (2.0 * static_cast<double>(i) / 511 - 1)) / kRad)
                    : static_cast<float>(Get<std::int16_t>(b, at + 144 + 6 * even + 2 * i) * angleScale);
            const double tt = static_cast<float>(samples * static_cast<double>(rangeScale) * 0.5);
            const double echo = echoRoll && 2 * tt < 1.0 ? t + 2 * tt : t;
            const double rho = rollComp ? 0.0 : Interpolate(attitude_, echo)[0] * kRad - sensor.roll;
            const double pi = pitchComp ? 0.0 : pitch;
            const double alpha = std::asin(std::sin(rho) / std::cos(pi)) + transducer.roll;
            const Vec dir = Apply(Pitch(pi + transducer.pitch),
                                  {std::sin(angle * kRad - alpha), 0, std::cos(angle * kRad - alpha)});
            const double level = std::hypot(dir[0], dir[1]);
            const double g = heading + transducer.yaw;
            const double ue = level > 0 ? (std::cos(g) * dir[0] + std::sin(g) * dir[1]) / level : 0;
            const double un = level > 0 ? (std::cos(g) * dir[1] - std::sin(g) * dir[0]) / level : 0;
            const auto ray = simtest::MarchRay(velocity_, tDepth, std::acos(dir[2]), tt);
            const double east = tEast + ray.horizontal * ue;
            const double north = tNorth + ray.horizontal * un;
            const double error = std::fabs(tDepth + ray.depth - floor_.Depth(east, north));
            worst = std::max(worst, error);
        }
        return {worst, static_cast<double>(withTime) / static_cast<double>(checked)};
    }

  private:
    void Decode() {
        const simtest::Bytes& b = bytes_;
        std::size_t end = 0;
        for (const auto& p : simtest::Walk(b, 0, &end)) {
            const std::size_t at = p.offset;
            const double t = simtest::EpochAt(b, at + 24);
            if (p.type == 5005) {
                attitude_.push_back(
                    {t, {Get<float>(b, at + 36), Get<float>(b, at + 40), Get<float>(b, at + 44)}});
            } else if (p.type == 5004) {
                heading_.push_back({t, {Get<float>(b, at + 36), 0, 0}});
            } else if (p.type == 5001) {
                double x = 0, y = 0, h = 0;
                cal_.GeoToGrid(Get<double>(b, at + 36), Get<double>(b, at + 44),
                               static_cast<double>(Get<float>(b, at + 60)) + Get<float>(b, at + 64), x, y, h);
                position_.push_back({t, {y, x, 0}});
            } else if (p.type == 3000 || p.type == 3300 || p.type == 3004) {
                pings_.push_back(p);
            }
        }
        EXPECT_EQ(end, b.size());
    }

    simtest::TempDir dir_;
    std::filesystem::path velFile_;
    sonarsim::SimOptions options_;
    sonarsim::SoundVelocityProfile profile_ = sonarsim::SoundVelocityProfile::Constant(1500);
    geodesy::CCoordinateCal cal_;
    sonarsim::SeaFloor floor_;
    simtest::VelocityTable velocity_{{{0, 1500}}};
    simtest::Bytes bytes_;
    std::vector<Sample> attitude_, heading_, position_;
    std::vector<simtest::Packet> pings_;
};

const std::vector<std::string> kRoughSea = {"--roll",         "8", "--roll-period", "4",   "--pitch", "3",
                                            "--pitch-period", "5", "--heave",       "0.8", "--yaw",   "2",
                                            "--duration",     "6"};

std::vector<std::string> With(std::vector<std::string> extra) {
    extra.insert(extra.begin(), kRoughSea.begin(), kRoughSea.end());
    return extra;
}

const std::vector<std::pair<double, double>> kLayers = {
    {0, 1512}, {8, 1510}, {20, 1488}, {35, 1481}, {90, 1492}};

class Landing : public testing::TestWithParam<Scenario> {};

TEST_P(Landing, EveryBeamLandsOnTheSeaFloor) {
    const Survey survey(GetParam());
    ASSERT_GE(survey.Pings().size(), 20u);
    for (const std::size_t k : {std::size_t{0}, survey.Pings().size() / 2, survey.Pings().size() - 1}) {
        const simtest::Packet& ping = survey.Pings()[k];
        SCOPED_TRACE("ping packet " + std::to_string(k) + " of type " + std::to_string(ping.type));
        const auto [worst, share] = survey.Check(ping, 3);
        EXPECT_LT(worst, 0.01) << "metres off the sea floor";
        EXPECT_GT(share, 0.9) << "beams with a travel time";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sonarsim, Landing,
    testing::Values(Scenario{"OneVelocityTwoHeads", With({"--dual-head", "--line-heading", "30"}), {}},
                    Scenario{"LayersShortPingsOverTheSeamount",
                             With({"--short-pings", "--mount", "500010,3300015", "--mount-width", "25",
                                   "--mount-height", "15"}),
                             kLayers},
                    Scenario{"LayersCompensatedAcrossNorth",
                             With({"--stabilisation", "3", "--spacing", "equiangle", "--opening", "140",
                                   "--line-heading", "359.8", "--yaw-period", "3"}),
                             kLayers}),
    [](const testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

TEST(LandingCheck, NoticesARollTakenAtThePingTime) {
    // The check itself must be sharp enough to see the per-beam roll: positioning the same beams with
    // the roll of the ping time puts the outer beams well off the floor.
    const Survey survey(Scenario{"rough", kRoughSea, {}});
    double worst = 0;
    for (const auto& ping : survey.Pings()) worst = std::max(worst, survey.Check(ping, 8, false).first);
    EXPECT_GT(worst, 0.05);
}

}  // namespace
