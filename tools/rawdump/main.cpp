// rawdump: prints what a raw data file holds, read through the survey program's own acquisition path;
// `rawdump --help` describes the output.

#include <cstdio>
#include <string>
#include <vector>

#include "tools/rawdump/RawDump.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return rawdump::RunRawDump(args, stdout, stderr);
}
