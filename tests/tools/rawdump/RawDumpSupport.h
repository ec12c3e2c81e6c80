#pragma once
// Runs rawdump (and the simulator) as programs, in a temporary folder of the test's own.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dumptest {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::string Quoted(const std::string& arg) {
    std::string q = "'";
    for (const char ch : arg) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return q + "'";
}

class DumpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("rawdump_") + info->test_suite_name() + "_" + info->name();
        for (char& ch : name) {
            if (ch == '/')
                ch = '_';
        }
        dir_ = fs::temp_directory_path() / name;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    fs::path WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const fs::path p = Path(name);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    fs::path WriteText(const std::string& name, const std::string& text) const {
        const fs::path p = Path(name);
        std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
        return p;
    }

    // The program with these arguments; standard input from `input` when given.
    Outcome Execute(const std::string& program, const std::vector<std::string>& args,
                    const fs::path& input = {}) const {
        std::string command = Quoted(program);
        for (const std::string& a : args) command += " " + Quoted(a);
        const fs::path out = Path("stdout.txt");
        const fs::path err = Path("stderr.txt");
        command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
        command += " <" + Quoted(input.empty() ? std::string("/dev/null") : input.string());
        const int raw = std::system(command.c_str());
        Outcome r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }
    Outcome Dump(const std::vector<std::string>& args) const { return Execute(RAWDUMP_PATH, args); }

    fs::path dir_;
};

}  // namespace dumptest
