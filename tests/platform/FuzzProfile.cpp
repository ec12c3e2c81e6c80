#include <cstdint>
#include <string>

#include "platform/Profile.h"

// Any bytes as an INI text: reading must stay in bounds, and a write followed by a read must give
// the written value back.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    platform::ProfileText profile(text);
    (void)profile.Value("ParaOfGeo", "Version");
    (void)profile.Value("Other", "key", 8);
    const std::string key = size > 3 ? std::string(text.begin(), text.begin() + 3) : "k";
    (void)profile.Value("DisplaySet", key);
    profile.Set("ParaOfGeo", "Version", "002.000");
    profile.Set("NewSection", "Key", " padded ");
    if (profile.Value("ParaOfGeo", "Version") != "002.000") __builtin_trap();
    if (profile.Value("NewSection", "key") != " padded ") __builtin_trap();
    profile.RemoveKey("ParaOfGeo", "Version");
    profile.RemoveSection("Other");
    return 0;
}
