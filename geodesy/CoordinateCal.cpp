#include "geodesy/CoordinateCal.h"

#include <cmath>
#include <limits>

#include "platform/NumberText.h"

namespace geodesy {
namespace {

constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;
constexpr double kArcSecondToRad = kPi / 180.0 / 3600.0;

// A coordinate whose magnitude is not above this counts as zero when locating the polar axis.
constexpr double kSmall = 1e-15;
// Convergence of the latitude iterations (radians), and their round limits: both converge in a
// handful of rounds for any real position; the limits only bound the work for absurd input.
constexpr double kGeocentricTolerance = 1e-15;
constexpr double kMercatorTolerance = 1e-14;
constexpr int kMaxRounds = 50;

template <std::size_t N>
double Number(const char (&field)[N]) {
    return platform::LeadingDouble(FieldText(field));
}

double FoldLongitude(double degrees) {
    if (degrees > 180.0)
        return degrees - 360.0;
    if (degrees < -180.0)
        return degrees + 360.0;
    return degrees;
}

}  // namespace

CCoordinateCal::CCoordinateCal() {
    LoadParameters();
}

CCoordinateCal::~CCoordinateCal() = default;

void CCoordinateCal::Load(const ParaOfGeo& record) {
    para_ = record;
    LoadParameters();
    SetReady(true);
}

CCoordinateCal::Ellipsoid CCoordinateCal::MakeEllipsoid(double a, double b) {
    Ellipsoid el;
    el.a = a;
    el.b = b;
    const double ba = b / a;
    const double ab = a / b;
    el.e2 = 1.0 - ba * ba;
    el.e = std::sqrt(el.e2);
    el.ep2 = ab * ab - 1.0;
    el.c = a * a / b;
    return el;
}

void CCoordinateCal::LoadParameters() {
    const ParaOfGeo& p = para_;
    CoordinateValues v = v_;  // the semi-minor axes may keep their previous values

    v.sourceEllipsoid = p.SourceEllipsoid;
    v.sourceA = Number(p.SourceSemimajor);
    const double sourceF = Number(p.SourceFlattening);
    if (sourceF > 0.00001)
        v.sourceB = v.sourceA - v.sourceA / sourceF;
    v.targetEllipsoid = p.TargetEllipsoid;
    v.targetA = Number(p.TargetSemimajor);
    const double targetF = Number(p.TargetFlattening);
    if (targetF > 0.00001)
        v.targetB = v.targetA - v.targetA / targetF;

    v.projectionType = p.ProjectionType;
    v.addBandnumber = p.AddBandnumber;
    v.positiveSouth = p.PositiveSouth;
    v.positiveWest = p.PositiveWest;
    v.centralMeridian = ParseAngleText(FieldText(p.CentralMeridian), AngleForm::Longitude, 117.0);
    v.falseNorthing = Number(p.NorthConst);
    v.falseEasting = Number(p.EastConst);
    v.scale = Number(p.ScaleRadio);
    v.projectionAltitude = Number(p.ProjectonAltitude);
    v.datumLatitude = ParseAngleText(FieldText(p.DatumLatitude), AngleForm::Latitude);
    v.northParallel = ParseAngleText(FieldText(p.NorthParallel), AngleForm::Latitude);
    v.southParallel = ParseAngleText(FieldText(p.SouthParallel), AngleForm::Latitude);
    v.skewAzimuth = Number(p.SkewAzimuth);

    v.datumType = p.ETransType;
    v.dx = Number(p.ETransDx);
    v.dy = Number(p.ETransDy);
    v.dz = Number(p.ETransDz);
    v.rx = Number(p.ETransRx) * kArcSecondToRad;
    v.ry = Number(p.ETransRy) * kArcSecondToRad;
    v.rz = Number(p.ETransRz) * kArcSecondToRad;
    v.datumScale = Number(p.ETransSc) * 1e-6;

    v.planeType = p.PTransType;
    v.planeNorthDR = p.PTransNorthDR;
    v.planeEastDR = p.PTransEastDR;
    v.planeNorthShift = Number(p.PTransDx);
    v.planeEastShift = Number(p.PTransDy);
    v.planeRotation = ParseAngleText(FieldText(p.PTransRa), AngleForm::Signed) * kDegToRad;
    v.planeScale = Number(p.PTransSc);
    // The inverse divides by the plane scale. A scale that is 0 (the settings pages accept it), so
    // small that its reciprocal overflows, or not finite has no inverse; it is taken as 1 in both
    // directions so that GeoToGrid and GridToGeo stay an exact pair and never yield inf or NaN.
    if (!(std::fabs(v.planeScale) >= std::numeric_limits<double>::min()) || !std::isfinite(v.planeScale)) {
        v.planeScale = 1.0;
    }
    v.planeOriginNorth = Number(p.PTransONorth);

    v.heightType = p.HFittingType;
    v.hA = Number(p.HFittingA);
    v.hB = Number(p.HFittingB);
    v.hC = Number(p.HFittingC);
    v.hD = Number(p.HFittingD);
    v.hE = Number(p.HFittingE);
    v.hF = Number(p.HFittingF);
    v.hX0 = Number(p.HFittingX0);
    v.hY0 = Number(p.HFittingY0);

    v.tx = Number(p.CTransDx);
    v.ty = Number(p.CTransDy);
    v.th = Number(p.CTransDz);
    v_ = v;

    // Constants of the computations.
    source_ = MakeEllipsoid(v.sourceA, v.sourceB);
    target_ = MakeEllipsoid(v.targetA, v.targetB);
    projection_ = MakeEllipsoid(v.targetA + v.projectionAltitude, v.targetB + v.projectionAltitude);
    centralMeridianRad_ = v.centralMeridian * kDegToRad;

    const double a = projection_.a;
    const double e2 = projection_.e2;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    arc0_ = a * (1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0);
    arc2_ = a * (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0);
    arc4_ = a * (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0);
    arc6_ = a * (35.0 * e6 / 3072.0);
    footDivisor_ = arc0_;
    const double ba = projection_.b / a;
    const double n = (1.0 - ba) / (1.0 + ba);
    const double n2 = n * n;
    const double n3 = n2 * n;
    const double n4 = n3 * n;
    foot2_ = 3.0 * n / 2.0 - 27.0 * n3 / 32.0;
    foot4_ = 21.0 * n2 / 16.0 - 55.0 * n4 / 32.0;
    foot6_ = 151.0 * n3 / 96.0;

    const double b0 = v.datumLatitude * kDegToRad;
    const double cosB0 = std::cos(b0);
    mercatorR_ = projection_.c / std::sqrt(1.0 + projection_.ep2 * cosB0 * cosB0) * cosB0;
    mercatorR0_ = v.scale * mercatorR_;

    datumScale1_ = 1.0 + v.datumScale;
    const double delta = 1.0 + v.rx * v.rx + v.ry * v.ry + v.rz * v.rz;
    datumInverse_ = 1.0 / (datumScale1_ * delta);

    planeCos_ = std::cos(v.planeRotation);
    planeSin_ = std::sin(v.planeRotation);
}

// --- Ellipsoid geometry ----------------------------------------------------------------------------

void CCoordinateCal::ToXYZ(double B, double L, double H, const Ellipsoid& el, double& X, double& Y,
                           double& Z) {
    const double b = B * kDegToRad;
    const double l = L * kDegToRad;
    const double sinB = std::sin(b);
    const double cosB = std::cos(b);
    const double N = el.a / std::sqrt(1.0 - el.e2 * sinB * sinB);
    X = (N + H) * cosB * std::cos(l);
    Y = (N + H) * cosB * std::sin(l);
    Z = (N * (1.0 - el.e2) + H) * sinB;
}

void CCoordinateCal::ToBLH(double X, double Y, double Z, const Ellipsoid& el, double& B, double& L,
                           double& H) {
    const bool smallX = std::fabs(X) <= kSmall;
    const bool smallY = std::fabs(Y) <= kSmall;
    if (smallX && smallY) {
        L = 0.0;
        B = Z > 0.0 ? 90.0 : -90.0;
        H = std::fabs(Z) - el.a * std::sqrt(1.0 - el.e2);
        return;
    }
    if (!smallX && !smallY) {
        L = std::atan(Y / X) * kRadToDeg;
        if (X < 0.0)
            L += Y < 0.0 ? -180.0 : 180.0;
    } else if (smallX) {
        L = Y > 0.0 ? 90.0 : -90.0;
    } else {
        L = X > 0.0 ? 0.0 : 180.0;
    }

    // Fixed-point iteration on t = tan B: t = (Z + a e² t / sqrt(1 + (1 - e²) t²)) / p. The latitude
    // change between rounds is judged from the change of t (dB = dt / (1 + t²) to first order), so that
    // only the final round needs an arc tangent.
    const double p = std::sqrt(X * X + Y * Y);
    const double ae2 = el.a * el.e2;
    const double oneMinusE2 = 1.0 - el.e2;
    double t = (1.0 + el.e2) * Z / p;
    for (int round = 0; round < kMaxRounds; ++round) {
        const double next = (Z + ae2 * t / std::sqrt(1.0 + oneMinusE2 * t * t)) / p;
        const double change = std::fabs(next - t) / (1.0 + t * t);
        t = next;
        if (change <= kGeocentricTolerance)
            break;
    }
    B = std::atan(t) * kRadToDeg;
    // H = p / cos B - N with cos B and sin² B taken from t itself: the same value, but it keeps its
    // precision close to the polar axis where cos(atan t) of a rounded latitude would not.
    const double t2 = t * t;
    const double sec = std::sqrt(1.0 + t2);
    const double sin2 = t2 / (1.0 + t2);
    H = p * sec - el.a / std::sqrt(1.0 - el.e2 * sin2);
}

void CCoordinateCal::BLHToXYZ(double B, double L, double H, double a, double b, double& X, double& Y,
                              double& Z) const {
    ToXYZ(B, L, H, MakeEllipsoid(a, b), X, Y, Z);
}

void CCoordinateCal::XYZToBLH(double X, double Y, double Z, double a, double b, double& B, double& L,
                              double& H) const {
    ToBLH(X, Y, Z, MakeEllipsoid(a, b), B, L, H);
}

// --- Projections -----------------------------------------------------------------------------------

void CCoordinateCal::BLToXY(double B, double L, double& x, double& y) const {
    const int type = v_.projectionType;
    if (type < kProjectionUtm || type > kProjectionMercator) {
        x = 0.0;
        y = 0.0;
        return;
    }
    const double l = FoldLongitude(L - v_.centralMeridian) * kDegToRad;
    const double b = B * kDegToRad;
    const double sinB = std::sin(b);
    const double cosB = std::cos(b);
    const Ellipsoid& el = projection_;

    if (type == kProjectionMercator) {
        const double es = el.e * sinB;
        x = v_.falseNorthing + mercatorR0_ * std::log(std::tan(b / 2.0 + kQuarterPi) *
                                                      std::pow((1.0 - es) / (1.0 + es), el.e / 2.0));
        y = v_.falseEasting + mercatorR0_ * l;
        return;
    }

    const double t = sinB / cosB;
    const double T = t * t;
    const double eta2 = el.ep2 * cosB * cosB;
    const double N = el.c / std::sqrt(1.0 + eta2);
    const double m = l * cosB;
    const double m2 = m * m;
    // sin 2B, sin 4B and sin 6B from sin B and cos B.
    const double sin2B = 2.0 * sinB * cosB;
    const double cos2B = cosB * cosB - sinB * sinB;
    const double sin4B = 2.0 * sin2B * cos2B;
    const double sin6B = sin2B * (3.0 - 4.0 * sin2B * sin2B);
    const double M = arc0_ * b - arc2_ * sin2B + arc4_ * sin4B - arc6_ * sin6B;

    double c6;  // the sixth-order term of x and the fifth-order term of y differ between the types
    double c5;
    if (type == kProjectionUtm) {
        c6 = 600.0 * eta2 - 330.0 * el.ep2;
        c5 = 72.0 * eta2 - 58.0 * el.ep2;
    } else {
        c6 = 270.0 * eta2 - 330.0 * T * eta2;
        c5 = 14.0 * eta2 - 58.0 * T * eta2;
    }
    const double k0 = v_.scale;
    x = v_.falseNorthing +
        k0 * (M + N * t *
                      (m2 / 2.0 + (5.0 - T + 9.0 * eta2 + 4.0 * eta2 * eta2) * m2 * m2 / 24.0 +
                       (61.0 - 58.0 * T + T * T + c6) * m2 * m2 * m2 / 720.0));
    y = v_.falseEasting +
        k0 * N * (m + (1.0 - T + eta2) * m2 * m / 6.0 + (5.0 - 18.0 * T + T * T + c5) * m2 * m2 * m / 120.0);
}

void CCoordinateCal::XYToBL(double x, double y, double& B, double& L) const {
    const int type = v_.projectionType;
    if (type < kProjectionUtm || type > kProjectionMercator) {
        B = 0.0;
        L = 0.0;
        return;
    }
    const Ellipsoid& el = projection_;
    const double k0 = v_.scale;
    double b;
    double l;
    if (type == kProjectionMercator) {
        const double q = ((x - v_.falseNorthing) / k0) / mercatorR_;
        l = centralMeridianRad_ + ((y - v_.falseEasting) / k0) / mercatorR_;
        const double expq = std::exp(-q);
        const double halfE = el.e / 2.0;
        b = 0.0;
        for (int round = 0; round < kMaxRounds; ++round) {
            const double es = el.e * std::sin(b);
            const double next = kHalfPi - 2.0 * std::atan(expq * std::pow((1.0 - es) / (1.0 + es), halfE));
            const double change = std::fabs(next - b);
            b = next;
            if (change <= kMercatorTolerance)
                break;
        }
    } else {
        const double mu = ((x - v_.falseNorthing) / k0) / footDivisor_;
        const double b1 =
            mu + foot2_ * std::sin(2.0 * mu) + foot4_ * std::sin(4.0 * mu) + foot6_ * std::sin(6.0 * mu);
        const double sinB1 = std::sin(b1);
        const double cosB1 = std::cos(b1);
        const double tanB1 = sinB1 / cosB1;
        const double W = std::sqrt(1.0 - el.e2 * sinB1 * sinB1);
        const double N1 = el.a / W;
        const double R1 = el.a * (1.0 - el.e2) / (W * W * W);
        const double T1 = tanB1 * tanB1;
        const double C1 = el.ep2 * cosB1 * cosB1;
        const double D = (y - v_.falseEasting) / (N1 * k0);
        const double D2 = D * D;
        const double D3 = D2 * D;
        const double D4 = D2 * D2;
        const double D5 = D4 * D;
        const double D6 = D4 * D2;
        if (type == kProjectionUtm) {
            b = b1 - (N1 * tanB1 / R1) *
                         (D2 / 2.0 - (5.0 + 3.0 * T1 + 10.0 * C1 - 4.0 * C1 * C1 - 9.0 * el.ep2) * D4 / 24.0 +
                          (61.0 + 90.0 * T1 + 298.0 * C1 + 45.0 * T1 * T1 - 252.0 * el.ep2 - 3.0 * C1 * C1) *
                              D6 / 720.0);
            l = centralMeridianRad_ +
                (D - (1.0 + 2.0 * T1 + C1) * D3 / 6.0 +
                 (5.0 - 2.0 * C1 + 28.0 * T1 - 3.0 * C1 * C1 + 8.0 * el.ep2 + 24.0 * T1 * T1) * D5 / 120.0) /
                    cosB1;
        } else {
            b = b1 - (N1 * tanB1 / R1) * (D2 / 2.0 - (5.0 + 3.0 * T1 + C1 - 9.0 * T1 * C1) * D4 / 24.0 +
                                          (61.0 + 90.0 * T1 + 45.0 * T1 * T1) * D6 / 720.0);
            l = centralMeridianRad_ +
                (D - (1.0 + 2.0 * T1 + C1) * D3 / 6.0 +
                 (5.0 + 28.0 * T1 + 24.0 * T1 * T1 + 6.0 * C1 + 8.0 * T1 * C1) * D5 / 120.0) /
                    cosB1;
        }
    }
    B = b * kRadToDeg;
    L = FoldLongitude(l * kRadToDeg);
}

// --- Transformation steps --------------------------------------------------------------------------

void CCoordinateCal::BursaForward(double X, double Y, double Z, double& Xo, double& Yo, double& Zo) const {
    const double k = datumScale1_;
    const double rx = v_.rx;
    const double ry = v_.ry;
    const double rz = v_.rz;
    const double x = k * (X + rz * Y - ry * Z) + v_.dx;
    const double y = k * (-rz * X + Y + rx * Z) + v_.dy;
    const double z = k * (ry * X - rx * Y + Z) + v_.dz;
    Xo = x;
    Yo = y;
    Zo = z;
}

void CCoordinateCal::BursaInverse(double X, double Y, double Z, double& Xo, double& Yo, double& Zo) const {
    const double u = X - v_.dx;
    const double v = Y - v_.dy;
    const double w = Z - v_.dz;
    const double rx = v_.rx;
    const double ry = v_.ry;
    const double rz = v_.rz;
    const double s = datumInverse_;
    const double x = s * ((1.0 + rx * rx) * u + (rx * ry - rz) * v + (rx * rz + ry) * w);
    const double y = s * ((rx * ry + rz) * u + (1.0 + ry * ry) * v + (ry * rz - rx) * w);
    const double z = s * ((rx * rz - ry) * u + (ry * rz + rx) * v + (1.0 + rz * rz) * w);
    Xo = x;
    Yo = y;
    Zo = z;
}

void CCoordinateCal::PlaneForward(double x, double y, double& xo, double& yo) const {
    const double k = v_.planeScale;
    const double nx = k * (planeCos_ * x - planeSin_ * y) + v_.planeNorthShift;
    const double ny = k * (planeSin_ * x + planeCos_ * y) + v_.planeEastShift;
    xo = nx;
    yo = ny;
}

void CCoordinateCal::PlaneInverse(double x, double y, double& xo, double& yo) const {
    const double p = x - v_.planeNorthShift;
    const double q = y - v_.planeEastShift;
    const double k = v_.planeScale;
    const double nx = (planeCos_ * p + planeSin_ * q) / k;
    const double ny = (planeCos_ * q - planeSin_ * p) / k;
    xo = nx;
    yo = ny;
}

double CCoordinateCal::HeightFit(double x, double y) const {
    const double dx = x - v_.hX0;
    const double dy = y - v_.hY0;
    switch (v_.heightType) {
        case 1:
            return v_.hA;
        case 2:
            return v_.hA + v_.hB * dx + v_.hC * dy;
        case 3:
            return v_.hA + v_.hB * dx + v_.hC * dy + v_.hD * dx * dx + v_.hE * dy * dy + v_.hF * dx * dy;
        default:
            return 0.0;
    }
}

double CCoordinateCal::HeightFitForward(double x, double y, double h) const {
    return h - HeightFit(x, y);
}

double CCoordinateCal::HeightFitInverse(double x, double y, double h) const {
    return h + HeightFit(x, y);
}

// --- Chains ----------------------------------------------------------------------------------------

void CCoordinateCal::GeoToGrid(double B, double L, double H, double& x, double& y, double& h) const {
    if (v_.datumType == 1) {
        double X;
        double Y;
        double Z;
        ToXYZ(B, L, H, source_, X, Y, Z);
        BursaForward(X, Y, Z, X, Y, Z);
        ToBLH(X, Y, Z, target_, B, L, H);
    }
    double gx;
    double gy;
    BLToXY(B, L, gx, gy);
    double gh = H;
    if (v_.planeType == 1)
        PlaneForward(gx, gy, gx, gy);
    if (v_.heightType >= 1 && v_.heightType <= 3)
        gh = HeightFitForward(gx, gy, gh);
    x = gx + v_.tx;
    y = gy + v_.ty;
    h = gh + v_.th;
}

void CCoordinateCal::GridToGeo(double x, double y, double h, double& B, double& L, double& H) const {
    double gx = x - v_.tx;
    double gy = y - v_.ty;
    double gh = h - v_.th;
    if (v_.heightType >= 1 && v_.heightType <= 3)
        gh = HeightFitInverse(gx, gy, gh);
    if (v_.planeType == 1)
        PlaneInverse(gx, gy, gx, gy);
    double b;
    double l;
    XYToBL(gx, gy, b, l);
    if (v_.datumType == 1) {
        double X;
        double Y;
        double Z;
        ToXYZ(b, l, gh, target_, X, Y, Z);
        BursaInverse(X, Y, Z, X, Y, Z);
        ToBLH(X, Y, Z, source_, b, l, gh);
    }
    B = b;
    L = l;
    H = gh;
}

}  // namespace geodesy
