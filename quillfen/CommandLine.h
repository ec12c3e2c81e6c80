#pragma once
// The converter's command-line mode: the batch driver run from arguments, messages and progress on
// standard error.
//
//   quillfen [0|1] --convert SOURCE --type hsx|xtf1|xtf2 [options]
//
// Exit status: 0 every file converted, 1 anything failed, 2 bad usage.

#include <ostream>
#include <string>
#include <vector>

#include "quillfen/BatchDriver.h"

namespace quillfen {

struct CommandLine {
    bool help = false;
    bool convert = false;  // --convert given; otherwise the dialog is meant
    bool english = false;  // language flag "1"
    BatchRequest request;
    std::filesystem::path settingsFile = "Quillfen.ini";  // --settings; read with --reset-cs
    bool quiet = false;
};

// Parses the arguments (without the program name). False with a message in `error` for bad usage.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

std::string UsageText();

// Runs the command line: help text to `out`, everything else to `err`. Returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillfen
