#include "app/FormMain.h"
#include "app/PlatformChoice.h"
#include "app/QtPlatform.h"
#include "app/Services.h"
#include "config/Autostart.h"
#include "config/ConfigData.h"
#include "config/ProgramPaths.h"
#include "update/HttpClient.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace kestrivel;

namespace {

#ifndef KESTRIVEL_INSTALL_DATADIR
#define KESTRIVEL_INSTALL_DATADIR "/usr/local/share"
#endif
#ifndef KESTRIVEL_DATADIR_FROM_BINDIR
#define KESTRIVEL_DATADIR_FROM_BINDIR "../share"
#endif

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
    return computeProgramPaths(place);
}

QString ProgramFolder() {
    const QString folder = QString::fromStdString(FindProgramPaths().ProgramFolder);
    QDir().mkpath(folder);
    return folder;
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

    TServices services(nullptr, std::make_unique<TXdgAutostart>());
    TConfigData config(ProgramFolder().toStdString());
    config.Timestamp = [&services] {
        return services.Now().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    };
    config.Load();

    const TLocaleFormats formats = LocaleFormatsFrom(QLocale::system());
    const QtTextMeasurer measurer;

    TfrmMain frmMain(config, services, formats, measurer);
    // Drawn before it shows, so the window never appears at its design size unmasked.
    frmMain.DrawCalendar();
    frmMain.show();
    return app.exec();
}
