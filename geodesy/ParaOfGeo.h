#pragma once
// The geodetic parameter set of a project: source and target ellipsoid, map projection, datum and
// plane transformation, height fitting and final translation, held as one fixed-size record of mostly
// text fields. The record is copied whole between its holders, stored as the INI section "ParaOfGeo"
// and carried byte for byte in the header of raw data files as a 1256-byte block.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace platform {
class ProfileText;
}

namespace geodesy {

// Field order, widths and natural C alignment are part of the file formats: do not reorder.
// Texts are zero-terminated (at most size - 1 characters); flags hold 0 or 1.
struct ParaOfGeo {
    char Version[8] = "001.000";
    std::int32_t SourceEllipsoid = 1;
    char SourceSemimajor[32] = "6378137.0";
    char SourceFlattening[32] = "298.257223563";
    std::int32_t TargetEllipsoid = 1;
    char TargetSemimajor[32] = "6378137.0";
    char TargetFlattening[32] = "298.257223563";
    std::int32_t ProjectionType = 1;
    std::uint8_t AddBandnumber = 0;
    std::uint8_t PositiveSouth = 0;
    std::uint8_t PositiveWest = 0;
    char CentralMeridian[32] = "117000000000E";
    char NorthConst[32] = "0.0";
    char EastConst[32] = "500000.0";
    char ScaleRadio[32] = "1.0";
    char ProjectonAltitude[32] = "0.0";
    char DatumLatitude[32] = "00000000000N";
    char NorthParallel[32] = "00000000000N";
    char SouthParallel[32] = "00000000000N";
    char SkewAzimuth[32] = "0";
    std::int32_t ETransType = 0;
    char ETransDx[32] = "0.0";
    char ETransDy[32] = "0.0";
    char ETransDz[32] = "0.0";
    char ETransRx[32] = "0.0";
    char ETransRy[32] = "0.0";
    char ETransRz[32] = "0.0";
    char ETransSc[32] = "0.0";
    std::int32_t PTransType = 0;
    std::uint8_t PTransNorthDR = 0;
    std::uint8_t PTransEastDR = 0;
    char PTransDx[32] = "0.0";
    char PTransDy[32] = "0.0";
    char PTransRa[32] = " 000000000000";
    char PTransSc[32] = "1.0";
    char PTransONorth[32] = "0.0";
    std::int32_t HFittingType = 0;
    char HFittingA[32] = "0.0";
    char HFittingB[32] = "0.0";
    char HFittingC[32] = "0.0";
    char HFittingD[32] = "0.0";
    char HFittingE[32] = "0.0";
    char HFittingF[32] = "0.0";
    char HFittingX0[32] = "0.0";
    char HFittingY0[32] = "0.0";
    char CTransDx[32] = "0.0";
    char CTransDy[32] = "0.0";
    char CTransDz[32] = "0.0";
};

inline constexpr std::size_t kParaOfGeoRecordSize = 1192;
inline constexpr std::size_t kParaOfGeoBlockSize = 1256;

static_assert(sizeof(ParaOfGeo) == kParaOfGeoRecordSize);
static_assert(alignof(ParaOfGeo) == 4);
static_assert(offsetof(ParaOfGeo, SourceEllipsoid) == 8);
static_assert(offsetof(ParaOfGeo, ProjectionType) == 144);
static_assert(offsetof(ParaOfGeo, AddBandnumber) == 148);
static_assert(offsetof(ParaOfGeo, CentralMeridian) == 151);
static_assert(offsetof(ParaOfGeo, ETransType) == 440);  // one byte of padding before it
static_assert(offsetof(ParaOfGeo, PTransType) == 668);
static_assert(offsetof(ParaOfGeo, PTransRa) == 738);
static_assert(offsetof(ParaOfGeo, HFittingType) == 836);  // two bytes of padding before it
static_assert(offsetof(ParaOfGeo, CTransDz) == 1160);

// The default set: WGS-84 on both sides, transverse Mercator with central meridian 117° E, false
// easting 500000 m, scale 1, every transformation off.
inline ParaOfGeo DefaultParaOfGeo() {
    return ParaOfGeo{};
}

// The text of a field up to its terminator, never reading past the field.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string_view(field, n);
}

// --- Raw data block --------------------------------------------------------------------------------

using ParaOfGeoBlock = std::array<std::uint8_t, kParaOfGeoBlockSize>;

// The record's bytes in file order, padding bytes and the block's tail zero.
ParaOfGeoBlock ToBlock(const ParaOfGeo& record);

// Takes a record from the first 1256 bytes of `block`; false (record unchanged) when fewer bytes are
// given. Bytes from a file are not trusted: a text field without a terminator within its width is cut
// to width - 1 characters, and a flag byte other than 0 reads as 1.
bool FromBlock(std::span<const std::uint8_t> block, ParaOfGeo& record);

// --- INI section "ParaOfGeo" -----------------------------------------------------------------------

inline constexpr std::string_view kParaOfGeoSection = "ParaOfGeo";

// Writes every field as one key of section "ParaOfGeo", in field order: ints and flags in decimal,
// texts as stored, PTransRa between single quotes so that its leading blank survives. False when a
// key could not be written (the keys before it are written).
bool WriteParaOfGeo(const ParaOfGeo& record, const std::filesystem::path& file);

// Reads section "ParaOfGeo" into an existing record, key by key: an int only from a non-empty value
// (leading decimal number), a flag likewise and then 1 for any non-zero value, a text only when it is
// 1 to 31 characters long (Version: 1 to 7). Every other field keeps its value. A file that does not
// exist is reported with a bilingual error message naming the path; the record is then unchanged and
// the result false.
bool ReadParaOfGeo(ParaOfGeo& record, const std::filesystem::path& file);

// The same reading rules applied to an INI text already in memory.
void ReadParaOfGeo(ParaOfGeo& record, const platform::ProfileText& profile);

// --- Angle texts -----------------------------------------------------------------------------------

// Angles typed with a masked edit are stored as digit strings without separators:
//   longitude     13 characters, DDDMMSSsssssH, H = 'E' or 'W' (negative)
//   latitude      12 characters, DDMMSSsssssH,  H = 'N' or 'S' (negative)
//   signed angle  13 characters, SDDDMMSSsssss, S = ' ', '+' or '-' (negative)
enum class AngleForm { Longitude, Latitude, Signed };

inline constexpr std::size_t AngleTextLength(AngleForm form) {
    return form == AngleForm::Latitude ? 12 : 13;
}

// Decimal degrees of an angle text: degrees + minutes / 60 + SS.sssss / 3600, negated as above. A text
// of any other length gives `otherLength` (117 for the central meridian, 0 elsewhere). Digit groups
// that are not digits read with leading-number semantics, so any text gives a finite value.
double ParseAngleText(std::string_view text, AngleForm form, double otherLength = 0.0);

// Angle texts from decimal degrees, seconds rounded to five decimals with the carry into minutes and
// degrees. A value that is not finite encodes as 0.
std::string FormatLatitudeText(double degrees);
std::string FormatLongitudeText(double degrees);
std::string FormatSignedAngleText(double degrees);

// --- Ellipsoid table -------------------------------------------------------------------------------

struct EllipsoidEntry {
    int index;
    const char* name;
    const char* semimajor;          // as stored in the record; empty for the user-defined entry
    const char* inverseFlattening;  // likewise
};

// Index 0 "User Defined", 1 "WGS-84", 2 "Beijing54", 3 "Xian80", 4 "CN2000", 5 "PRS92".
std::span<const EllipsoidEntry> EllipsoidTable();

// The entry of an index, or nullptr when the index is outside the table.
const EllipsoidEntry* FindEllipsoid(int index);

}  // namespace geodesy
