#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "marivane/lines/LnwFile.h"

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// The name as the writer puts it into the file.
std::string Written(std::string name) {
    for (char& c : name) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return name;
}

}  // namespace

// Any bytes read as a line file: a refused file gives no lines; an accepted one announces 1 to 65535
// lines, holds finite points and no more points than the file has text lines; what it holds writes
// and reads back to the same names and the same points to six decimals, and writing it again gives
// the same text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const marivane::LnwContent content = marivane::ParseLnw(text);
    if (content.status != marivane::LnwStatus::Ok) {
        Check(content.lines.empty());
        return 0;
    }
    Check(!content.lines.empty() && content.lines.size() <= 65535);
    std::size_t textLines = 1;
    for (const char c : text) textLines += c == '\n' ? 1 : 0;
    std::size_t points = 0;
    for (const marivane::SurveyLine& line : content.lines) {
        points += line.points.size();
        for (const marivane::PlanPoint& p : line.points)
            Check(std::isfinite(p.easting) && std::isfinite(p.northing));
    }
    Check(points <= textLines);

    const std::string once = marivane::FormatLnw(content.lines);
    const marivane::LnwContent back = marivane::ParseLnw(once);
    Check(back.status == marivane::LnwStatus::Ok && back.lines.size() == content.lines.size());
    for (std::size_t i = 0; i < content.lines.size(); ++i) {
        const marivane::SurveyLine& a = content.lines[i];
        const marivane::SurveyLine& b = back.lines[i];
        Check(b.name == Written(a.name));
        Check(a.points.size() == b.points.size());
        for (std::size_t k = 0; k < a.points.size(); ++k) {
            const double tolerance = 5.01e-7 + 1e-15 * std::fabs(a.points[k].easting);
            Check(std::fabs(a.points[k].easting - b.points[k].easting) <= tolerance);
            const double toleranceN = 5.01e-7 + 1e-15 * std::fabs(a.points[k].northing);
            Check(std::fabs(a.points[k].northing - b.points[k].northing) <= toleranceN);
        }
    }
    Check(marivane::FormatLnw(back.lines) == once);
    return 0;
}
