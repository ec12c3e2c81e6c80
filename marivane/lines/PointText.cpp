#include "marivane/lines/PointText.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "platform/Message.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

std::string FormatDegrees(double value, const char* degreeFormat, char positive, char negative) {
    const std::string hemisphere = std::string(" ") + (value < 0 ? negative : positive);
    // Whole degrees must fit an int; anything else is shown as the plain number.
    if (!std::isfinite(value) || std::fabs(value) > 1.0e6)
        return platform::FormatDouble("%.6f", value) + hemisphere;
    const int degrees = static_cast<int>(value);
    const double fraction = value - degrees;
    const int minutes = static_cast<int>(fraction * 60.0);
    const double seconds = (fraction - minutes / 60.0) * 3600.0;
    char head[32];
    std::snprintf(head, sizeof head, degreeFormat, degrees);
    char minuteText[16];
    std::snprintf(minuteText, sizeof minuteText, "%02d", minutes);
    return std::string(head) + ' ' + minuteText + ' ' + platform::FormatDouble("%02.6f", seconds) +
           hemisphere;
}

std::vector<std::string_view> SplitAtBlanks(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > start)
            parts.push_back(text.substr(start, i - start));
        if (parts.size() > 4)
            break;
    }
    return parts;
}

}  // namespace

std::string FormatLatitude(double degrees) {
    return FormatDegrees(degrees, "%02d", 'N', 'S');
}
std::string FormatLongitude(double degrees) {
    return FormatDegrees(degrees, "%03d", 'E', 'W');
}

std::optional<double> ParseDegreesText(std::string_view text) {
    const std::vector<std::string_view> parts = SplitAtBlanks(text);
    if (parts.size() != 4)
        return std::nullopt;
    const int degrees = platform::LeadingInt(parts[0]);
    const int minutes = platform::LeadingInt(parts[1]);
    const double seconds = platform::LeadingDouble(parts[2]);
    return static_cast<double>(degrees) + minutes / 60.0 + seconds / 3600.0;
}

PointTexts FormatPointTexts(const PlanPoint& point, InputMode mode, const geodesy::CCoordinateCal& cal,
                            const char* planFormat) {
    if (mode == InputMode::PlanXY)
        return {platform::FormatDouble(planFormat, point.easting),
                platform::FormatDouble(planFormat, point.northing)};
    double latitude = 0, longitude = 0, height = 0;
    cal.GridToGeo(point.northing, point.easting, 0.0, latitude, longitude, height);
    return {FormatLatitude(latitude), FormatLongitude(longitude)};
}

DecodedPoint DecodePointTexts(std::string_view first, std::string_view second, InputMode mode,
                              const geodesy::CCoordinateCal& cal) {
    if (mode == InputMode::PlanXY)
        return {PointTextError::None,
                PlanPoint{platform::LeadingDouble(first), platform::LeadingDouble(second)}};
    const std::optional<double> latitude = ParseDegreesText(first);
    if (!latitude)
        return {PointTextError::Latitude, {}};
    const std::optional<double> longitude = ParseDegreesText(second);
    if (!longitude)
        return {PointTextError::Longitude, {}};
    double x = 0, y = 0, h = 0;
    cal.GeoToGrid(*latitude, *longitude, 0.0, x, y, h);
    if (!std::isfinite(x) || !std::isfinite(y))
        return {PointTextError::NotConvertible, {}};
    return {PointTextError::None, PlanPoint{y, x}};
}

void ShowPointTextError(PointTextError error) {
    switch (error) {
        case PointTextError::None:
            return;
        case PointTextError::Latitude:
            platform::ShowBilingualMessage("纬度数据输入错误！", "Latitude data input error!",
                                           platform::kBoxError);
            return;
        case PointTextError::Longitude:
            platform::ShowBilingualMessage("经度数据输入错误！", "Longitude data input error!",
                                           platform::kBoxError);
            return;
        case PointTextError::NotConvertible:
            platform::ShowBilingualMessage("该位置无法换算为平面坐标！",
                                           "The position cannot be converted to grid coordinates!",
                                           platform::kBoxError);
            return;
    }
}

}  // namespace marivane
