#include "platform/FixedText.h"

#include <gtest/gtest.h>

namespace {

TEST(FixedText, SetCutsTerminatesAndZeroFills) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    platform::SetFixedText(field, "abc");
    EXPECT_EQ(std::string(field, sizeof field), std::string("abc\0\0\0\0\0", 8));
    platform::SetFixedText(field, "0123456789");
    EXPECT_EQ(std::string(field, sizeof field), std::string("0123456\0", 8));
    // "ab" + a three-byte character + "c" in 6 bytes: the character does not fit whole.
    char small[6];
    platform::SetFixedText(small, "abcd\xE4\xB8\xAD");
    EXPECT_EQ(platform::GetFixedText(small), "abcd");
}

TEST(FixedText, GetNeverReadsBeyondTheField) {
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(platform::GetFixedText(unterminated), "abcd");
    const char early[4] = {'a', '\0', 'c', 'd'};
    EXPECT_EQ(platform::GetFixedText(early), "a");
}

TEST(FixedText, ZeroPadded) {
    EXPECT_EQ(platform::ZeroPadded(7, 3), "007");
    EXPECT_EQ(platform::ZeroPadded(2026, 4), "2026");
    EXPECT_EQ(platform::ZeroPadded(12345, 3), "345");
    EXPECT_EQ(platform::ZeroPadded(-5, 2), "00");
    EXPECT_EQ(platform::ZeroPadded(5, 0), "");
}

}  // namespace
