#include "Application.h"

#include "FakeServices.h"
#include "calendar/FormMain.h"
#include "calendar/TrayIcon.h"
#include "config/FormConfig.h"
#include "config/SyncSettings.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"
#include "sync/SyncRunner.h"
#include "sync/SyncState.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <string>

using namespace kestrivel;

namespace {

// A server that answers 401 to everything.
class RefusingTransport : public IDavTransport {
public:
    THttpResult Send(const THttpRequest&) override {
        THttpResult result;
        result.Ok = true;
        result.Status = 401;
        return result;
    }
};

// A server that takes its time: the request waits in an event loop of its own, as the program's
// transport does, which ends when the sync's thread is told to end. It notes whether the services
// were still there when it went.
std::atomic<int> slowRequests{0};
std::atomic<bool> servicesGone{false};
std::atomic<bool> wentAfterServices{false};

class SlowTransport : public IDavTransport {
public:
    ~SlowTransport() override { wentAfterServices = servicesGone.load(); }
    THttpResult Send(const THttpRequest&) override {
        ++slowRequests;
        QEventLoop wait;
        QTimer::singleShot(30000, &wait, &QEventLoop::quit);
        wait.exec();
        return {};
    }
};

class NotedServices : public FakeServices {
public:
    ~NotedServices() override { servicesGone = true; }
};

// A calendar of twelve events, all known to the last sync, that lists them and takes removals.
constexpr int kHeldEvents = 12;
const std::string kCalendar = "http://127.0.0.1:9/anna/memos/";
std::atomic<int> removals{0};

class TwelveEvents : public IDavTransport {
public:
    THttpResult Send(const THttpRequest& request) override {
        if (request.Method == "DELETE") {
            ++removals;
            return {true, "", 204, "", "", "", false};
        }
        std::string body = "<?xml version=\"1.0\"?><multistatus xmlns=\"DAV:\" "
                           "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><response><href>/anna/memos/</href>"
                           "<propstat><prop><resourcetype><collection/><C:calendar/></resourcetype></prop>"
                           "<status>HTTP/1.1 200 OK</status></propstat></response>";
        for (int i = 0; i < kHeldEvents; ++i) {
            body += "<response><href>/anna/memos/" + std::to_string(i) +
                    ".ics</href><propstat><prop><getetag>\"1\"</getetag></prop><status>HTTP/1.1 200 "
                    "OK</status></propstat></response>";
        }
        return {true, body + "</multistatus>", 207, "", "", "", false};
    }
};

class NoCodec : public IEventCodec {
public:
    std::string Encode(const TMemo&, const std::string&, int64_t) override { return {}; }
    bool Decode(const std::string&, TEventMemo&) override { return false; }
    std::string Patch(const std::string&, const TMemo&, int64_t) override { return {}; }
};

} // namespace

// The program's side of the sync: the menu item, the sync at start, the tooltip's line.
class TestApplicationSync : public QObject {
    Q_OBJECT

private slots:
    void syncOnlyWithAServer_data() {
        QTest::addColumn<QString>("server");
        QTest::newRow("no server") << QString();
        QTest::newRow("server") << QStringLiteral("http://127.0.0.1:9/anna/");
    }
    void syncOnlyWithAServer() {
        QFETCH(QString, server);
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        TSyncSettings sync;
        sync.Server = server.toStdString();
        sync.User = "anna";
        std::string error;
        QVERIFY(SaveSyncSettings(folder + "/Settings.ini", sync, error));
        auto fake = std::make_unique<FakeServices>();
        fake->Clock = QDateTime(QDate(2026, 12, 7), QTime(14, 5));
        fake->MakeTransport = [] { return std::make_unique<RefusingTransport>(); };
        fake->MakeCodec = [] { return std::make_unique<NoCodec>(); };
        TKestrivel program(std::move(fake), ProgramPaths{folder, {folder}});
        program.Start();

        const bool enabled = !server.isEmpty();
        QCOMPARE(program.MainWindow().findChild<QAction*>(QStringLiteral("PopMenu_SyncNow"))->isVisible(),
                 enabled);
        QCOMPARE(program.Sync().HasThread(), enabled);
        if (enabled) {
            QTRY_VERIFY2(program.TrayIcon().ToolTip().endsWith(
                             QStringLiteral("\nSync failed: wrong user name or password")),
                         qPrintable(program.TrayIcon().ToolTip()));
        } else {
            QVERIFY(!program.TrayIcon().ToolTip().contains(QLatin1Char('\n')));
        }
    }

    // "Synchronise now" in the dialog shows how the sync went, in the words of the tray's line; Close
    // ends the sync's thread, even in the middle of a request, before the services it was made with
    // go.
    void syncNowTellsTheDialogAndCloseEndsTheSyncFirst() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        std::string error;
        QVERIFY(
            SaveSyncSettings(folder + "/Settings.ini", {"http://127.0.0.1:9/anna/", "anna", "", 15}, error));
        auto fake = std::make_unique<NotedServices>();
        FakeServices* services = fake.get();
        services->MakeTransport = [] { return std::make_unique<RefusingTransport>(); };
        services->MakeCodec = [] { return std::make_unique<NoCodec>(); };
        auto program = std::make_unique<TKestrivel>(std::move(fake), ProgramPaths{folder, {folder}});
        program->Start();
        const QString refused = QStringLiteral("Sync failed: wrong user name or password");
        QTRY_VERIFY(program->TrayIcon().ToolTip().endsWith(refused));
        TfrmConfig& dialog = program->ConfigDialog();
        dialog.show();
        QCOMPARE(dialog.lblSyncStatus()->text(), refused);
        services->MakeTransport = [] { return std::make_unique<SlowTransport>(); };
        QTRY_VERIFY(dialog.btnSyncNow()->isEnabled());
        QTest::mouseClick(dialog.btnSyncNow(), Qt::LeftButton);
        QVERIFY(dialog.lblSyncStatus()->text() != refused);
        QTRY_COMPARE(slowRequests.load(), 1);
        dialog.close();
        program.reset();
        QVERIFY(servicesGone && !wentAfterServices);
    }

    // "Find calendars" that finds none says why in the dialog's status line, in the words of a sync's.
    void findCalendarsFailureIsTheStatusLine_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("module");
        QTest::addColumn<QString>("line");
        QTest::newRow("no server") << QString() << true
                                   << QStringLiteral("Sync failed: the sync is not set up completely");
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:9/") << true
                                 << QStringLiteral("Sync failed: wrong user name or password");
        QTest::newRow("no network module")
            << QStringLiteral("http://127.0.0.1:9/") << false
            << QStringLiteral(
                   "Sync failed: a part of the program is missing (its network or iCalendar module), "
                   "install it again");
    }
    void findCalendarsFailureIsTheStatusLine() {
        QFETCH(QString, server);
        QFETCH(bool, module);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        auto fake = std::make_unique<FakeServices>();
        if (module) {
            fake->MakeTransport = [] { return std::make_unique<RefusingTransport>(); };
        }
        TKestrivel program(std::move(fake), ProgramPaths{folder, {folder}});
        program.Start();
        TfrmConfig& dialog = program.ConfigDialog();
        dialog.show();
        QTest::keyClicks(dialog.edtSyncServer(), server);
        QTest::keyClicks(dialog.edtSyncUser(), QStringLiteral("anna"));
        QTest::mouseClick(dialog.btnSyncCalendars(), Qt::LeftButton);
        QTRY_COMPARE(dialog.lblSyncStatus()->text(), line);
        QVERIFY(dialog.btnSyncCalendars()->isEnabled());
        dialog.close();
    }

    // Memos removed here that would empty the calendar on the server: the user is asked once for
    // that count; a later sync does not ask again, "Synchronise now" does, and Yes removes them.
    void removalsWaitForTheUsersYes() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        const TSyncSettings sync{kCalendar, "anna", "secret", 15};
        std::string error;
        QVERIFY(SaveSyncSettings(folder + "/Settings.ini", sync, error));
        TSyncState state{kCalendar, kCalendar, "", {}};
        for (int i = 0; i < kHeldEvents; ++i) {
            TSyncEntry entry{"http://127.0.0.1:9/anna/memos/" + std::to_string(i) + ".ics",
                             std::to_string(i),
                             "\"1\"",
                             TEntryMode::Shown,
                             false,
                             TMemo{44000.0 + i, "gone", mtSingle}};
            state.Entries.push_back(entry);
        }
        QVERIFY(SaveSyncState(SyncStatePath(folder), state));
        auto fake = std::make_unique<FakeServices>();
        FakeServices* services = fake.get();
        services->MakeTransport = [] { return std::make_unique<TwelveEvents>(); };
        services->MakeCodec = [] { return std::make_unique<NoCodec>(); };
        services->Answers = {TMessageResult::No, TMessageResult::Yes};
        TKestrivel program(std::move(fake), ProgramPaths{folder, {folder}});
        program.Start();
        const QString held =
            QStringLiteral("Sync stopped: it would remove this many events from the server: 12");
        QTRY_VERIFY2(program.TrayIcon().ToolTip().endsWith(held), qPrintable(program.TrayIcon().ToolTip()));
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(
            services->Boxes[0].Text,
            std::string(
                "The sync would remove 12 events from the calendar server. Do you want to remove them?"));
        program.Sync().Request();
        QTRY_VERIFY(!program.Sync().Running());
        QCOMPARE(services->Boxes.size(), size_t(1));
        QCOMPARE(removals.load(), 0);
        program.MainWindow().findChild<QAction*>(QStringLiteral("PopMenu_SyncNow"))->trigger();
        QTRY_COMPARE(removals.load(), kHeldEvents);
        QCOMPARE(services->Boxes.size(), size_t(2));
        QTRY_VERIFY(program.TrayIcon().ToolTip().contains(QStringLiteral("Last sync: ")));
    }
};

QTEST_MAIN(TestApplicationSync)
#include "test_ApplicationSync.moc"
