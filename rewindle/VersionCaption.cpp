#include "rewindle/VersionCaption.h"

namespace rewindle {

std::string VersionCaption(int major, int minor, int build, int revision) {
    return "导航数据回放 V" + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(build) + "." + std::to_string(revision);
}

}  // namespace rewindle
