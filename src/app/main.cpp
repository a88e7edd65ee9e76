#include "Application.h"
#include "common/PlatformChoice.h"
#include "base/Services.h"
#include "base/SingleInstance.h"
#include "config/Autostart.h"
#include "config/ProgramPaths.h"
#include "update/ModuleHttpClient.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>
#include <string>

using namespace kestrivel;

namespace {

#ifndef KESTRIVEL_INSTALL_DATADIR
#define KESTRIVEL_INSTALL_DATADIR "/usr/local/share"
#endif
#ifndef KESTRIVEL_DATADIR_FROM_BINDIR
#define KESTRIVEL_DATADIR_FROM_BINDIR "../share"
#endif

// A variable's bytes as the environment holds them; empty when unset.
std::string Variable(const char* name) {
    return qgetenv(name).toStdString();
}

PlatformEnvironment ReadPlatformEnvironment() {
    return {Variable("QT_QPA_PLATFORM"), Variable("XDG_SESSION_TYPE"), Variable("WAYLAND_DISPLAY"),
            Variable("DISPLAY")};
}

// Where the program keeps its files (beside itself, or for an installed or read-only copy in the
// user's configuration folder) and the folders searched for language files and shipped schemes.
ProgramPaths FindProgramPaths() {
    const QString appDir = QCoreApplication::applicationDirPath();
    ProgramPlace place;
    place.ExecutableFolder = appDir.toStdString();
    place.ExecutableFolderWritable = QFileInfo(appDir).isWritable();
    place.InstalledTree =
        QFileInfo(appDir + QStringLiteral("/" KESTRIVEL_DATADIR_FROM_BINDIR "/kestrivel")).isDir();
    place.XdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
    place.Home = qEnvironmentVariable("HOME").toStdString();
    place.InstalledDataFolder = KESTRIVEL_INSTALL_DATADIR;
    place.DataFolderFromExecutable = KESTRIVEL_DATADIR_FROM_BINDIR;
    ProgramPaths paths = computeProgramPaths(place);
    QDir().mkpath(QString::fromStdString(paths.ProgramFolder));
    return paths;
}

} // namespace

int main(int argc, char* argv[]) {
    // In a Wayland session with XWayland the calendar runs on X11, where it can place and shape its
    // window; the choice is not handed on to programs started from it.
    const std::string platform = ChoosePlatform(ReadPlatformEnvironment());
    if (!platform.empty()) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    }
    QApplication app(argc, argv);
    if (!platform.empty()) {
        qunsetenv("QT_QPA_PLATFORM");
    }
    QApplication::setApplicationName(QStringLiteral("Kestrivel"));
    // Dialogs closing must not end the program: only "Close" does.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start shows the running calendar and ends here, before any window or icon exists; the
    // lock is released last.
    const ProgramPaths paths = FindProgramPaths();
    TSingleInstance instance(QApplication::applicationName(),
                             {QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                              QString::fromStdString(paths.ProgramFolder)});
    if (!instance.IsFirst()) {
        instance.AskToShow();
        return 0;
    }
    auto services = std::make_unique<TServices>(
        std::make_unique<TModuleHttpClient>(),
        std::make_unique<TXdgAutostart>(XdgEnvironment{Variable("XDG_CONFIG_HOME"), Variable("HOME")}));
    TKestrivel program(std::move(services), paths);
    QObject::connect(&instance, &TSingleInstance::showRequested, &program, &TKestrivel::ShowCalendar);
    program.Start();
    return app.exec();
}
