#include "rewindle/CommandLine.h"

#include <charconv>

namespace rewindle {
namespace {

std::optional<int> ParseLevel(const std::string& text) {
    int level = -1;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, level);
    if (ec != std::errc() || ptr != end || level < 0 || level > 8)
        return std::nullopt;
    return level;
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine out;
    std::size_t i = 0;
    if (!args.empty() && args[0].rfind("--", 0) != 0) {
        out.english = args[0] == "1";
        i = 1;
    }
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--file") {
            if (!hasValue || args[i + 1].empty())
                return {std::nullopt, "--file needs a path"};
            out.file = args[++i];
        } else if (arg == "--speed") {
            const std::optional<int> level = hasValue ? ParseLevel(args[i + 1]) : std::nullopt;
            if (!level)
                return {std::nullopt, "--speed needs a level from 0 to 8"};
            out.speedLevel = level;
            ++i;
        } else if (arg == "--start") {
            out.start = true;
        } else if (arg == "--exit-when-done") {
            out.exitWhenDone = true;
        } else if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else {
            return {std::nullopt, "unknown argument: " + arg};
        }
    }
    if (out.start && !out.file)
        return {std::nullopt, "--start needs --file"};
    return {out, {}};
}

std::string UsageText(const std::string& program) {
    return "usage: " + program +
           " [LANGUAGE] [--file PATH] [--speed LEVEL] [--start] [--exit-when-done]\n"
           "  LANGUAGE          1 for English, anything else Chinese (the default)\n"
           "  --file PATH       open the raw data file to replay\n"
           "  --speed LEVEL     speed level 0 (fastest) to 8 (slowest); 3 by default\n"
           "  --start           start sending as soon as a client is connected (needs --file)\n"
           "  --exit-when-done  close once the file was sent and the client has had every byte\n"
           "With --start or --exit-when-done, messages go to standard error instead of message boxes.\n";
}

}  // namespace rewindle
