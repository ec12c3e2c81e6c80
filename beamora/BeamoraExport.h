#pragma once
// Visibility of the library's interface. The library is compiled with hidden visibility for everything;
// only the four classes marked with BEAMORA_API are exported.

#if defined(__GNUC__) || defined(__clang__)
#define BEAMORA_API __attribute__((visibility("default")))
#else
#define BEAMORA_API
#endif
