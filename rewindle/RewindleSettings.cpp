#include "rewindle/RewindleSettings.h"

#include <optional>

#include "platform/NumberText.h"

namespace rewindle {
namespace {

constexpr std::size_t kValueBuffer = 40;  // 39 characters and the terminating zero

}  // namespace

RewindleSettings ParseRewindleSettings(const platform::ProfileText& text) {
    RewindleSettings s;
    if (std::optional<std::string> ip = text.Value("Net", "IP", kValueBuffer))
        s.ip = *ip;
    if (std::optional<std::string> port = text.Value("Net", "PORT", kValueBuffer))
        s.port = static_cast<std::uint16_t>(static_cast<unsigned>(platform::LeadingInt(*port)) & 0xFFFFu);
    return s;
}

RewindleSettings ReadRewindleSettings(const std::filesystem::path& startupFolder) {
    const std::optional<platform::ProfileText> file =
        platform::ProfileText::Load(startupFolder / kSettingsFileName);
    return file ? ParseRewindleSettings(*file) : RewindleSettings{};
}

}  // namespace rewindle
