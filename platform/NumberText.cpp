#include "platform/NumberText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <cstdlib>
#include <locale.h>
#include <stdlib.h>
#include <string>

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct NumberSpan {
    std::size_t begin = 0;  // first character of the number (after blanks and a '+')
    std::size_t end = 0;    // one past its last character
    bool negative = false;
    bool found = false;
};

// Finds the longest decimal number at the start of `text`: [blanks][sign]digits[.digits][e[sign]digits]
// with at least one digit in the mantissa. `integerOnly` stops before a point or exponent.
NumberSpan ScanNumber(std::string_view text, bool integerOnly) {
    NumberSpan span;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        span.negative = text[i] == '-';
        ++i;
    }
    span.begin = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (!integerOnly && i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fraction = 0;
        while (j < text.size() && IsDigit(text[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0) return span;
    if (!integerOnly && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    span.end = i;
    span.found = true;
    return span;
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

std::optional<double> ParseLeadingDouble(std::string_view text) {
    const NumberSpan span = ScanNumber(text, false);
    if (!span.found) return std::nullopt;
    const char* first = text.data() + span.begin;
    const char* last = text.data() + span.end;
    // A leading '.' is fine for from_chars; the sign was taken off above.
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Out of range either way: a magnitude below the smallest double reads as zero (or the
        // nearest subnormal), one above the largest is no number at all.
        const std::string copy(first, last);
        value = strtod_l(copy.c_str(), nullptr, CLocale());
        if (!std::isfinite(value)) return std::nullopt;
        return span.negative ? -value : value;
    }
    if (result.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return span.negative ? -value : value;
}

double LeadingDouble(std::string_view text) { return ParseLeadingDouble(text).value_or(0.0); }

std::optional<std::int64_t> ParseLeadingInteger(std::string_view text) {
    const NumberSpan span = ScanNumber(text, true);
    if (!span.found) return std::nullopt;
    std::uint64_t magnitude = 0;
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
    bool saturated = false;
    for (std::size_t i = span.begin; i < span.end; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > (kLimit - digit) / 10) {
            saturated = true;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (span.negative) {
        if (saturated || magnitude >= kLimit) return std::numeric_limits<std::int64_t>::min();
        return -static_cast<std::int64_t>(magnitude);
    }
    if (saturated || magnitude >= kLimit) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(magnitude);
}

int LeadingInt(std::string_view text) {
    const std::int64_t v = ParseLeadingInteger(text).value_or(0);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

std::string FormatDouble(const char* format, double value) {
    // The C library formats with the thread's locale; switch this thread to "C" for the call.
    const locale_t cLocale = CLocale();
    const locale_t previous = uselocale(cLocale);
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    uselocale(previous);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    const locale_t again = uselocale(cLocale);
    std::snprintf(big.data(), big.size(), format, value);
    uselocale(again);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

}  // namespace platform
