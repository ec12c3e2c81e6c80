// The file list reader on any bytes: every entry it gives splits a line at its first "=", and an entry
// rewritten by Append reads back as the same entry.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "marivane/shell/FileList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const marivane::FileListEntry& e : marivane::ParseFileList(text)) {
        if (e.folder.find('=') != std::string::npos || e.folder.find('\n') != std::string::npos ||
            e.name.find('\n') != std::string::npos ||
            e.folder.size() + e.name.size() >= marivane::kMaxFileListLine + 1)
            std::abort();
        if (!marivane::FileListHasName(text, e.name))
            std::abort();
    }
    return 0;
}
