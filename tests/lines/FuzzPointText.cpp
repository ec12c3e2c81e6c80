#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "geodesy/CoordinateCal.h"
#include "marivane/lines/PointText.h"

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void CheckShownValueDecodesBack(double v) {
    for (const std::string& shown : {marivane::FormatLatitude(v), marivane::FormatLongitude(v)}) {
        if (!std::isfinite(v) || std::fabs(v) > 1.0e6)
            continue;
        const std::optional<double> back = marivane::ParseDegreesText(shown);
        Check(back.has_value() && std::fabs(*back - v) <= 1e-9 + 1e-15 * std::fabs(v));
    }
}

}  // namespace

// Two cells separated by '|' decode in both modes to a finite point or an error; decoded angles are
// finite; angles shown as degrees, minutes and seconds decode back to themselves.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const geodesy::CCoordinateCal cal;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t bar = text.find('|');
    const std::string_view first = text.substr(0, bar);
    const std::string_view second = bar == std::string_view::npos ? std::string_view{} : text.substr(bar + 1);

    for (const marivane::InputMode mode : {marivane::InputMode::PlanXY, marivane::InputMode::GeoLB}) {
        const marivane::DecodedPoint decoded = marivane::DecodePointTexts(first, second, mode, cal);
        if (decoded.error == marivane::PointTextError::None)
            Check(std::isfinite(decoded.point.easting) && std::isfinite(decoded.point.northing));
        else
            Check(mode == marivane::InputMode::GeoLB);
        const marivane::PointTexts shown = marivane::FormatPointTexts(decoded.point, mode, cal, "%.6f");
        Check(!shown.first.empty() && !shown.second.empty());
    }
    for (const std::string_view cell : {first, second}) {
        if (const std::optional<double> v = marivane::ParseDegreesText(cell)) {
            Check(std::isfinite(*v));
            CheckShownValueDecodesBack(*v);
        }
    }
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        CheckShownValueDecodesBack(raw);
    }
    return 0;
}
