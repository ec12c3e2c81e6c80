#pragma once
// Leading-number parsing of text from files and fields, independent of the locale:
// leading blanks are skipped, the longest decimal number at the start is taken, the rest ignored,
// and 0 comes out when there is no number. Only plain decimal numbers count: "nan", "inf",
// hexadecimal forms and numbers too large for a double read as no number (0), so a non-finite value
// never comes out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// atof semantics: "12.5abc" -> 12.5, "abc" -> 0, " -3e2" -> -300.
double LeadingDouble(std::string_view text);

// atoi semantics: "12abc" -> 12, "abc" -> 0; values beyond the int range saturate.
int LeadingInt(std::string_view text);

// The same number, or nothing when the text does not begin with one.
std::optional<double> ParseLeadingDouble(std::string_view text);
std::optional<std::int64_t> ParseLeadingInteger(std::string_view text);

// printf-style formatting in the C locale ("%f", "%.4f", ...), whatever the process locale is.
std::string FormatDouble(const char* format, double value);

}  // namespace platform
