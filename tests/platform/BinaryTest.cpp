#include "platform/Binary.h"

#include <gtest/gtest.h>

namespace {

TEST(Binary, WriterAndReaderAgreeOnLittleEndianLayout) {
    std::vector<std::uint8_t> bytes;
    platform::ByteWriter w(bytes);
    w.Write<std::uint16_t>(0x1234);
    w.Write<std::int32_t>(-2);
    w.Write<double>(1.5);
    w.Write<float>(-0.25f);
    w.WriteZeros(3);
    ASSERT_EQ(bytes.size(), 2u + 4u + 8u + 4u + 3u);
    EXPECT_EQ(bytes[0], 0x34);
    EXPECT_EQ(bytes[1], 0x12);
    EXPECT_EQ(bytes[2], 0xFE);
    EXPECT_EQ(bytes[5], 0xFF);

    platform::ByteReader r(bytes);
    EXPECT_EQ(r.Get<std::uint16_t>(), 0x1234);
    EXPECT_EQ(r.Get<std::int32_t>(), -2);
    EXPECT_EQ(r.Get<double>(), 1.5);
    EXPECT_EQ(r.Get<float>(), -0.25f);
    EXPECT_EQ(r.Remaining(), 3u);
    EXPECT_TRUE(r.Ok());
}

TEST(Binary, ReadsPastTheEndFailAndStayFailed) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    platform::ByteReader r(bytes);
    EXPECT_FALSE(r.Get<std::uint32_t>().has_value());
    EXPECT_FALSE(r.Ok());
    // Once failed, even a read that would fit is refused: the record is damaged.
    EXPECT_FALSE(r.Get<std::uint8_t>().has_value());
    EXPECT_EQ(r.Remaining(), 0u);

    platform::ByteReader s(bytes);
    EXPECT_TRUE(s.Skip(3));
    EXPECT_FALSE(s.Skip(1));
    platform::ByteReader t(bytes);
    EXPECT_FALSE(t.Seek(4));
    std::uint8_t buf[4];
    platform::ByteReader u(bytes);
    EXPECT_FALSE(u.ReadBytes(buf, 4));
    EXPECT_FALSE(u.Skip(static_cast<std::size_t>(-1)));
}

}  // namespace
