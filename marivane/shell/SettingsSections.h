#pragma once
// The sections of a project's settings that live in INI files (the settings file and, for the display
// settings and view colours, the project file), each read and written by its owner. The project flows
// only name a section; the owner of each section registers how it is read into memory and applied,
// and how it is written from memory.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace marivane {

struct SectionHooks {
    // Reads the section from `file` into memory and applies it; false when it could not be read (the
    // reader has said why, and the values in memory stay).
    std::function<bool(const std::filesystem::path& file)> read;
    // Writes every key of the section from memory; false when a key could not be written.
    std::function<bool(const std::filesystem::path& file)> write;
};

class SettingsSections {
  public:
    // Sets the hooks of a section (replacing earlier ones). Names match case-insensitively, as INI
    // sections do.
    void Register(std::string_view section, SectionHooks hooks);
    bool Has(std::string_view section) const { return Find(section) != nullptr; }

    // The section's reader or writer; a section nobody registered does nothing and gives false.
    bool Read(std::string_view section, const std::filesystem::path& file) const;
    bool Write(std::string_view section, const std::filesystem::path& file) const;

  private:
    struct Entry {
        std::string name;
        SectionHooks hooks;
    };
    const Entry* Find(std::string_view section) const;
    std::vector<Entry> entries_;
};

}  // namespace marivane
