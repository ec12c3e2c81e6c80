#include "marivane/grid/ReplaceFile.h"

#include <unistd.h>

#include <system_error>

namespace marivane {

std::filesystem::path TemporaryPathFor(const std::filesystem::path& target) {
    std::filesystem::path temp = target;
    temp += ".tmp~";
    return temp;
}

bool ReplaceFileWith(const std::filesystem::path& target, const std::function<bool(std::FILE*)>& write) {
    const std::filesystem::path temp = TemporaryPathFor(target);
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr)
        return false;
    // Buffered data and delayed allocation may fail only at the flush or the sync: both are checked.
    bool ok = write(file);
    ok = std::fflush(file) == 0 && ok;
    ok = ::fsync(::fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp, target, ec);
        ok = !ec;
    }
    if (!ok)
        std::filesystem::remove(temp, ec);
    return ok;
}

}  // namespace marivane
