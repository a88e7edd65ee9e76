#include "app/FormMain.h"
#include "app/QtPlatform.h"
#include "config/Options.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
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

    const std::string folder = ProgramFolder().toStdString();
    const std::string settingsPath = folder + "/Settings.ini";

    TOptions options;
    LoadOptions(settingsPath, options);
    TScheme workingScheme;
    TSchemeList schemes;
    LoadSchemesAtStartup(folder + "/Schemes.dat", schemes, workingScheme);
    TMemoList memos;
    memos.LoadFromFile(folder + "/Memos.dat");

    const TLocaleFormats formats = LocaleFormatsFrom(QLocale::system());
    const QtTextMeasurer measurer;

    TMainWindowData data;
    data.Options = &options;
    data.WorkingScheme = &workingScheme;
    data.Memos = &memos;
    data.Formats = &formats;
    data.Measurer = &measurer;
    data.Today = [] {
        const QDate today = QDate::currentDate();
        return TYmd{today.year(), today.month(), today.day()};
    };
    data.SettingsPath = settingsPath;
    data.ShowError = [](const std::string& text) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), QString::fromStdString(text),
                        QMessageBox::Ok);
        box.exec();
    };

    TfrmMain frmMain(data);
    // Drawn before it shows, so the window never appears at its design size unmasked.
    frmMain.DrawCalendar();
    frmMain.show();
    return app.exec();
}
