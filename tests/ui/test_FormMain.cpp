#include "calendar/CalendarPainter.h"
#include "FakeServices.h"
#include "calendar/FormMain.h"
#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "lang/LangSource.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMoveEvent>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrivel;

class TestFormMain : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TConfigData> config;
    std::unique_ptr<FakeServices> services;
    TOptions& options() { return config->Options; }
    TScheme& scheme() { return config->CurrentScheme; }
    TLocaleFormats formats;
    QtTextMeasurer measurer;
    std::unique_ptr<TTranslator> translator;

    std::string IniPath() const { return config->SettingsPath(); }

    std::unique_ptr<TfrmMain> Make() {
        auto frmMain = std::make_unique<TfrmMain>(*config, *services, *translator, formats, measurer);
        return frmMain;
    }
    void SetToday(int year, int month, int day) {
        services->Clock = QDateTime(QDate(year, month, day), QTime(12, 0));
    }
    void SetScreen(const QRect& screen) { services->Screens = {screen}; }

    // Written before the window is made; the data owner reads it as it does at start.
    void WriteIni(const QByteArray& content) {
        QFile file(QString::fromStdString(IniPath()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        config->LoadOptions();
    }

    void WriteLanguage(const char* name, const std::string& source) {
        std::string bytes;
        TLangSourceError error;
        QVERIFY2(CompileLangSource(source, bytes, error), error.ToString().c_str());
        QFile file(dir->path() + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(bytes));
    }

    QByteArray ReadIni() {
        QFile file(QString::fromStdString(IniPath()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        config = std::make_unique<TConfigData>(dir->path().toStdString());
        services = std::make_unique<FakeServices>();
        SetToday(2021, 2, 15);
        services->ActiveWindow = false;
        translator = std::make_unique<TTranslator>(
            [this](const std::string& file) { return config->LanguagePath(file); });
    }

    void windowIsAFramelessToolWindow() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        QVERIFY(frmMain.windowFlags().testFlag(Qt::Tool));
        QVERIFY(frmMain.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(frmMain.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(frmMain.font().family(), QStringLiteral("Arial"));
        QCOMPARE(frmMain.font().pixelSize(), 13);
        QVERIFY(frmMain.font().bold());
        QCOMPARE(frmMain.size(), QSize(142, 120)); // design size until the first redraw
    }

    void windowTakesTheCalendarsSize() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.DrawCalendar();
        const TMonthModel model = frmMain.Model();
        QVERIFY(model.CalendarWidth > 0);
        QCOMPARE(frmMain.size(), QSize(model.CalendarWidth, model.CalendarHeight));
        QCOMPARE(frmMain.Buffer().size(), frmMain.size());
        // A change of the options changes the size at the next redraw.
        options().ShowWeekNumbers = true;
        frmMain.DrawCalendar();
        QCOMPARE(frmMain.width(), frmMain.Model().CalendarWidth);
        QVERIFY(frmMain.width() > model.CalendarWidth);
    }

    void maskLeavesOutTheKeyPixels() {
        scheme().Settings[zoneToday].BackSolid = true;
        scheme().Settings[zoneToday].BackColor = 0x00FF00;
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.DrawCalendar();
        const QImage& buffer = frmMain.Buffer();
        const QRegion mask = frmMain.mask();
        QVERIFY(!mask.isEmpty());
        int opaque = 0;
        for (int y = 0; y < buffer.height(); ++y) {
            for (int x = 0; x < buffer.width(); ++x) {
                const bool key = buffer.pixel(x, y) == kKeyColor;
                QCOMPARE(mask.contains(QPoint(x, y)), !key);
                opaque += key ? 0 : 1;
            }
        }
        QVERIFY(opaque > 0);
        QVERIFY(!mask.contains(QPoint(0, 0)));
        // Today's box is opaque all over.
        for (const TCalendarBox& box : frmMain.Model().Boxes) {
            if (box.Kind == TBoxKind::Day && box.Day == 15) {
                QVERIFY(mask.contains(QRect(box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top)));
            }
        }
    }

    void paintCopiesTheBuffer() {
        scheme().Settings[zoneCalendar].BackSolid = true;
        scheme().Settings[zoneCalendar].BackColor = 0x336699;
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.DrawCalendar();
        const QImage shown = frmMain.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), frmMain.Buffer().size());
        QCOMPARE(shown.pixel(5, 5), frmMain.Buffer().pixel(5, 5));
        QCOMPARE(shown.pixel(5, 5), ToQColor(0x336699).rgb());
    }

    void offsetsCarryIntoTheYearAtRedraw() {
        SetToday(2021, 12, 10);
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.SetOffsets(0, 1);
        QCOMPARE(frmMain.YearOffset(), 1);
        QCOMPARE(frmMain.MonthOffset(), -11);
        QCOMPARE(frmMain.Model().DisplayYear, 2022);
        QCOMPARE(frmMain.Model().DisplayMonth, 1);
    }

    void translatedWeekdaysReachTheCalendar() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        WriteLanguage("X.lang", "language = X\n[frmMain]\nWeekdays = LMMJVSD\n");
        translator->TranslateTo("X.lang");
        frmMain.DrawCalendar();
        std::string row;
        for (const TCalendarBox& box : frmMain.Model().Boxes) {
            if (box.Kind == TBoxKind::Initial) {
                row += box.Text;
            }
        }
        QCOMPARE(row, std::string("LMMJVSD"));
    }

    void positionDefaultsToFortyForty() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        QCOMPARE(frmMain.pos(), QPoint(40, 40));
    }

    void positionIsKeptOnTheScreenAtStart() {
        WriteIni("[Settings]\r\nLeft=-50\r\nTop=30000\r\n");
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        QCOMPARE(frmMain.pos(), QPoint(0, 1080 - 120));
    }

    void positionOnASecondScreenIsKeptThere() {
        WriteIni("[Settings]\r\nLeft=3100\r\nTop=100\r\n");
        SetScreen(QRect(1920, 0, 1280, 1024));
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        QCOMPARE(frmMain.pos(), QPoint(1920 + 1280 - 142, 100));
    }

    void movingWhileInactiveSavesNothing() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.move(1900, 50);
        frmMain.Moved();
        QCOMPARE(frmMain.pos(), QPoint(1900, 50));
        QVERIFY(ReadIni().isEmpty());
    }

    void movingWhileActiveKeepsOnScreenAndSaves() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.DrawCalendar();
        services->ActiveWindow = true;
        frmMain.move(1900, 50);
        frmMain.Moved();
        const int left = 1920 - frmMain.width();
        QCOMPARE(frmMain.pos(), QPoint(left, 50));
        QCOMPARE(LoadWindowPosition(IniPath()), (TWindowPosition{left, 50}));
        QVERIFY(services->Boxes.empty());
        // A second move soon after is written when the move ends.
        frmMain.move(300, 200);
        frmMain.Moved();
        frmMain.FlushPosition();
        QCOMPARE(LoadWindowPosition(IniPath()), (TWindowPosition{300, 200}));
    }

    void moveEventsOfAShownWindowReachMoved() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        frmMain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frmMain));
        services->ActiveWindow = true;
        frmMain.move(-30, 70);
        QTRY_COMPARE(frmMain.pos(), QPoint(0, 70));
        QCOMPARE(LoadWindowPosition(IniPath()), (TWindowPosition{0, 70}));
    }

    // Synthetic move events of a drag: the first is written at once, the rest at most once per
    // interval, the last when the moves stop or the program is closed.
    void positionSavesAreCoalesced() {
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        services->ActiveWindow = true;
        QTimer& timer = const_cast<QTimer&>(frmMain.PositionSaveTimer());
        const auto saved = [this] {
            const TWindowPosition p = LoadWindowPosition(IniPath());
            return QPoint(p.Left, p.Top);
        };
        const auto moveTo = [&](int left) {
            frmMain.move(left, 50);
            QMoveEvent event(frmMain.pos(), QPoint(left - 1, 50));
            QCoreApplication::sendEvent(&frmMain, &event);
        };
        const auto intervalEnds = [&] { QVERIFY(QMetaObject::invokeMethod(&timer, "timeout")); };
        moveTo(100);
        QCOMPARE(saved(), QPoint(100, 50));
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 500);
        for (int left = 101; left <= 120; ++left) {
            moveTo(left);
        }
        QCOMPARE(saved(), QPoint(100, 50));
        intervalEnds();
        QCOMPARE(saved(), QPoint(120, 50));
        QVERIFY(QFile::remove(QString::fromStdString(IniPath())));
        intervalEnds(); // nothing new: nothing written, the timer rests
        QVERIFY(!QFile::exists(QString::fromStdString(IniPath())));
        QVERIFY(!timer.isActive());
        moveTo(130);
        QCOMPARE(saved(), QPoint(130, 50));
        moveTo(140);
        frmMain.PopMenu()->findChild<QAction*>(QStringLiteral("PopMenu_Exit"))->trigger();
        QCOMPARE(saved(), QPoint(140, 50));
    }

    // A position still waiting for its turn is written when "Close" asks the program to end, before it
    // does, so that a failed save is reported while the program runs; never as the window goes away.
    void closeWritesAWaitingPositionAndTheWindowsEndNothing_data() {
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("boxes");
        QTest::addRow("close") << true << true << 140 << 0;
        QTest::addRow("close, save fails") << true << false << 0 << 1;
        QTest::addRow("window ends") << false << true << 130 << 0;
        QTest::addRow("window ends, save would fail") << false << false << 0 << 0;
    }
    void closeWritesAWaitingPositionAndTheWindowsEndNothing() {
        QFETCH(bool, close);
        QFETCH(bool, writable);
        QFETCH(int, left);
        QFETCH(int, boxes);
        auto owner = Make();
        services->ActiveWindow = true;
        owner->move(130, 50);
        owner->Moved();
        owner->move(140, 50);
        owner->Moved();
        QCOMPARE(LoadWindowPosition(IniPath()), (TWindowPosition{130, 50}));
        // A folder in the file's place makes the save fail.
        const QString ini = QString::fromStdString(IniPath());
        if (!writable) {
            QVERIFY(QFile::remove(ini));
            QVERIFY(QDir().mkdir(ini));
        }
        // The box of a failed save comes before the program is asked to end.
        int boxesAtExit = -1;
        connect(owner.get(), &TfrmMain::exitRequested, this,
                [&] { boxesAtExit = static_cast<int>(services->Boxes.size()); });
        if (close) {
            owner->PopMenu()->findChild<QAction*>(QStringLiteral("PopMenu_Exit"))->trigger();
        }
        owner.reset();
        QCOMPARE(services->Boxes.size(), size_t(boxes));
        QCOMPARE(boxesAtExit, close ? boxes : -1);
        QVERIFY(!writable || LoadWindowPosition(IniPath()) == (TWindowPosition{left, 50}));
    }

    void failedSaveIsReported() {
        config =
            std::make_unique<TConfigData>((dir->path() + QStringLiteral("/missing/folder")).toStdString());
        auto owner = Make();
        TfrmMain& frmMain = *owner;
        services->ActiveWindow = true;
        frmMain.move(10, 10);
        frmMain.Moved();
        QCOMPARE(services->Boxes.size(), size_t(1));
        QVERIFY(QString::fromStdString(services->Boxes[0].Text)
                    .startsWith(QStringLiteral("Unable to write to ")));
    }

    void nearestScreenPrefersOverlapThenDistance() {
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(NearestScreen(QRect(100, 100, 142, 120), screens), screens[0]);
        QCOMPARE(NearestScreen(QRect(1900, 100, 142, 120), screens), screens[1]);  // mostly on the right
        QCOMPARE(NearestScreen(QRect(1830, 100, 142, 120), screens), screens[0]);  // mostly on the left
        QCOMPARE(NearestScreen(QRect(5000, 100, 142, 120), screens), screens[1]);  // off to the right
        QCOMPARE(NearestScreen(QRect(-900, 2000, 142, 120), screens), screens[0]); // below the first
        QCOMPARE(NearestScreen(QRect(0, 0, 10, 10), {}), QRect());
    }
};

QTEST_MAIN(TestFormMain)
#include "test_FormMain.moc"
