#include "FakeServices.h"
#include "calendar/FormMain.h"
#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "memos/FormMemo.h"
#include "memos/UnitMemo.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

using namespace kestrivel;

// Today is Tuesday 15 June 2021; June 2021 starts on a Tuesday, so with Monday first one blank box
// comes before day 1.
class TestCalendarInteraction : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TConfigData> config;
    std::unique_ptr<FakeServices> services;
    TLocaleFormats formats;
    QtTextMeasurer measurer;
    std::unique_ptr<TTranslator> translator;
    std::unique_ptr<TfrmMain> frmMain;

    static TDateValue Date(int year, int month, int day) {
        TDateValue date = 0;
        return TryEncodeDate(year, month, day, date) ? date : 0;
    }
    // The centre of day `day`'s box, or of the blank box before day 1 for 0, in window pixels.
    QPoint DayPoint(int day) const {
        const TMonthModel& m = frmMain->Model();
        const int cell = day - 1 + m.Lead;
        return {m.GridLeft + (cell % 7) * (m.CellWidth + m.DaySpacing) + m.CellWidth / 2,
                m.GridTop + (cell / 7) * (m.CellHeight + m.DaySpacing) + m.CellHeight / 2};
    }
    void Mouse(QEvent::Type type, QPoint point, Qt::MouseButton button = Qt::NoButton,
               Qt::MouseButtons buttons = Qt::NoButton) {
        QMouseEvent event(type, point, frmMain->mapToGlobal(point), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(frmMain.get(), &event);
    }
    void Hover(int day) { Mouse(QEvent::MouseMove, DayPoint(day)); }
    void TypeDate(const QString& text) {
        frmMain->edtDate()->clear();
        QTest::keyClicks(frmMain->edtDate(), text);
        QTest::keyClick(frmMain->edtDate(), Qt::Key_Return);
    }
    void OpenDateBox() { frmMain->PopMenu()->findChild<QAction*>("PopMenu_Month")->trigger(); }
    QPoint Shown() const { return {frmMain->Model().DisplayYear, frmMain->Model().DisplayMonth}; }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        config = std::make_unique<TConfigData>(dir->path().toStdString());
        services = std::make_unique<FakeServices>();
        services->Clock = QDateTime(QDate(2021, 6, 15), QTime(12, 0));
        config->Memos.Add("Lunch;with Ann", mtSingle, Date(2021, 6, 15));
        config->Memos.Add("Swim", mtWeekly, Date(2021, 6, 1));
        services->ActiveWindow = false;
        translator = std::make_unique<TTranslator>(
            [this](const std::string& file) { return config->LanguagePath(file); });
        frmMain = std::make_unique<TfrmMain>(*config, *services, *translator, formats, measurer);
        frmMain->DrawCalendar();
    }
    void cleanup() {
        frmMain.reset();
        QToolTip::hideText();
    }

    void hoverShowsTheHintAndGuidesTheMenu_data() {
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("hint");
        QTest::addRow("own memo and weekly") << 15 << "[Tuesday 15 June 2021]\nLunch\nwith Ann\nSwim";
        QTest::addRow("plain day") << 16 << "[Wednesday 16 June 2021]";
        QTest::addRow("blank box") << 0 << "";
    }
    void hoverShowsTheHintAndGuidesTheMenu() {
        QFETCH(int, day);
        QFETCH(QString, hint);
        QSignalSpy requests(frmMain.get(), &TfrmMain::addMemoRequested);
        Hover(day);
        QCOMPARE(frmMain->toolTip(), hint);
        QCOMPARE(QToolTip::text(), hint);
        QAction* memo = frmMain->PopMenu()->findChild<QAction*>("PopMenu_Memo");
        emit frmMain->PopMenu()->aboutToShow();
        QCOMPARE(memo->isEnabled(), !hint.isEmpty());
        // The command takes the last day hovered, also after the pointer has left the calendar.
        memo->trigger();
        QCOMPARE(requests.size(), hint.isEmpty() ? 0 : 1);
        QVERIFY(requests.isEmpty() || requests[0] == (QVariantList{2021, 6, day}));
    }

    // Opened: 0 no editor (the date entry box instead), 1 to add, 2 to modify (date locked).
    void doubleClickOpensTheDaysMemoOrTheDateBox_data() {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("opened");
        QTest::addColumn<int>("memos");
        QTest::addRow("own memo: modified") << 15 << 2 << 2;
        QTest::addRow("weekly from an earlier week: new memo") << 22 << 1 << 3;
        QTest::addRow("blank box: date entry box") << 0 << 0 << 2;
    }
    void doubleClickOpensTheDaysMemoOrTheDateBox() {
        QFETCH(int, day);
        QFETCH(int, opened);
        QFETCH(int, memos);
        TfrmMemo editor(*services);
        int wasOpened = 0;
        editor.SetModalLoop([&](TfrmMemo& memo) {
            wasOpened = memo.DateLocked() ? 2 : 1;
            memo.memText()->setPlainText("Typed");
            memo.btnOkClick();
        });
        connect(frmMain.get(), &TfrmMain::addMemoRequested, this, [&](int year, int month, int d) {
            EditMemoOfDay(editor, *config, *services, year, month, d, [this] { frmMain->DrawCalendar(); });
        });
        Hover(day);
        Mouse(QEvent::MouseButtonDblClick, DayPoint(day), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(wasOpened, opened);
        QCOMPARE(config->Memos.Count(), memos);
        QCOMPARE(frmMain->pnlDate() != nullptr && frmMain->pnlDate()->isVisible(), opened == 0);
        QVERIFY(!opened ||
                config->Memos.Items()[config->Memos.IndexOfDate(Date(2021, 6, day))].Text == "Typed");
    }

    void dateBoxStepsMonths_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("next");
        QTest::addColumn<QPoint>("entered");
        QTest::addColumn<QPoint>("stepped");
        QTest::addColumn<QString>("text");
        QTest::addRow("next") << "2030-03-09" << true << QPoint(2030, 3) << QPoint(2030, 4) << "2030-04-15";
        QTest::addRow("next year") << "2030-12-31" << true << QPoint(2030, 12) << QPoint(2031, 1)
                                   << "2031-01-15";
        QTest::addRow("previous year")
            << "2031-01-02" << false << QPoint(2031, 1) << QPoint(2030, 12) << "2030-12-15";
    }
    void dateBoxStepsMonths() {
        QFETCH(QString, typed);
        QFETCH(bool, next);
        QFETCH(QPoint, entered);
        QFETCH(QPoint, stepped);
        QFETCH(QString, text);
        OpenDateBox();
        QCOMPARE(frmMain->edtDate()->text(), QStringLiteral("2021-06-15"));
        QCOMPARE(frmMain->focusWidget(), frmMain->edtDate());
        TypeDate(typed);
        QCOMPARE(Shown(), entered);
        QVERIFY(!frmMain->pnlDate()->isVisible());
        OpenDateBox();
        QTest::mouseClick(next ? frmMain->updDateNext() : frmMain->updDatePrevious(), Qt::LeftButton);
        QCOMPARE(Shown(), stepped);
        QCOMPARE(frmMain->edtDate()->text(), text);
        QVERIFY(frmMain->pnlDate()->isVisible());
        // "..." goes back to today and leaves the box open.
        QTest::mouseClick(frmMain->btnDate(), Qt::LeftButton);
        QCOMPARE(Shown(), QPoint(2021, 6));
        QCOMPARE(frmMain->edtDate()->text(), QStringLiteral("2021-06-15"));
        QVERIFY(frmMain->pnlDate()->isVisible());
    }

    void dateBoxClosesOnEscapeOnAPressOutsideAndOnAnInvalidDate() {
        frmMain->SetOffsets(1, 2);
        OpenDateBox();
        // Laid over the title inset by 2 pixels, and taken into the mask.
        const QRect box = frmMain->pnlDate()->geometry();
        QCOMPARE(box.size(), QSize(frmMain->Model().TitleWidth - 4, frmMain->Model().TitleHeight - 4));
        QVERIFY(frmMain->mask().contains(box));
        QCOMPARE(frmMain->btnDate()->geometry().right(), box.width() - 1);
        QTest::keyClick(frmMain->edtDate(), Qt::Key_Escape);
        QVERIFY(!frmMain->pnlDate()->isVisible());
        OpenDateBox();
        Mouse(QEvent::MouseButtonPress, DayPoint(20), Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, DayPoint(20), Qt::LeftButton);
        QVERIFY(!frmMain->pnlDate()->isVisible());
        OpenDateBox();
        TypeDate("2021-02-30");
        QVERIFY(!frmMain->pnlDate()->isVisible());
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(services->Boxes[0].Text, std::string("The date you entered is invalid!"));
        QCOMPARE(Shown(), QPoint(2022, 8));
    }

    // Page Up and Page Down step a month across year ends, Home comes back to the current month;
    // keys with a modifier are left alone. With the date entry box open its field follows.
    void keysMoveBetweenMonths_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("box");
        QTest::addColumn<QPoint>("shown");
        const int down = Qt::Key_PageDown;
        const int up = Qt::Key_PageUp;
        QTest::addRow("page down") << QList<int>{down} << 0 << false << QPoint(2021, 7);
        QTest::addRow("page up") << QList<int>{up} << 0 << false << QPoint(2021, 5);
        QTest::addRow("into the next year")
            << QList<int>{down, down, down, down, down, down, down} << 0 << false << QPoint(2022, 1);
        QTest::addRow("into the year before")
            << QList<int>{up, up, up, up, up, up} << 0 << false << QPoint(2020, 12);
        QTest::addRow("home") << QList<int>{down, down, up, down, int(Qt::Key_Home)} << 0 << false
                              << QPoint(2021, 6);
        QTest::addRow("with control")
            << QList<int>{down} << int(Qt::ControlModifier) << false << QPoint(2021, 6);
        QTest::addRow("in the date entry box") << QList<int>{down, down} << 0 << true << QPoint(2021, 8);
    }
    void keysMoveBetweenMonths() {
        QFETCH(QList<int>, keys);
        QFETCH(int, modifiers);
        QFETCH(bool, box);
        QFETCH(QPoint, shown);
        if (box) {
            OpenDateBox();
        }
        QWidget* target = box ? static_cast<QWidget*>(frmMain->edtDate()) : frmMain.get();
        for (int key : keys) {
            QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        }
        QCOMPARE(Shown(), shown);
        if (box) {
            QCOMPARE(frmMain->edtDate()->text(),
                     QStringLiteral("%1-%2-15").arg(shown.x()).arg(shown.y(), 2, 10, QLatin1Char('0')));
            QVERIFY(frmMain->pnlDate()->isVisible());
        }
    }

    // Keys reach the calendar as the window system sends them, to the window's focus, after the date
    // entry box closed each way (0 Escape, 1 a date, 2 a press outside) and then a dialog (3).
    void keysWorkAfterEachClosing() {
        frmMain->show();
        for (int closing = 0; closing < 4; ++closing) {
            OpenDateBox();
            if (closing == 0) {
                QTest::keyClick(frmMain->edtDate(), Qt::Key_Escape);
            } else if (closing == 1) {
                TypeDate("2021-06-01");
            } else {
                Mouse(QEvent::MouseButtonPress, DayPoint(20), Qt::LeftButton, Qt::LeftButton);
                Mouse(QEvent::MouseButtonRelease, DayPoint(20), Qt::LeftButton);
            }
            if (closing == 3) {
                QDialog(frmMain.get()).show();
            }
            for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_PageUp}) {
                QTest::keyClick(frmMain->windowHandle(), key);
            }
            QCOMPARE(Shown(), QPoint(2021, 5));
        }
    }

    // One month per notch of 120: turned away from the user the month before, towards the user the
    // month after; a fine wheel's small steps add up, and a turn the other way starts afresh.
    void wheelMovesBetweenMonths_data() {
        QTest::addColumn<QList<QPoint>>("turns"); // angle deltas, one wheel event each
        QTest::addColumn<QPoint>("shown");
        QTest::addRow("one notch towards") << QList<QPoint>{{0, -120}} << QPoint(2021, 7);
        QTest::addRow("one notch away") << QList<QPoint>{{0, 120}} << QPoint(2021, 5);
        QTest::addRow("three notches at once") << QList<QPoint>{{0, -360}} << QPoint(2021, 9);
        QTest::addRow("a year of notches") << QList<QPoint>(12, QPoint(0, -120)) << QPoint(2022, 6);
        QTest::addRow("fine steps making a notch")
            << QList<QPoint>{{0, -40}, {0, -40}, {0, -40}} << QPoint(2021, 7);
        QTest::addRow("fine steps short of a notch") << QList<QPoint>{{0, -40}, {0, -40}} << QPoint(2021, 6);
        QTest::addRow("fine steps turned back")
            << QList<QPoint>{{0, -60}, {0, 60}, {0, 60}} << QPoint(2021, 5);
        QTest::addRow("sideways") << QList<QPoint>{{120, 0}} << QPoint(2021, 6);
    }
    void wheelMovesBetweenMonths() {
        QFETCH(QList<QPoint>, turns);
        QFETCH(QPoint, shown);
        const QPoint at = DayPoint(16);
        for (const QPoint& turn : turns) {
            QWheelEvent event(at, frmMain->mapToGlobal(at), QPoint(), turn, Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(frmMain.get(), &event);
        }
        QCOMPARE(Shown(), shown);
    }

    // Either button drags once it has carried the pointer a few pixels, keeps the window on the screen
    // (1920 by 1080) at every step and saves where the drag left it when the button is let go, also
    // while a step's save still waits for its turn; the secondary button let go where it was pressed
    // opens the menu instead. A left of -1 stands for flush with the screen's right edge.
    void dragMovesTheWindowAndTheSecondaryButtonOpensTheMenu_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QList<QPoint>>("travel"); // of the pointer from the press, step by step
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<bool>("menu");
        const auto left = int(Qt::LeftButton);
        const auto right = int(Qt::RightButton);
        QTest::addRow("primary click") << left << QList<QPoint>{} << QPoint(100, 100) << false;
        QTest::addRow("primary drag") << left << QList<QPoint>{{30, 15}} << QPoint(130, 115) << false;
        QTest::addRow("secondary click") << right << QList<QPoint>{} << QPoint(100, 100) << true;
        QTest::addRow("secondary drag") << right << QList<QPoint>{{30, 15}} << QPoint(130, 115) << false;
        QTest::addRow("primary drag in steps")
            << left << QList<QPoint>{{10, 0}, {25, 5}, {60, 20}} << QPoint(160, 120) << false;
        QTest::addRow("secondary drag in steps")
            << right << QList<QPoint>{{-10, 0}, {-25, 5}, {-60, 20}} << QPoint(40, 120) << false;
        QTest::addRow("primary drag past the right edge")
            << left << QList<QPoint>{{1000, 0}, {1900, 10}, {1927, 10}} << QPoint(-1, 110) << false;
        QTest::addRow("secondary drag past the right edge and back")
            << right << QList<QPoint>{{1900, 10}, {2500, 10}, {1000, 10}} << QPoint(1100, 110) << false;
        QTest::addRow("secondary drag past the top left corner")
            << right << QList<QPoint>{{-50, 0}, {-300, -300}} << QPoint(0, 0) << false;
    }
    void dragMovesTheWindowAndTheSecondaryButtonOpensTheMenu() {
        QFETCH(int, button);
        QFETCH(QList<QPoint>, travel);
        QFETCH(QPoint, place);
        QFETCH(bool, menu);
        const auto b = Qt::MouseButton(button);
        frmMain->move(100, 100);
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain.get()));
        const QRect screen = services->Screens[0];
        if (place.x() < 0) {
            place.setX(screen.right() + 1 - frmMain->width());
        }
        // Events carry window coordinates, which change as the window follows the pointer.
        const QPoint press = QPoint(100, 100) + QPoint(5, 5);
        const auto at = [&](QEvent::Type type, QPoint global, Qt::MouseButton changed,
                            Qt::MouseButtons held) {
            QMouseEvent event(type, global - frmMain->pos(), global, changed, held, Qt::NoModifier);
            QCoreApplication::sendEvent(frmMain.get(), &event);
        };
        at(QEvent::MouseButtonPress, press, b, b);
        for (const QPoint& step : travel) {
            at(QEvent::MouseMove, press + step, Qt::NoButton, b);
            QVERIFY2(screen.contains(frmMain->geometry()), "the window left the screen during the drag");
        }
        at(QEvent::MouseButtonRelease, press + (travel.isEmpty() ? QPoint() : travel.last()), b,
           Qt::NoButton);
        QCOMPARE(frmMain->pos(), place);
        QCOMPARE(frmMain->PopMenu()->isVisible(), menu);
        frmMain->PopMenu()->hide();
        QCOMPARE(QFile::exists(QString::fromStdString(config->SettingsPath())), !travel.isEmpty());
        const TWindowPosition position = LoadWindowPosition(config->SettingsPath());
        QVERIFY(travel.isEmpty() || QPoint(position.Left, position.Top) == place);
    }
};

QTEST_MAIN(TestCalendarInteraction)
#include "test_CalendarInteraction.moc"
