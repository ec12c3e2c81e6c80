#include "marivane/acquisition/NetSettings.h"

#include <optional>

#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

constexpr std::size_t kValueBuffer = 40;  // 39 characters and the terminating zero

std::uint16_t PortFromText(const std::string& text) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(platform::LeadingInt(text)) & 0xFFFFu);
}

}  // namespace

NetSettings ReadNetSettings(const std::filesystem::path& startupFolder) {
    NetSettings s;
    const std::optional<platform::ProfileText> file =
        platform::ProfileText::Load(startupFolder / kNetSettingsFileName);
    if (!file)
        return s;

    const auto read = [&](const char* section, const char* key) {
        return file->Value(section, key, kValueBuffer);
    };
    if (auto v = read("Net", "IP"))
        s.ip = *v;
    if (auto v = read("Net", "PORT"))
        s.port = PortFromText(*v);
    if (auto v = read("Net", "IP_Spare"))
        s.ipSpare = *v;
    if (auto v = read("Net", "PORT_Spare"))
        s.portSpare = PortFromText(*v);
    if (auto v = read("NetCoverage", "CoverageOn"))
        s.coverageOn = platform::LeadingInt(*v) != 0;
    if (auto v = read("NetCoverage", "PORT"))
        s.coveragePort = PortFromText(*v);
    return s;
}

}  // namespace marivane
