// sonarsim: the suite's own sonar simulator. Writes a simulated survey as a raw data file, streams it
// over TCP like the sonar, or prints the true sea floor depth; `sonarsim --help` lists the options.

#include <iostream>
#include <string>
#include <vector>

#include "tools/sonarsim/SonarSimApp.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return sonarsim::RunSonarSim(args, std::cin, std::cout, std::cerr);
}
