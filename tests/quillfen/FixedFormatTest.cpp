// The fast number text must be exactly printf's, on every value: random values of every magnitude,
// the exact binary ties that printf rounds to even, and the special values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "quillfen/FixedFormat.h"

namespace {

std::string Printf(double v, int decimals) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

void ExpectSame(double v) {
    for (int d = 0; d <= 3; ++d)
        ASSERT_EQ(quillfen::Fixed(v, d), Printf(v, d)) << "value " << v << " decimals " << d;
}

TEST(FixedFormat, ExactBinaryTiesRoundToEvenAsPrintfDoes) {
    // Odd multiples of 1/16 are exact ties for three decimals, of 1/8 for two, of 1/4 for one and of
    // 1/2 for none: printf rounds them to the even neighbour.
    EXPECT_EQ(quillfen::Fixed(0.0625, 3), "0.062");
    EXPECT_EQ(quillfen::Fixed(0.1875, 3), "0.188");
    EXPECT_EQ(quillfen::Fixed(0.125, 2), "0.12");
    EXPECT_EQ(quillfen::Fixed(0.375, 2), "0.38");
    EXPECT_EQ(quillfen::Fixed(2.5, 0), "2");
    EXPECT_EQ(quillfen::Fixed(-0.0625, 3), "-0.062");
    for (long k = -200000; k <= 200000; k += 1) {
        ExpectSame(static_cast<double>(2 * k + 1) / 16.0);
    }
    // Large ties, where the fraction bits run out.
    for (long k = 1; k < 4000; ++k) ExpectSame(1e9 + static_cast<double>(2 * k + 1) / 16.0);
}

TEST(FixedFormat, NearTiesThatAreNotExactFollowTheExactValue) {
    // 0.0005, 1.0005, 2.675 ... are not representable; the stored value decides the direction.
    for (const double v : {0.0005, 1.0005, 2.675, 1.005, 0.045, 1.15, 8.345, 1234.5675, -0.0005, -2.675})
        ExpectSame(v);
    for (long k = 0; k < 100000; ++k) {
        const double near = static_cast<double>(k) / 1000.0 + 0.0005;
        ExpectSame(near);
        ExpectSame(std::nextafter(near, 0.0));
        ExpectSame(std::nextafter(near, 1e300));
    }
}

TEST(FixedFormat, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(20240301);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 16);
    for (int i = 0; i < 500000; ++i) ExpectSame(unit(rng) * std::pow(10.0, exponent(rng)));
    // Arbitrary bit patterns that are finite numbers.
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v))
            ExpectSame(v);
    }
}

TEST(FixedFormat, SignsZerosAndSpecialValues) {
    for (const double v :
         {0.0, -0.0, -0.0001, -0.00049, 1e-320, -1e-320, 1e12, 999999999999.9995, 4.5e15, 1e300, -1e300,
          std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
          -std::numeric_limits<double>::quiet_NaN()})
        ExpectSame(v);
    EXPECT_EQ(quillfen::Fixed(-0.0001, 3), "-0.000");
}

TEST(FixedFormat, TextBufferIntegers) {
    quillfen::TextBuffer b(4);
    for (const long long v : {0LL, -1LL, 42LL, 4294967295LL, -9223372036854775807LL - 1}) {
        b.Integer(v);
        b.Char(' ');
    }
    EXPECT_EQ(b.View(), "0 -1 42 4294967295 -9223372036854775808 ");
}

}  // namespace
