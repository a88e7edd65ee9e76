#include "FakeServices.h"
#include "Application.h"
#include "calendar/FormMain.h"
#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "calendar/TrayIcon.h"
#include "common/DateFormat.h"
#include "common/DateValue.h"
#include "config/ConfigData.h"
#include "config/FormConfig.h"
#include "lang/LangSource.h"
#include "lang/TranslationKeys.h"
#include "memos/FormMemo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrivel;

// The program as main builds it, in a scratch program folder, with fake services: translation of
// the three windows, the report of a damaged file, the new day and the stay-on-top switch.
class TestLifetime : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    FakeServices* services = nullptr;
    std::unique_ptr<TKestrivel> program;

    QString Path(const char* name) const { return dir->path() + QLatin1Char('/') + QLatin1String(name); }

    void WriteFile(const char* name, const QByteArray& bytes) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A language file compiled from source, as langc does.
    void WriteLanguage(const char* name, const std::string& source) {
        std::string bytes;
        TLangSourceError error;
        QVERIFY2(CompileLangSource(source, bytes, error), error.ToString().c_str());
        WriteFile(name, QByteArray::fromStdString(bytes));
    }

    void Build() {
        auto fake = std::make_unique<FakeServices>();
        services = fake.get();
        const std::string folder = dir->path().toStdString();
        program = std::make_unique<TKestrivel>(std::move(fake), ProgramPaths{folder, {folder}});
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup() { program.reset(); }

    void everyTranslatedComponentIsThereByName() {
        Build();
        // The date entry box is made when it first shows.
        program->MainWindow().findChild<QAction*>(QStringLiteral("PopMenu_Month"))->trigger();
        const std::map<std::string, QWidget*> windows{{"frmMain", &program->MainWindow()},
                                                      {"frmConfig", &program->ConfigDialog()},
                                                      {"frmMemo", &program->MemoEditor()}};
        for (const TTranslationKey& key : TranslationKeys()) {
            const auto window = windows.find(key.Section);
            if (key.Kind == TKeyKind::ListEntry || window == windows.end()) {
                continue;
            }
            const QString name = QString::fromStdString(key.Key);
            const bool found =
                window->second->objectName() == name || window->second->findChild<QObject*>(name);
            QVERIFY2(found, qPrintable(QStringLiteral("%1 has no %2").arg(window->first.c_str(), name)));
        }
    }

    void switchingLanguagesKeepsWhatTheNewFileLeavesOut() {
        WriteLanguage("A.lang",
                      "language = A\n[frmMain]\nPopMenu_Exit = Quit-A\nPopMenu_N1 = -\nbtnDate = Go-A\n"
                      "Weekdays = LMMJVSD\n[frmConfig]\nbtnApply = Apply-A\n"
                      "cmbWeekStart = 1;2;3;4;5;6;7\n[messages]\nE1 = Bad-A\n");
        WriteLanguage("B.lang", "language = B\n[frmConfig]\nbtnOk = Ok-B\nbtnApply = \"\"\n");
        Build();
        TfrmMain& frmMain = program->MainWindow();
        TTranslator& translator = program->Translator();
        auto* weekStart = program->ConfigDialog().findChild<QComboBox*>(QStringLiteral("cmbWeekStart"));
        QVERIFY(weekStart);
        weekStart->setCurrentIndex(3);

        translator.TranslateTo("A.lang");
        auto* apply = program->ConfigDialog().findChild<QPushButton*>(QStringLiteral("btnApply"));
        QCOMPARE(apply->text(), QStringLiteral("Apply-A"));
        QCOMPARE(weekStart->count(), 7);
        QCOMPARE(weekStart->currentText(), QStringLiteral("4"));
        QCOMPARE(frmMain.findChild<QAction*>(QStringLiteral("PopMenu_Exit"))->text(),
                 QStringLiteral("Quit-A"));
        QVERIFY(frmMain.findChild<QAction*>(QStringLiteral("PopMenu_N1"))->isSeparator());
        QCOMPARE(translator.Weekdays(), std::string("LMMJVSD"));
        QCOMPARE(translator.Messages().value("E1"), std::string("Bad-A"));
        QCOMPARE(services->Messages().value("E1"), std::string("Bad-A"));
        // A part made after the translation gets it when it is made (shown first: a showing translates
        // from the options' file).
        frmMain.show();
        translator.TranslateTo("A.lang");
        frmMain.findChild<QAction*>(QStringLiteral("PopMenu_Month"))->trigger();
        QCOMPARE(frmMain.btnDate()->text(), QStringLiteral("Go-A"));

        translator.TranslateTo("B.lang"); // silent on btnApply (an empty text is no text)
        QCOMPARE(apply->text(), QStringLiteral("Apply-A"));
        QCOMPARE(program->ConfigDialog().findChild<QPushButton*>(QStringLiteral("btnOk"))->text(),
                 QStringLiteral("Ok-B"));
        QCOMPARE(translator.Messages().value("E1"), std::string("Bad-A"));
    }

    // A first start ticks no autostart (it would write outside the program's folder); a build without
    // an update server, as this one, offers no update check.
    void firstStartOffersWhatCanWork_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("autorun");
        QTest::newRow("first start") << QByteArray() << false;
        QTest::newRow("later start") << QByteArray("[Options]\nAutorun=1\n") << true;
    }
    void firstStartOffersWhatCanWork() {
        QFETCH(QByteArray, settings);
        QFETCH(bool, autorun);
        if (!settings.isEmpty()) {
            WriteFile("Settings.ini", settings);
        }
        Build();
        QCOMPARE(program->Config().Options.Autorun, autorun);
        QVERIFY(TKestrivel::HasUpdateEndpoint() == false);
        QVERIFY(!program->MainWindow().findChild<QAction*>(QStringLiteral("PopMenu_Update"))->isVisible());
        program->ConfigDialog().show();
        QVERIFY(!program->ConfigDialog().chkAutoUpdate()->isVisible());
    }

    // Another program (a second calendar, a command-line import) saves Memos.dat: the running
    // calendar takes the memo in without losing its own unsaved one, and its next save keeps both.
    void memosSavedElsewhereAreTakenIn() {
        Build();
        program->Start();
        TDateValue ours = 0;
        TDateValue theirs = 0;
        QVERIFY(TryEncodeDate(2026, 12, 9, ours) && TryEncodeDate(2026, 12, 24, theirs));
        QVERIFY(program->Config().Memos.Add("ours", mtSingle, ours));
        TConfigData elsewhere(dir->path().toStdString());
        elsewhere.Load();
        QVERIFY(elsewhere.Memos.Add("theirs", mtSingle, theirs));
        QVERIFY(elsewhere.SaveMemos());
        QTRY_COMPARE(program->Config().Memos.Count(), uint16_t(2));
        QVERIFY(program->Config().SaveMemos());
        TConfigData reread(dir->path().toStdString());
        reread.Load();
        QCOMPARE(reread.Memos.Count(), uint16_t(2));
    }

    // A memo added where Memos.dat cannot be written (a folder that is not there) is not dropped in
    // silence: the tooltip says so, and "Close" asks until the memos are saved or the user lets go.
    void closeAsksWhileMemosAreNotSaved_data() {
        QTest::addColumn<QList<int>>("answers"); // to the question at "Close"
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel stays") << QList<int>{TMessageResult::Cancel} << false;
        QTest::newRow("no closes without them") << QList<int>{TMessageResult::No} << true;
        QTest::newRow("yes saves once the folder is there") << QList<int>{TMessageResult::Yes} << true;
        QTest::newRow("yes fails, cancel")
            << QList<int>{TMessageResult::Yes, TMessageResult::Cancel} << false;
    }
    void closeAsksWhileMemosAreNotSaved() {
        QFETCH(QList<int>, answers);
        const bool saved = answers.size() == 1 && answers[0] == TMessageResult::Yes;
        const std::string folder = Path("missing").toStdString();
        auto fake = std::make_unique<FakeServices>();
        services = fake.get();
        program = std::make_unique<TKestrivel>(std::move(fake), ProgramPaths{folder, {folder}});
        program->MemoEditor().SetModalLoop(
            [](TfrmMemo& memo) { QTest::mouseClick(memo.btnOk(), Qt::LeftButton); });
        emit program->MainWindow().addMemoRequested(2026, 12, 9);
        QVERIFY(program->TrayIcon().ToolTip().contains(QStringLiteral("Memos not saved")));
        QVERIFY(!saved || QDir().mkpath(Path("missing")));
        services->Answers.assign(answers.begin(), answers.end());
        QTEST(program->Close(), "closes");
        QCOMPARE(services->Boxes.size(), 1 + answers.size()); // the failed save's, then each question
        QCOMPARE(services->Boxes.back().Buttons, TMessageButtons::YesNoCancel);
        QCOMPARE(QFile::exists(Path("missing/Memos.dat")), saved);
        QCOMPARE(program->TrayIcon().ToolTip().contains(QStringLiteral("Memos not saved")), !saved);
    }

    void aDamagedFileIsReportedOnceTheCalendarShows() {
        WriteFile("Memos.dat", QByteArray("\x0D"
                                          "CalendarMemos\x65\x00",
                                          16)); // version 101
        Build();
        program->Start();
        QTRY_COMPARE(services->Boxes.size(), size_t(1));
        QVERIFY(services->Boxes[0].Text.find("Memos.dat.damaged-") != std::string::npos);
        QVERIFY(QFile::exists(Path("Memos.dat")));
    }

    void midnightAndClockChangesRedrawWithTheNewDay() {
        Build();
        TfrmMain& frmMain = program->MainWindow();
        services->Clock = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
        frmMain.SetOffsets(0, 2); // February next year
        program->TimerTimer();
        const QString before = program->TrayIcon().ToolTip();
        services->Clock = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1));
        program->TimerTimer();
        QCOMPARE(frmMain.Model().TodayDay, 1);
        QCOMPARE(frmMain.Model().DisplayYear, 2027);
        QCOMPARE(frmMain.Model().DisplayMonth, 3); // still two months ahead
        QVERIFY(program->TrayIcon().ToolTip() != before);
        QVERIFY(program->TrayIcon().ToolTip().size() <= 63);
    }

    void trayActivationFollowsTheHost_data() {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<bool>("statusNotifier");
        QTest::addColumn<bool>("toggles");
        using R = QSystemTrayIcon;
        QTest::newRow("XEmbed double click") << R::DoubleClick << false << true;
        QTest::newRow("XEmbed click") << R::Trigger << false << false;
        QTest::newRow("XEmbed middle") << R::MiddleClick << false << false;
        QTest::newRow("XEmbed context") << R::Context << false << false;
        QTest::newRow("SNI activate") << R::Trigger << true << true;
        QTest::newRow("SNI double click") << R::DoubleClick << true << false;
        QTest::newRow("SNI secondary") << R::MiddleClick << true << false;
        QTest::newRow("SNI context") << R::Context << true << false;
    }
    void trayActivationFollowsTheHost() {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(bool, statusNotifier);
        QFETCH(bool, toggles);
        QCOMPARE(ActivationTogglesCalendar(reason, statusNotifier), toggles);
    }

    // Without a StatusNotifierItem host (as here) the icon's double click reaches Display/Hide.
    void trayDoubleClickShowsTheHiddenCalendar() {
        Build();
        program->Start();
        TfrmMain& frmMain = program->MainWindow();
        frmMain.hide();
        program->TrayIcon().OnActivated(QSystemTrayIcon::Trigger);
        QVERIFY(!frmMain.isVisible());
        program->TrayIcon().OnActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(frmMain.isVisible());
    }

    void stayOnTopChangesInPlace() {
        Build();
        TfrmMain& frmMain = program->MainWindow();
        program->Start();
        QVERIFY(QTest::qWaitForWindowExposed(&frmMain));
        const WId before = frmMain.winId();
        // Switched from the dialog as the user does it: the program carries the change to the calendar.
        program->ConfigDialog().chkAlwaysOnTop()->setChecked(true);
        QVERIFY(program->ConfigDialog().btnApplyClick());
        QVERIFY(frmMain.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(program->Translator().LanguageFile(), program->Config().Options.LanguageFile);
        QVERIFY(frmMain.isVisible());
        QCOMPARE(frmMain.winId(), before);
        frmMain.AlwaysOnTop(false);
        QVERIFY(!frmMain.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(frmMain.isVisible());
    }
};

QTEST_MAIN(TestLifetime)
#include "test_Lifetime.moc"
