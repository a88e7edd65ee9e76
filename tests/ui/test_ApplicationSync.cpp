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
#include <QMutex>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

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

// A server that is down.
class DownTransport : public IDavTransport {
public:
    THttpResult Send(const THttpRequest&) override {
        THttpResult result;
        result.Error = "Connection refused";
        return result;
    }
};

// What happened, in order, on either thread.
struct Log {
    QMutex Lock;
    std::vector<std::string> Events;
    void add(const std::string& event) {
        const QMutexLocker locker(&Lock);
        Events.push_back(event);
    }
    std::vector<std::string> events() {
        const QMutexLocker locker(&Lock);
        return Events;
    }
};

// A server that takes its time: the request waits in an event loop of its own, as the program's
// transport does, which ends when the sync's thread is told to end.
class SlowTransport : public IDavTransport {
public:
    explicit SlowTransport(Log& log) : m_log(log) {}
    ~SlowTransport() override { m_log.add("transport gone"); }
    THttpResult Send(const THttpRequest&) override {
        m_log.add("request");
        QEventLoop wait;
        QTimer::singleShot(30000, &wait, &QEventLoop::quit);
        wait.exec();
        THttpResult result;
        result.Error = "Operation canceled";
        return result;
    }

private:
    Log& m_log;
};

class LoggedServices : public FakeServices {
public:
    explicit LoggedServices(Log& log) : m_log(log) {}
    ~LoggedServices() override { m_log.add("services gone"); }

private:
    Log& m_log;
};

class NoCodec : public IEventCodec {
public:
    std::string Encode(const TMemo&, const std::string&, int64_t) override { return {}; }
    bool Decode(const std::string&, TEventMemo&) override { return false; }
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

    // "Synchronise now" in the dialog shows how the sync went, in the words of the tray's line.
    void syncNowTellsTheDialog() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        TSyncSettings sync;
        sync.Server = "http://127.0.0.1:9/anna/";
        sync.User = "anna";
        std::string error;
        QVERIFY(SaveSyncSettings(folder + "/Settings.ini", sync, error));
        auto fake = std::make_unique<FakeServices>();
        FakeServices* services = fake.get();
        services->MakeTransport = [] { return std::make_unique<RefusingTransport>(); };
        services->MakeCodec = [] { return std::make_unique<NoCodec>(); };
        TKestrivel program(std::move(fake), ProgramPaths{folder, {folder}});
        program.Start();
        QTRY_VERIFY(program.TrayIcon().ToolTip().endsWith(QStringLiteral("wrong user name or password")));
        services->MakeTransport = [] { return std::make_unique<DownTransport>(); };
        TfrmConfig& dialog = program.ConfigDialog();
        dialog.show();
        QCOMPARE(dialog.lblSyncStatus()->text(), QStringLiteral("Sync failed: wrong user name or password"));
        QTRY_VERIFY(dialog.btnSyncNow()->isEnabled());
        QTest::mouseClick(dialog.btnSyncNow(), Qt::LeftButton);
        QTRY_COMPARE(dialog.lblSyncStatus()->text(),
                     QStringLiteral("Sync failed: the server cannot be reached"));
        dialog.close();
    }

    // Close ends the sync's thread, even in the middle of a request, before the services it was
    // made with are destroyed.
    void closeEndsTheSyncBeforeTheServices() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        TSyncSettings sync;
        sync.Server = "http://127.0.0.1:9/anna/";
        sync.User = "anna";
        std::string error;
        QVERIFY(SaveSyncSettings(folder + "/Settings.ini", sync, error));
        Log log;
        auto fake = std::make_unique<LoggedServices>(log);
        fake->MakeTransport = [&log] { return std::make_unique<SlowTransport>(log); };
        fake->MakeCodec = [] { return std::make_unique<NoCodec>(); };
        auto program = std::make_unique<TKestrivel>(std::move(fake), ProgramPaths{folder, {folder}});
        program->Start();
        QTRY_COMPARE(log.events().size(), size_t(1));
        program.reset();
        QCOMPARE(log.events(), (std::vector<std::string>{"request", "transport gone", "services gone"}));
    }
};

QTEST_MAIN(TestApplicationSync)
#include "test_ApplicationSync.moc"
