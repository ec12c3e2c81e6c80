#pragma once
// The dialog's caption: the same in both languages, the program's name followed by its four-part
// file version.

#include <string>

namespace rewindle {

std::string VersionCaption(int major, int minor, int build, int revision);

}  // namespace rewindle
