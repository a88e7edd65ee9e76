#include "FakeServices.h"
#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "calendar/FormMain.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "memos/UnitMemo.h"

#include <QAccessible>
#include <QApplication>
#include <QWheelEvent>
#include <QLineEdit>
#include <QMenu>
#include <QToolTip>
#include <QtTest>

#include <memory>

using namespace kestrivel;

// The calendar by keyboard. Today is Tuesday 15 June 2021; June 2021 starts on a Tuesday.
class TestFormMainCursor : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TConfigData> config;
    std::unique_ptr<FakeServices> services;
    TLocaleFormats formats;
    QtTextMeasurer measurer;
    std::unique_ptr<TTranslator> translator;
    std::unique_ptr<TfrmMain> frmMain;

    QDate Cursor() const {
        const TMonthModel& m = frmMain->Model();
        return frmMain->CursorDay() == 0 ? QDate()
                                         : QDate(m.DisplayYear, m.DisplayMonth, frmMain->CursorDay());
    }
    QRgb Pixel(int x, int y) const { return frmMain->Buffer().pixel(x, y) & 0xFFFFFF; }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        config = std::make_unique<TConfigData>(dir->path().toStdString());
        services = std::make_unique<FakeServices>();
        services->Clock = QDateTime(QDate(2021, 6, 15), QTime(12, 0));
        services->ActiveWindow = false;
        TDateValue date = 0;
        TryEncodeDate(2021, 6, 20, date);
        config->Memos.Add("Call Ann;at noon", mtSingle, date);
        translator =
            std::make_unique<TTranslator>([this](const std::string& f) { return config->LanguagePath(f); });
        frmMain = std::make_unique<TfrmMain>(*config, *services, *translator, formats, measurer);
        frmMain->DrawCalendar();
    }

    // Editor: the day "Add a memo..." was asked for (0: none). Enter acts as a double click does.
    void keysMoveTheCursorAndOpenTheEditor_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QDate>("cursor");
        QTest::addColumn<int>("editor");
        const int left = Qt::Key_Left, right = Qt::Key_Right, up = Qt::Key_Up, down = Qt::Key_Down;
        QTest::addRow("never used") << QList<int>{} << QDate() << 0;
        QTest::addRow("first arrow: today") << QList<int>{left} << QDate(2021, 6, 15) << 0;
        QTest::addRow("weeks") << QList<int>{down, down, up, up, up} << QDate(2021, 6, 1) << 0;
        QTest::addRow("into July") << QList<int>{down, down, down, down} << QDate(2021, 7, 6) << 0;
        QTest::addRow("a page key shows it on another month's 1st, then back into the year before")
            << (QList<int>(5, Qt::Key_PageUp) << left << left) << QDate(2020, 12, 30) << 0;
        QTest::addRow("a shorter month keeps the last day")
            << QList<int>{right, up, up, left, int(Qt::Key_PageDown)} << QDate(2021, 6, 30) << 0;
        QTest::addRow("page down keeps the day")
            << QList<int>{left, int(Qt::Key_PageDown)} << QDate(2021, 7, 15) << 0;
        QTest::addRow("home: today") << QList<int>{right, right, int(Qt::Key_PageUp), int(Qt::Key_Home)}
                                     << QDate(2021, 6, 15) << 0;
        QTest::addRow("escape hides") << QList<int>{right, int(Qt::Key_Escape)} << QDate() << 0;
        QTest::addRow("enter opens the day")
            << QList<int>{right, right, int(Qt::Key_Return)} << QDate(2021, 6, 16) << 16;
    }
    void keysMoveTheCursorAndOpenTheEditor() {
        QFETCH(QList<int>, keys);
        QFETCH(QDate, cursor);
        QFETCH(int, editor);
        QSignalSpy requests(frmMain.get(), &TfrmMain::addMemoRequested);
        for (int key : keys) {
            QTest::keyClick(frmMain.get(), Qt::Key(key));
        }
        QCOMPARE(Cursor(), cursor); // in the month shown
        QCOMPARE(requests.size(), editor ? 1 : 0);
        QVERIFY(!editor || requests[0] == (QVariantList{2021, 6, editor}));
    }

    // Shift+F10 (as the menu key) opens the menu at the cursor; "Add a memo..." takes its day.
    void menuKeysActOnTheCursorsDay() {
        QTest::keyClick(frmMain.get(), Qt::Key_Right);
        QTest::keyClick(frmMain.get(), Qt::Key_Right);
        QSignalSpy requests(frmMain.get(), &TfrmMain::addMemoRequested);
        QTest::keyClick(frmMain.get(), Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(frmMain->PopMenu()->isVisible());
        frmMain->PopMenu()->findChild<QAction*>("PopMenu_Memo")->trigger();
        frmMain->PopMenu()->hide();
        QCOMPARE(requests.value(0), (QVariantList{2021, 6, 16}));
    }

    // Return typed into "Go to month..." belongs to the date box, not to the cursor's day.
    void dateBoxKeepsItsKeys() {
        QTest::keyClick(frmMain.get(), Qt::Key_Right);
        frmMain->PopMenu()->findChild<QAction*>("PopMenu_Month")->trigger();
        QSignalSpy requests(frmMain.get(), &TfrmMain::addMemoRequested);
        QTest::keyClick(frmMain->edtDate(), Qt::Key_Down);
        QTest::keyClick(frmMain->edtDate(), Qt::Key_Return);
        QCOMPARE(requests.size(), 0);
        QCOMPARE(Cursor(), QDate(2021, 6, 15));
    }

    // Every way to another day tells the new day (the hint names it; the focus event goes with it):
    // the page keys, Home, the wheel (a cursor shown before) and a date typed into the box.
    void everyMoveTellsTheNewDay_data() {
        QTest::addColumn<QList<int>>("keys"); // 0: the wheel turned one notch towards the user
        QTest::addColumn<QString>("typed");   // into "Go to month..." after the keys
        QTest::addColumn<QString>("hint");
        QTest::addRow("page up, cursor hidden")
            << QList<int>{int(Qt::Key_PageUp)} << QString() << QStringLiteral("[Saturday 1 May 2021]");
        QTest::addRow("page down") << QList<int>{int(Qt::Key_Right), int(Qt::Key_PageDown)} << QString()
                                   << QStringLiteral("[Thursday 15 July 2021]");
        QTest::addRow("home") << QList<int>{int(Qt::Key_PageDown), int(Qt::Key_PageDown), int(Qt::Key_Home)}
                              << QString() << QStringLiteral("[Tuesday 15 June 2021]");
        QTest::addRow("the wheel") << QList<int>{int(Qt::Key_Right), 0} << QString()
                                   << QStringLiteral("[Thursday 15 July 2021]");
        QTest::addRow("a date typed") << QList<int>{int(Qt::Key_Right)} << QStringLiteral("2021-09-03")
                                      << QStringLiteral("[Friday 3 September 2021]");
        QTest::addRow("a date typed, no cursor shown")
            << QList<int>{} << QStringLiteral("2021-09-03") << QString();
    }
    void everyMoveTellsTheNewDay() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, typed);
        QFETCH(QString, hint);
        QToolTip::hideText();
        for (int key : keys) {
            if (key == 0) {
                QWheelEvent wheel(QPointF(5, 5), frmMain->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(frmMain.get(), &wheel);
            } else {
                QTest::keyClick(frmMain.get(), Qt::Key(key));
            }
        }
        if (!typed.isEmpty()) {
            frmMain->PopMenu()->findChild<QAction*>("PopMenu_Month")->trigger();
            frmMain->edtDate()->setText(typed);
            QTest::keyClick(frmMain->edtDate(), Qt::Key_Return);
        }
        QCOMPARE(QToolTip::text(), hint);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(frmMain.get());
        if (hint.isEmpty()) {
            QCOMPARE(frmMain->CursorDay(), 0);
            return;
        }
        QVERIFY(list->focusChild() != nullptr);
        // The focused day is the one the hint names ("today" may follow its date).
        QVERIFY(list->focusChild()->text(QAccessible::Name).startsWith(hint.mid(1, hint.size() - 2)));
    }

    // A ring in today's colours that only the cursor paints: a click takes it away again.
    void theRingShowsOnlyWithTheCursor() {
        TScheme& scheme = config->CurrentScheme;
        scheme.Settings[zoneCalendar].BackSolid = true;
        scheme.Settings[zoneCalendar].BackColor = 0xFFFFFF;
        scheme.Settings[zoneToday].BackSolid = true;
        scheme.Settings[zoneToday].BackColor = 0x800000; // navy
        scheme.Settings[zoneToday].TextColor = 0xFFFFFF;
        frmMain->DrawCalendar();
        const QImage plain = frmMain->Buffer();
        QTest::keyClick(frmMain.get(), Qt::Key_Down); // today, the 15th
        const QRect box = frmMain->DayRect(15);
        QCOMPARE(Pixel(box.left(), box.top()), QRgb(0x000080));
        QCOMPARE(Pixel(box.left() + 1, box.top() + 1), QRgb(0xFFFFFF));
        QTest::mouseClick(frmMain.get(), Qt::LeftButton, {}, box.center());
        QCOMPARE(frmMain->CursorDay(), 0);
        QCOMPARE(frmMain->Buffer(), plain);
    }

    // What a screen reader finds: the title as the list's name, the month's days as its items (their
    // names are DayAccessibleName's), the focus on the cursor's day. A list, not a table: a reader
    // reads a table's whole week when the row changes.
    void screenReadersSeeAListOfDays() {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(frmMain.get());
        QCOMPARE(list->role(), QAccessible::List);
        QVERIFY(list->tableInterface() == nullptr);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("2021-06-15"));
        QCOMPARE(list->childCount(), 30);
        QAccessibleInterface* day = list->child(19);
        QCOMPARE(day->role(), QAccessible::ListItem);
        QCOMPARE(list->indexOfChild(day), 19);
        QCOMPARE(day->text(QAccessible::Name), QStringLiteral("Sunday 20 June 2021\nCall Ann\nat noon"));
        QCOMPARE(list->focusChild(), nullptr);
        QTest::keyClick(frmMain.get(), Qt::Key_Down);
        QCOMPARE(list->focusChild(), list->child(14));
        QCOMPARE(QToolTip::text(), QStringLiteral("[Tuesday 15 June 2021]")); // and the hint, as hovering
        QVERIFY(list->focusChild()->state().focused);
        QTest::keyClick(frmMain.get(), Qt::Key_PageDown);
        QCOMPARE(list->childCount(), 31);
        QVERIFY(!list->child(14)->state().invisible && list->child(14)->state().focused);
    }
};

QTEST_MAIN(TestFormMainCursor)
#include "test_FormMainCursor.moc"
