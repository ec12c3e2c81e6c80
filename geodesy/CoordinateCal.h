#pragma once
// The coordinate calculator: turns a ParaOfGeo record into numbers and converts between geographic
// coordinates on the source ellipsoid and the project's grid. A grid point is (x, y) with x the
// northing and y the easting, in that order everywhere. Angles are decimal degrees at every public
// function, latitude positive north and longitude positive east; lengths and heights are metres.
//
// One calculator per program. The owner places a record with Parameters(), calls LoadParameters and
// then sets the ready flag (Load does all three). The computations only read the object, so several
// threads may convert at once as long as nobody reloads it meanwhile; reloads are the owner's to
// serialise.

#include <cstdint>

#include "geodesy/ParaOfGeo.h"

namespace geodesy {

// The angle constant of the whole subsystem (deliberately not the full double-precision value);
// every degree/radian conversion uses it, so results stay consistent across the programs that share
// grid files.
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kQuarterPi = kPi / 4;  // 0.7853981633974475
inline constexpr double kHalfPi = kPi / 2;     // 1.570796326794895

// Projection types of ParaOfGeo::ProjectionType.
enum ProjectionKind : int { kProjectionUtm = 0, kProjectionTransverseMercator = 1, kProjectionMercator = 2 };

// The numbers LoadParameters derives from the record, in the record's order.
struct CoordinateValues {
    int sourceEllipsoid = 0;
    double sourceA = 0;  // semi-major, m
    double sourceB = 0;  // semi-minor, m
    int targetEllipsoid = 0;
    double targetA = 0;
    double targetB = 0;
    int projectionType = 0;
    std::uint8_t addBandnumber = 0;  // stored only
    std::uint8_t positiveSouth = 0;  // stored only
    std::uint8_t positiveWest = 0;   // stored only
    double centralMeridian = 0;      // L0, degrees
    double falseNorthing = 0;
    double falseEasting = 0;
    double scale = 0;               // k0
    double projectionAltitude = 0;  // h_p, m
    double datumLatitude = 0;       // B0, degrees; latitude of true scale of the Mercator projection
    double northParallel = 0;       // degrees; stored only
    double southParallel = 0;       // degrees; stored only
    double skewAzimuth = 0;         // stored only

    int datumType = 0;              // 1: seven-parameter transformation
    double dx = 0, dy = 0, dz = 0;  // m
    double rx = 0, ry = 0, rz = 0;  // radians
    double datumScale = 0;          // m, dimensionless (ppm × 1e-6)

    int planeType = 0;              // 1: four-parameter transformation
    std::uint8_t planeNorthDR = 0;  // stored only
    std::uint8_t planeEastDR = 0;   // stored only
    double planeNorthShift = 0;     // ΔN, m
    double planeEastShift = 0;      // ΔE, m
    double planeRotation = 0;       // θ, radians
    double planeScale = 1;          // k as used by both directions (see LoadParameters)
    double planeOriginNorth = 0;    // stored only

    int heightType = 0;  // 1 fixed difference, 2 plane, 3 surface
    double hA = 0, hB = 0, hC = 0, hD = 0, hE = 0, hF = 0;
    double hX0 = 0, hY0 = 0;  // origin of the fitting surface: northing, easting

    double tx = 0, ty = 0, th = 0;  // final translation of northing, easting and height
};

class CCoordinateCal {
  public:
    // Starts from the default record, loaded, so that every derived value has a defined starting value
    // (a first record without a usable inverse flattening keeps WGS-84's semi-minor axis). Not ready.
    CCoordinateCal();
    virtual ~CCoordinateCal();

    // The record copy that LoadParameters reads.
    ParaOfGeo& Parameters() { return para_; }
    const ParaOfGeo& Parameters() const { return para_; }

    // Derives every value from the record copy; no partial update.
    void LoadParameters();

    // Copies `record` in, loads it and sets the ready flag.
    void Load(const ParaOfGeo& record);

    // Set by the owner after a successful load; the computations do not look at it.
    bool IsReady() const { return ready_ != 0; }
    void SetReady(bool ready) { ready_ = ready ? 1 : 0; }

    const CoordinateValues& Values() const { return v_; }

    // --- Chains used by the rest of the system -----------------------------------------------------

    // Latitude, longitude (degrees) and ellipsoidal height on the source ellipsoid to grid northing,
    // easting and height: datum transformation, projection, plane transformation, height fitting,
    // final translation.
    void GeoToGrid(double B, double L, double H, double& x, double& y, double& h) const;
    // The reverse chain.
    void GridToGeo(double x, double y, double h, double& B, double& L, double& H) const;

    // --- Ellipsoid geometry and projections --------------------------------------------------------

    // Geodetic (degrees, m) to Earth-centred coordinates on the ellipsoid with semi-axes a and b.
    void BLHToXYZ(double B, double L, double H, double a, double b, double& X, double& Y, double& Z) const;
    void XYZToBLH(double X, double Y, double Z, double a, double b, double& B, double& L, double& H) const;

    // Forward and inverse projection of the current type on the target ellipsoid enlarged by the
    // projection altitude. A type outside 0-2 gives (0, 0) both ways.
    void BLToXY(double B, double L, double& x, double& y) const;
    void XYToBL(double x, double y, double& B, double& L) const;

    // --- Transformation steps -----------------------------------------------------------------------

    // Seven-parameter transformation of Earth-centred coordinates (coordinate-frame rotation,
    // small-angle form, scale on the rotated vector) and its exact inverse.
    void BursaForward(double X, double Y, double Z, double& Xo, double& Yo, double& Zo) const;
    void BursaInverse(double X, double Y, double Z, double& Xo, double& Yo, double& Zo) const;

    // Four-parameter transformation about the grid origin and its inverse.
    void PlaneForward(double x, double y, double& xo, double& yo) const;
    void PlaneInverse(double x, double y, double& xo, double& yo) const;

    // Height minus / plus the fitted surface at grid point (x, y); heights pass unchanged for a type
    // outside 1-3.
    double HeightFitForward(double x, double y, double h) const;
    double HeightFitInverse(double x, double y, double h) const;

  private:
    struct Ellipsoid {
        double a = 0;
        double b = 0;
        double e2 = 0;   // first eccentricity squared
        double e = 0;    // first eccentricity
        double ep2 = 0;  // second eccentricity squared
        double c = 0;    // polar radius of curvature a² / b
    };
    static Ellipsoid MakeEllipsoid(double a, double b);
    static void ToXYZ(double B, double L, double H, const Ellipsoid& el, double& X, double& Y, double& Z);
    static void ToBLH(double X, double Y, double Z, const Ellipsoid& el, double& B, double& L, double& H);
    double HeightFit(double x, double y) const;

    std::uint8_t ready_ = 0;
    ParaOfGeo para_;
    CoordinateValues v_;

    // Precomputed from the values above by LoadParameters.
    Ellipsoid source_;
    Ellipsoid target_;
    Ellipsoid projection_;  // target enlarged by the projection altitude
    double centralMeridianRad_ = 0;
    double arc0_ = 0, arc2_ = 0, arc4_ = 0, arc6_ = 0;  // meridian arc M = arc0 B - arc2 sin2B + ...
    double footDivisor_ = 0;                            // a (1 - e²/4 - 3e⁴/64 - 5e⁶/256)
    double foot2_ = 0, foot4_ = 0, foot6_ = 0;          // footpoint latitude series in n
    double mercatorR_ = 0;                              // Mercator radius at B0 without k0
    double mercatorR0_ = 0;                             // ... with k0
    double datumScale1_ = 1;                            // 1 + m
    double datumInverse_ = 1;                           // 1 / ((1 + m) Δ)
    double planeCos_ = 1, planeSin_ = 0;
};

}  // namespace geodesy
