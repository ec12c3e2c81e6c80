// PotitonBeams against what the same beams give one by one (SetMotion with the beam's roll, then
// PotitonOneBeam): every output of every beam, rejected beams included, and the state left behind.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "BeamoraTestSupport.h"

namespace {

using beamora_test::LoadProfile;
using beamora_test::MakeBeamora;
using beamora_test::Position;
using beamora_test::Profile;
using beamora_test::Sounding;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Profile DenseCast() {
    Profile cast;
    for (int i = 0; i < CBeamora::kMaxProfilePoints; ++i) {
        const double z = i * 0.1;
        cast.emplace_back(z, 1505.0 - 18.0 * std::tanh((z - 40.0) / 15.0) + 0.5 * std::sin(z / 7.0));
    }
    return cast;
}

const Profile kLayered{{0.0, 1500.0},  {2.0, 1500.5},  {5.0, 1501.0},  {8.0, 1501.0},
                       {12.0, 1497.0}, {20.0, 1490.0}, {30.0, 1488.0}, {45.0, 1488.0},
                       {60.0, 1492.5}, {80.0, 1495.0}, {100.0, 1493.0}};
// Oblique rays beyond about 60° from the vertical are reflected below 50 m.
const Profile kReflecting{{0.0, 1500.0}, {50.0, 1500.0}, {100.0, 1700.0}, {150.0, 1700.0}};
// No velocity at 70 m: rays reaching it are refused.
const Profile kFaulty{{0.0, 1500.0}, {40.0, 1490.0}, {70.0, 0.0}, {120.0, 1500.0}};

struct BatchCase {
    const char* name;
    Profile profile;  // none: a single sound velocity of 1490 m/s
    float transducerDepth;
    double roll, pitch;
    bool rollStabilized, pitchStabilized;
    bool perBeamRoll;     // false: every beam takes the roll last set (a null roll array)
    bool expectRejected;  // some ray within 75° of the vertical has no position
};

void PrintTo(const BatchCase& c, std::ostream* os) {
    *os << c.name;
}

void Prepare(CBeamora& beamora, const BatchCase& c) {
    beamora.SetInstallTransducer(0.3f, 1.2f, c.transducerDepth, 1.5f, -0.7f, 2.0f, 0.0f);
    beamora.SetInstallGPS(-1.0f, -5.0f, -10.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    beamora.SetInstallMRU(0.0f, 0.0f, 0.0f, 0.2f, -0.1f, 0.0f, 0.0f);
    if (c.profile.empty()) {
        beamora.SetAsv(1490.0);
    } else {
        ASSERT_TRUE(LoadProfile(beamora, c.profile));
    }
    beamora.SetTide(0.25);
    beamora.SetMotion(c.roll, c.pitch, 0.3, 123.0);
    beamora.PosGPSToTransducer(600000.0, 4200000.0, 0.0);
    beamora.SetRealtimeStabilized(c.rollStabilized, c.pitchStabilized, false);
}

// 257 beams from -89° to +89° (more than one block of the library, not a whole number of its groups),
// reaching 60 to 110 m, each with its own roll; and a vertical beam, beams without time and with
// values that are not numbers.
struct Swath {
    std::vector<double> angle, time, roll;
};

Swath MakeSwath(double roll) {
    Swath s;
    const int n = 257;
    for (int i = 0; i < n; ++i) {
        const double angle = -89.0 + 178.0 * i / (n - 1);
        const double depth = 85.0 + 25.0 * std::sin(angle * beamora_test::kDeg);
        s.angle.push_back(angle);
        s.time.push_back(std::min(0.5, depth / (1495.0 * std::cos(angle * beamora_test::kDeg))));
        s.roll.push_back(roll + 0.3 * (i % 5) - 0.6);
    }
    s.angle[128] = 0.0;
    s.time[7] = 0.0;
    s.time[11] = kNaN;
    s.angle[13] = kNaN;
    s.roll[17] = kNaN;
    return s;
}

class BeamoraBatch : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BeamoraBatch, SameAsOneBeamAtATime) {
    const BatchCase& c = GetParam();
    auto single = MakeBeamora();
    auto batch = MakeBeamora();
    Prepare(*single, c);
    Prepare(*batch, c);
    const Swath swath = MakeSwath(c.roll);
    const int n = static_cast<int>(swath.angle.size());

    std::vector<double> easting(n, kNaN), northing(n, kNaN), depth(n, kNaN), across(n, kNaN);
    batch->PotitonBeams(n, swath.angle.data(), swath.time.data(), c.perBeamRoll ? swath.roll.data() : nullptr,
                        easting.data(), northing.data(), depth.data(), across.data());

    int rejected = 0;
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(::testing::Message() << "beam " << i << " at " << swath.angle[i] << " deg");
        single->SetMotion(c.perBeamRoll ? swath.roll[i] : c.roll, c.pitch, 0.3, 123.0);
        const Sounding expected = Position(*single, swath.angle[i], swath.time[i]);
        EXPECT_NEAR(easting[i], expected.easting, 1e-6);
        EXPECT_NEAR(northing[i], expected.northing, 1e-6);
        EXPECT_NEAR(depth[i], expected.depth, 1e-6);
        EXPECT_NEAR(across[i], expected.across, 1e-6);
        // Beams beyond 75° may leave above the horizontal; those with values that are not numbers are
        // always rejected.
        const bool ordinary =
            std::fabs(swath.angle[i]) <= 75.0 && std::isfinite(swath.time[i]) && std::isfinite(swath.roll[i]);
        rejected += ordinary && depth[i] == beamora::kRejectedDepth;
    }
    EXPECT_EQ(rejected > 0, c.expectRejected) << rejected << " rejected";

    // Both objects are left with the last beam's roll: the next beam comes out the same.
    const Sounding after = Position(*batch, 20.0, 0.07);
    const Sounding afterSingle = Position(*single, 20.0, 0.07);
    EXPECT_EQ(after.easting, afterSingle.easting);
    EXPECT_EQ(after.depth, afterSingle.depth);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BeamoraBatch,
    ::testing::Values(BatchCase{"SingleVelocity", {}, 3.2f, 3.0, -2.0, false, false, true, false},
                      BatchCase{"Layered", kLayered, 6.5f, -4.0, 1.5, false, false, true, false},
                      BatchCase{"DenseCast", DenseCast(), 3.375f, 2.0, 0.5, false, false, true, false},
                      BatchCase{"Reflecting", kReflecting, 0.0f, 1.0, 0.0, false, false, true, true},
                      BatchCase{"Faulty", kFaulty, 2.0f, 1.0, 0.0, false, false, true, true},
                      BatchCase{"Stabilized", kLayered, 4.0f, 5.0, 3.0, true, true, true, false},
                      BatchCase{"OneRoll", kLayered, 4.0f, -3.0, 2.0, false, false, false, false},
                      BatchCase{"BelowTheProfile", kLayered, 120.0f, 2.0, 1.0, false, false, true, false}),
    [](const ::testing::TestParamInfo<BatchCase>& caseInfo) { return std::string(caseInfo.param.name); });

// Beyond 80° of pitch no beam is written, as one beam at a time.
TEST(BeamoraBatchExcessivePitch, WritesNothing) {
    auto beamora = MakeBeamora();
    ASSERT_TRUE(LoadProfile(*beamora, kLayered));
    beamora->SetMotion(0.0, 81.0, 0.0, 0.0);
    const double angle[] = {-30.0, 0.0, 30.0};
    const double time[] = {0.05, 0.05, 0.05};
    const double roll[] = {1.0, 2.0, 3.0};
    double easting[] = {7.0, 7.0, 7.0}, northing[] = {7.0, 7.0, 7.0}, depth[] = {7.0, 7.0, 7.0},
           across[] = {7.0, 7.0, 7.0};
    beamora->PotitonBeams(3, angle, time, roll, easting, northing, depth, across);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(easting[i], 7.0);
        EXPECT_EQ(northing[i], 7.0);
        EXPECT_EQ(depth[i], 7.0);
        EXPECT_EQ(across[i], 7.0);
    }
}

}  // namespace
