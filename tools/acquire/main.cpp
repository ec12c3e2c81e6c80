// acquire: a headless survey run into a project; `acquire --help` gives the usage.

#include <atomic>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/acquire/AcquireRun.h"

namespace {

std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnSignal(int) {
    gStop.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << acquire::UsageText();
        return acquire::kExitOk;
    }
    acquire::Options options;
    std::string error;
    if (!acquire::ParseArguments(args, options, error)) {
        std::cerr << "acquire: " << error << "\n" << acquire::UsageText();
        return acquire::kExitUsage;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return acquire::Run(options, std::cout, gStop);
}
