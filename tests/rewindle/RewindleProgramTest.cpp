// The built program, run unattended on the offscreen platform against clients on the loopback
// interface: a client that leaves in the middle of a replay and comes back gets every byte once, the
// program ends by itself when the client has had everything, and refused arguments or a missing
// English library end it with an error.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Loopback.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::Socket;
using rewindle_test::PatternBytes;
using rewindle_test::TempFolder;

extern "C" char** environ;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A run of a program in `folder` (its current folder), with standard output and error in files there.
class Program {
  public:
    Program(const fs::path& executable, const std::vector<std::string>& args, const fs::path& folder)
        : folder_(folder) {
        std::vector<std::string> argv = {executable.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen"};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0)
                env.emplace_back(*e);
        }
        std::vector<char*> cargv, cenv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        const std::string out = (folder / "stdout.txt").string(), err = (folder / "stderr.txt").string();
        const std::string dir = folder.string();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::chdir(dir.c_str()) != 0)
                ::_exit(127);
            ::execve(cargv[0], cargv.data(), cenv.data());
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The exit status, or nothing when the program has not ended within `timeout` (it is then killed).
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (std::chrono::steady_clock::now() >= end) {
                return std::nullopt;
            } else {
                std::this_thread::sleep_for(10ms);
            }
        }
        return status_;
    }
    std::string Stderr() const { return ReadText(folder_ / "stderr.txt"); }

  private:
    fs::path folder_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A port that is free now (the program is told to listen at it).
std::uint16_t FreePort() {
    platform::ListeningSocket s = platform::ListeningSocket::Listen(loopback::kAddress, 0, 1);
    return s.Port();
}

// Connects, trying again while the program starts or restarts its server.
Socket ConnectWithin(std::uint16_t port, std::chrono::milliseconds timeout) {
    Socket s;
    loopback::WaitUntil(
        [&] {
            s = loopback::Connect(port);
            if (!s.Valid())
                std::this_thread::sleep_for(20ms);
            return s.Valid();
        },
        timeout);
    return s;
}

// Reads until nothing has come for `quiet`, the peer closed, or `timeout` passed.
bool ReadUntilQuiet(Socket& s, std::vector<std::uint8_t>& into, std::chrono::milliseconds quiet,
                    std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::uint8_t buffer[16384];
    auto last = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        if (!s.WaitReadable(5ms)) {
            if (std::chrono::steady_clock::now() - last >= quiet)
                return true;
            continue;
        }
        const platform::IoResult r = s.Receive(buffer, sizeof buffer);
        if (r.status == platform::IoStatus::Ok) {
            into.insert(into.end(), buffer, buffer + r.bytes);
            last = std::chrono::steady_clock::now();
        } else if (r.status != platform::IoStatus::WouldBlock) {
            return false;
        }
    }
    return false;
}

// Reads until the peer ends the stream in order (true), the connection fails, or `timeout` passes.
bool ReadUntilClosed(Socket& s, std::vector<std::uint8_t>& into, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::uint8_t buffer[16384];
    while (std::chrono::steady_clock::now() < end) {
        if (!s.WaitReadable(10ms))
            continue;
        const platform::IoResult r = s.Receive(buffer, sizeof buffer);
        if (r.status == platform::IoStatus::Ok)
            into.insert(into.end(), buffer, buffer + r.bytes);
        else if (r.status == platform::IoStatus::Closed)
            return true;
        else if (r.status == platform::IoStatus::Error)
            return false;
    }
    return false;
}

class RewindleProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        port_ = FreePort();
        ASSERT_NE(port_, 0);
        std::ofstream(folder_.Path() / "RewindleCfg.ini") << "[Net]\nIP=127.0.0.1\nPORT=" << port_ << "\n";
    }
    TempFolder folder_;
    std::uint16_t port_ = 0;
};

TEST_F(RewindleProgram, AClientThatLeavesAndComesBackGetsEveryByteOnce) {
    // Level 8: 9216 bytes every 200 ms, so that a client can read all it was sent and leave between
    // two ticks.
    const std::vector<std::uint8_t> file = PatternBytes(130'000, 11);
    rewindle_test::WriteFile(folder_.Path() / "replay.mbm", file);
    Program program(REWINDLE_PATH,
                    {"0", "--file", "replay.mbm", "--speed", "8", "--start", "--exit-when-done"},
                    folder_.Path());

    Socket first = ConnectWithin(port_, 10s);
    ASSERT_TRUE(first.Valid());
    std::vector<std::uint8_t> firstBytes;
    while (firstBytes.size() < 40'000) {
        ASSERT_TRUE(ReadUntilQuiet(first, firstBytes, 60ms, 10s));
    }
    first.Close();

    // The program notices at its next tick that the client left and listens afresh; a connection
    // that it drops meanwhile, before any byte came, is simply made again.
    std::vector<std::uint8_t> secondBytes;
    bool ended = false;
    for (int attempt = 0; attempt < 5 && !ended && secondBytes.empty(); ++attempt) {
        Socket second = ConnectWithin(port_, 10s);
        ASSERT_TRUE(second.Valid());
        ended = ReadUntilClosed(second, secondBytes, 20s);
    }
    EXPECT_TRUE(ended) << "the program did not end the stream";

    const std::optional<int> status = program.Wait(10s);
    ASSERT_TRUE(status) << "the program did not end by itself";
    EXPECT_EQ(*status, 0) << program.Stderr();
    std::vector<std::uint8_t> whole = firstBytes;
    whole.insert(whole.end(), secondBytes.begin(), secondBytes.end());
    EXPECT_EQ(whole.size(), file.size()) << firstBytes.size() << " bytes, then " << secondBytes.size();
    EXPECT_TRUE(whole == file) << "bytes lost, repeated or out of order";
    // Unattended: the messages went to standard error, in the chosen language.
    EXPECT_NE(program.Stderr().find("Rewindle: 文件发送完成！"), std::string::npos) << program.Stderr();
}

TEST_F(RewindleProgram, RefusedArgumentsShowTheUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"0", "--bogus"}, {"1", "--speed", "12"}, {"0", "--start"}}) {
        Program program(REWINDLE_PATH, args, folder_.Path());
        const std::optional<int> status = program.Wait(20s);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, 2) << args[1];
        EXPECT_NE(program.Stderr().find("usage: rewindle"), std::string::npos) << args[1];
    }
}

TEST_F(RewindleProgram, EnglishWithoutItsLibraryEnds) {
    // A copy of the program in a folder with no library folder beside it.
    fs::create_directories(folder_.Path() / "bin");
    const fs::path copy = folder_.Path() / "bin" / "rewindle";
    fs::copy_file(REWINDLE_PATH, copy);
    Program program(copy, {"1", "--exit-when-done"}, folder_.Path());
    const std::optional<int> status = program.Wait(20s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 1);
    EXPECT_NE(program.Stderr().find("Unable to load resource DLL!"), std::string::npos) << program.Stderr();
}

TEST_F(RewindleProgram, AnUnattendedRunWithAMissingFileEnds) {
    Program program(REWINDLE_PATH, {"1", "--file", "absent.mbm", "--start", "--exit-when-done"},
                    folder_.Path());
    const std::optional<int> status = program.Wait(20s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 1);
    EXPECT_NE(program.Stderr().find("Rewindle: The file path opened is not valid!"), std::string::npos)
        << program.Stderr();
}

}  // namespace
