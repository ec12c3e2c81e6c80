// Transducer position from the antenna position: checked against an attitude built from elementary
// rotations about the vessel's axes, with the sensor's roll and pitch read off the rotated axes.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "BeamoraTestSupport.h"

namespace {

using beamora_test::kDeg;
using beamora_test::MakeBeamora;

// Right-handed frame: x starboard, y forward, z up.
using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;

// Right-handed rotation by `angle` about the unit axis k (Rodrigues' formula).
Mat AxisRotation(const Vec& k, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const Mat cross{{{0.0, -k[2], k[1]}, {k[2], 0.0, -k[0]}, {-k[1], k[0], 0.0}}};
    Mat m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            m[i][j] = (i == j ? c : 0.0) + (1.0 - c) * k[i] * k[j] + s * cross[i][j];
        }
    }
    return m;
}

Mat Multiply(const Mat& a, const Mat& b) {
    Mat m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                m[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return m;
}

Vec Apply(const Mat& m, const Vec& v) {
    Vec r{};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            r[i] += m[i][k] * v[k];
        }
    }
    return r;
}

struct LeverArmCase {
    const char* name;
    double bodyRollDeg;  // rotation about the forward axis (starboard down positive)
    double pitchDeg;     // then about the level starboard axis (bow up positive)
    double headingDeg;
    double heave;
    float transducer[3];
    float gps[3];
    float mruRollDeg;
    float mruPitchDeg;
};

void PrintTo(const LeverArmCase& c, std::ostream* os) {
    *os << c.name;
}

class BeamoraLeverArm : public ::testing::TestWithParam<LeverArmCase> {};

TEST_P(BeamoraLeverArm, MatchesRotatedOffsets) {
    const LeverArmCase& c = GetParam();
    auto beamora = MakeBeamora();
    beamora->SetInstallTransducer(c.transducer[0], c.transducer[1], c.transducer[2], 0.0f, 0.0f, 0.0f, 0.0f);
    // The antenna's angles and the motion sensor's lever arm and yaw play no part.
    beamora->SetInstallGPS(c.gps[0], c.gps[1], c.gps[2], 11.0f, -7.0f, 30.0f, 0.2f);
    beamora->SetInstallMRU(0.4f, -1.1f, 0.9f, c.mruRollDeg, c.mruPitchDeg, 12.0f, 0.05f);
    const CInstallPara transducer = beamora->GetInstallTransducer();
    const CInstallPara gps = beamora->GetInstallGPS();
    const CInstallPara mru = beamora->GetInstallMRU();

    const Mat attitude = Multiply(AxisRotation({1.0, 0.0, 0.0}, c.pitchDeg * kDeg),
                                  AxisRotation({0.0, 1.0, 0.0}, c.bodyRollDeg * kDeg));
    // What the motion sensor reports: the angle of the starboard axis below and of the forward axis
    // above the horizontal, plus its own mounting angles.
    const double sensorRoll = std::asin(-Apply(attitude, {1.0, 0.0, 0.0})[2]) + mru.roll;
    const double sensorPitch = std::asin(Apply(attitude, {0.0, 1.0, 0.0})[2]) + mru.pitch;
    // Heading turns clockwise seen from above: a right-handed turn by -heading about the up axis.
    const Mat toGrid = Multiply(AxisRotation({0.0, 0.0, 1.0}, -c.headingDeg * kDeg), attitude);
    const auto inGrid = [&](const CInstallPara& a) { return Apply(toGrid, {a.x, a.y, -a.z}); };
    const Vec t = inGrid(transducer);
    const Vec g = inGrid(gps);
    const double antennaE = 512345.678;
    const double antennaN = 3456789.012;

    beamora->SetMotion(sensorRoll / kDeg, sensorPitch / kDeg, c.heave, c.headingDeg);
    const CFPoint result = beamora->PosGPSToTransducer(antennaE, antennaN, 17.5);

    EXPECT_NEAR(result.x, antennaE + t[0] - g[0], 1e-8);
    EXPECT_NEAR(result.y, antennaN + t[1] - g[1], 1e-8);
    EXPECT_NEAR(result.z, -t[2] - c.heave, 1e-9);
    const CFPoint stored = beamora->GetPosTransducer();
    EXPECT_EQ(stored.x, result.x);
    EXPECT_EQ(stored.y, result.y);
    EXPECT_EQ(stored.z, result.z);
}

INSTANTIATE_TEST_SUITE_P(
    Attitudes, BeamoraLeverArm,
    ::testing::Values(
        LeverArmCase{"Level", 0.0, 0.0, 0.0, 0.0, {1.5f, 2.0f, 3.0f}, {-0.5f, -4.0f, -12.0f}, 0.0f, 0.0f},
        LeverArmCase{"RollOnly", 10.0, 0.0, 0.0, 0.0, {1.5f, 2.0f, 3.0f}, {-0.5f, -4.0f, -12.0f}, 0.0f, 0.0f},
        LeverArmCase{
            "PitchOnly", 0.0, -7.0, 0.0, 0.0, {1.5f, 2.0f, 3.0f}, {-0.5f, -4.0f, -12.0f}, 0.0f, 0.0f},
        LeverArmCase{
            "HeadingOnly", 0.0, 0.0, 90.0, 0.0, {1.5f, 2.0f, 3.0f}, {-0.5f, -4.0f, -12.0f}, 0.0f, 0.0f},
        LeverArmCase{"AllWithSensorOffsets",
                     15.0,
                     8.0,
                     237.0,
                     0.6,
                     {1.25f, 6.5f, 2.75f},
                     {-2.0f, -9.5f, -14.0f},
                     1.5f,
                     -2.0f},
        LeverArmCase{"PortDownBowUp",
                     -25.0,
                     20.0,
                     359.5,
                     -1.2,
                     {-3.0f, 0.5f, 4.0f},
                     {2.0f, 1.0f, -8.0f},
                     -0.5f,
                     0.75f},
        LeverArmCase{"Steep", 40.0, -45.0, 90.0, 0.3, {2.0f, -6.0f, 5.0f}, {0.0f, 0.0f, -20.0f}, 0.0f, 3.0f}),
    [](const ::testing::TestParamInfo<LeverArmCase>& caseInfo) { return std::string(caseInfo.param.name); });

TEST(BeamoraLeverArmCalls, OverloadsAgree) {
    auto beamora = MakeBeamora();
    beamora->SetInstallTransducer(1.0f, 3.0f, 2.5f, 0.0f, 0.0f, 0.0f, 0.0f);
    beamora->SetInstallGPS(-1.0f, -2.0f, -10.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    beamora->SetMotion(4.0, -3.0, 0.25, 135.0);
    const CFPoint reference = beamora->PosGPSToTransducer(CFPoint(1000.0, 2000.0, 5.0));

    auto other = MakeBeamora();
    *other = *beamora;
    other->SetMotion(0.0, 0.0, 0.0, 0.0);
    other->SetPosGPS(1000.0, 2000.0, 5.0);
    const CFPoint viaMotion[] = {
        other->PosGPSToTransducer(CFPoint(1000.0, 2000.0, 5.0), 4.0, -3.0, 0.25, 135.0),
        other->PosGPSToTransducer(1000.0, 2000.0, 5.0, 4.0, -3.0, 0.25, 135.0),
        other->PosGPSToTransducer(),
        other->PosGPSToTransducer(1000.0, 2000.0, 5.0),
    };
    for (const CFPoint& p : viaMotion) {
        EXPECT_EQ(p.x, reference.x);
        EXPECT_EQ(p.y, reference.y);
        EXPECT_EQ(p.z, reference.z);
    }
    EXPECT_EQ(other->GetPosGPS().x, 1000.0);
    EXPECT_NE(reference.x, 1000.0);  // the lever arms moved it
}

struct RefusedCase {
    const char* name;
    double roll, pitch, heave, heading;
    float mruPitchDeg;
    double antennaE;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class BeamoraLeverArmRefused : public ::testing::TestWithParam<RefusedCase> {};

// An attitude beyond 80 degrees of pitch, one without a real solution, or a value that is not finite
// gives (0, 0, 0) and leaves the stored transducer position as it was.
TEST_P(BeamoraLeverArmRefused, GivesZeroAndKeepsThePosition) {
    const RefusedCase& c = GetParam();
    auto beamora = MakeBeamora();
    beamora->SetInstallTransducer(1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    beamora->SetInstallMRU(0.0f, 0.0f, 0.0f, 0.0f, c.mruPitchDeg, 0.0f, 0.0f);
    beamora->SetPosTransducer(7.0, 8.0, 9.0);
    beamora->SetMotion(c.roll, c.pitch, c.heave, c.heading);

    const CFPoint result = beamora->PosGPSToTransducer(c.antennaE, 200.0, 0.0);

    EXPECT_EQ(result.x, 0.0);
    EXPECT_EQ(result.y, 0.0);
    EXPECT_EQ(result.z, 0.0);
    const CFPoint kept = beamora->GetPosTransducer();
    EXPECT_EQ(kept.x, 7.0);
    EXPECT_EQ(kept.y, 8.0);
    EXPECT_EQ(kept.z, 9.0);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, BeamoraLeverArmRefused,
    ::testing::Values(RefusedCase{"Pitch81", 0.0, 81.0, 0.0, 0.0, 0.0f, 100.0},
                      RefusedCase{"PitchMinus80Point5", 2.0, -80.5, 0.0, 0.0, 0.0f, 100.0},
                      // sin(60°) / cos(70°) > 1: no body roll gives that sensor roll.
                      RefusedCase{"RollWithoutSolution", 60.0, 70.0, 0.0, 0.0, 0.0f, 100.0},
                      // The sensor's mounting turns 75° of pitch into 90°.
                      RefusedCase{"PitchTermAtRightAngle", 1.0, 75.0, 0.0, 0.0, -15.0f, 100.0},
                      RefusedCase{"HeadingNaN", 0.0, 0.0, 0.0, kNaN, 0.0f, 100.0},
                      RefusedCase{"PitchNaN", 0.0, kNaN, 0.0, 0.0, 0.0f, 100.0},
                      RefusedCase{"HeaveInfinite", 0.0, 0.0, kInf, 0.0, 0.0f, 100.0},
                      RefusedCase{"AntennaNaN", 0.0, 0.0, 0.0, 0.0, 0.0f, kNaN}),
    [](const ::testing::TestParamInfo<RefusedCase>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
