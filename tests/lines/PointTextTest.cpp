#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "geodesy/CoordinateCal.h"
#include "marivane/lines/PointText.h"

namespace {

using marivane::InputMode;
using marivane::PlanPoint;
using marivane::PointTextError;

struct DegreesCase {
    const char* text;
    std::optional<double> expected;
};

TEST(PointText, DecodesFourPartDegreesText) {
    const DegreesCase cases[] = {
        {"04 29 29.6751 N", 4 + 29 / 60.0 + 29.6751 / 3600},
        {"076 21 7.3738 E", 76 + 21 / 60.0 + 7.3738 / 3600},
        {"04 29 29.675124 S", 4 + 29 / 60.0 + 29.675124 / 3600},        // the letter is not used
        {"-04 -29 -29.675124 S", -(4 + 29 / 60.0 + 29.675124 / 3600)},  // the signs are
        {"-04 29 29.675124 S", -4 + 29 / 60.0 + 29.675124 / 3600},      // each part keeps its own sign
        {"  04   29\t29.6751  N ", 4 + 29 / 60.0 + 29.6751 / 3600},     // runs of blanks separate once
        {"4.9 29.9 1.5 N", 4 + 29 / 60.0 + 1.5 / 3600},                 // degrees and minutes are integers
        {"a b c d", 0.0},
        {"04 29 29.6751", std::nullopt},
        {"04 29 29.6751 N extra", std::nullopt},
        {"04 29 29.6751N", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const DegreesCase& c : cases) {
        const std::optional<double> value = marivane::ParseDegreesText(c.text);
        ASSERT_EQ(value.has_value(), c.expected.has_value()) << '"' << c.text << '"';
        if (value) {
            EXPECT_NEAR(*value, *c.expected, 1e-12) << '"' << c.text << '"';
        }
    }
}

TEST(PointText, FormatsDegreesMinutesSecondsWithSignedParts) {
    const double latitude = 4 + 29 / 60.0 + 29.675124 / 3600;
    const double longitude = 76 + 21 / 60.0 + 7.373836 / 3600;
    EXPECT_EQ(marivane::FormatLatitude(latitude), "04 29 29.675124 N");
    EXPECT_EQ(marivane::FormatLatitude(-latitude), "-4 -29 -29.675124 S");
    EXPECT_EQ(marivane::FormatLongitude(longitude), "076 21 7.373836 E");
    EXPECT_EQ(marivane::FormatLongitude(-longitude), "-76 -21 -7.373836 W");
    EXPECT_EQ(marivane::FormatLongitude(-0.5), "000 -30 0.000000 W");
    EXPECT_EQ(marivane::FormatLatitude(0), "00 00 0.000000 N");
    // Values no angle can have are shown as plain numbers rather than cut into an int.
    EXPECT_EQ(marivane::FormatLatitude(1e300).substr(0, 4), "1000");
    // What is shown decodes to the value again.
    for (const double v : {latitude, -latitude, longitude, -longitude, -0.5, 179.999999, -89.0000001}) {
        const std::optional<double> back = marivane::ParseDegreesText(marivane::FormatLongitude(v));
        ASSERT_TRUE(back.has_value());
        EXPECT_NEAR(*back, v, 1e-9) << v;
    }
}

TEST(PointText, PlanModeUsesTheCellsNumbers) {
    const geodesy::CCoordinateCal cal;
    const marivane::PointTexts texts =
        marivane::FormatPointTexts({512345.25, -3.5}, InputMode::PlanXY, cal, "%.6f");
    EXPECT_EQ(texts.first, "512345.250000");
    EXPECT_EQ(texts.second, "-3.500000");
    EXPECT_EQ(marivane::FormatPointTexts({1.005, 2}, InputMode::PlanXY, cal, "%.2f").second, "2.00");
    const marivane::DecodedPoint decoded =
        marivane::DecodePointTexts(" 12.5m", "abc", InputMode::PlanXY, cal);
    EXPECT_EQ(decoded.error, PointTextError::None);
    EXPECT_EQ(decoded.point, (PlanPoint{12.5, 0.0}));
}

TEST(PointText, GeographicModeConvertsThroughTheCalculator) {
    const geodesy::CCoordinateCal cal;  // transverse Mercator about 117° E
    // The texts go through GeoToGrid with the northing as x and the easting as y.
    const double latitude = 30 + 15 / 60.0 + 10.5 / 3600;
    const double longitude = 117 + 40 / 60.0 + 20.25 / 3600;
    double x = 0, y = 0, h = 0;
    cal.GeoToGrid(latitude, longitude, 0, x, y, h);
    const marivane::DecodedPoint decoded =
        marivane::DecodePointTexts("30 15 10.5 N", "117 40 20.25 E", InputMode::GeoLB, cal);
    ASSERT_EQ(decoded.error, PointTextError::None);
    EXPECT_EQ(decoded.point, (PlanPoint{y, x}));

    // A grid point shown as latitude and longitude and typed back lands within a millimetre.
    const PlanPoint point{563000.5, 3346000.25};
    const marivane::PointTexts texts = marivane::FormatPointTexts(point, InputMode::GeoLB, cal, "%.6f");
    EXPECT_EQ(texts.first.substr(0, 3), "30 ");
    EXPECT_EQ(texts.first.back(), 'N');
    EXPECT_EQ(texts.second.substr(0, 4), "117 ");
    EXPECT_EQ(texts.second.back(), 'E');
    const marivane::DecodedPoint back =
        marivane::DecodePointTexts(texts.first, texts.second, InputMode::GeoLB, cal);
    ASSERT_EQ(back.error, PointTextError::None);
    EXPECT_NEAR(back.point.easting, point.easting, 1e-3);
    EXPECT_NEAR(back.point.northing, point.northing, 1e-3);

    // Each cell must have four parts; the latitude is checked first.
    EXPECT_EQ(marivane::DecodePointTexts("30 15 N", "117 40 20 E", InputMode::GeoLB, cal).error,
              PointTextError::Latitude);
    EXPECT_EQ(marivane::DecodePointTexts("30 15 N", "117 E", InputMode::GeoLB, cal).error,
              PointTextError::Latitude);
    EXPECT_EQ(marivane::DecodePointTexts("30 15 10 N", "117 40 E", InputMode::GeoLB, cal).error,
              PointTextError::Longitude);
}

}  // namespace
