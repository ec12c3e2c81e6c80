#include "tools/rawdump/OutputBuffer.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace rawdump {

OutputBuffer& OutputBuffer::operator<<(std::string_view text) {
    text_.append(text);
    MaybeFlush();
    return *this;
}

OutputBuffer& OutputBuffer::operator<<(char ch) {
    text_.push_back(ch);
    MaybeFlush();
    return *this;
}

OutputBuffer& OutputBuffer::operator<<(std::uint64_t value) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, r.ptr);
    MaybeFlush();
    return *this;
}

OutputBuffer& OutputBuffer::operator<<(int value) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, r.ptr);
    MaybeFlush();
    return *this;
}

OutputBuffer& OutputBuffer::Fixed(double value, int decimals) {
    // Large enough for any double in fixed notation (309 digits before the point).
    char digits[400];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (r.ec == std::errc()) {
        text_.append(digits, r.ptr);
    } else {
        text_.append("?");
    }
    MaybeFlush();
    return *this;
}

OutputBuffer& OutputBuffer::Text(std::string_view text) {
    if (text.empty()) {
        text_.push_back('-');
    } else {
        for (const char ch : text) {
            const auto b = static_cast<unsigned char>(ch);
            text_.push_back(b > 0x20 && b < 0x7F ? ch : '?');
        }
    }
    MaybeFlush();
    return *this;
}

bool OutputBuffer::Flush() {
    if (!text_.empty()) {
        if (std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size())
            ok_ = false;
        text_.clear();
    }
    if (std::fflush(file_) != 0)
        ok_ = false;
    return ok_;
}

}  // namespace rawdump
