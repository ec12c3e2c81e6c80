// Any bytes, read both as the INI section "ParaOfGeo" and as a raw data block of the record, must give
// a record whose texts are terminated and whose flags are 0 or 1; the calculator loaded from it must
// convert without fault and without hanging, and the block form must be stable.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "platform/Profile.h"

namespace {

using geodesy::ParaOfGeo;

void Require(bool ok) {
    if (!ok)
        __builtin_trap();
}

template <std::size_t N>
void RequireTerminated(const char (&field)[N]) {
    Require(std::memchr(field, 0, N) != nullptr);
}

void CheckRecord(const ParaOfGeo& r) {
    for (std::uint8_t flag :
         {r.AddBandnumber, r.PositiveSouth, r.PositiveWest, r.PTransNorthDR, r.PTransEastDR}) {
        Require(flag <= 1);
    }
    RequireTerminated(r.Version);
    RequireTerminated(r.SourceSemimajor);
    RequireTerminated(r.SourceFlattening);
    RequireTerminated(r.TargetSemimajor);
    RequireTerminated(r.TargetFlattening);
    RequireTerminated(r.CentralMeridian);
    RequireTerminated(r.NorthConst);
    RequireTerminated(r.EastConst);
    RequireTerminated(r.ScaleRadio);
    RequireTerminated(r.ProjectonAltitude);
    RequireTerminated(r.DatumLatitude);
    RequireTerminated(r.NorthParallel);
    RequireTerminated(r.SouthParallel);
    RequireTerminated(r.SkewAzimuth);
    RequireTerminated(r.ETransDx);
    RequireTerminated(r.ETransDy);
    RequireTerminated(r.ETransDz);
    RequireTerminated(r.ETransRx);
    RequireTerminated(r.ETransRy);
    RequireTerminated(r.ETransRz);
    RequireTerminated(r.ETransSc);
    RequireTerminated(r.PTransDx);
    RequireTerminated(r.PTransDy);
    RequireTerminated(r.PTransRa);
    RequireTerminated(r.PTransSc);
    RequireTerminated(r.PTransONorth);
    RequireTerminated(r.HFittingA);
    RequireTerminated(r.HFittingB);
    RequireTerminated(r.HFittingC);
    RequireTerminated(r.HFittingD);
    RequireTerminated(r.HFittingE);
    RequireTerminated(r.HFittingF);
    RequireTerminated(r.HFittingX0);
    RequireTerminated(r.HFittingY0);
    RequireTerminated(r.CTransDx);
    RequireTerminated(r.CTransDy);
    RequireTerminated(r.CTransDz);
}

void Exercise(const ParaOfGeo& r) {
    geodesy::CCoordinateCal cal;
    cal.Load(r);
    const auto& v = cal.Values();
    // The guarded plane scale always has an inverse.
    Require(std::isfinite(1.0 / v.planeScale));
    // The angle encoders take whatever the record decodes to and give texts of their form's length.
    Require(geodesy::FormatLongitudeText(v.centralMeridian).size() >= 13);
    Require(geodesy::FormatLatitudeText(v.datumLatitude).size() >= 12);
    Require(geodesy::FormatSignedAngleText(v.planeRotation).size() >= 13);

    const double points[][3] = {{31.5, 118.25, 12.0}, {-89.9, -179.9, -500.0}, {90.0, 0.0, 0.0}};
    for (const auto& pt : points) {
        double x, y, h, B, L, H;
        cal.GeoToGrid(pt[0], pt[1], pt[2], x, y, h);
        cal.GridToGeo(x, y, h, B, L, H);
        cal.GridToGeo(3.0e6, 5.0e5, 0.0, B, L, H);
        cal.GridToGeo(std::nan(""), 1e308, -1e308, B, L, H);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // As an INI text.
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParaOfGeo fromIni;
    geodesy::ReadParaOfGeo(fromIni, platform::ProfileText(text));
    CheckRecord(fromIni);
    Exercise(fromIni);

    // As a raw data block (short inputs padded with zeros).
    std::vector<std::uint8_t> block(data, data + size);
    if (block.size() < geodesy::kParaOfGeoBlockSize)
        block.resize(geodesy::kParaOfGeoBlockSize, 0);
    ParaOfGeo fromBlock;
    Require(geodesy::FromBlock(block, fromBlock));
    CheckRecord(fromBlock);
    const geodesy::ParaOfGeoBlock once = geodesy::ToBlock(fromBlock);
    ParaOfGeo again;
    Require(geodesy::FromBlock(once, again));
    Require(geodesy::ToBlock(again) == once);
    Exercise(fromBlock);
    return 0;
}
