#include "marivane/lines/TextFile.h"

#include "marivane/lines/Texts.h"
#include "platform/Message.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace marivane {
namespace {

std::atomic<unsigned> gTempCounter{0};

// Opens a new file beside `target` that did not exist before ("wx": exclusive creation).
std::FILE* CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temp) {
#if defined(__unix__) || defined(__APPLE__)
    const long pid = static_cast<long>(::getpid());
#else
    const long pid = 0;
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned n = gTempCounter.fetch_add(1);
        temp = target;
        temp += ".~" + std::to_string(pid) + "-" + std::to_string(n) + ".tmp";
        std::FILE* f = std::fopen(temp.c_str(), "wbx");
        if (f != nullptr)
            return f;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0)
        return false;
#if defined(__unix__) || defined(__APPLE__)
    if (::fsync(::fileno(f)) != 0 && errno != EINVAL && errno != EROFS)
        return false;
#endif
    return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxTextFileSize)
        return std::nullopt;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::nullopt;
    std::string bytes;
    char chunk[65536];
    bool failed = false;
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        bytes.append(chunk, n);
        if (bytes.size() > kMaxTextFileSize) {  // grew while being read
            failed = true;
            break;
        }
        if (n < sizeof chunk) {
            failed = std::ferror(f) != 0;
            break;
        }
    }
    std::fclose(f);
    if (failed)
        return std::nullopt;
    return bytes;
}

ReplaceResult ReplaceFileContent(const std::filesystem::path& target, std::string_view content) {
    std::error_code ec;
    std::filesystem::path real = target;
    if (std::filesystem::is_symlink(target, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            real = resolved;
    }
    std::filesystem::path temp;
    std::FILE* f = CreateTemporaryBeside(real, temp);
    if (f == nullptr)
        return ReplaceResult::CannotCreate;
    const std::filesystem::file_status previous = std::filesystem::status(real, ec);
    if (!ec && std::filesystem::is_regular_file(previous))
        std::filesystem::permissions(temp, previous.permissions(), ec);
    bool ok = content.empty() || std::fwrite(content.data(), 1, content.size(), f) == content.size();
    ok = FlushToDisk(f) && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok) {
        std::filesystem::rename(temp, real, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(temp, ec);
        return ReplaceResult::WriteFailed;
    }
    return ReplaceResult::Written;
}

bool CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& target) {
    const std::optional<std::string> bytes = ReadWholeFile(source);
    if (!bytes)
        return false;
    return ReplaceFileContent(target, *bytes) == ReplaceResult::Written;
}

std::optional<std::string_view> TextLines::Next() {
    if (pos_ >= text_.size())
        return std::nullopt;
    std::size_t end = text_.find('\n', pos_);
    std::string_view line;
    if (end == std::string_view::npos) {
        line = text_.substr(pos_);
        pos_ = text_.size();
    } else {
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

}  // namespace marivane

namespace marivane {

bool WriteTextFileReported(const std::filesystem::path& path, std::string_view content) {
    switch (ReplaceFileContent(path, content)) {
        case ReplaceResult::Written:
            return true;
        case ReplaceResult::CannotCreate:
            platform::ShowBilingualMessage("打开文件失败！", "Failed to open the file!", platform::kBoxError);
            return false;
        case ReplaceResult::WriteFailed:
            break;
    }
    const std::string shown = path.string();
    platform::ShowBilingualMessage(lines_detail::ReplaceFirst("写入文件\"%s\"失败！", "%s", shown),
                                   lines_detail::ReplaceFirst("Failed to write the file \"%s\"!", "%s", shown),
                                   platform::kBoxError);
    return false;
}

std::optional<std::string> ReadTextFileReported(const std::filesystem::path& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        const std::string shown = path.string();
        platform::ShowBilingualMessage(lines_detail::ReplaceFirst("打开文件\"%s\"失败！", "%s", shown),
                                       lines_detail::ReplaceFirst("Failed to open the file \"%s\"!", "%s", shown),
                                       platform::kBoxError);
    }
    return text;
}

}  // namespace marivane
