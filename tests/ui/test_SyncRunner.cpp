#include "sync/SyncRunner.h"

#include "FakeServices.h"
#include "base/SecretStore.h"
#include "lang/MessageTable.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <vector>

using namespace kestrivel;

namespace {

// A server that is down: each request waits until the test opens the gate, then finds no answer.
struct Line {
    QSemaphore Entered;
    QSemaphore Gate;
    std::atomic<int> Made{0};
    std::atomic<QThread*> Thread{nullptr};
};

class GatedTransport : public IDavTransport {
public:
    explicit GatedTransport(Line& line) : m_line(line) {}
    THttpResult Send(const THttpRequest&) override {
        m_line.Thread = QThread::currentThread();
        m_line.Entered.release();
        m_line.Gate.acquire();
        THttpResult result;
        result.Error = "Connection refused";
        return result;
    }

private:
    Line& m_line;
};

class NoCodec : public IEventCodec {
public:
    std::string Encode(const TMemo&, const std::string&, int64_t) override { return {}; }
    bool Decode(const std::string&, TEventMemo&) override { return false; }
    std::string Patch(const std::string&, const TMemo&, int64_t) override { return {}; }
};

} // namespace

class TestSyncRunner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakeServices services;
    std::unique_ptr<Line> line;
    std::unique_ptr<TSyncRunner> runner;
    std::vector<TSyncReport> reports;

    void Make(const std::string& server) {
        services.MakeTransport = [this] {
            ++line->Made;
            return std::make_unique<GatedTransport>(*line);
        };
        services.MakeCodec = [] { return std::make_unique<NoCodec>(); };
        runner = std::make_unique<TSyncRunner>(services, dir.path().toStdString());
        connect(runner.get(), &TSyncRunner::finished, this,
                [this](const TSyncReport& report) { reports.push_back(report); });
        TSyncSettings settings;
        settings.Server = server;
        settings.User = "anna";
        runner->Configure(settings);
    }

private slots:
    void init() { line = std::make_unique<Line>(); }
    void cleanup() {
        line->Gate.release(1000);
        runner.reset();
        reports.clear();
    }

    void requestsDuringASyncMakeOneMore() {
        Make("http://127.0.0.1:9/");
        QVERIFY(runner->HasThread());
        runner->Request();
        QVERIFY(line->Entered.tryAcquire(1, 5000));
        QVERIFY(line->Thread.load() != QThread::currentThread());
        runner->Request();
        runner->Request();
        QVERIFY(runner->Running());
        line->Gate.release(1000);
        QTRY_COMPARE(reports.size(), size_t(2));
        QVERIFY(!runner->Running());
        QCOMPARE(line->Made.load(), 2);
        QCOMPARE(reports[0].Failure, TSyncFailure::Network);
        // Idle until the interval: nothing runs, one timer waits.
        QVERIFY(runner->Scheduled());
    }

    void noServerNoThreadNoTimer() {
        Make("");
        runner->Request();
        runner->LocalChange();
        QVERIFY(!runner->HasThread());
        QVERIFY(!runner->Scheduled());
        QVERIFY(!runner->Running());
        QCOMPARE(line->Made.load(), 0);
        // Clearing the server of a running setup ends its thread as well.
        Make("http://127.0.0.1:9/");
        runner->Configure(TSyncSettings());
        QVERIFY(!runner->HasThread());
        QVERIFY(!runner->Scheduled());
    }

    void passwordFromTheStoreUnlessTheEnvironmentHasOne_data() {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("store") << QString() << QStringLiteral("from-store");
        QTest::newRow("environment") << QStringLiteral("from-env") << QStringLiteral("from-env");
    }
    void passwordFromTheStoreUnlessTheEnvironmentHasOne() {
        QFETCH(QString, variable);
        QFETCH(QString, expected);
        services.Variables.clear();
        if (!variable.isEmpty()) {
            services.Variables["KESTRIVEL_SYNC_PASSWORD"] = variable;
        }
        TSyncSettings account;
        account.Server = "http://127.0.0.1:9/";
        account.User = "anna";
        services.Secrets[SyncPasswordKey(account.User, account.Server)] = "from-store";
        Make(account.Server);
        runner->Request();
        QVERIFY(line->Entered.tryAcquire(1, 5000));
        QCOMPARE(QString::fromStdString(runner->Settings().Password), expected);
    }

    // The tooltip's second line, one text per outcome.
    void statusLinePerOutcome_data() {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        const char* const lines[] = {
            "Last sync: 14:05",
            "Sync failed: the sync is not set up completely",
            "Sync failed: the server cannot be reached",
            "Sync failed: wrong user name or password",
            "Sync failed: the address leads to no calendar",
            "Sync failed: the server gave an answer that cannot be used",
            "Sync failed: the memo file or the sync state cannot be written",
        };
        for (int i = 0; i <= static_cast<int>(TSyncFailure::LocalFile); ++i) {
            QTest::newRow(lines[i]) << i << QString::fromLatin1(lines[i]);
        }
    }
    void statusLinePerOutcome() {
        QFETCH(int, failure);
        QFETCH(QString, text);
        TSyncReport report;
        report.Failure = static_cast<TSyncFailure>(failure);
        QCOMPARE(SyncStatusText(BuiltInMessages(), report, QTime(14, 5, 59)), text);
    }

    // Lines that name what the report holds: where the sync was sent, how many changes were left.
    void statusLineFilledFromTheReport_data() {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("location");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, TSyncFailure failure, const char* location, int left,
                            const char* text) {
            QTest::newRow(name) << static_cast<int>(failure) << QString::fromUtf8(location) << left
                                << QString::fromUtf8(text);
        };
        row("redirected", TSyncFailure::Redirected, "https://o.example/\nx", 0,
            "Sync stopped: the server sends the sync on to https://o.example/?x - set it as the server "
            "address if you trust it");
        row("incomplete", TSyncFailure::Incomplete, "", 3,
            "Sync incomplete: changes not sent to the server: 3");
        row("module missing", TSyncFailure::ModuleMissing, "", 0,
            "Sync failed: a part of the program is missing (its network or iCalendar module), install it "
            "again");
    }
    void statusLineFilledFromTheReport() {
        QFETCH(int, failure);
        QFETCH(QString, location);
        QFETCH(int, left);
        QFETCH(QString, text);
        TSyncReport report;
        report.Failure = static_cast<TSyncFailure>(failure);
        report.Location = location.toStdString();
        report.Left = left;
        QCOMPARE(SyncStatusText(BuiltInMessages(), report, QTime(14, 5, 59)), text);
    }
};

QTEST_MAIN(TestSyncRunner)
#include "test_SyncRunner.moc"
