#include "platform/FixedText.h"

#include <algorithm>

namespace platform {

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    // Step back over continuation bytes so the cut falls before the start of a character.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

void SetFixedText(char* field, std::size_t size, std::string_view text) {
    if (size == 0) return;
    const std::string_view kept = Utf8Prefix(text, size - 1);
    std::memcpy(field, kept.data(), kept.size());
    std::memset(field + kept.size(), 0, size - kept.size());
}

std::string GetFixedText(const char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size;
    return std::string(field, n);
}

std::string ZeroPadded(long long value, int width) {
    if (width <= 0) return {};
    std::string out(static_cast<std::size_t>(width), '0');
    unsigned long long v = value < 0 ? 0ULL : static_cast<unsigned long long>(value);
    for (std::size_t i = out.size(); i-- > 0 && v > 0;) {
        out[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return out;
}

}  // namespace platform
