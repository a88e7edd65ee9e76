#include "sync/SyncRunner.h"

#include "base/QtPlatform.h"
#include "base/SyncModules.h"
#include "base/ThreadsAtExit.h"
#include "common/Log.h"
#include "common/TextTrim.h"
#include "lang/MessageTable.h"
#include "sync/CertificateTrust.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"
#include "sync/SubscriptionFetch.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace kestrivel {

namespace {

static constexpr int kMsPerMinute = 60 * 1000;

// What one sync works on, copied when it starts.
struct SyncSnapshot {
    std::string Folder;
    TSyncSettings Settings;
    TServices::TSyncMakers Makers;
    int64_t Now = 0;
    bool AllowRemovals = false;
    std::shared_ptr<std::atomic<bool>> Stop{};
};

// One sync on the calling thread: the transport and the codec are made, used and deleted here.
TSyncReport RunSync(const SyncSnapshot& run) {
    std::unique_ptr<IDavTransport> transport = run.Makers.Transport();
    std::unique_ptr<IEventCodec> codec = run.Makers.Codec();
    if (!transport || !codec) {
        TSyncReport report;
        report.Failure = TSyncFailure::ModuleMissing;
        report.Reason = "the program's network or iCalendar module is missing";
        return report;
    }
    TSyncReport report =
        SyncFolder(run.Folder, run.Settings, *transport, *codec, run.Now, run.AllowRemovals, run.Stop.get());
    // Subscriptions come after the memos at the same interval; one that needs a password other than
    // the account's waits for `kestrivel --sync`, which can ask the secret store.
    if (!run.Stop || !run.Stop->load()) {
        RefreshFolderSubscriptions(run.Folder, *transport, [&run](const TSubscription& subscription) {
            return AccountPassword(subscription, run.Settings);
        });
    }
    return report;
}

// The subscriptions alone, with no server set: none is asked with a password. True when Events.dat
// changed.
bool RunSubscriptions(const SyncSnapshot& run) {
    std::unique_ptr<IDavTransport> transport = run.Makers.Transport();
    if (!transport) {
        WriteLog(TLogArea::Sync, "subscriptions: the program's network module is missing");
        return false;
    }
    return RefreshFolderSubscriptions(run.Folder, *transport, {}).Written;
}

} // namespace

TSyncRunner::TSyncRunner(TServices& services, std::string folder, QObject* parent)
    : QObject(parent), m_services(services), m_folder(std::move(folder)), m_interval(new QTimer(this)),
      m_changeDelay(new QTimer(this)) {
    m_interval->setSingleShot(true);
    m_changeDelay->setSingleShot(true);
    m_changeDelay->setInterval(kChangeDelayMs);
    connect(m_interval, &QTimer::timeout, this, &TSyncRunner::Request);
    connect(m_changeDelay, &QTimer::timeout, this, &TSyncRunner::Request);
}

TSyncRunner::~TSyncRunner() {
    Stop();
}

void TSyncRunner::Configure(const TSyncSettings& settings, const std::vector<TSubscription>& subscriptions) {
    m_dropSubscriptions =
        !settings.enabled() && subscriptions.empty() && (m_dropSubscriptions || !m_subscriptions.empty());
    m_settings = settings;
    m_subscriptions = subscriptions;
    ++m_generation;
    m_password.clear();
    m_passwordKnown = false;
    m_noSecretStore = false;
    m_again = false;
    m_allowRemovals = false;
    if (!Active()) {
        m_interval->stop();
        m_changeDelay->stop();
        Stop();
        return;
    }
    startThread();
    m_interval->start(m_settings.IntervalMinutes * kMsPerMinute);
}

bool TSyncRunner::Scheduled() const {
    return m_interval->isActive() || m_changeDelay->isActive();
}

void TSyncRunner::LocalChange() {
    if (Enabled()) {
        m_changeDelay->start();
    }
}

void TSyncRunner::Request() {
    if (!Active()) {
        return;
    }
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_interval->stop();
    m_changeDelay->stop();
    if (m_passwordKnown || !Enabled()) {
        dispatch();
    } else {
        resolvePassword();
    }
}

void TSyncRunner::RequestWithRemovals() {
    if (Enabled()) {
        m_allowRemovals = true;
        Request();
    }
}

void TSyncRunner::resolvePassword() {
    // A password typed in this session comes first, then the environment (scripts, desktops
    // without a store), then the store. An address the sync refuses is never a key to look up: it
    // may hold a password itself; the run then fails on it at once.
    const QString fromEnvironment = m_services.Environment(kSyncPasswordVariable);
    std::string addressProblem;
    if (CheckSyncAddress(m_settings, addressProblem) != TSyncFailure::None) {
        m_password.clear();
        m_passwordKnown = true;
        dispatch();
        return;
    }
    if (!m_settings.Password.empty() || !fromEnvironment.isEmpty()) {
        m_password = m_settings.Password.empty() ? fromEnvironment.toStdString() : m_settings.Password;
        m_passwordKnown = true;
        dispatch();
        return;
    }
    const unsigned asked = m_generation;
    const unsigned ask = ++m_secretAsks;
    m_waitingForSecret = true;
    QTimer::singleShot(SecretWaitMs, this, [this, ask] { secretTimedOut(ask); });
    m_services.ReadSyncPassword(m_settings, this, [this, asked, ask](const TSecretAnswer& answer) {
        if (ask != m_secretAsks || !m_waitingForSecret) {
            return; // answered after its sync had failed for want of it
        }
        m_waitingForSecret = false;
        if (asked != m_generation) {
            // Asked for other settings: the sync starts again with the password of these, which
            // serves every request made meanwhile.
            m_running = false;
            m_again = false;
            Request();
            return;
        }
        // No entry is no password: a server may take anyone, and otherwise says so.
        m_password = answer.Result == TSecretAnswer::Kind::Done ? answer.Secret : std::string();
        m_noSecretStore = answer.Result == TSecretAnswer::Kind::NoStore;
        m_passwordKnown = true;
        dispatch();
    });
}

void TSyncRunner::secretTimedOut(unsigned ask) {
    if (ask != m_secretAsks || !m_waitingForSecret) {
        return;
    }
    m_waitingForSecret = false;
    TSyncReport report;
    report.Failure = TSyncFailure::SecretStoreSilent;
    report.Reason = "the desktop's secret store did not answer within " +
                    std::to_string(SecretWaitMs / 1000) +
                    " seconds; the password is asked for again at the next sync";
    runDone(std::move(report), false, m_threadCount);
}

void TSyncRunner::dispatch() {
    if (!m_thread) {
        m_running = false;
        return;
    }
    SyncSnapshot run{m_folder, m_settings, m_services.SyncMakers(kSyncRequestTimeoutMs),
                     m_services.Now().toSecsSinceEpoch()};
    TSyncWorker* worker = m_worker;
    const unsigned thread = m_threadCount;
    if (!Enabled()) {
        QMetaObject::invokeMethod(
            worker,
            [worker, run = std::move(run), thread] { emit worker->refreshed(RunSubscriptions(run), thread); },
            Qt::QueuedConnection);
        return;
    }
    run.Settings.Password = m_password;
    // The consent serves one sync: what it held back was counted for the events as they were then.
    run.AllowRemovals = std::exchange(m_allowRemovals, false);
    run.Stop = m_stop;
    const bool noSecretStore = m_noSecretStore;
    QMetaObject::invokeMethod(
        worker,
        [worker, run = std::move(run), noSecretStore, thread] {
            emit worker->ran(RunSync(run), noSecretStore, thread);
        },
        Qt::QueuedConnection);
}

void TSyncRunner::runDone(TSyncReport report, bool noSecretStore, unsigned thread) {
    if (thread != m_threadCount || !m_thread) {
        return;
    }
    m_running = false;
    // No password because no store runs, and the server wants one.
    if (report.Failure == TSyncFailure::Unauthorized && noSecretStore) {
        report.Failure = TSyncFailure::NoSecretStore;
        report.Reason =
            "no password: no secret store runs and " + std::string(kSyncPasswordVariable) + " is not set";
    }
    // A password changed in the store meanwhile is read again.
    if (report.Failure == TSyncFailure::Unauthorized) {
        m_passwordKnown = false;
    }
    if (Active()) {
        m_interval->start(m_settings.IntervalMinutes * kMsPerMinute);
    }
    emit finished(report);
    if (m_again) {
        m_again = false;
        Request();
    }
}

void TSyncRunner::refreshDone(bool written, unsigned thread) {
    if (thread != m_threadCount || !m_thread) {
        return;
    }
    m_running = false;
    m_dropSubscriptions = false;
    if (Active()) {
        m_interval->start(m_settings.IntervalMinutes * kMsPerMinute);
    } else {
        m_interval->stop();
        m_changeDelay->stop();
        Stop();
    }
    emit subscriptionsRefreshed(written);
    if (m_again) {
        m_again = false;
        Request();
    }
}

void TSyncRunner::startThread() {
    if (m_thread) {
        return;
    }
    m_thread = new QThread(this);
    ++m_threadCount;
    m_thread->setObjectName(QStringLiteral("sync"));
    m_stop = std::make_shared<std::atomic<bool>>(false);
    m_worker = new TSyncWorker;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &TSyncWorker::ran, this, &TSyncRunner::runDone);
    connect(m_worker, &TSyncWorker::refreshed, this, &TSyncRunner::refreshDone);
    m_thread->start(QThread::LowPriority);
}

void TSyncRunner::Stop() {
    if (!m_thread) {
        return;
    }
    QThread* thread = std::exchange(m_thread, nullptr);
    m_worker = nullptr;
    m_running = false;
    m_again = false;
    m_waitingForSecret = false;
    // Ending the thread's event loops ends the transport's wait as well, so a sync in the middle of
    // a request stops at once; one in its own work stops at its next event.
    m_stop->store(true);
    thread->quit();
    if (!thread->wait(QDeadlineTimer(kStopWaitMs))) {
        // Still busy on its snapshot and its own data owner; its result reaches nobody. It is joined
        // before the program ends.
        thread->setParent(nullptr);
        KeepUntilExit(thread);
        return;
    }
    // Finished: the event loop frees it.
    thread->deleteLater();
}

namespace {

std::string FailureLine(const TNameValueList& messages, const TSyncReport& report, const QTime& at) {
    // S17 was taken before ModuleMissing came: its line and those of the failures after it are one
    // further on. A certificate has two lines: S20 when nobody trusted it, S21 when it is not the one
    // the user trusted. A sync that waited in vain for another came after S22, as S23.
    const int failure = static_cast<int>(report.Failure);
    const int number =
        report.Failure == TSyncFailure::SyncBusy
            ? 23
            : (failure >= static_cast<int>(TSyncFailure::ModuleMissing) ? failure + 1 : failure) +
                  (report.Failure == TSyncFailure::Untrusted && report.Certificate.Changed ? 1 : 0);
    const std::string text = messages.value("S" + std::to_string(number));
    switch (report.Failure) {
    case TSyncFailure::None:
        return FillPlaceholders(text, at.toString(QStringLiteral("HH:mm")).toStdString());
    case TSyncFailure::Redirected:
        return FillPlaceholders(text, OneLine(report.Location));
    case TSyncFailure::Incomplete:
        return FillPlaceholders(text, std::to_string(report.Left));
    case TSyncFailure::RemovalsRefused:
        return FillPlaceholders(text, std::to_string(report.RemovalsHeld));
    case TSyncFailure::Untrusted:
        return FillPlaceholders(text, CertificateSummary(report.Certificate));
    default:
        return text;
    }
}

} // namespace

QString SyncStatusText(const TNameValueList& messages, const TSyncReport& report, const QTime& at) {
    std::string text = FailureLine(messages, report, at);
    if (report.ShownAsEvents > 0) {
        text += '\n' + FillPlaceholders(messages.value("S22"), std::to_string(report.ShownAsEvents));
    }
    if (report.NotShown > 0) {
        text += '\n' + FillPlaceholders(messages.value("S17"), std::to_string(report.NotShown));
    }
    if (report.Unpaired > 0) {
        text += '\n' + FillPlaceholders(messages.value("S24"), std::to_string(report.Unpaired));
    }
    return TextToQString(text);
}

} // namespace kestrivel
