#include "app/FormMain.h"
#include "app/QtPlatform.h"
#include "app/Services.h"
#include "config/Autostart.h"
#include "config/ConfigData.h"
#include "update/HttpClient.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace kestrivel;

namespace {

// The program keeps its files beside itself; an installed copy in a folder the user cannot write to
// keeps them in the user's configuration folder instead.
QString ProgramFolder() {
    const QString appDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(appDir).isWritable()) {
        return appDir;
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/Kestrivel");
    QDir().mkpath(config);
    return config;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
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
