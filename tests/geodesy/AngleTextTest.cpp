// Angle texts of the parameter record: decoding, encoding with the seconds carry, and the round trip.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "geodesy/ParaOfGeo.h"

namespace geodesy {
namespace {

struct ParseCase {
    const char* text;
    AngleForm form;
    double otherLength;
    double expected;
};

TEST(AngleText, Parse) {
    const ParseCase cases[] = {
        {"117300000000W", AngleForm::Longitude, 117.0, -117.5},
        {"117000000000E", AngleForm::Longitude, 117.0, 117.0},
        {"001203045678E", AngleForm::Longitude, 117.0, 1 + 20 / 60.0 + 30.45678 / 3600.0},
        {"30153050000S", AngleForm::Latitude, 0.0, -(30 + 15 / 60.0 + 30.5 / 3600.0)},
        {"00000000000N", AngleForm::Latitude, 0.0, 0.0},
        {"-000001000000", AngleForm::Signed, 0.0, -10 / 3600.0},
        {"+001000000000", AngleForm::Signed, 0.0, 1.0},
        {" 000000000000", AngleForm::Signed, 0.0, 0.0},
        // Any other length gives the caller's value.
        {"11700000000E", AngleForm::Longitude, 117.0, 117.0},
        {"1170000000000E", AngleForm::Longitude, 117.0, 117.0},
        {"", AngleForm::Latitude, 0.0, 0.0},
        {"117000000000E", AngleForm::Latitude, 0.0, 0.0},
        {"000001000000", AngleForm::Signed, 0.0, 0.0},
        // Letters in place of digits read as no number, never as something undefined.
        {"ABCDEFGHIJKLW", AngleForm::Longitude, 117.0, -0.0},
        {"1x7300000000E", AngleForm::Longitude, 117.0, 1.5},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(ParseAngleText(c.text, c.form, c.otherLength), c.expected, 1e-12) << '"' << c.text << '"';
    }
}

TEST(AngleText, EncodeWithSecondsCarry) {
    EXPECT_EQ(FormatLatitudeText(30.999999999), "31000000000N");
    EXPECT_EQ(FormatLatitudeText(-0.5), "00300000000S");
    EXPECT_EQ(FormatLatitudeText(0.0), "00000000000N");
    EXPECT_EQ(FormatLongitudeText(5.5), "005300000000E");
    EXPECT_EQ(FormatLongitudeText(-117.5), "117300000000W");
    EXPECT_EQ(FormatLongitudeText(1 + 20 / 60.0 + 30.45678 / 3600.0), "001203045678E");
    EXPECT_EQ(FormatLongitudeText(12.999999999999), "013000000000E");  // carry through 59 minutes
    EXPECT_EQ(FormatLongitudeText(180.9999999999), "180000000000E");   // a carry past 180 stops there
    EXPECT_EQ(FormatSignedAngleText(-0.5), "-000300000000");
    EXPECT_EQ(FormatSignedAngleText(10 / 3600.0), " 000001000000");
}

TEST(AngleText, NonFiniteEncodesAsZero) {
    EXPECT_EQ(FormatLatitudeText(std::numeric_limits<double>::quiet_NaN()), "00000000000N");
    EXPECT_EQ(FormatLongitudeText(std::numeric_limits<double>::infinity()), "000000000000E");
    EXPECT_EQ(FormatSignedAngleText(-std::numeric_limits<double>::infinity()), " 000000000000");
}

// Encoding then decoding gives the angle back to the five decimals of the seconds, and the text always
// has its form's length and only digits between sign and hemisphere, also for the values just below a
// whole minute where the minutes of the encoder round up.
TEST(AngleText, RoundTripOverTheWholeRange) {
    constexpr double kHalfLastDigit = 0.5e-5 / 3600.0;
    auto check = [&](double v, AngleForm form) {
        const std::string text = form == AngleForm::Latitude    ? FormatLatitudeText(v)
                                 : form == AngleForm::Longitude ? FormatLongitudeText(v)
                                                                : FormatSignedAngleText(v);
        ASSERT_EQ(text.size(), AngleTextLength(form)) << v << " -> " << text;
        const std::size_t digitsFrom = form == AngleForm::Signed ? 1 : 0;
        const std::size_t digitsTo = form == AngleForm::Signed ? text.size() : text.size() - 1;
        for (std::size_t i = digitsFrom; i < digitsTo; ++i) {
            ASSERT_TRUE(text[i] >= '0' && text[i] <= '9') << v << " -> " << text;
        }
        ASSERT_NEAR(ParseAngleText(text, form), v, kHalfLastDigit + 1e-12) << v << " -> " << text;
    };
    for (int d = 0; d < 90; ++d) {
        for (int m = 0; m < 60; ++m) {
            const double minute = d + m / 60.0;
            double below = minute;
            for (int k = 0; k < 8; ++k) below = std::nextafter(below, -1.0);
            for (double v : {minute, below, minute + 0.123456789 / 60.0, minute + 59.999996 / 3600.0}) {
                if (v < 0.0)
                    continue;
                check(v, AngleForm::Latitude);
                check(-v, AngleForm::Latitude);
                check(2 * v, AngleForm::Longitude);
                check(-2 * v, AngleForm::Longitude);
                check(-v, AngleForm::Signed);
            }
        }
    }
}

}  // namespace
}  // namespace geodesy
