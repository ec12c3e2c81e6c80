// The calculator's reading of the record, the ellipsoid geometry and the three projections, checked
// against GeographicLib as an independent reference.

#include <gtest/gtest.h>

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/LambertConformalConic.hpp>
#include <GeographicLib/TransverseMercator.hpp>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>

#include "geodesy/CoordinateCal.h"

namespace geodesy {
namespace {

constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84InvF = 298.257223563;
constexpr double kWgs84B = 6356752.314245179;  // a (1 - f)

template <std::size_t N>
void Set(char (&field)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
}

ParaOfGeo Projection(int type, const char* scale, const char* centralMeridian = "117000000000E") {
    ParaOfGeo p;
    p.ProjectionType = type;
    Set(p.ScaleRadio, scale);
    Set(p.CentralMeridian, centralMeridian);
    return p;
}

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// --- Reading the record -----------------------------------------------------------------------------

TEST(CoordinateCalLoad, FreshCalculatorHoldsTheDefaultsAndIsNotReady) {
    const CCoordinateCal cal;
    EXPECT_FALSE(cal.IsReady());
    EXPECT_EQ(cal.Values().targetA, kWgs84A);
    EXPECT_NEAR(cal.Values().targetB, kWgs84B, 1e-6);
    EXPECT_EQ(cal.Values().centralMeridian, 117.0);
    EXPECT_EQ(cal.Values().falseEasting, 500000.0);
    EXPECT_EQ(cal.Values().projectionType, kProjectionTransverseMercator);
}

TEST(CoordinateCalLoad, InverseFlatteningNotAboveLimitKeepsThePreviousSemiMinorAxis) {
    // A first record without a usable flattening keeps WGS-84's semi-minor axis.
    ParaOfGeo p;
    Set(p.SourceFlattening, "0");
    Set(p.TargetSemimajor, "6378245.0");
    Set(p.TargetFlattening, "0.00001");
    CCoordinateCal cal;
    cal.Load(p);
    EXPECT_TRUE(cal.IsReady());
    EXPECT_NEAR(cal.Values().sourceB, kWgs84B, 1e-6);
    EXPECT_NEAR(cal.Values().targetB, kWgs84B, 1e-6);
    EXPECT_EQ(cal.Values().targetA, 6378245.0);

    // After a Beijing54 target, an inverse flattening of 0 keeps Beijing54's semi-minor axis.
    Set(p.TargetFlattening, "298.3");
    cal.Load(p);
    const double beijingB = 6378245.0 - 6378245.0 / 298.3;
    EXPECT_DOUBLE_EQ(cal.Values().targetB, beijingB);
    Set(p.TargetFlattening, "garbage");
    Set(p.TargetSemimajor, "6378137.0");
    cal.Load(p);
    EXPECT_DOUBLE_EQ(cal.Values().targetB, beijingB);
    EXPECT_EQ(cal.Values().targetA, 6378137.0);
}

TEST(CoordinateCalLoad, AngleFieldsOfAnotherLengthTakeTheirDefaults) {
    ParaOfGeo p;
    Set(p.CentralMeridian, "120000000000");  // 12 characters
    Set(p.DatumLatitude, "3000000000N");     // 11 characters
    Set(p.PTransRa, "-00000100000");         // 12 characters
    CCoordinateCal cal;
    cal.Load(p);
    EXPECT_EQ(cal.Values().centralMeridian, 117.0);
    EXPECT_EQ(cal.Values().datumLatitude, 0.0);
    EXPECT_EQ(cal.Values().planeRotation, 0.0);

    Set(p.CentralMeridian, "120300000000W");
    Set(p.DatumLatitude, "30000000000S");
    cal.Load(p);
    EXPECT_EQ(cal.Values().centralMeridian, -120.5);
    EXPECT_EQ(cal.Values().datumLatitude, -30.0);
}

// --- Ellipsoid geometry -----------------------------------------------------------------------------

TEST(CoordinateCalGeocentric, AgreesWithGeographicLibBothWays) {
    const GeographicLib::Geocentric reference(kWgs84A, 1 / kWgs84InvF);
    const CCoordinateCal cal;
    double worstXyz = 0;
    double worstB = 0;
    double worstL = 0;
    double worstH = 0;
    for (double B = -89.5; B <= 90.0; B += 4.5) {
        for (double L = -179.0; L <= 180.0; L += 23.0) {
            for (double H : {-6000.0, 0.0, 35.5, 12000.0, 1.0e6}) {
                double X, Y, Z, Xr, Yr, Zr;
                cal.BLHToXYZ(B, L, H, kWgs84A, kWgs84B, X, Y, Z);
                reference.Forward(B, L, H, Xr, Yr, Zr);
                worstXyz = std::max(worstXyz, std::hypot(X - Xr, Y - Yr, Z - Zr));

                double Bc, Lc, Hc;
                cal.XYZToBLH(Xr, Yr, Zr, kWgs84A, kWgs84B, Bc, Lc, Hc);
                worstB = std::max(worstB, std::fabs(Bc - B));
                worstL = std::max(worstL, std::fabs(Lc - L));
                worstH = std::max(worstH, std::fabs(Hc - H));
            }
        }
    }
    // Both sides are closed forms or iterate to the last bits; what remains is rounding, including
    // that of the subsystem's shortened pi (1e-15 relative, 2e-8 m at 7000 km).
    EXPECT_LT(worstXyz, 5e-8);
    EXPECT_LT(worstB, 1e-12);
    EXPECT_LT(worstL, 1e-12);
    EXPECT_LT(worstH, 1e-7);
}

TEST(CoordinateCalGeocentric, LongitudeQuadrantsAndAxes) {
    const CCoordinateCal cal;
    struct Case {
        double X, Y, expectedL;
    };
    const Case cases[] = {
        {1e6, 1e6, 45.0}, {-1e6, 1e6, 135.0},   {-1e6, -1e6, -135.0}, {1e6, -1e6, -45.0},
        {0.0, 1e6, 90.0}, {1e-16, -1e6, -90.0}, {1e6, 0.0, 0.0},      {-1e6, -1e-16, 180.0},
    };
    for (const auto& c : cases) {
        double B, L, H;
        cal.XYZToBLH(c.X, c.Y, 4e6, kWgs84A, kWgs84B, B, L, H);
        EXPECT_NEAR(L, c.expectedL, 1e-12) << c.X << ", " << c.Y;
    }
}

TEST(CoordinateCalGeocentric, PolarAxisAndPointsBesideIt) {
    const CCoordinateCal cal;
    double B, L, H;
    cal.XYZToBLH(0.0, 0.0, kWgs84B + 25.0, kWgs84A, kWgs84B, B, L, H);
    EXPECT_EQ(B, 90.0);
    EXPECT_EQ(L, 0.0);
    EXPECT_NEAR(H, 25.0, 1e-8);
    cal.XYZToBLH(0.0, 0.0, -kWgs84B + 3.0, kWgs84A, kWgs84B, B, L, H);
    EXPECT_EQ(B, -90.0);
    EXPECT_NEAR(H, -3.0, 1e-8);

    // A millimetre to a hundred metres off the axis the height keeps its precision.
    const GeographicLib::Geocentric reference(kWgs84A, 1 / kWgs84InvF);
    for (double p : {1e-3, 1.0, 100.0}) {
        double Br, Lr, Hr;
        reference.Reverse(p, 0.0, kWgs84B + 10.0, Br, Lr, Hr);
        cal.XYZToBLH(p, 0.0, kWgs84B + 10.0, kWgs84A, kWgs84B, B, L, H);
        EXPECT_NEAR(H, Hr, 1e-7) << p;
        EXPECT_NEAR(B, Br, 1e-12) << p;
    }
}

TEST(CoordinateCalGeocentric, NonFiniteInputEndsWithoutAResult) {
    const CCoordinateCal cal;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    double B, L, H;
    cal.XYZToBLH(nan, 1e6, 1e6, kWgs84A, kWgs84B, B, L, H);
    EXPECT_TRUE(std::isnan(B));
    cal.XYZToBLH(1e6, 1e6, inf, kWgs84A, kWgs84B, B, L, H);
    EXPECT_FALSE(std::isfinite(H));
}

// --- Transverse Mercator and UTM ----------------------------------------------------------------------

struct SeriesBand {
    double maxLatitude;
    double maxOffset;         // degrees from the central meridian
    double forwardTolerance;  // m
    double inverseTolerance;  // m
};

// Honest accuracy of the series against the exact projection. Forward, the meridian arc ends at its
// e⁶ term: up to 0.96 mm near 70° of latitude, 0.03 mm up to 30°; the terms in the longitude offset
// add under 0.1 mm within 3°. Inverse, the footpoint series without its n⁴ sin 8μ term costs up to
// 0.25 mm, and 0.45 mm with the offset terms at 3°.
const SeriesBand kBands[] = {
    {30.0, 1.0, 0.05e-3, 0.15e-3},
    {30.0, 3.0, 0.15e-3, 0.30e-3},
    {85.0, 1.0, 1.0e-3, 0.30e-3},
    {85.0, 3.0, 1.0e-3, 0.50e-3},
};

TEST(CoordinateCalTransverseMercator, BothTypesAgreeWithGeographicLib) {
    for (int type : {kProjectionUtm, kProjectionTransverseMercator}) {
        const double k0 = type == kProjectionUtm ? 0.9996 : 1.0;
        const GeographicLib::TransverseMercator reference(kWgs84A, 1 / kWgs84InvF, k0);
        CCoordinateCal cal;
        ParaOfGeo p = Projection(type, type == kProjectionUtm ? "0.9996" : "1.0", "117000000000E");
        Set(p.NorthConst, "1000000.0");
        cal.Load(p);
        for (const auto& band : kBands) {
            double worstForward = 0;
            double worstInverse = 0;
            for (double B = -band.maxLatitude; B <= band.maxLatitude; B += band.maxLatitude / 17) {
                for (double l = -band.maxOffset; l <= band.maxOffset; l += band.maxOffset / 6) {
                    double x, y, E, N;
                    cal.BLToXY(B, 117.0 + l, x, y);
                    reference.Forward(117.0, B, 117.0 + l, E, N);
                    worstForward = std::max(worstForward, std::hypot(x - 1000000.0 - N, y - 500000.0 - E));

                    double Bc, Lc, Br, Lr;
                    cal.XYToBL(x, y, Bc, Lc);
                    reference.Reverse(117.0, y - 500000.0, x - 1000000.0, Br, Lr);
                    const double metresPerDegree = Radians(1.0) * kWgs84A;
                    worstInverse =
                        std::max(worstInverse,
                                 metresPerDegree * std::hypot(Bc - Br, (Lc - Lr) * std::cos(Radians(B))));
                }
            }
            EXPECT_LT(worstForward, band.forwardTolerance)
                << "type " << type << " |B| <= " << band.maxLatitude << " |l| <= " << band.maxOffset;
            EXPECT_LT(worstInverse, band.inverseTolerance)
                << "type " << type << " |B| <= " << band.maxLatitude << " |l| <= " << band.maxOffset;
        }
    }
}

TEST(CoordinateCalTransverseMercator, CentralMeridianGivesFalseEastingExactlyAndScaledMeridianArc) {
    CCoordinateCal cal;
    cal.Load(Projection(kProjectionUtm, "0.9996"));
    const GeographicLib::TransverseMercator reference(kWgs84A, 1 / kWgs84InvF, 0.9996);
    for (double B : {-60.0, -10.0, 0.0, 22.5, 45.0, 70.0}) {
        double x, y, E, N;
        cal.BLToXY(B, 117.0, x, y);
        reference.Forward(117.0, B, 117.0, E, N);
        EXPECT_EQ(y, 500000.0) << B;
        EXPECT_NEAR(x, N, 1e-3) << B;  // k0 times the meridian arc
    }
}

TEST(CoordinateCalProjection, LongitudeDifferencesAreFoldedBothWays) {
    // L = -170 with L0 = 170 is 20° east of the central meridian, as L = 30 is with L0 = 10.
    CCoordinateCal far;
    far.Load(Projection(kProjectionTransverseMercator, "1.0", "170000000000E"));
    CCoordinateCal near;
    near.Load(Projection(kProjectionTransverseMercator, "1.0", "010000000000E"));
    double xf, yf, xn, yn;
    far.BLToXY(35.0, -170.0, xf, yf);
    near.BLToXY(35.0, 30.0, xn, yn);
    EXPECT_EQ(xf, xn);
    EXPECT_EQ(yf, yn);
    far.BLToXY(35.0, 150.0, xf, yf);
    EXPECT_LT(yf, 500000.0);  // 20° west

    // The inverse brings a longitude past 180 back into range.
    CCoordinateCal edge;
    edge.Load(Projection(kProjectionTransverseMercator, "1.0", "179000000000E"));
    double x, y, B, L;
    edge.BLToXY(10.0, -179.0, x, y);
    edge.XYToBL(x, y, B, L);
    EXPECT_NEAR(L, -179.0, 1e-8);
    EXPECT_NEAR(B, 10.0, 1e-8);
}

// --- Mercator -------------------------------------------------------------------------------------------

TEST(CoordinateCalMercator, AgreesWithGeographicLibForTrueScaleLatitudes) {
    for (const char* datumLatitude : {"00000000000N", "30000000000N", "22300000000S"}) {
        ParaOfGeo p = Projection(kProjectionMercator, "1.0");
        Set(p.DatumLatitude, datumLatitude);
        CCoordinateCal cal;
        cal.Load(p);
        const double b0 = std::fabs(cal.Values().datumLatitude);
        // GeographicLib's conformal conic with standard parallels ±B0 is the Mercator projection with
        // true scale at B0.
        const GeographicLib::LambertConformalConic reference =
            b0 == 0.0 ? GeographicLib::LambertConformalConic(kWgs84A, 1 / kWgs84InvF, 0.0, 1.0)
                      : GeographicLib::LambertConformalConic(kWgs84A, 1 / kWgs84InvF, b0, -b0, 1.0);
        double worst = 0;
        for (double B = -85.0; B <= 85.0; B += 8.5) {
            for (double l = -120.0; l <= 120.0; l += 15.0) {
                double x, y, E, N, gamma, k;
                cal.BLToXY(B, 117.0 + l, x, y);
                reference.Forward(117.0, B, 117.0 + l, E, N, gamma, k);
                worst = std::max(worst, std::hypot(x - N, y - 500000.0 - E));
            }
        }
        EXPECT_LT(worst, 1e-6) << datumLatitude;
    }
}

TEST(CoordinateCalMercator, InverseMeetsTheForwardToRounding) {
    ParaOfGeo p = Projection(kProjectionMercator, "0.9998");
    Set(p.DatumLatitude, "45000000000N");
    Set(p.NorthConst, "-200000.0");
    CCoordinateCal cal;
    cal.Load(p);
    for (double B = -84.0; B <= 84.0; B += 6.0) {
        for (double L : {-63.0, 0.5, 117.0, 179.9}) {
            double x, y, Bc, Lc;
            cal.BLToXY(B, L, x, y);
            cal.XYToBL(x, y, Bc, Lc);
            EXPECT_NEAR(Bc, B, 1e-12) << B << ", " << L;
            EXPECT_NEAR(Lc, L, 1e-12) << B << ", " << L;
        }
    }
    // Far beyond the poles the iteration still ends, at the pole.
    double B, L;
    cal.XYToBL(1e9, 500000.0, B, L);
    EXPECT_NEAR(B, 90.0, 1e-9);
    cal.XYToBL(-1e9, 500000.0, B, L);
    EXPECT_NEAR(B, -90.0, 1e-9);
}

TEST(CoordinateCalProjection, TypesOutsideTheTableGiveZero) {
    for (int type : {-1, 3, 1000}) {
        ParaOfGeo p;
        p.ProjectionType = type;
        CCoordinateCal cal;
        cal.Load(p);
        double x = 1, y = 1, B = 1, L = 1;
        cal.BLToXY(30.0, 117.0, x, y);
        cal.XYToBL(3000000.0, 500000.0, B, L);
        EXPECT_EQ(x, 0.0);
        EXPECT_EQ(y, 0.0);
        EXPECT_EQ(B, 0.0);
        EXPECT_EQ(L, 0.0);
    }
}

}  // namespace
}  // namespace geodesy
