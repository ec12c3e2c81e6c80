#pragma once
// The command line of rawdump.

#include <string>
#include <vector>

namespace rawdump {

enum class DumpMode { Summary, Records, Soundings };

struct DumpOptions {
    DumpMode mode = DumpMode::Summary;
    std::string file;          // the raw data file
    std::string settingsFile;  // --settings: project settings file (empty: the file's own header)
    std::string svpFile;       // --svp: sound velocity profile (empty: none)
    bool help = false;
};

// false with a message in `error` for bad usage.
bool ParseDumpOptions(const std::vector<std::string>& args, DumpOptions& out, std::string& error);

std::string UsageText();

}  // namespace rawdump
