#pragma once
// acquire: a headless survey run for scripts, tests and unattended logging. It runs in the current
// folder as the survey program would (its NetCfg.ini, its Marivane.ini), opens the project through
// the program's own flows (messages on standard error), starts the survey, optionally records, runs
// for a given time or until asked to stop, stops recording and survey cleanly and prints a summary.

#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <filesystem>

namespace acquire {

struct Options {
    std::filesystem::path project;  // the .ngn
    bool record = false;
    std::optional<double> seconds;  // nothing: until stopped
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the project cannot be loaded, or recording cannot start
inline constexpr int kExitUsage = 2;

std::string UsageText();

// Parses the arguments after the program name; false with `error` set on bad usage.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

// The whole run. `stop` ends it early (set from a signal handler). The summary goes to `out`.
int Run(const Options& options, std::ostream& out, const std::atomic<bool>& stop);

}  // namespace acquire
