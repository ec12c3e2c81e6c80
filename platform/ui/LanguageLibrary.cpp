#include "platform/ui/LanguageLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTranslator>
#include <map>
#include <memory>

#include "platform/Message.h"

namespace platform::ui {
namespace {

struct Installed {
    std::unique_ptr<QLibrary> library;
    std::unique_ptr<QTranslator> translator;
};

// Libraries are never unloaded: the translations read their data straight from the libraries'
// resources. Used on the user-interface thread only.
std::map<QString, Installed>& Libraries() {
    static std::map<QString, Installed> libraries;
    return libraries;
}

void SetWhy(QString* why, const QString& text) {
    if (why != nullptr)
        *why = text;
}

}  // namespace

QString LanguageLibraryPath(const QString& name, const QString& libraryFolder) {
    return QDir(libraryFolder).filePath(QStringLiteral("lib%1.so").arg(name));
}

QString LanguageLibraryPath(const QString& name) {
    return LanguageLibraryPath(
        name, QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../lib")));
}

QString LanguageResourcePath(const QString& name) {
    return QStringLiteral(":/lang/%1.qm").arg(name);
}

bool InstallLanguageLibrary(const QString& name, QString* why) {
    return InstallLanguageLibrary(
        name, QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../lib")), why);
}

bool InstallLanguageLibrary(const QString& name, const QString& libraryFolder, QString* why) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        SetWhy(why, QStringLiteral("no application"));
        return false;
    }
    Installed& entry = Libraries()[name];
    if (!entry.library || !entry.library->isLoaded()) {
        auto library = std::make_unique<QLibrary>(LanguageLibraryPath(name, libraryFolder));
        if (!library->load()) {
            SetWhy(why, library->errorString());
            Libraries().erase(name);
            return false;
        }
        entry.library = std::move(library);
    }
    if (!entry.translator) {
        auto translator = std::make_unique<QTranslator>();
        if (!QFile::exists(LanguageResourcePath(name)) || !translator->load(LanguageResourcePath(name))) {
            SetWhy(why, QStringLiteral("%1 holds no translation %2")
                            .arg(entry.library->fileName(), LanguageResourcePath(name)));
            return false;
        }
        entry.translator = std::move(translator);
    }
    app->installTranslator(entry.translator.get());
    return true;
}

void RemoveLanguageLibrary(const QString& name) {
    const auto it = Libraries().find(name);
    if (it != Libraries().end() && it->second.translator)
        QCoreApplication::removeTranslator(it->second.translator.get());
}

bool LoadStartupLanguage(bool english, const QString& name, unsigned boxType) {
    if (!english)
        return true;
    if (InstallLanguageLibrary(name))
        return true;
    platform::ShowBilingualMessage("Unable to load resource DLL!", "Unable to load resource DLL!", boxType);
    return false;
}

}  // namespace platform::ui
