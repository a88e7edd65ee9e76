#include "memos/FormMemo.h"
#include "lang/MessageTable.h"
#include "FakeServices.h"
#include "config/ConfigData.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace kestrivel;

class TestFormMemo : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TConfigData> config;
    std::unique_ptr<FakeServices> services;
    std::unique_ptr<TfrmMemo> editor;
    int redraws = 0;
    const QString kInvalid = QStringLiteral("The date you entered is invalid!");
    const QString kTaken = QString::fromStdString(BuiltInMessages().value("E4"));

    static TDateValue Day(int year, int month, int day) {
        TDateValue value = 0;
        TryEncodeDate(year, month, day, value);
        return value;
    }
    static void Type(QLineEdit* field, const QString& text) {
        field->clear();
        QTest::keyClicks(field, text);
    }
    bool MemosWritten() const { return QFileInfo::exists(QString::fromStdString(config->MemosPath())); }
    void EditDay(int year, int month, int day) {
        EditMemoOfDay(*editor, *config, *services, year, month, day, [this] { ++redraws; });
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        config = std::make_unique<TConfigData>(dir->path().toStdString());
        services = std::make_unique<FakeServices>();
        editor = std::make_unique<TfrmMemo>(*services);
        redraws = 0;
    }

    void builtInLook() {
        QCOMPARE(editor->windowTitle(), QStringLiteral("Memo"));
        QCOMPARE(editor->size(), QSize(272, 192));
        QVERIFY(editor->windowFlags().testFlag(Qt::Tool));
        QCOMPARE(editor->findChild<QLabel*>("lblMax")->text(), QStringLiteral("(Max. 255 characters)"));
        QCOMPARE(editor->findChild<QComboBox*>("cmbMonth")->itemText(7), QStringLiteral("Août"));
        // Tab order: text box, Ok, Cancel, then the date and the type.
        QStringList order;
        for (QWidget* w = editor->memText(); order.size() < 7; w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().startsWith("qt_")) {
                order << w->objectName();
            }
        }
        QCOMPARE(order.join(' '),
                 QStringLiteral("memText btnOk btnCancel edtDay cmbMonth edtYear cmbMemoType"));
    }

    // The day's events stand read-only under the memo; a day without events gives back the editor's
    // own size.
    void eventsUnderTheMemo() {
        QVERIFY(editor->memEvents() == nullptr);
        editor->SetEvents({QStringLiteral("all day Holiday"), QStringLiteral("18:30 Call (Work)")});
        QVERIFY(editor->memEvents() != nullptr);
        QVERIFY(editor->memEvents()->isReadOnly());
        QCOMPARE(editor->memEvents()->toPlainText(), QStringLiteral("all day Holiday\n18:30 Call (Work)"));
        QVERIFY(editor->height() > 192);
        QVERIFY(editor->memEvents()->geometry().bottom() < editor->height());
        editor->SetEvents({});
        QCOMPARE(editor->size(), QSize(272, 192));
        QVERIFY(editor->memEvents()->isHidden());
    }

    // Up to five events show whole, without a scroll bar; a sixth scrolls.
    void eventsShowWithoutScrollingUpToFive_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("scrolls");
        for (int lines = 1; lines <= 6; ++lines) {
            QTest::addRow("%d", lines) << lines << (lines > 5);
        }
    }
    void eventsShowWithoutScrollingUpToFive() {
        QFETCH(int, lines);
        QFETCH(bool, scrolls);
        QStringList events;
        for (int i = 0; i < lines; ++i) {
            events << QStringLiteral("18:3%1 Call (Work)").arg(i);
        }
        editor->SetEvents(events);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        QCOMPARE(editor->memEvents()->verticalScrollBar()->maximum() > 0, scrolls);
    }

    void upDownStepsWithoutWrapping() {
        Type(editor->edtDay(), "31");
        QTest::mouseClick(editor->updDay()->UpButton(), Qt::LeftButton);
        QCOMPARE(editor->edtDay()->text(), QStringLiteral("31"));
        QTest::keyClick(editor->edtDay(), Qt::Key_Down);
        QCOMPARE(editor->edtDay()->text(), QStringLiteral("30"));
    }

    void invalidDateStaysOpenUntilCorrected() {
        editor->UnlockDate();
        editor->Date = Day(2007, 1, 1);
        editor->SetModalLoop([this](TfrmMemo& memo) {
            Type(memo.edtDay(), "31");
            memo.cmbMonth()->setCurrentIndex(3);
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
            QCOMPARE(services->Boxes.size(), size_t(1));
            QCOMPARE(QString::fromStdString(services->Boxes[0].Text), kInvalid);
            QVERIFY(memo.isVisible());
            Type(memo.edtDay(), "30");
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
        });
        QCOMPARE(editor->ShowModal(), int(QDialog::Accepted));
        QCOMPARE(editor->Date, Day(2007, 4, 30));
    }

    void lineBreaksRoundTrip() {
        editor->Text = "a;b";
        editor->SetModalLoop([](TfrmMemo& memo) {
            QCOMPARE(memo.focusWidget(), memo.memText());
            QCOMPARE(memo.memText()->toPlainText(), QStringLiteral("a\nb"));
            memo.memText()->moveCursor(QTextCursor::End);
            QTest::keyClick(memo.memText(), Qt::Key_Return);
            QTest::keyClicks(memo.memText(), "c");
            QVERIFY(memo.isVisible()); // Enter made a new line, not an "Ok"
            memo.memText()->insertPlainText(QString(300, QLatin1Char('x')));
            QCOMPARE(memo.memText()->toPlainText().size(), 255);
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
        });
        QCOMPARE(editor->ShowModal(), int(QDialog::Accepted));
        QCOMPARE(editor->Text, "a;b;c" + std::string(250, 'x'));
    }

    void escapeInTextBoxCancels() {
        editor->Text = "kept";
        editor->SetModalLoop([](TfrmMemo& memo) {
            QTest::keyClicks(memo.memText(), "more");
            QTest::keyClick(memo.memText(), Qt::Key_Escape);
            QVERIFY(!memo.isVisible());
        });
        QCOMPARE(editor->ShowModal(), int(QDialog::Rejected));
        QCOMPARE(editor->Text, std::string("kept"));
    }

    // A changed memo keeps its date: the fields are read-only but reached by Tab (a screen reader
    // reads them); no key, arrow or wheel changes them, and Ok does not read them.
    void modifyModeKeepsTheDateReadable() {
        editor->LockDate();
        for (QWidget* dimmed :
             std::initializer_list<QWidget*>{editor->updDay(), editor->lblMonth(), editor->updYear()}) {
            QVERIFY2(!dimmed->isEnabled(), qPrintable(dimmed->objectName()));
        }
        QVERIFY(editor->lblDay()->isEnabled() && editor->lblYear()->isEnabled());
        editor->Date = Day(2007, 4, 30) + 0.5;
        editor->SetModalLoop([](TfrmMemo& memo) {
            for (QWidget* field :
                 std::initializer_list<QWidget*>{memo.edtDay(), memo.cmbMonth(), memo.edtYear()}) {
                QVERIFY2(field->isEnabled() && field->focusPolicy() & Qt::TabFocus,
                         qPrintable(field->objectName()));
            }
            QTest::keyClick(memo.edtDay(), Qt::Key_Up);
            QTest::keyClicks(memo.edtYear(), "1");
            QTest::keyClick(memo.cmbMonth(), Qt::Key_Down);
            QCOMPARE(memo.edtDay()->text(), QStringLiteral("30"));
            QCOMPARE(memo.edtYear()->text(), QStringLiteral("2007"));
            QCOMPARE(memo.cmbMonth()->currentIndex(), 3);
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
        });
        QCOMPARE(editor->ShowModal(), int(QDialog::Accepted));
        QCOMPARE(editor->Date, Day(2007, 4, 30) + 0.5);
        editor->UnlockDate();
        QTest::keyClick(editor->cmbMonth(), Qt::Key_Down);
        QCOMPARE(editor->cmbMonth()->currentIndex(), 4);
    }

    // What a screen reader hears: the text box as "Memo" with the day and the limit, the lists with
    // their values, following what is typed.
    void screenReadersHearTheDayAndTheValues() {
        editor->Date = Day(2021, 6, 20);
        editor->SetModalLoop([](TfrmMemo& memo) {
            QCOMPARE(memo.memText()->accessibleName(), QStringLiteral("Memo"));
            QCOMPARE(memo.memText()->accessibleDescription(),
                     QStringLiteral("Sunday 20 June 2021. (Max. 255 characters)"));
            QCOMPARE(memo.cmbMonth()->accessibleName(), QStringLiteral("Month : Juin"));
            QCOMPARE(memo.cmbMemoType()->accessibleName(), QStringLiteral("Type : Single"));
            QTest::keyClick(memo.cmbMemoType(), Qt::Key_Down);
            QCOMPARE(memo.cmbMemoType()->accessibleName(), QStringLiteral("Type : Weekly"));
            Type(memo.edtDay(), "31");
            QCOMPARE(memo.memText()->accessibleDescription(), QStringLiteral("(Max. 255 characters)"));
        });
        editor->ShowModal();
    }

    // A Weekly memo dated Monday 3 April 2006; a day of April 2006 is double-clicked, "x" typed at
    // the start of the text.
    void calendarProtocols_data() {
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("typedDay");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("firstText");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("written");
        QTest::newRow("later Monday adds") << 10 << "" << true << 2 << "weekly" << QString() << true;
        QTest::newRow("add cancelled") << 10 << "" << false << 1 << "weekly" << QString() << false;
        // The editor says so and stays open with the text typed.
        QTest::newRow("taken date") << 10 << "3" << true << 1 << "weekly" << kTaken << false;
        QTest::newRow("own day modified") << 3 << "" << true << 1 << "xweekly" << QString() << true;
        QTest::newRow("own day, saved on cancel") << 3 << "" << false << 1 << "weekly" << QString() << true;
        QTest::newRow("impossible day") << 31 << "" << true << 1 << "weekly" << QString() << false;
    }
    void calendarProtocols() {
        QFETCH(int, day);
        QFETCH(QString, typedDay);
        QFETCH(bool, ok);
        QVERIFY(config->Memos.Add("weekly", mtWeekly, Day(2006, 4, 3)));
        int opened = 0;
        editor->SetModalLoop([&](TfrmMemo& memo) {
            ++opened;
            QCOMPARE(memo.DateLocked(), day == 3);
            QCOMPARE(memo.edtDay()->text(), QString::number(day));
            QTest::keyClicks(memo.memText(), "x");
            if (!typedDay.isEmpty()) {
                Type(memo.edtDay(), typedDay);
            }
            if (ok) {
                QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
                QCOMPARE(memo.isVisible(), typedDay == "3");
                QVERIFY(!memo.isVisible() || memo.memText()->toPlainText() == QStringLiteral("x"));
            }
        });
        EditDay(2006, 4, day);
        QCOMPARE(opened, day <= 30 ? 1 : 0);
        QTEST(int(config->Memos.Count()), "count");
        QTEST(QString::fromStdString(config->Memos.Items()[0].Text), "firstText");
        QTEST(services->Boxes.empty() ? QString() : QString::fromStdString(services->Boxes[0].Text), "error");
        QTEST(MemosWritten(), "written");
        QCOMPARE(redraws, MemosWritten() ? 1 : 0);
    }

    // A full list: the editor names the limit and stays open with the text typed.
    void fullListKeepsTheEditorOpen() {
        for (int i = 0; i < TMemoList::kMaxCount; ++i) {
            QVERIFY(config->Memos.Add("filler", mtSingle, Day(2010, 1, 1) + i));
        }
        editor->SetModalLoop([](TfrmMemo& memo) {
            QTest::keyClicks(memo.memText(), "x");
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
            QVERIFY(memo.isVisible() && memo.memText()->toPlainText() == QStringLiteral("x"));
        });
        EditDay(2006, 4, 10);
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(services->Boxes[0].Text, BuiltInMessages().value("E6"));
    }

    // A sync fills the day while the editor is open: Ok keeps the sync's memo, says the day is taken
    // and opens the editor again with the typed text.
    void aDayFilledMeanwhileKeepsBothTheSyncsMemoAndTheTypedText() {
        int opened = 0;
        editor->SetModalLoop([&](TfrmMemo& memo) {
            if (++opened > 1) {
                QCOMPARE(memo.memText()->toPlainText(), QStringLiteral("typed"));
                return; // closed without Ok
            }
            TConfigData sync(config->ProgramFolder());
            sync.LoadMemos();
            QVERIFY(sync.Memos.Add("phone", mtSingle, Day(2006, 4, 10)));
            QVERIFY(sync.SaveMemos());
            QTest::keyClicks(memo.memText(), "typed");
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
        });
        EditDay(2006, 4, 10);
        QCOMPARE(opened, 2);
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(services->Boxes[0].Text, kTaken.toStdString());
        TConfigData after(config->ProgramFolder());
        after.LoadMemos();
        QCOMPARE(after.Memos.Count(), 1);
        QCOMPARE(after.Memos.Items()[0].Text, std::string("phone"));
    }

    void failedSaveIsShown() {
        config = std::make_unique<TConfigData>(dir->path().toStdString() + "/missing");
        editor->SetModalLoop([](TfrmMemo& memo) { QTest::mouseClick(memo.btnOk(), Qt::LeftButton); });
        EditDay(2006, 4, 10);
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(services->Boxes[0].Text, "Unable to write to " + config->MemosPath());
        QCOMPARE(redraws, 1);
    }

    void tabAddsTodayWithoutSaving() {
        services->Clock = QDateTime(QDate(2026, 12, 7), QTime(18, 30));
        editor->SetModalLoop([](TfrmMemo& memo) {
            QCOMPARE(memo.cmbMonth()->currentIndex(), 11);
            QCOMPARE(memo.edtYear()->text(), QStringLiteral("2026"));
            QTest::mouseClick(memo.btnOk(), Qt::LeftButton);
        });
        QVERIFY(AddMemoFromTab(*editor, *config, *services));
        QCOMPARE(config->Memos.Items()[0].Date, Day(2026, 12, 7));
        QVERIFY(!MemosWritten());
        QVERIFY(ModifyMemoFromTab(*editor, *config, *services, 0));
        QVERIFY(!ModifyMemoFromTab(*editor, *config, *services, 1));
    }
};

QTEST_MAIN(TestFormMemo)
#include "test_FormMemo.moc"
