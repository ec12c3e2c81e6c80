// Output files: pieces handed to several writing threads land at their places, whatever sizes the
// caller writes in; nothing carries the final name before the commit; an abandoned file leaves
// nothing behind.

#include <gtest/gtest.h>

#include <random>

#include "ConverterTestSupport.h"
#include "quillfen/OutputFile.h"

namespace {

using namespace qftest;
using quillfen::OutputFile;

TEST(OutputFile, EveryByteLandsInOrderWhateverTheSizesWritten) {
    TempDir dir;
    std::mt19937 rng(11);
    Bytes expected;
    OutputFile file;
    for (int round = 0; round < 2; ++round) {  // a file object serves one file after another
        expected.clear();
        const std::string name = "out" + std::to_string(round) + ".bin";
        ASSERT_TRUE(file.Create(dir / name));
        std::uint8_t value = 0;
        const auto next = [&](std::size_t n) {
            Bytes b(n);
            for (auto& x : b) x = value++;
            value = static_cast<std::uint8_t>(value + 7);
            expected.insert(expected.end(), b.begin(), b.end());
            return b;
        };
        for (int k = 0; k < 400; ++k) {
            const std::size_t n = std::uniform_int_distribution<std::size_t>(1, 200000)(rng);
            const Bytes b = next(n);
            if (k % 2 == 0) {
                file.Write(b.data(), b.size());
            } else {
                std::memcpy(file.Room(b.size()), b.data(), b.size());
                file.Advance(b.size());
            }
        }
        const Bytes wide = next(OutputFile::kBufferSize + 12345);  // wider than a buffer, filled in place
        std::memcpy(file.Room(wide.size()), wide.data(), wide.size());
        file.Advance(wide.size());
        const Bytes tail = next(3);
        file.Write(tail.data(), tail.size());

        EXPECT_FALSE(std::filesystem::exists(dir / name));
        quillfen::PendingOutput pending;
        ASSERT_TRUE(file.Close(pending)) << file.Error();
        EXPECT_FALSE(std::filesystem::exists(dir / name));
        std::string error;
        ASSERT_TRUE(quillfen::CommitOutputs({pending}, error)) << error;
        EXPECT_EQ(dir.Names().size(), static_cast<std::size_t>(round + 1));
        const Bytes written = ReadAll(dir / name);
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected);
    }
}

TEST(OutputFile, AbandonedAndUncreatableFilesLeaveNothing) {
    TempDir dir;
    OutputFile file;
    ASSERT_TRUE(file.Create(dir / "gone.bin"));
    const Bytes b(3 * OutputFile::kBufferSize, 0x5A);
    file.Write(b.data(), b.size());
    file.Abandon();
    EXPECT_TRUE(dir.Names().empty());

    EXPECT_FALSE(file.Create(dir / "no" / "such" / "folder.bin"));
    EXPECT_FALSE(file.Error().empty());
    EXPECT_TRUE(dir.Names().empty());
}

}  // namespace
