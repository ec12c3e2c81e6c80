#pragma once
// The replay tool's command line. The first argument is the language flag that the survey program
// passes: exactly "1" chooses English, anything else (or nothing) Chinese. Options for scripts may
// follow it:
//
//   --file PATH       open PATH as the "..." button would
//   --speed LEVEL     speed level 0 (fastest) to 8 (slowest)
//   --start           start sending as soon as a client is connected
//   --exit-when-done  close after "File Send complete!", once the client has had every byte
//
// With --start or --exit-when-done the program runs unattended: its messages go to standard error
// instead of message boxes, and a --file that cannot be opened ends it.

#include <optional>
#include <string>
#include <vector>

namespace rewindle {

struct CommandLine {
    bool english = false;
    std::optional<std::string> file;
    std::optional<int> speedLevel;
    bool start = false;
    bool exitWhenDone = false;
    bool help = false;

    bool Unattended() const { return start || exitWhenDone; }
    friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

struct CommandLineResult {
    std::optional<CommandLine> commandLine;  // nothing when the arguments were refused
    std::string error;                       // why they were refused
};

// `args` are the arguments after the program name. An argument that begins with "--" in the first
// place is taken as an option (the language is then Chinese).
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText(const std::string& program);

}  // namespace rewindle
