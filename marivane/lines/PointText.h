#pragma once
// The text forms of a point in the editors' point lists: plan coordinates (X,Y mode) or latitude and
// longitude as degrees, minutes and seconds (L,B mode), and the decoding of what the user types.

#include <optional>
#include <string>
#include <string_view>

#include "marivane/lines/PlanPoint.h"

namespace geodesy {
class CCoordinateCal;
}

namespace marivane {

enum class InputMode { PlanXY, GeoLB };

// "%02d %02d %02.6f" and " N" or " S": whole degrees, whole minutes of the rest and the seconds
// left, each part carrying the sign of a negative value ("-4 -29 -29.675124 S").
std::string FormatLatitude(double degrees);
// The same with "%03d" degrees and " E" or " W".
std::string FormatLongitude(double degrees);

// Decodes "DD MM SS.SSSS H": the text split at blanks must give exactly four parts; the value is
// degrees + minutes / 60 + seconds / 3600 with degrees and minutes read as integers and seconds as a
// decimal number, each the leading number of its part (0 when none). The hemisphere letter is not
// used; a sign in the numbers is. Nothing when the text does not have four parts.
std::optional<double> ParseDegreesText(std::string_view text);

struct PointTexts {
    std::string first;   // easting, or latitude
    std::string second;  // northing, or longitude
};

// The two cells of a point: in X,Y mode easting and northing with `planFormat` ("%.6f" for lines,
// "%.2f" for borders); in L,B mode the point converted to latitude and longitude (northing as x,
// easting as y, height 0).
PointTexts FormatPointTexts(const PlanPoint& point, InputMode mode, const geodesy::CCoordinateCal& cal,
                            const char* planFormat);

enum class PointTextError {
    None,
    Latitude,       // the first cell is not four parts
    Longitude,      // the second cell is not four parts
    NotConvertible  // the position gives no finite grid point
};

struct DecodedPoint {
    PointTextError error = PointTextError::None;
    PlanPoint point;
};

// The point that two edited cells stand for: X,Y mode the leading numbers of both cells; L,B mode the
// decoded latitude and longitude converted with GeoToGrid at height 0, the y result as easting and
// the x result as northing.
DecodedPoint DecodePointTexts(std::string_view first, std::string_view second, InputMode mode,
                              const geodesy::CCoordinateCal& cal);

// Shows the message of a decoding error ("Latitude data input error!" and so on); nothing for None.
void ShowPointTextError(PointTextError error);

// The positions that add point and insert point put into a line in L,B mode.
inline constexpr std::string_view kAddPointLatitude = "04 29 29.6751 N";
inline constexpr std::string_view kAddPointLongitude = "076 21 7.3738 E";
inline constexpr std::string_view kInsertPointLatitude = "04 29 29.675124 N";
inline constexpr std::string_view kInsertPointLongitude = "076 21 7.373836 E";

}  // namespace marivane
