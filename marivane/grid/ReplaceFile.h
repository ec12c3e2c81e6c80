#pragma once
// Writing a file so that a failure (a full disk, a vanished folder) never destroys the previous one:
// the content goes to "<name>.tmp~" beside the target, is flushed to the disk and only then renamed
// over the target. On failure the temporary file is removed and the target is left as it was.

#include <cstdio>
#include <filesystem>
#include <functional>

namespace marivane {

// `write` fills the open temporary file and returns false when it could not.
bool ReplaceFileWith(const std::filesystem::path& target, const std::function<bool(std::FILE*)>& write);

// The temporary name used beside `target`.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& target);

}  // namespace marivane
