#pragma once
// Buffered text output with locale-independent number formatting, for the many lines rawdump prints.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace rawdump {

class OutputBuffer {
  public:
    static constexpr std::size_t kFlushSize = 1 << 20;

    explicit OutputBuffer(std::FILE* file) : file_(file) { text_.reserve(kFlushSize + 4096); }
    ~OutputBuffer() { Flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    OutputBuffer& operator<<(std::string_view text);
    OutputBuffer& operator<<(char ch);
    OutputBuffer& operator<<(std::uint64_t value);
    OutputBuffer& operator<<(std::uint32_t value) { return *this << static_cast<std::uint64_t>(value); }
    OutputBuffer& operator<<(int value);
    // Fixed-point with `decimals` digits after the point, as printf's "%.<decimals>f" in the C locale.
    OutputBuffer& Fixed(double value, int decimals);
    // A text from a file: printable ASCII as it is, every other byte as '?', "-" when empty.
    OutputBuffer& Text(std::string_view text);

    // Writes what is buffered; false once any write failed.
    bool Flush();
    bool Ok() const { return ok_; }

  private:
    void MaybeFlush() {
        if (text_.size() >= kFlushSize)
            Flush();
    }

    std::FILE* file_;
    std::string text_;
    bool ok_ = true;
};

}  // namespace rawdump
