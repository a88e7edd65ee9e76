#include "ProgramFolders.h"

#include "common/SafeFile.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef KESTRIVEL_INSTALL_DATADIR
#define KESTRIVEL_INSTALL_DATADIR "/usr/local/share"
#endif
#ifndef KESTRIVEL_DATADIR_FROM_BINDIR
#define KESTRIVEL_DATADIR_FROM_BINDIR "../share"
#endif

namespace kestrivel {

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
    // Memo texts and the sync state are the user's alone: a folder made here is 0700.
    CreatePrivateFolder(paths.ProgramFolder);
    return paths;
}

} // namespace kestrivel
