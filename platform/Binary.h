#pragma once
// Little-endian reading and writing of binary files and wire formats, with bounds checks.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform {

static_assert(std::endian::native == std::endian::little, "the suite assumes a little-endian host");

// Raw little-endian access; the caller guarantees sizeof(T) bytes at p.
template <typename T>
T LoadLE(const void* p) {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

template <typename T>
void StoreLE(void* p, T v) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(p, &v, sizeof(T));
}

// Reads values from a byte span; any read past the end fails and leaves the reader failed.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Offset() const { return offset_; }
    std::size_t Remaining() const { return failed_ ? 0 : bytes_.size() - offset_; }
    bool Ok() const { return !failed_; }

    template <typename T>
    bool Read(T& out) {
        if (!Has(sizeof(T))) return false;
        out = LoadLE<T>(bytes_.data() + offset_);
        offset_ += sizeof(T);
        return true;
    }
    template <typename T>
    std::optional<T> Get() {
        T v{};
        if (!Read(v)) return std::nullopt;
        return v;
    }
    bool ReadBytes(void* dst, std::size_t n) {
        if (!Has(n)) return false;
        std::memcpy(dst, bytes_.data() + offset_, n);
        offset_ += n;
        return true;
    }
    bool Skip(std::size_t n) {
        if (!Has(n)) return false;
        offset_ += n;
        return true;
    }
    bool Seek(std::size_t offset) {
        if (failed_ || offset > bytes_.size()) {
            failed_ = true;
            return false;
        }
        offset_ = offset;
        return true;
    }

private:
    bool Has(std::size_t n) {
        if (failed_ || n > bytes_.size() - offset_) {
            failed_ = true;
            return false;
        }
        return true;
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    bool failed_ = false;
};

// Appends little-endian values to a byte vector.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    template <typename T>
    void Write(T v) {
        const std::size_t at = out_.size();
        out_.resize(at + sizeof(T));
        StoreLE<T>(out_.data() + at, v);
    }
    void WriteBytes(const void* src, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(src);
        out_.insert(out_.end(), p, p + n);
    }
    void WriteZeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    std::size_t Size() const { return out_.size(); }

private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace platform
