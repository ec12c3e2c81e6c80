#include "marivane/shell/SettingsSections.h"

namespace marivane {

namespace {
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}
}  // namespace

void SettingsSections::Register(std::string_view section, SectionHooks hooks) {
    for (Entry& e : entries_) {
        if (SameName(e.name, section)) {
            e.hooks = std::move(hooks);
            return;
        }
    }
    entries_.push_back(Entry{std::string(section), std::move(hooks)});
}

const SettingsSections::Entry* SettingsSections::Find(std::string_view section) const {
    for (const Entry& e : entries_) {
        if (SameName(e.name, section))
            return &e;
    }
    return nullptr;
}

bool SettingsSections::Read(std::string_view section, const std::filesystem::path& file) const {
    const Entry* e = Find(section);
    return e != nullptr && e->hooks.read && e->hooks.read(file);
}

bool SettingsSections::Write(std::string_view section, const std::filesystem::path& file) const {
    const Entry* e = Find(section);
    return e != nullptr && e->hooks.write && e->hooks.write(file);
}

}  // namespace marivane
