#pragma once
// The sonarsim command line: write, serve and truth. Kept apart from main() so that tests can run the
// commands in the same process.

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace sonarsim {

// Exit status: 0 ok, 1 failure, 2 bad usage (with the usage text on `err`). `args` excludes the
// program name; `in` feeds "truth" without points.
int RunSonarSim(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace sonarsim
