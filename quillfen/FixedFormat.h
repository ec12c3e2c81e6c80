#pragma once
// Fast text of numbers for the text writer: exactly what printf prints for "%.1f", "%.2f", "%.3f"
// and "%d" in the C locale, including the rounding of exact binary ties (0.0625 with three decimals is
// "0.062": printf rounds the exact binary value, halfway cases to even), the sign of negative values
// that round to zero ("-0.000") and the texts of infinities and not-a-number.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

// Room FormatFixed may need for any value (the longest "%.3f" of a double is about 315 characters).
inline constexpr std::size_t kMaxFixedText = 352;

// Writes `value` with `decimals` (0 to 3) digits after the point at `out`; returns the end.
char* FormatFixed(char* out, double value, int decimals);
char* FormatInteger(char* out, std::int64_t value);

std::string Fixed(double value, int decimals);

// A growing text that the writers format into and hand to the output file in large pieces.
class TextBuffer {
  public:
    explicit TextBuffer(std::size_t reserve = 1 << 20) { data_.reserve(reserve); }

    void Fixed(double value, int decimals) {
        char* p = Room(kMaxFixedText);
        size_ = static_cast<std::size_t>(FormatFixed(p, value, decimals) - data_.data());
    }
    void Integer(std::int64_t value) {
        char* p = Room(24);
        size_ = static_cast<std::size_t>(FormatInteger(p, value) - data_.data());
    }
    void Text(std::string_view text) {
        char* p = Room(text.size());
        if (!text.empty())
            std::char_traits<char>::copy(p, text.data(), text.size());
        size_ += text.size();
    }
    void Char(char c) {
        *Room(1) = c;
        ++size_;
    }

    std::string_view View() const { return {data_.data(), size_}; }
    std::size_t Size() const { return size_; }
    void Clear() { size_ = 0; }

  private:
    char* Room(std::size_t n) {
        if (data_.size() < size_ + n)
            data_.resize((size_ + n) * 2);
        return data_.data() + size_;
    }

    std::vector<char> data_;
    std::size_t size_ = 0;
};

}  // namespace quillfen
