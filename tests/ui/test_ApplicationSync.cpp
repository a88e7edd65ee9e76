#include "Application.h"

#include "FakeServices.h"
#include "calendar/FormMain.h"
#include "calendar/TrayIcon.h"
#include "config/FormConfig.h"
#include "config/SyncSettings.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"
#include "sync/SyncRunner.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

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
};

QTEST_MAIN(TestApplicationSync)
#include "test_ApplicationSync.moc"
