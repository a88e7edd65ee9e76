#pragma once

#include "base/SecretStore.h"
#include "base/Services.h"
#include "common/NameValueList.h"
#include "config/SubscriptionSettings.h"
#include "config/SyncSettings.h"
#include "sync/SyncEngine.h"

#include <QObject>
#include <QString>
#include <QTime>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QThread;
class QTimer;

namespace kestrivel {

// The runner's object on the sync thread: one sync per call, told by signal. The runner may be gone
// when a sync ends; the signal then reaches nobody.
class TSyncWorker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // `thread` counts the runner's threads: a sync of a thread that was stopped reports nothing.
    void ran(const kestrivel::TSyncReport& report, bool noSecretStore, unsigned thread);
    // A refresh of the subscriptions alone (no server set); `written` when Events.dat changed.
    void refreshed(bool written, unsigned thread);
};

// Runs the memos' sync with the calendar server on a thread of its own, so a slow or silent server
// never stops the calendar from painting. One sync at a time: a request while one runs is kept,
// and however many came, one more sync follows. With no server set the subscriptions are refreshed
// the same way, at the same interval and on the same thread, and only they; with no server and no
// subscription there is no thread and no timer. Between runs nothing runs but a single-shot timer
// for the next one.
//
// Each sync works on a snapshot taken when it starts: the settings, the password and the makers of
// its transport and codec. Settings applied while a sync runs count from the next one. Nothing on
// the calendar's thread waits for the secret store: the password is asked for before a sync and
// the sync starts when the answer comes.
class TSyncRunner : public QObject {
    Q_OBJECT
public:
    // A memo saved here goes out this long after the last of a burst of saves.
    static constexpr int kChangeDelayMs = 5000;
    // How long Close waits for a running sync to stop.
    static constexpr int kStopWaitMs = 2000;
    // How long a sync waits for the secret store's password before it fails; a store that never
    // answers then fails each sync instead of stopping every later one.
    int SecretWaitMs = kSecretWaitMs;

    // `folder` holds Memos.dat and the sync state; the sync reads and writes them with a data owner
    // of its own, and a running calendar takes the result in through its merge of Memos.dat.
    TSyncRunner(TServices& services, std::string folder, QObject* parent = nullptr);
    // Stop() first.
    ~TSyncRunner() override;

    // New settings: an empty server stops the thread and the timers unless there are `subscriptions`
    // (as Settings.ini of the folder lists them, which a run reads), which then alone are refreshed;
    // when the last of them went, one more run takes their events out of Events.dat. The password,
    // when empty, is taken from KESTRIVEL_SYNC_PASSWORD or the secret store before the next sync;
    // without a server none is asked for, and a subscription that needs one other than the
    // account's waits for `kestrivel --sync`.
    void Configure(const TSyncSettings& settings, const std::vector<TSubscription>& subscriptions = {});
    // A sync now, or once more after the one running.
    void Request();
    // The same, for a sync that may remove as many events from the server as it needs to: the user
    // agreed to the removals a sync held back (RemovalsRefused). Counts for that one sync only.
    void RequestWithRemovals();
    // Memos.dat was saved here: a sync after kChangeDelayMs, the delay starting again with each save.
    void LocalChange();
    // Ends the thread: a sync in the middle of a request stops at once (the state file lets the next
    // one go on from there), one in its own work at its next event. Waits at most kStopWaitMs; a
    // thread still busy then is joined by JoinThreadsAtExit.
    void Stop();

    const TSyncSettings& Settings() const { return m_settings; }
    bool Enabled() const { return m_settings.enabled(); }
    // Whether anything runs at all: a sync, or the subscriptions' refresh alone.
    bool Active() const { return m_settings.enabled() || !m_subscriptions.empty() || m_dropSubscriptions; }
    const std::vector<TSubscription>& Subscriptions() const { return m_subscriptions; }
    bool Running() const { return m_running; }
    bool HasThread() const { return m_thread != nullptr; }
    // Whether a later sync is planned: the interval's or a local change's.
    bool Scheduled() const;

signals:
    void finished(const kestrivel::TSyncReport& report);
    // A run without a server ended; `written` when it changed Events.dat.
    void subscriptionsRefreshed(bool written);

private:
    void startThread();
    void runDone(TSyncReport report, bool noSecretStore, unsigned thread);
    void refreshDone(bool written, unsigned thread);
    // The password, then the sync: from the settings, the environment or the secret store.
    void resolvePassword();
    void dispatch();
    // The secret store gave no answer within SecretWaitMs: this sync fails.
    void secretTimedOut(unsigned ask);

    TServices& m_services;
    std::string m_folder;
    TSyncSettings m_settings;
    std::vector<TSubscription> m_subscriptions;
    // The last subscription went with no server set: one run drops its events.
    bool m_dropSubscriptions = false;
    // Counts Configure calls: a store's answer for older settings is dropped.
    unsigned m_generation = 0;
    std::string m_password;
    bool m_passwordKnown = false;
    bool m_noSecretStore = false;
    bool m_running = false;
    bool m_again = false;
    bool m_allowRemovals = false;
    // Counts reads of the secret store: an answer or a time-out for an older read is dropped.
    unsigned m_secretAsks = 0;
    bool m_waitingForSecret = false;
    // Set by Stop: the running sync ends at its next event.
    std::shared_ptr<std::atomic<bool>> m_stop;
    QThread* m_thread = nullptr;
    unsigned m_threadCount = 0;
    TSyncWorker* m_worker = nullptr; // lives on m_thread
    QTimer* m_interval = nullptr;
    QTimer* m_changeDelay = nullptr;
};

// The tooltip's line about the last sync: "Last sync: 14:05" after one that finished, otherwise
// why it failed, in the words of the message table `messages` (entries S0 to S18), with the
// report's address (Redirected) or count of changes left (Incomplete) or held back (RemovalsRefused)
// in place of the ';'; then, when the sync left events on the server unshown, a second line (S17)
// with their count. The engine's own reason goes to the kestrivel.sync log.
QString SyncStatusText(const TNameValueList& messages, const TSyncReport& report, const QTime& at);

} // namespace kestrivel
