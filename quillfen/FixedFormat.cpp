#include "quillfen/FixedFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quillfen {
namespace {

constexpr double kScale[4] = {1.0, 10.0, 100.0, 1000.0};
// Below this the scaled value stays under 2^52, so its fraction is exact and a multiple of a power of
// two no larger than 1/8.
constexpr double kFastLimit = 1e12;

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Decimal digits of v, written from the back of a small buffer two at a time.
char* Digits(char* out, std::uint64_t v) {
    char buffer[24];
    char* p = buffer + sizeof buffer;
    while (v >= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (v % 100), 2);
        v /= 100;
    }
    if (v >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * v, 2);
    } else {
        *--p = static_cast<char>('0' + v);
    }
    const auto n = static_cast<std::size_t>(buffer + sizeof buffer - p);
    std::memcpy(out, p, n);
    return out + n;
}

char* Slow(char* out, double value, int decimals) {
    char buffer[kMaxFixedText];
    const int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    const std::size_t len = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), sizeof buffer - 1);
    std::memcpy(out, buffer, len);
    return out + len;
}

}  // namespace

char* FormatFixed(char* out, double value, int decimals) {
    if (decimals < 0 || decimals > 3 || !(std::fabs(value) < kFastLimit))
        return Slow(out, value, decimals);
    const bool negative = std::signbit(value);
    const double x = std::fabs(value);
    const double scaled = x * kScale[decimals];
    auto n = static_cast<std::uint64_t>(scaled);              // the floor: scaled is below 2^52
    const double fraction = scaled - static_cast<double>(n);  // exact
    if (fraction > 0.5) {
        ++n;
    } else if (fraction == 0.5) {
        // The product was rounded to exactly half: the exact product decides, and an exact tie goes
        // to the even neighbour, as printf does.
        const double error = std::fma(x, kScale[decimals], -scaled);
        if (error > 0.0 || (error == 0.0 && (n & 1) != 0))
            ++n;
    }
    // A fraction below one half can never reach it through the product's rounding error: the error is
    // at most half a unit of the product's last place, the distance at least one unit.

    if (negative)
        *out++ = '-';
    switch (decimals) {
        case 0:
            return Digits(out, n);
        case 1:
            out = Digits(out, n / 10);
            out[0] = '.';
            out[1] = static_cast<char>('0' + n % 10);
            return out + 2;
        case 2:
            out = Digits(out, n / 100);
            out[0] = '.';
            std::memcpy(out + 1, kPairs + 2 * (n % 100), 2);
            return out + 3;
        default: {
            out = Digits(out, n / 1000);
            const std::uint64_t f = n % 1000;
            out[0] = '.';
            out[1] = static_cast<char>('0' + f / 100);
            std::memcpy(out + 2, kPairs + 2 * (f % 100), 2);
            return out + 4;
        }
    }
}

char* FormatInteger(char* out, std::int64_t value) {
    return std::to_chars(out, out + 24, value).ptr;
}

std::string Fixed(double value, int decimals) {
    char buffer[kMaxFixedText];
    return std::string(buffer, FormatFixed(buffer, value, decimals));
}

}  // namespace quillfen
