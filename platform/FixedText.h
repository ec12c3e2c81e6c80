#pragma once
// Fixed-width, zero-terminated text fields of binary records (char name[32] and the like).

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace platform {

// Copies at most N - 1 bytes of `text` into the field and fills the rest with zeros, so the field is
// always terminated. A UTF-8 character that would not fit whole is left out.
void SetFixedText(char* field, std::size_t size, std::string_view text);

template <std::size_t N>
void SetFixedText(char (&field)[N], std::string_view text) {
    SetFixedText(field, N, text);
}

// The text of a field up to its first zero byte, never reading beyond the field, so a field from a
// damaged file without a terminator still gives at most `size` bytes.
std::string GetFixedText(const char* field, std::size_t size);

template <std::size_t N>
std::string GetFixedText(const char (&field)[N]) {
    return GetFixedText(field, N);
}

// `value` printed as a zero-padded decimal field of exactly `width` digits ("%0*d"); a value that
// does not fit keeps its lowest digits, a negative value is written as 0.
std::string ZeroPadded(long long value, int width);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 character.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace platform
