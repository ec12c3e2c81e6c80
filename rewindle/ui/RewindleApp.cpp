#include "rewindle/ui/RewindleApp.h"

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Message.h"
#include "platform/ui/LanguageLibrary.h"
#include "platform/ui/MessageBoxPresenter.h"
#include "platform/ui/StartupLocale.h"
#include "rewindle/CommandLine.h"
#include "rewindle/ReplayMessages.h"
#include "rewindle/RewindleSettings.h"
#include "rewindle/ui/RewindleDialog.h"

namespace rewindle::ui {
namespace {

// Message boxes while the presenter lives, the default (standard error) before and after.
class PresenterScope {
  public:
    explicit PresenterScope(platform::MessagePresenter* presenter) {
        platform::SetMessagePresenter(presenter);
    }
    ~PresenterScope() { platform::SetMessagePresenter(nullptr); }
    PresenterScope(const PresenterScope&) = delete;
    PresenterScope& operator=(const PresenterScope&) = delete;
};

}  // namespace

int RunRewindle(int argc, char** argv) {
    const std::string program = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "rewindle";
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLineResult parsed = ParseCommandLine(args);
    if (!parsed.commandLine) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), parsed.error.c_str(), UsageText(program).c_str());
        return 2;
    }
    const CommandLine& commandLine = *parsed.commandLine;
    if (commandLine.help) {
        std::fputs(UsageText(program).c_str(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    platform::ui::RestoreNumericLocale();
    platform::SetMessageCaption(kMessageCaption);
    platform::SetMessageLanguageEnglish(commandLine.english);
    // Unattended runs never wait on a box: their messages go to standard error.
    platform::ui::MessageBoxPresenter boxes;
    PresenterScope scope(commandLine.Unattended() ? nullptr : &boxes);

    if (!platform::ui::LoadStartupLanguage(commandLine.english, QStringLiteral("RewindleMultiLang"),
                                           kMessageBoxType))
        return 1;

    std::error_code error;
    const std::filesystem::path startupFolder = std::filesystem::current_path(error);
    DialogOptions options;
    options.settings = error ? RewindleSettings{} : ReadRewindleSettings(startupFolder);
    options.exitWhenDone = commandLine.exitWhenDone;
    RewindleDialog dialog(options);
    boxes.SetOwner(&dialog);
    // Scripts that start the tool with port 0 learn the port it took from this line.
    if (commandLine.Unattended() && dialog.ListeningPort() != 0)
        std::fprintf(stderr, "%s: listening on port %u\n", program.c_str(), unsigned{dialog.ListeningPort()});

    if (commandLine.speedLevel)
        dialog.Session().SetLevel(*commandLine.speedLevel);
    if (commandLine.file && !dialog.OpenPath(QString::fromStdString(*commandLine.file)) &&
        commandLine.Unattended())
        return 1;
    if (commandLine.start)
        dialog.Session().SetAutoStart(true);

    QObject::connect(&dialog, &RewindleDialog::replayFinished, &app, [&dialog, &app](int exitCode) {
        dialog.Shutdown();
        app.exit(exitCode);
    });
    dialog.show();
    return app.exec();
}

}  // namespace rewindle::ui
