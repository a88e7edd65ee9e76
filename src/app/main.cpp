#include "Application.h"
#include "CommandLineRun.h"
#include "ProgramFolders.h"
#include "WindowSystemStart.h"
#include "common/CommandLine.h"
#include "common/PlatformChoice.h"
#include "base/CoreLog.h"
#include "base/Services.h"
#include "base/SingleInstance.h"
#include "base/ThreadsAtExit.h"
#include "config/Autostart.h"
#include "update/ModuleHttpClient.h"

#include <QApplication>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// A variable's bytes as the environment holds them; empty when unset.
std::string Variable(const char* name) {
    return qgetenv(name).toStdString();
}

PlatformEnvironment ReadPlatformEnvironment() {
    return {Variable("QT_QPA_PLATFORM"), Variable("XDG_SESSION_TYPE"), Variable("WAYLAND_DISPLAY"),
            Variable("DISPLAY")};
}

} // namespace

int main(int argc, char* argv[]) {
    InstallCoreLog();
    // The commands run before any window system is asked for: they work without a display.
    const TCommandLine line =
        ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (line.Command != TCommand::Calendar || !line.Error.empty()) {
        return RunCommandLine(line, argc, argv);
    }
    // In a Wayland session with XWayland the calendar runs on X11, where it can place and shape its
    // window; the choice is not handed on to programs started from it.
    const std::string platform = ChoosePlatform(ReadPlatformEnvironment());
    if (!platform.empty()) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    }
    std::optional<WindowSystemStart> start(std::in_place, argc, argv);
    QApplication app(argc, argv);
    start.reset();
    if (!platform.empty()) {
        qunsetenv("QT_QPA_PLATFORM");
    }
    QApplication::setApplicationName(QStringLiteral("Kestrivel"));
    // Dialogs closing must not end the program: only "Close" does.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start of the same desktop session shows that session's calendar and ends here, before
    // any window or icon exists; the lock is released last.
    const ProgramPaths paths = FindProgramPaths();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QStringList folders{TSingleInstance::SafeFolder(runtime, true) ? runtime : QString(),
                              QString::fromStdString(paths.ProgramFolder)};
    const std::string session = SessionName(QGuiApplication::platformName().toStdString(),
                                            Variable("DISPLAY"), Variable("WAYLAND_DISPLAY"));
    TSingleInstance instance(
        QApplication::applicationName() + QLatin1Char('-') + QString::fromStdString(session), folders);
    if (!instance.IsFirst()) {
        instance.AskToShow();
        return 0;
    }
    auto autostart = std::make_unique<TXdgAutostart>(
        XdgEnvironment{Variable("XDG_CONFIG_HOME"), Variable("HOME"), Variable("PATH")});
    autostart->moveOldEntry(QApplication::applicationName().toStdString());
    auto services = std::make_unique<TServices>(std::make_unique<TModuleHttpClient>(), std::move(autostart));
    int result = 0;
    {
        TKestrivel program(std::move(services), paths);
        QObject::connect(&instance, &TSingleInstance::showRequested, &program, &TKestrivel::ShowCalendar);
        program.Start();
        if (instance.Unlocked()) {
            program.ReportUnlocked(
                folders.filter(QRegularExpression(QStringLiteral("."))).join(QStringLiteral(", ")));
        }
        result = app.exec();
    }
    // A sync that did not stop within the calendar's bound, or a calendar search of a closed dialog,
    // ends before the program's statics go.
    JoinThreadsAtExit();
    return result;
}
