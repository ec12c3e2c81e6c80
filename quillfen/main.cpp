// quillfen: converts raw data files to HSX and XTF files. For now the program runs its command-line
// mode; `quillfen --help` describes it.

#include <iostream>
#include <string>
#include <vector>

#include "quillfen/CommandLine.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quillfen::RunCommandLine(args, std::cout, std::cerr);
}
