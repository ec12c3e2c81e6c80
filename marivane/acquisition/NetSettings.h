#pragma once
// The network settings of the program, from NetCfg.ini in its start-up folder: the sonar's main and
// spare endpoints and the coverage server. The file is only read, once at start-up; the program never
// writes it.

#include <cstdint>
#include <filesystem>
#include <string>

namespace marivane {

inline constexpr const char* kNetSettingsFileName = "NetCfg.ini";

struct NetSettings {
    std::string ip = "192.168.1.31";    // [Net] IP: the sonar
    std::uint16_t port = 16129;         // [Net] PORT
    std::string ipSpare = "127.0.0.1";  // [Net] IP_Spare: by default the local replay tool
    std::uint16_t portSpare = 16129;    // [Net] PORT_Spare
    bool coverageOn = false;            // [NetCoverage] CoverageOn, any non-zero number
    std::uint16_t coveragePort = 6688;  // [NetCoverage] PORT
    friend bool operator==(const NetSettings&, const NetSettings&) = default;
};

// Reads NetCfg.ini from `startupFolder`. Every value is text of at most 39 characters; a missing file
// or key keeps the default. Ports are decimal numbers kept in 16 bits (the low 16 bits of the number,
// so "70000" is 4464 and text that is no number is 0).
NetSettings ReadNetSettings(const std::filesystem::path& startupFolder);

}  // namespace marivane
