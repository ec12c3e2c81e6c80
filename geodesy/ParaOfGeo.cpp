#include "geodesy/ParaOfGeo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

#include "platform/Message.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace geodesy {
namespace {

enum class FieldKind { Text, Int, Flag };

struct FieldInfo {
    const char* key;
    FieldKind kind;
    std::size_t offset;
    std::size_t size;
};

#define GEO_FIELD(kind, name)                                                      \
    FieldInfo {                                                                    \
#name, FieldKind::kind, offsetof(ParaOfGeo, name), sizeof(ParaOfGeo::name) \
    }

// Every field in record (and INI key) order.
constexpr FieldInfo kFields[] = {
    GEO_FIELD(Text, Version),           GEO_FIELD(Int, SourceEllipsoid), GEO_FIELD(Text, SourceSemimajor),
    GEO_FIELD(Text, SourceFlattening),  GEO_FIELD(Int, TargetEllipsoid), GEO_FIELD(Text, TargetSemimajor),
    GEO_FIELD(Text, TargetFlattening),  GEO_FIELD(Int, ProjectionType),  GEO_FIELD(Flag, AddBandnumber),
    GEO_FIELD(Flag, PositiveSouth),     GEO_FIELD(Flag, PositiveWest),   GEO_FIELD(Text, CentralMeridian),
    GEO_FIELD(Text, NorthConst),        GEO_FIELD(Text, EastConst),      GEO_FIELD(Text, ScaleRadio),
    GEO_FIELD(Text, ProjectonAltitude), GEO_FIELD(Text, DatumLatitude),  GEO_FIELD(Text, NorthParallel),
    GEO_FIELD(Text, SouthParallel),     GEO_FIELD(Text, SkewAzimuth),    GEO_FIELD(Int, ETransType),
    GEO_FIELD(Text, ETransDx),          GEO_FIELD(Text, ETransDy),       GEO_FIELD(Text, ETransDz),
    GEO_FIELD(Text, ETransRx),          GEO_FIELD(Text, ETransRy),       GEO_FIELD(Text, ETransRz),
    GEO_FIELD(Text, ETransSc),          GEO_FIELD(Int, PTransType),      GEO_FIELD(Flag, PTransNorthDR),
    GEO_FIELD(Flag, PTransEastDR),      GEO_FIELD(Text, PTransDx),       GEO_FIELD(Text, PTransDy),
    GEO_FIELD(Text, PTransRa),          GEO_FIELD(Text, PTransSc),       GEO_FIELD(Text, PTransONorth),
    GEO_FIELD(Int, HFittingType),       GEO_FIELD(Text, HFittingA),      GEO_FIELD(Text, HFittingB),
    GEO_FIELD(Text, HFittingC),         GEO_FIELD(Text, HFittingD),      GEO_FIELD(Text, HFittingE),
    GEO_FIELD(Text, HFittingF),         GEO_FIELD(Text, HFittingX0),     GEO_FIELD(Text, HFittingY0),
    GEO_FIELD(Text, CTransDx),          GEO_FIELD(Text, CTransDy),       GEO_FIELD(Text, CTransDz),
};

#undef GEO_FIELD

constexpr std::size_t FieldBytes() {
    std::size_t total = 0;
    for (const auto& f : kFields) total += f.size;
    return total;
}
// The fields and the three padding bytes fill the record exactly.
static_assert(FieldBytes() + 3 == kParaOfGeoRecordSize);

unsigned char* FieldPtr(ParaOfGeo& record, const FieldInfo& f) {
    return reinterpret_cast<unsigned char*>(&record) + f.offset;
}
const unsigned char* FieldPtr(const ParaOfGeo& record, const FieldInfo& f) {
    return reinterpret_cast<const unsigned char*>(&record) + f.offset;
}

std::string_view TextOf(const ParaOfGeo& record, const FieldInfo& f) {
    const char* p = reinterpret_cast<const char*>(FieldPtr(record, f));
    const void* zero = std::memchr(p, 0, f.size);
    return std::string_view(p, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : f.size);
}

const EllipsoidEntry kEllipsoids[] = {
    {0, "User Defined", "", ""},
    {1, "WGS-84", "6378137.0", "298.257223563"},
    {2, "Beijing54", "6378245.0", "298.3"},
    {3, "Xian80", "6378140.0", "298.257"},
    {4, "CN2000", "6378137.0", "298.257222101"},
    {5, "PRS92", "6378206.400", "294.9786982"},
};

}  // namespace

// --- Raw data block --------------------------------------------------------------------------------

ParaOfGeoBlock ToBlock(const ParaOfGeo& record) {
    ParaOfGeoBlock block{};
    for (const auto& f : kFields) std::memcpy(block.data() + f.offset, FieldPtr(record, f), f.size);
    return block;
}

bool FromBlock(std::span<const std::uint8_t> block, ParaOfGeo& record) {
    if (block.size() < kParaOfGeoBlockSize)
        return false;
    ParaOfGeo read;
    for (const auto& f : kFields) {
        unsigned char* field = FieldPtr(read, f);
        std::memcpy(field, block.data() + f.offset, f.size);
        if (f.kind == FieldKind::Text) {
            if (std::memchr(field, 0, f.size) == nullptr)
                field[f.size - 1] = 0;
        } else if (f.kind == FieldKind::Flag) {
            field[0] = field[0] != 0 ? 1 : 0;
        }
    }
    record = read;
    return true;
}

// --- INI section -----------------------------------------------------------------------------------

bool WriteParaOfGeo(const ParaOfGeo& record, const std::filesystem::path& file) {
    for (const auto& f : kFields) {
        std::string value;
        switch (f.kind) {
            case FieldKind::Int: {
                std::int32_t v;
                std::memcpy(&v, FieldPtr(record, f), sizeof v);
                value = std::to_string(v);
                break;
            }
            case FieldKind::Flag:
                value = std::to_string(static_cast<unsigned>(*FieldPtr(record, f)));
                break;
            case FieldKind::Text:
                value = std::string(TextOf(record, f));
                if (f.offset == offsetof(ParaOfGeo, PTransRa))
                    value = "'" + value + "'";
                break;
        }
        if (!platform::WriteProfileString(file, kParaOfGeoSection, f.key, value))
            return false;
    }
    return true;
}

void ReadParaOfGeo(ParaOfGeo& record, const platform::ProfileText& profile) {
    for (const auto& f : kFields) {
        const auto value = profile.Value(kParaOfGeoSection, f.key);
        if (!value || value->empty())
            continue;
        unsigned char* field = FieldPtr(record, f);
        switch (f.kind) {
            case FieldKind::Int: {
                const std::int32_t v = platform::LeadingInt(*value);
                std::memcpy(field, &v, sizeof v);
                break;
            }
            case FieldKind::Flag:
                *field = platform::LeadingInt(*value) != 0 ? 1 : 0;
                break;
            case FieldKind::Text:
                if (value->size() <= f.size - 1) {
                    std::memset(field, 0, f.size);
                    std::memcpy(field, value->data(), value->size());
                }
                break;
        }
    }
}

bool ReadParaOfGeo(ParaOfGeo& record, const std::filesystem::path& file) {
    std::error_code ec;
    std::optional<platform::ProfileText> profile;
    if (std::filesystem::is_regular_file(file, ec))
        profile = platform::ProfileText::Load(file);
    if (!profile) {
        const std::string path = file.string();
        platform::ShowBilingualMessage(
            platform::FormatMessageText("%s文件路径错误，无法读取椭球参数信息！", path),
            platform::FormatMessageText(
                "%s file path error, can not read the ellipsoid parameter information!", path),
            platform::kBoxError);
        return false;
    }
    ReadParaOfGeo(record, *profile);
    return true;
}

// --- Angle texts -----------------------------------------------------------------------------------

double ParseAngleText(std::string_view text, AngleForm form, double otherLength) {
    if (text.size() != AngleTextLength(form))
        return otherLength;
    // Start of the degree digits, their count, and where the sign or hemisphere sits.
    std::size_t at = 0;
    std::size_t degreeDigits = 3;
    bool negative = false;
    switch (form) {
        case AngleForm::Longitude:
            negative = text[12] == 'W';
            break;
        case AngleForm::Latitude:
            degreeDigits = 2;
            negative = text[11] == 'S';
            break;
        case AngleForm::Signed:
            negative = text[0] == '-';
            at = 1;
            break;
    }
    const double degrees = platform::LeadingInt(text.substr(at, degreeDigits));
    at += degreeDigits;
    const double minutes = platform::LeadingInt(text.substr(at, 2));
    at += 2;
    std::string seconds(text.substr(at, 2));
    seconds += '.';
    seconds += text.substr(at + 2, 5);
    const double value = degrees + minutes / 60.0 + platform::LeadingDouble(seconds) / 3600.0;
    return negative ? -value : value;
}

namespace {

// The seven second digits and the carried minutes and degrees of an absolute angle.
std::string EncodeAngle(double degrees, const char* degreeFormat, bool& negative) {
    if (!std::isfinite(degrees))
        degrees = 0.0;
    negative = degrees < 0.0;
    double v = std::fabs(degrees);
    // Keeps the whole-number conversions below defined; no angle text can hold more anyway.
    if (v > 1.0e6)
        v = 1.0e6;
    int d = static_cast<int>(v);
    int m = static_cast<int>((v - d) * 60.0);
    double s = (v - d - m / 60.0) * 3600.0;
    // Just below a whole minute, (v - d) * 60 can round up to that minute and leave s a hair below
    // zero, which would print as "-0.00000" and put a minus sign among the digits.
    if (s < 0.0)
        s = 0.0;
    std::string sec = platform::FormatDouble("%.5f", s);
    if (sec.find("60.") != std::string::npos) {
        sec = "00.00000";
        if (m == 59) {
            m = 0;
            ++d;
        } else {
            ++m;
        }
        if (d > 180) {
            d = 180;
            m = 0;
        }
    }
    if (sec.size() > 1 && sec[1] == '.')
        sec.insert(0, "0");
    sec.erase(std::remove(sec.begin(), sec.end(), '.'), sec.end());
    char head[32];
    std::snprintf(head, sizeof head, degreeFormat, d, m);
    return head + sec;
}

}  // namespace

std::string FormatLatitudeText(double degrees) {
    bool negative = false;
    std::string text = EncodeAngle(degrees, "%02d%02d", negative);
    text += negative ? 'S' : 'N';
    return text;
}

std::string FormatLongitudeText(double degrees) {
    bool negative = false;
    std::string text = EncodeAngle(degrees, "%03d%02d", negative);
    text += negative ? 'W' : 'E';
    return text;
}

std::string FormatSignedAngleText(double degrees) {
    bool negative = false;
    std::string text = EncodeAngle(degrees, "%03d%02d", negative);
    return (negative ? "-" : " ") + text;
}

// --- Ellipsoid table -------------------------------------------------------------------------------

std::span<const EllipsoidEntry> EllipsoidTable() {
    return kEllipsoids;
}

const EllipsoidEntry* FindEllipsoid(int index) {
    for (const auto& e : kEllipsoids) {
        if (e.index == index)
            return &e;
    }
    return nullptr;
}

}  // namespace geodesy
