#include "platform/MappedFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::MappedFile;

class MappedFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mapped_file_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    fs::path dir_;
};

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return v;
}

TEST_F(MappedFileTest, ShowsTheFileAndReportsWhatCannotBeOpened) {
    const std::vector<std::uint8_t> bytes = Pattern(100000);
    MappedFile f;
    std::string error;
    ASSERT_EQ(f.Open(Put("a.bin", bytes), error), MappedFile::Status::Ok);
    EXPECT_EQ(std::vector<std::uint8_t>(f.Bytes().begin(), f.Bytes().end()), bytes);
    EXPECT_FALSE(f.Shortened());

    ASSERT_EQ(f.Open(Put("empty.bin", {}), error), MappedFile::Status::Ok);
    EXPECT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Size(), 0u);

    EXPECT_EQ(f.Open(dir_ / "missing.bin", error), MappedFile::Status::OpenFailed);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Open(dir_, error), MappedFile::Status::NotAFile);

    // What cannot be mapped is read instead.
    ASSERT_EQ(f.Open("/dev/null", error), MappedFile::Status::Ok);
    EXPECT_EQ(f.Size(), 0u);

    f.Assign(std::vector<std::uint8_t>{1, 2, 3});
    ASSERT_EQ(f.Size(), 3u);
    EXPECT_EQ(f.Bytes()[2], 3);
}

// Another program shortens the file while it is mapped: the pages that are gone read as zeros and the
// mapping says so, where an unguarded read would end the process. Other mappings are not touched.
TEST_F(MappedFileTest, AFileShortenedWhileMappedReadsAsZerosAndSaysSo) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::vector<std::uint8_t> bytes = Pattern(4 * page);
    const fs::path shrinking = Put("shrinking.bin", bytes);
    MappedFile a, b;
    std::string error;
    ASSERT_EQ(a.Open(shrinking, error), MappedFile::Status::Ok);
    ASSERT_EQ(b.Open(Put("steady.bin", bytes), error), MappedFile::Status::Ok);

    fs::resize_file(shrinking, page);
    const volatile std::uint8_t* p = a.Bytes().data();
    EXPECT_EQ(p[10], bytes[10]);  // still in the file
    EXPECT_EQ(p[3 * page + 5], 0);
    EXPECT_EQ(p[2 * page], 0);
    EXPECT_TRUE(a.Shortened());
    EXPECT_EQ(b.Bytes()[3 * page + 5], bytes[3 * page + 5]);
    EXPECT_FALSE(b.Shortened());

    // Shortened within its last page only: the bytes past the end read as zeros without any signal,
    // and the mapping still says so.
    MappedFile c;
    const fs::path tail = Put("tail.bin", Pattern(page + 100));
    ASSERT_EQ(c.Open(tail, error), MappedFile::Status::Ok);
    fs::resize_file(tail, page + 10);
    EXPECT_EQ(c.Bytes()[page + 50], 0);
    EXPECT_TRUE(c.Shortened());

    // Reopened, the file is what it is now.
    ASSERT_EQ(a.Open(shrinking, error), MappedFile::Status::Ok);
    EXPECT_EQ(a.Size(), page);
    EXPECT_FALSE(a.Shortened());
}

// A bus error that is not ours still ends the process as it would without the guard.
TEST(MappedFileDeathTest, OtherBusErrorsStillEndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MappedFile keepGuardInstalled;
    std::string error;
    keepGuardInstalled.Open("/proc/self/exe", error);
    EXPECT_DEATH(std::raise(SIGBUS), "");
}

}  // namespace
