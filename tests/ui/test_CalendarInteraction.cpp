#include "FakeServices.h"
#include "calendar/FormMain.h"
#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "memos/FormMemo.h"
#include "memos/UnitMemo.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
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

    // Either button drags once it has carried the pointer a few pixels; the secondary button let go
    // where it was pressed opens the menu instead.
    void dragMovesTheWindowAndTheSecondaryButtonOpensTheMenu_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("travel");
        QTest::addColumn<bool>("menu");
        QTest::addRow("primary click") << int(Qt::LeftButton) << 0 << false;
        QTest::addRow("primary drag") << int(Qt::LeftButton) << 30 << false;
        QTest::addRow("secondary click") << int(Qt::RightButton) << 0 << true;
        QTest::addRow("secondary drag") << int(Qt::RightButton) << 30 << false;
    }
    void dragMovesTheWindowAndTheSecondaryButtonOpensTheMenu() {
        QFETCH(int, button);
        QFETCH(int, travel);
        QFETCH(bool, menu);
        const auto b = Qt::MouseButton(button);
        frmMain->move(100, 100);
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain.get()));
        const QPoint start(5, 5);
        Mouse(QEvent::MouseButtonPress, start, b, b);
        // Moves arrive in window coordinates as the window follows the pointer.
        Mouse(QEvent::MouseMove, start + QPoint(travel, travel / 2), Qt::NoButton, b);
        Mouse(QEvent::MouseButtonRelease,
              start + QPoint(travel, travel / 2) - (frmMain->pos() - QPoint(100, 100)), b);
        QCOMPARE(frmMain->pos(), QPoint(100 + travel, 100 + travel / 2));
        QCOMPARE(frmMain->PopMenu()->isVisible(), menu);
        frmMain->PopMenu()->hide();
        const TWindowPosition position = LoadWindowPosition(config->SettingsPath());
        const QPoint saved(position.Left, position.Top);
        QCOMPARE(QFile::exists(QString::fromStdString(config->SettingsPath())), travel != 0);
        QVERIFY(travel == 0 || saved == frmMain->pos());
    }
};

QTEST_MAIN(TestCalendarInteraction)
#include "test_CalendarInteraction.moc"
