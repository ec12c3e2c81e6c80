#pragma once
// Small helpers for the bilingual texts of lines and borders.

#include <string>
#include <string_view>

namespace marivane::lines_detail {

// `text` with its first occurrence of `token` replaced by `value`.
inline std::string ReplaceFirst(std::string_view text, std::string_view token, std::string_view value) {
    std::string out(text);
    const std::size_t at = out.find(token);
    if (at != std::string::npos)
        out.replace(at, token.size(), value);
    return out;
}

// `text` with each "%d" in turn replaced by the next number.
template <typename... Numbers>
std::string WithNumbers(std::string_view text, Numbers... numbers) {
    std::string out(text);
    ((out = ReplaceFirst(out, "%d", std::to_string(numbers))), ...);
    return out;
}

}  // namespace marivane::lines_detail
