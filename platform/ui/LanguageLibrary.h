#pragma once
// The English language libraries of the suite's programs. Each program's English texts are a compiled
// translation inside a shared library of its own, lib<Name>.so in the folder of shared libraries
// beside the programs' folder (../lib from the executable), embedded as the resource ":/lang/<Name>.qm"
// (CMake: suite_add_language_library). The built-in texts are Chinese; English is installed at start
// when the language flag asks for it.

#include <QString>

namespace platform::ui {

// The library file of `name`, e.g. "RewindleMultiLang" -> "<exe folder>/../lib/libRewindleMultiLang.so".
QString LanguageLibraryPath(const QString& name);
QString LanguageLibraryPath(const QString& name, const QString& libraryFolder);
QString LanguageResourcePath(const QString& name);

// Loads the library (it stays loaded for the rest of the run) and installs its translation into the
// application, which must exist. False, with the reason in `why`, when the library cannot be loaded
// or holds no translation.
bool InstallLanguageLibrary(const QString& name, QString* why = nullptr);
bool InstallLanguageLibrary(const QString& name, const QString& libraryFolder, QString* why = nullptr);
// Takes the translation of `name` out again (the library stays loaded).
void RemoveLanguageLibrary(const QString& name);

// Start-up: with `english`, installs the library of `name`; when that fails shows
// "Unable to load resource DLL!" and returns false, and the program ends with a non-zero status.
// Without `english` there is nothing to do.
bool LoadStartupLanguage(bool english, const QString& name, unsigned boxType);

}  // namespace platform::ui
