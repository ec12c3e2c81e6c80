// Datum, plane and height steps and the two chains GeoToGrid and GridToGeo.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "geodesy/CoordinateCal.h"

namespace geodesy {
namespace {

constexpr double kArcSecond = kPi / 180.0 / 3600.0;

template <std::size_t N>
void Set(char (&field)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
}

CCoordinateCal Loaded(const ParaOfGeo& p) {
    CCoordinateCal cal;
    cal.Load(p);
    return cal;
}

void SetDatum(ParaOfGeo& p, const char* dx, const char* dy, const char* dz, const char* rx, const char* ry,
              const char* rz, const char* sc) {
    p.ETransType = 1;
    Set(p.ETransDx, dx);
    Set(p.ETransDy, dy);
    Set(p.ETransDz, dz);
    Set(p.ETransRx, rx);
    Set(p.ETransRy, ry);
    Set(p.ETransRz, rz);
    Set(p.ETransSc, sc);
}

// --- Seven-parameter step -----------------------------------------------------------------------------

struct BursaCase {
    const char* what;
    const char* params[7];  // Dx Dy Dz (m), Rx Ry Rz (arc-seconds), scale (ppm)
    double in[3];
    double out[3];
};

// One parameter at a time pins the units and the sense of each rotation (coordinate frame).
TEST(BursaTransform, EachParameterActsWithItsUnitAndSense) {
    const double r = 6.0e6 * kArcSecond;  // 1 arc-second at 6000 km
    const BursaCase cases[] = {
        {"translation",
         {"1.5", "-2", "3", "0", "0", "0", "0"},
         {1e6, 2e6, 3e6},
         {1e6 + 1.5, 2e6 - 2, 3e6 + 3}},
        {"Rx", {"0", "0", "0", "1", "0", "0", "0"}, {0, 6e6, 6e6}, {0, 6e6 + r, 6e6 - r}},
        {"Ry", {"0", "0", "0", "0", "1", "0", "0"}, {6e6, 0, 6e6}, {6e6 - r, 0, 6e6 + r}},
        {"Rz", {"0", "0", "0", "0", "0", "1", "0"}, {6e6, 6e6, 0}, {6e6 + r, 6e6 - r, 0}},
        {"scale", {"0", "0", "0", "0", "0", "0", "2"}, {6e6, -3e6, 1e6}, {6e6 + 12, -3e6 - 6, 1e6 + 2}},
    };
    for (const auto& c : cases) {
        ParaOfGeo p;
        SetDatum(p, c.params[0], c.params[1], c.params[2], c.params[3], c.params[4], c.params[5],
                 c.params[6]);
        const CCoordinateCal cal = Loaded(p);
        double out[3];
        cal.BursaForward(c.in[0], c.in[1], c.in[2], out[0], out[1], out[2]);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], c.out[i], 1e-8) << c.what << " axis " << i;
    }
}

TEST(BursaTransform, InverseIsExactForLargeRotationsAndScale) {
    // With 100" rotations, undoing the step with negated parameters would leave metre errors.
    ParaOfGeo p;
    SetDatum(p, "-150", "300", "80", "100", "-80", "60", "40");
    const CCoordinateCal cal = Loaded(p);
    const double points[][3] = {{6378137.0, 0, 0}, {-2.1e6, 4.9e6, 3.4e6}, {1.0e5, -2.0e5, -6.35e6}};
    for (const auto& in : points) {
        double f[3], back[3];
        cal.BursaForward(in[0], in[1], in[2], f[0], f[1], f[2]);
        cal.BursaInverse(f[0], f[1], f[2], back[0], back[1], back[2]);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], in[i], 1e-8);
    }
}

// --- Four-parameter step ------------------------------------------------------------------------------

struct PlaneCase {
    const char* what;
    const char* rotation;
    const char* scale;
    const char* north;
    const char* east;
    double in[2];
    double out[2];
};

TEST(PlaneTransform, RotationScaleAndShiftAndTheInverse) {
    const double tenSeconds = 10 * kArcSecond;
    const PlaneCase cases[] = {
        {"minus ten seconds",
         "-000001000000",
         "1.0",
         "0",
         "0",
         {1000, 0},
         {1000 * std::cos(tenSeconds), -1000 * std::sin(tenSeconds)}},
        {"quarter turn, scale 2, shift", "+090000000000", "2.0", "10", "20", {1000, 500}, {-990, 2020}},
        {"rotation of another length is none", "-00000100000", "1.0", "0", "0", {1000, 250}, {1000, 250}},
    };
    for (const auto& c : cases) {
        ParaOfGeo p;
        p.PTransType = 1;
        Set(p.PTransRa, c.rotation);
        Set(p.PTransSc, c.scale);
        Set(p.PTransDx, c.north);
        Set(p.PTransDy, c.east);
        const CCoordinateCal cal = Loaded(p);
        double x, y;
        cal.PlaneForward(c.in[0], c.in[1], x, y);
        EXPECT_NEAR(x, c.out[0], 1e-9) << c.what;
        EXPECT_NEAR(y, c.out[1], 1e-9) << c.what;
        cal.PlaneInverse(x, y, x, y);
        EXPECT_NEAR(x, c.in[0], 1e-9) << c.what;
        EXPECT_NEAR(y, c.in[1], 1e-9) << c.what;
    }
}

TEST(PlaneTransform, ScaleWithoutAnInverseIsTakenAsOneBothWays) {
    for (const char* scale : {"0", "0.0", "-0", "none", "1e-320"}) {
        ParaOfGeo p;
        p.PTransType = 1;
        Set(p.PTransSc, scale);
        Set(p.PTransDx, "100");
        const CCoordinateCal cal = Loaded(p);
        EXPECT_EQ(cal.Values().planeScale, 1.0) << scale;
        double x, y, h, B, L, H;
        cal.GeoToGrid(31.5, 118.25, 12.0, x, y, h);
        cal.GridToGeo(x, y, h, B, L, H);
        EXPECT_NEAR(B, 31.5, 1e-8) << scale;
        EXPECT_NEAR(L, 118.25, 1e-8) << scale;
        EXPECT_DOUBLE_EQ(H, 12.0) << scale;
    }
}

// --- Height fitting -------------------------------------------------------------------------------

struct HeightCase {
    int type;
    const char* coefficients[8];  // A B C D E F X0 Y0
    double x, y, h;
    double expected;
};

TEST(HeightFit, SurfacesOfEachTypeAndTheInverse) {
    const HeightCase cases[] = {
        {2, {"1", "0.001", "0", "0", "0", "0", "1000", "0"}, 2000, 0, 10.0, 8.0},  // lowered by 2 m
        {1, {"1.5", "9", "9", "9", "9", "9", "0", "0"}, 2000, 3000, 10.0, 8.5},
        {3, {"1", "0.001", "0.002", "1e-6", "2e-6", "3e-6", "100", "200"}, 1100, 1200, 10.0, 0.0},
        {0, {"1", "1", "1", "1", "1", "1", "0", "0"}, 5, 5, 10.0, 10.0},
        {4, {"1", "1", "1", "1", "1", "1", "0", "0"}, 5, 5, 10.0, 10.0},
        {-1, {"1", "1", "1", "1", "1", "1", "0", "0"}, 5, 5, 10.0, 10.0},
    };
    for (const auto& c : cases) {
        ParaOfGeo p;
        p.HFittingType = c.type;
        char(*fields[])[32] = {&p.HFittingA, &p.HFittingB, &p.HFittingC,  &p.HFittingD,
                               &p.HFittingE, &p.HFittingF, &p.HFittingX0, &p.HFittingY0};
        for (int i = 0; i < 8; ++i) Set(*fields[i], c.coefficients[i]);
        const CCoordinateCal cal = Loaded(p);
        const double fitted = cal.HeightFitForward(c.x, c.y, c.h);
        EXPECT_NEAR(fitted, c.expected, 1e-12) << "type " << c.type;
        EXPECT_NEAR(cal.HeightFitInverse(c.x, c.y, fitted), c.h, 1e-12) << "type " << c.type;
    }
}

// --- Chains -----------------------------------------------------------------------------------------

const double kPoints[][3] = {
    {31.5, 118.25, 12.0}, {-45.0, 114.5, -30.0}, {0.0, 117.0, 0.0}, {59.0, 119.9, 450.0}, {12.25, 115.0, 3.5},
};

TEST(GeoToGrid, WithEveryStepOffIsTheBareProjection) {
    const CCoordinateCal cal = Loaded(DefaultParaOfGeo());
    for (const auto& pt : kPoints) {
        double x, y, h, px, py;
        cal.GeoToGrid(pt[0], pt[1], pt[2], x, y, h);
        cal.BLToXY(pt[0], pt[1], px, py);
        EXPECT_EQ(x, px);
        EXPECT_EQ(y, py);
        EXPECT_EQ(h, pt[2]);
    }
}

TEST(GeoToGrid, TypeValuesOtherThanOneLeaveTheirStepOff) {
    const CCoordinateCal plain = Loaded(DefaultParaOfGeo());
    for (int type : {2, -1, 7}) {
        ParaOfGeo p;
        SetDatum(p, "100", "100", "100", "5", "5", "5", "5");
        p.ETransType = type;
        p.PTransType = type;
        Set(p.PTransDx, "1000");
        p.HFittingType = type == 2 ? 4 : type;
        Set(p.HFittingA, "7");
        const CCoordinateCal cal = Loaded(p);
        double x, y, h, px, py, ph;
        cal.GeoToGrid(31.5, 118.25, 12.0, x, y, h);
        plain.GeoToGrid(31.5, 118.25, 12.0, px, py, ph);
        EXPECT_EQ(x, px) << type;
        EXPECT_EQ(y, py) << type;
        EXPECT_EQ(h, ph) << type;
    }
}

TEST(GeoToGrid, DatumStepWithZeroParametersOnOneEllipsoidIsTheIdentity) {
    ParaOfGeo p;
    SetDatum(p, "0", "0", "0", "0", "0", "0", "0");
    const CCoordinateCal datum = Loaded(p);
    const CCoordinateCal plain = Loaded(DefaultParaOfGeo());
    for (const auto& pt : kPoints) {
        double x, y, h, px, py, ph;
        datum.GeoToGrid(pt[0], pt[1], pt[2], x, y, h);
        plain.GeoToGrid(pt[0], pt[1], pt[2], px, py, ph);
        EXPECT_NEAR(x, px, 1e-7);  // 1e-15 rad of latitude is 6e-9 m
        EXPECT_NEAR(y, py, 1e-7);
        EXPECT_NEAR(h, ph, 1e-8);
    }
}

TEST(GeoToGrid, FinalTranslationComesAfterTheHeightFitting) {
    ParaOfGeo p;
    p.HFittingType = 2;
    Set(p.HFittingB, "0.001");
    Set(p.HFittingX0, "3000000");
    Set(p.CTransDx, "1000");
    Set(p.CTransDy, "-2000");
    Set(p.CTransDz, "5");
    const CCoordinateCal cal = Loaded(p);
    double px, py;
    cal.BLToXY(31.5, 118.25, px, py);
    double x, y, h;
    cal.GeoToGrid(31.5, 118.25, 12.0, x, y, h);
    EXPECT_DOUBLE_EQ(x, px + 1000);
    EXPECT_DOUBLE_EQ(y, py - 2000);
    EXPECT_NEAR(h, 12.0 - 0.001 * (px - 3000000) + 5, 1e-9);
}

// Every combination of steps returns the input through GridToGeo, to the accuracy of the projection:
// the series of types 0 and 1 keep the round trip within 2e-8° up to 3° from the central meridian
// (1e-8° measured), the closed-form Mercator within 1e-12°.
TEST(CoordinateChains, RoundTripForEveryCombinationOfSteps) {
    for (int datum : {0, 1}) {
        for (int plane : {0, 1}) {
            for (int height = 0; height <= 3; ++height) {
                for (int projection = 0; projection <= 2; ++projection) {
                    ParaOfGeo p;
                    Set(p.TargetSemimajor, "6378245.0");
                    Set(p.TargetFlattening, "298.3");
                    p.ProjectionType = projection;
                    Set(p.ScaleRadio, projection == 0 ? "0.9996" : "1.0");
                    Set(p.DatumLatitude, "30000000000N");
                    Set(p.ProjectonAltitude, "35.0");
                    SetDatum(p, "-15.415", "157.025", "94.74", "1.465", "-0.312", "-0.08", "-0.838");
                    p.ETransType = datum;
                    p.PTransType = plane;
                    Set(p.PTransDx, "-3000100.5");
                    Set(p.PTransDy, "-400200.25");
                    Set(p.PTransRa, "+001020300000");
                    Set(p.PTransSc, "1.0001");
                    p.HFittingType = height;
                    Set(p.HFittingA, "-2.5");
                    Set(p.HFittingB, "1e-5");
                    Set(p.HFittingC, "-2e-5");
                    Set(p.HFittingD, "1e-11");
                    Set(p.HFittingE, "-1e-11");
                    Set(p.HFittingF, "2e-11");
                    Set(p.HFittingX0, "3500000");
                    Set(p.HFittingY0, "500000");
                    Set(p.CTransDx, "10");
                    Set(p.CTransDy, "20");
                    Set(p.CTransDz, "3");
                    const CCoordinateCal cal = Loaded(p);
                    const double tolerance = projection == 2 ? 1e-12 : 2e-8;
                    for (double B = -60.0; B <= 60.0; B += 7.5) {
                        for (double l = -2.95; l <= 2.95; l += 0.59) {
                            for (double H : {-40.0, 250.0}) {
                                double x, y, h, Bb, Lb, Hb;
                                cal.GeoToGrid(B, 117.0 + l, H, x, y, h);
                                cal.GridToGeo(x, y, h, Bb, Lb, Hb);
                                ASSERT_NEAR(Bb, B, tolerance) << datum << plane << height << projection;
                                ASSERT_NEAR(Lb, 117.0 + l, tolerance)
                                    << datum << plane << height << projection;
                                ASSERT_NEAR(Hb, H, 1e-6) << datum << plane << height << projection;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(CoordinateChains, HostileRecordConvertsWithoutFault) {
    // Every byte 0xFF: unreadable texts read as 0 and the -1 types switch every step off.
    std::vector<std::uint8_t> bytes(kParaOfGeoBlockSize, 0xFF);
    ParaOfGeo p;
    ASSERT_TRUE(FromBlock(bytes, p));
    const CCoordinateCal cal = Loaded(p);
    double x, y, h, B, L, H;
    cal.GeoToGrid(31.5, 118.25, 12.0, x, y, h);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(h, 12.0);
    cal.GridToGeo(3000000.0, 500000.0, 12.0, B, L, H);
    EXPECT_EQ(B, 0.0);
    EXPECT_EQ(L, 0.0);
    EXPECT_EQ(H, 12.0);
}

}  // namespace
}  // namespace geodesy
