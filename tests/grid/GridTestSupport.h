#pragma once
// What the grid tests share: a folder of their own, the messages the code shows (answered as told),
// and small file helpers.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "marivane/grid/MatrixFile.h"
#include "platform/Binary.h"
#include "platform/Message.h"

namespace gridtest {

namespace fs = std::filesystem;

struct Shown {
    std::string text;
    unsigned boxType;
};

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned boxType,
                                    bool) override {
        shown.push_back({std::string(text), boxType});
        return answer;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& s : shown) out.push_back(s.text);
        return out;
    }
    std::vector<Shown> shown;
    platform::MessageAnswer answer = platform::MessageAnswer::Ok;
};

// A folder per test, English messages recorded.
class GridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("grid_") + info->test_suite_name() + "_" + info->name();
        for (char& ch : name) {
            if (ch == '/')
                ch = '_';
        }
        dir_ = fs::path(::testing::TempDir()) / name;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        platform::SetMessagePresenter(&messages_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        fs::remove_all(dir_);
    }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    fs::path dir_;
    RecordingPresenter messages_;
};

inline std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The cells of a grid file as stored, or nothing beyond what the file holds.
inline std::vector<marivane::MatrixCell> FileCells(const fs::path& path) {
    const auto bytes = ReadBytes(path);
    std::vector<marivane::MatrixCell> cells;
    for (std::size_t at = marivane::kMatrixFileHeaderSize; at + 8 <= bytes.size(); at += 8)
        cells.push_back(
            {platform::LoadLE<std::uint32_t>(&bytes[at]), platform::LoadLE<float>(&bytes[at + 4])});
    return cells;
}

// A header of `columns` × `rows` cells of `cell` metres at (x, y), the outline laid out at rotation 0.
inline marivane::MatrixHeader GridHeader(double x, double y, std::uint32_t columns, std::uint32_t rows,
                                         double cell = 1.0, double rotation = 0.0) {
    marivane::MatrixHeader h;
    h.baseX = x;
    h.baseY = y;
    h.length = columns * cell;
    h.width = rows * cell;
    h.cellLength = cell;
    h.cellWidth = cell;
    h.rotation = rotation;
    h.rows = rows;
    h.columns = columns;
    h.outline = {{{x, y}, {x + h.length, y}, {x + h.length, y + h.width}, {x, y + h.width}}};
    return h;
}

}  // namespace gridtest
