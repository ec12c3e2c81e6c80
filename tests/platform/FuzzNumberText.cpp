#include <cmath>
#include <cstdint>
#include <string_view>

#include "platform/NumberText.h"

// Leading-number parsing of any bytes never yields a non-finite number.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!std::isfinite(platform::LeadingDouble(text))) __builtin_trap();
    (void)platform::LeadingInt(text);
    (void)platform::ParseLeadingInteger(text);
    return 0;
}
