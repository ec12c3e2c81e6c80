#include <cstdint>
#include <string>

#include "platform/Profile.h"
#include "rewindle/RewindleSettings.h"

// Any bytes read as RewindleCfg.ini give an address of at most 39 bytes and some port.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const rewindle::RewindleSettings s = rewindle::ParseRewindleSettings(platform::ProfileText(text));
    if (s.ip.size() > 39)
        __builtin_trap();
    return 0;
}
