#include "base/Modules.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#ifndef KESTRIVEL_INSTALL_MODULEDIR
#define KESTRIVEL_INSTALL_MODULEDIR "/usr/local/lib/kestrivel"
#endif
#ifndef KESTRIVEL_MODULEDIR_FROM_BINDIR
#define KESTRIVEL_MODULEDIR_FROM_BINDIR "../lib/kestrivel"
#endif

namespace kestrivel {

QStringList ModuleFolders() {
    const QString appDir = QCoreApplication::applicationDirPath();
    return {appDir, appDir + QStringLiteral("/" KESTRIVEL_MODULEDIR_FROM_BINDIR),
            QStringLiteral(KESTRIVEL_INSTALL_MODULEDIR)};
}

QFunctionPointer ResolveModuleFunction(const char* name, const char* symbol, const QStringList& folders) {
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".so");
        // Only a regular file by its full name: never a search of the loader's own path.
        if (folder.isEmpty() || !QFileInfo(path).isFile()) {
            continue;
        }
        QLibrary library(path);
        if (QFunctionPointer function = library.resolve(symbol)) {
            return function;
        }
    }
    return nullptr;
}

} // namespace kestrivel
