#include "marivane/lines/SurveyLines.h"

#include <cstddef>

namespace marivane {
namespace {

bool ValidIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

}  // namespace

int FindLineFile(const LoadedLineFiles& loaded, const std::filesystem::path& path) {
    for (std::size_t i = 0; i < loaded.files.size(); ++i) {
        if (loaded.files[i].path.native() == path.native())
            return static_cast<int>(i);
    }
    return -1;
}

bool RemoveLineFile(LoadedLineFiles& loaded, const std::filesystem::path& path) {
    bool removed = false;
    for (int i = FindLineFile(loaded, path); i >= 0; i = FindLineFile(loaded, path)) {
        loaded.files.erase(loaded.files.begin() + i);
        if (loaded.current.file == i)
            loaded.current = CurrentLine{};
        else if (loaded.current.file > i)
            --loaded.current.file;
        removed = true;
    }
    return removed;
}

void ClearLineFiles(LoadedLineFiles& loaded) {
    loaded.files.clear();
    loaded.current = CurrentLine{};
}

bool SetCurrentLine(LoadedLineFiles& loaded, int file, int line) {
    if (!ValidIndex(file, loaded.files.size()))
        return false;
    if (line != -1 && !ValidIndex(line, loaded.files[static_cast<std::size_t>(file)].lines.size()))
        return false;
    loaded.current = CurrentLine{file, line};
    return true;
}

const SurveyLine* CurrentSurveyLine(const LoadedLineFiles& loaded) {
    const CurrentLine c = loaded.current;
    if (!ValidIndex(c.file, loaded.files.size()))
        return nullptr;
    const LineFileEntry& entry = loaded.files[static_cast<std::size_t>(c.file)];
    if (!ValidIndex(c.line, entry.lines.size()))
        return nullptr;
    return &entry.lines[static_cast<std::size_t>(c.line)];
}

}  // namespace marivane
