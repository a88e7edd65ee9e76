// The calendar window on a screen that Qt scales by 1.5: it is placed, sized, painted and saved in
// device pixels, with its fonts at 144 dpi.
#include "FakeServices.h"
#include "calendar/CalendarPainter.h"
#include "calendar/FormMain.h"
#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrivel;

class TestFormMainScaled : public QObject {
    Q_OBJECT

private slots:
    void placesPaintsAndSavesInDevicePixels() {
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.5);
        QTemporaryDir dir;
        TConfigData config(dir.path().toStdString());
        FakeServices services;
        services.Clock = QDateTime(QDate(2021, 2, 15), QTime(12, 0));
        services.Screens = {QRect(0, 0, 1280, 720)}; // scaled units: 1920 by 1080 device pixels
        config.CurrentScheme.Settings[zoneCalendar].BackSolid = true;
        config.CurrentScheme.Settings[zoneCalendar].BackColor = 0x336699;
        config.CurrentScheme.Settings[zoneDays].Frame = true;
        QFile ini(QString::fromStdString(config.SettingsPath()));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\r\nLeft=100\r\nTop=61\r\n"); // 61 is no whole number of scaled units
        ini.close();
        config.LoadOptions();
        TLocaleFormats formats;
        QtTextMeasurer measurer;
        services.ActiveWindow = false;
        const TTranslator translator(
            [&config](const std::string& file) { return config.LanguagePath(file); });
        TfrmMain frmMain(config, services, translator, formats, measurer);
        frmMain.DrawCalendar();
        frmMain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frmMain));
        QCOMPARE(frmMain.DeviceRect().topLeft(), QPoint(100, 61));
        // 10 points at 144 dpi: a 20-pixel title font where 96 dpi gives 13 pixels.
        QVERIFY(frmMain.Model().TitleHeight >= 20);
        QVERIFY(frmMain.DeviceRect().width() >= frmMain.Buffer().width());
        // The window shows the buffer's own device pixels: copied, not resampled.
        QImage shown = frmMain.grab().toImage().convertToFormat(QImage::Format_RGB32);
        shown.setDevicePixelRatio(1.0);
        const QImage& buffer = frmMain.Buffer();
        QVERIFY(shown.width() >= buffer.width() && shown.height() >= buffer.height());
        QCOMPARE(shown.copy(buffer.rect()), buffer.convertToFormat(QImage::Format_RGB32));
        // A move while it has the focus is kept on the device-pixel screen and saved in device pixels.
        services.ActiveWindow = true;
        MoveToDevicePixel(frmMain, QPoint(1919, 203));
        frmMain.Moved();
        frmMain.FlushPosition();
        const TWindowPosition position = LoadWindowPosition(config.SettingsPath());
        const QPoint saved(position.Left, position.Top);
        QCOMPARE(saved, QPoint(1920 - frmMain.DeviceRect().width(), 203));
        QCOMPARE(frmMain.DeviceRect().topLeft(), saved);
    }
};

int main(int argc, char* argv[]) {
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    TestFormMainScaled test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_FormMainScaled.moc"
