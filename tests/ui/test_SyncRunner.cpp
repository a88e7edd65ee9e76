#include "sync/SyncRunner.h"

#include "FakeServices.h"
#include "base/SecretStore.h"
#include "base/ThreadsAtExit.h"
#include "config/IniFile.h"
#include "config/SubscriptionSettings.h"
#include "lang/MessageTable.h"
#include "sync/DavTransport.h"
#include "sync/EventCache.h"
#include "sync/EventCodec.h"

#include <QMutex>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// A server on a line the test controls, which records every request with the credentials it
// carried. A gated line holds each request until the test opens the gate, then finds no answer (a
// server that is down); an open one answers 401.
struct Line {
    QSemaphore Entered;
    QSemaphore Gate;
    bool Gated = true;
    std::atomic<int> Made{0};
    std::atomic<int> Gone{0};
    std::atomic<QThread*> Thread{nullptr};
    QMutex Lock;
    std::vector<std::string> Requests; // "address user:password"
    std::vector<std::string> Sent;     // "METHOD address", every request
    std::string Calendar;              // when set, an open line answers 200 with it
};

class LineTransport : public IDavTransport {
public:
    explicit LineTransport(Line& line) : m_line(line) {}
    ~LineTransport() override { ++m_line.Gone; }
    THttpResult Send(const THttpRequest& request) override {
        for (const auto& [name, value] : request.Headers) {
            if (name == "Authorization") {
                const QMutexLocker locker(&m_line.Lock);
                m_line.Requests.push_back(request.Url + " " +
                                          QByteArray::fromBase64(value.substr(6).c_str()).toStdString());
            }
        }
        {
            const QMutexLocker locker(&m_line.Lock);
            m_line.Sent.push_back(request.Method + " " + request.Url);
        }
        m_line.Thread = QThread::currentThread();
        m_line.Entered.release();
        THttpResult result;
        result.Ok = !m_line.Gated;
        result.Status = m_line.Calendar.empty() ? 401 : 200;
        result.Body = m_line.Calendar;
        if (m_line.Gated) {
            m_line.Gate.acquire();
        }
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
    std::vector<bool> refreshes;

    static TSyncSettings Account(const std::string& server, const std::string& password = {}) {
        return {server, "anna", password, TSyncSettings::kDefaultInterval};
    }
    void Make(const TSyncSettings& settings, const std::vector<TSubscription>& subscriptions = {},
              const QString& folder = {}) {
        services.MakeTransport = [this] {
            ++line->Made;
            return std::make_unique<LineTransport>(*line);
        };
        services.MakeCodec = [] { return std::make_unique<NoCodec>(); };
        runner =
            std::make_unique<TSyncRunner>(services, (folder.isEmpty() ? dir.path() : folder).toStdString());
        connect(runner.get(), &TSyncRunner::finished, this,
                [this](const TSyncReport& report) { reports.push_back(report); });
        connect(runner.get(), &TSyncRunner::subscriptionsRefreshed, this,
                [this](bool written) { refreshes.push_back(written); });
        runner->Configure(settings, subscriptions);
    }
    std::vector<std::string> Sent() {
        const QMutexLocker locker(&line->Lock);
        return line->Sent;
    }
    std::vector<std::string> Requests() {
        const QMutexLocker locker(&line->Lock);
        return line->Requests;
    }

private slots:
    void init() { line = std::make_unique<Line>(); }
    void cleanup() {
        line->Gate.release(1000);
        runner.reset();
        reports.clear();
        refreshes.clear();
        services.Secrets.clear();
        services.Variables.clear();
        services.NoStore = false;
    }

    void requestsDuringASyncMakeOneMore() {
        Make(Account("http://127.0.0.1:9/"));
        QVERIFY(runner->HasThread());
        runner->Request();
        QTRY_VERIFY(line->Entered.available() > 0);
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
        Make(Account(""));
        runner->Request();
        runner->LocalChange();
        QVERIFY(!runner->HasThread());
        QVERIFY(!runner->Scheduled());
        QVERIFY(!runner->Running());
        QCOMPARE(line->Made.load(), 0);
        // Clearing the server of a running setup ends its thread as well.
        Make(Account("http://127.0.0.1:9/"));
        runner->Configure(TSyncSettings());
        QVERIFY(!runner->HasThread());
        QVERIFY(!runner->Scheduled());
    }

    // With no server the subscriptions alone are refreshed on the sync's thread, without asking the
    // secret store; one that needs a password of its own waits for `kestrivel --sync`; with none
    // nothing runs and nothing is read or written. The last one removed takes its events along.
    void subscriptionsWithoutServer_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("written");
        QTest::newRow("one subscription") << "" << true;
        QTest::newRow("its own password") << "bob" << false;
        QTest::newRow("none") << "-" << false;
    }
    void subscriptionsWithoutServer() {
        QFETCH(QString, user);
        QFETCH(bool, written);
        const QTemporaryDir folder;
        const auto list = [&](const std::vector<TSubscription>& subscriptions) {
            TIniFile ini((folder.path() + "/Settings.ini").toStdString());
            WriteSubscriptions(ini, subscriptions);
            QVERIFY(ini.save());
            runner->Configure(TSyncSettings(), subscriptions);
            runner->Request();
        };
        const std::string feed = "http://127.0.0.1:9/feed.ics";
        const std::vector<TSubscription> subscriptions{{"Feed", feed, user.toStdString()}};
        line->Gated = false;
        line->Calendar = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTART;VALUE=DATE:20261208\r\n"
                         "SUMMARY:Holiday\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        const size_t storeReads = services.StoreReads.size();
        Make(TSyncSettings(), {}, folder.path());
        list(user == "-" ? std::vector<TSubscription>{} : subscriptions);
        QCOMPARE(runner->HasThread(), user != "-");
        QTRY_COMPARE(refreshes.size(), size_t(user == "-" ? 0 : 1));
        QCOMPARE(Sent(), written ? std::vector<std::string>{"GET " + feed} : std::vector<std::string>{});
        QCOMPARE(refreshes, user == "-" ? std::vector<bool>{} : std::vector<bool>{written});
        QCOMPARE(QFile::exists(folder.path() + "/Events.dat"), written);
        QVERIFY(services.StoreReads.size() == storeReads && reports.empty());
        if (written) {
            // The feed removed: one more run drops its events, and then nothing is left running.
            list({});
            QTRY_COMPARE(refreshes.size(), size_t(2));
            QVERIFY(!runner->HasThread() && !runner->Scheduled() && Sent().size() == 1);
            TEventCache cache;
            LoadEventCache(folder.path().toStdString(), cache);
            QVERIFY(cache.Events.empty());
        }
    }

    // Where the password comes from, and what a server that wants another one makes of it: without
    // a store and a password the sync says that no store runs, not that the password is wrong.
    void passwordAndRefusal_data() {
        QTest::addColumn<QString>("session");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<bool>("noStore");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<int>("failure");
        const int wrong = int(TSyncFailure::Unauthorized);
        QTest::newRow("store") << ""
                               << "" << false << "anna:from-store" << wrong;
        QTest::newRow("environment") << ""
                                     << "from-env" << false << "anna:from-env" << wrong;
        QTest::newRow("typed this session") << "typed"
                                            << "from-env" << false << "anna:typed" << wrong;
        QTest::newRow("no store, nothing: tried without")
            << ""
            << "" << true << "anna:" << int(TSyncFailure::NoSecretStore);
    }
    void passwordAndRefusal() {
        QFETCH(QString, session);
        QFETCH(QString, variable);
        QFETCH(bool, noStore);
        QFETCH(QString, sent);
        QFETCH(int, failure);
        line->Gated = false;
        services.Variables["KESTRIVEL_SYNC_PASSWORD"] = variable;
        services.Secrets[SyncPasswordKey("anna", "http://127.0.0.1:9/")] = "from-store";
        services.NoStore = noStore;
        Make(Account("http://127.0.0.1:9/", session.toStdString()));
        runner->Request();
        QTRY_COMPARE(reports.size(), size_t(1));
        QCOMPARE(Requests().at(0), "http://127.0.0.1:9/ " + sent.toStdString());
        QCOMPARE(int(reports[0].Failure), failure);
    }

    // Settings applied while the store still answers for the old ones: the sync that runs has the
    // new settings, and the old account's password never goes to the new server.
    void aStoreAnswerForOldSettingsIsNotUsed() {
        line->Gated = false;
        services.StoreDelayMs = 300;
        services.Secrets[SyncPasswordKey("anna", "http://127.0.0.1:9/a/")] = "for-a";
        Make(Account("http://127.0.0.1:9/a/"));
        const int answered = services.StoreAnswers;
        runner->Request();
        runner->Configure(Account("http://127.0.0.1:9/b/"));
        runner->Request();
        QTRY_COMPARE(services.StoreAnswers, answered + 2);
        QTRY_COMPARE(reports.size(), size_t(1));
        for (const std::string& request : Requests()) {
            QVERIFY2(request.starts_with("http://127.0.0.1:9/b/") && request.ends_with(" anna:"),
                     request.c_str());
        }
        services.StoreDelayMs = 0;
    }

    // Close does not wait past its bound for a sync stuck in a request that ignores the thread's end;
    // the program joins it before it ends, and its result reaches nobody.
    void stoppingWaitsOnlySoLongAndTheProgramJoinsTheRest() {
        Make(Account("http://127.0.0.1:9/"));
        runner->Request();
        QTRY_VERIFY(line->Entered.available() > 0);
        runner.reset(); // the request holds on: the gate ignores the thread's end
        QCOMPARE(line->Gone.load(), 0);
        line->Gate.release(1000);
        JoinThreadsAtExit();
        QCOMPARE(line->Gone.load(), 1);
        QVERIFY(reports.empty());
    }

    // A store that never answers fails its sync with a line of its own; the next sync asks again and
    // runs, and the late answer is not taken.
    void aSilentStoreFailsOneSyncOnly() {
        line->Gated = false;
        services.StoreDelayMs = 60'000;
        Make(Account("http://127.0.0.1:9/"));
        runner->SecretWaitMs = 20;
        runner->Request();
        QTRY_COMPARE(reports.size(), size_t(1));
        QCOMPARE(reports[0].Failure, TSyncFailure::SecretStoreSilent);
        QVERIFY(!runner->Running());
        QCOMPARE(line->Made.load(), 0);
        services.StoreDelayMs = 0;
        services.Secrets[SyncPasswordKey("anna", "http://127.0.0.1:9/")] = "second";
        runner->Request();
        QTRY_COMPARE(reports.size(), size_t(2));
        QCOMPARE(Requests().at(0), std::string("http://127.0.0.1:9/ anna:second"));
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

    // Lines that name what the report holds: where the sync was sent, how many changes were left or
    // held back; events left unshown add a line of their own.
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
        row("removals held, not changes left", TSyncFailure::RemovalsRefused, "", 3,
            "Sync stopped: it would remove this many events from the server: 40");
        row("events not shown", TSyncFailure::None, "", -2,
            "Last sync: 14:05\nEvents on the server shown beside the memos: 5\nEvents on the server not "
            "shown "
            "here (they could not be read): 2");
        row("module missing", TSyncFailure::ModuleMissing, "", 0,
            "Sync failed: a part of the program is missing (its network or iCalendar module), install it "
            "again");
        row("secret store silent", TSyncFailure::SecretStoreSilent, "", 0,
            "Sync failed: the secret store did not answer, the password is asked for again at the next sync");
        row("another sync running", TSyncFailure::SyncBusy, "", 0,
            "Sync failed: another sync of this calendar is still running, try again when it has ended");
        row("events beside a memo", TSyncFailure::None, "", -1,
            "Last sync: 14:05\nEvents on the server shown beside the memos: 5\nEvents on the server not "
            "shown "
            "here (they could not be read): 1\nEvents on the server beside a memo that may be their older "
            "copy, both kept unchanged: 1");
    }
    void statusLineFilledFromTheReport() {
        QFETCH(int, failure);
        QFETCH(QString, location);
        QFETCH(int, left);
        QFETCH(QString, text);
        TSyncReport report;
        report.Failure = static_cast<TSyncFailure>(failure);
        report.Location = location.toStdString();
        // A negative count is of events not shown; with it, nothing was left.
        report.Left = std::max(left, 0);
        report.NotShown = std::max(-left, 0);
        report.Unpaired = left == -1 ? 1 : 0;
        report.ShownAsEvents = left < 0 ? 5 : 0;
        report.RemovalsHeld = 40;
        QCOMPARE(SyncStatusText(BuiltInMessages(), report, QTime(14, 5, 59)), text);
    }
};

QTEST_MAIN(TestSyncRunner)
#include "test_SyncRunner.moc"
