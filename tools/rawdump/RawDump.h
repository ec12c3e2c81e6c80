#pragma once
// rawdump's whole run: the command line, the raw data file's preamble, the receiving side of the
// survey program set up from the header (or a project's settings), the file streamed through it, and
// what is printed.

#include <cstdio>
#include <string>
#include <vector>

namespace rawdump {

// Exit status: 0 ok, 1 an input cannot be read, 2 bad usage.
int RunRawDump(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace rawdump
