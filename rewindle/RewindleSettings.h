#pragma once
// The replay tool's settings, from RewindleCfg.ini in its start-up folder (the current folder when the
// program starts). Read once when the dialog opens, never written.

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/Profile.h"

namespace rewindle {

inline constexpr const char* kSettingsFileName = "RewindleCfg.ini";
inline constexpr std::uint16_t kDefaultPort = 16129;

struct RewindleSettings {
    std::string ip = "127.0.0.1";       // [Net] IP: only shown; the server listens on every address
    std::uint16_t port = kDefaultPort;  // [Net] PORT: the listening port (0: any free port)
    friend bool operator==(const RewindleSettings&, const RewindleSettings&) = default;
};

// Reads the settings from an INI text. Values are text of at most 39 characters; a missing key keeps
// the default. The port is the leading decimal number of its text kept in 16 bits (the low 16 bits, as
// the receiving program reads its own port setting, so "70000" is 4464 on both ends; no number is 0).
RewindleSettings ParseRewindleSettings(const platform::ProfileText& text);

// Reads RewindleCfg.ini from `startupFolder`; defaults when the file is absent or unreadable.
RewindleSettings ReadRewindleSettings(const std::filesystem::path& startupFolder);

}  // namespace rewindle
