#pragma once

#include "common/NameValueList.h"
#include "config/SyncSettings.h"
#include "sync/SyncEngine.h"

#include <QObject>
#include <QString>
#include <QTime>

#include <string>

class QThread;
class QTimer;

namespace kestrivel {

class TServices;

// Runs the memos' sync with the calendar server on a thread of its own, so a slow or silent server
// never stops the calendar from painting. One sync at a time: a request while one runs is kept,
// and however many came, one more sync follows. With no server set there is no thread and no timer;
// between syncs nothing runs but a single-shot timer for the next one.
class TSyncRunner : public QObject {
    Q_OBJECT
public:
    // A memo saved here goes out this long after the last of a burst of saves.
    static constexpr int kChangeDelayMs = 5000;

    // `folder` holds Memos.dat and the sync state; the sync reads and writes them with a data owner
    // of its own, and a running calendar takes the result in through its merge of Memos.dat.
    TSyncRunner(TServices& services, std::string folder, QObject* parent = nullptr);
    // Waits for a running sync, which ends at its next request.
    ~TSyncRunner() override;

    // New settings: an empty server stops the thread and the timers. The password, when empty, is
    // read from KESTRIVEL_SYNC_PASSWORD or the secret store before the next sync.
    void Configure(const TSyncSettings& settings);
    // A sync now, or once more after the one running.
    void Request();
    // Memos.dat was saved here: a sync after kChangeDelayMs, the delay starting again with each save.
    void LocalChange();

    const TSyncSettings& Settings() const { return m_settings; }
    bool Enabled() const { return m_settings.enabled(); }
    bool Running() const { return m_running; }
    bool HasThread() const { return m_thread != nullptr; }
    // Whether a later sync is planned: the interval's or a local change's.
    bool Scheduled() const;

signals:
    void finished(const kestrivel::TSyncReport& report);

private:
    void startThread();
    void stopThread();
    void runDone(const TSyncReport& report);
    // The password from the environment or the secret store, once per setting.
    void resolvePassword();

    TServices& m_services;
    std::string m_folder;
    TSyncSettings m_settings;
    bool m_passwordKnown = false;
    bool m_running = false;
    bool m_again = false;
    QThread* m_thread = nullptr;
    QObject* m_worker = nullptr; // lives on m_thread
    QTimer* m_interval = nullptr;
    QTimer* m_changeDelay = nullptr;
};

// The tooltip's line about the last sync: "Last sync: 14:05" after one that finished, otherwise
// why it failed, in the words of the message table `messages` (entries S0 to S16, S18), with the
// report's address (Redirected) or count of changes left (Incomplete, RemovalsRefused) in place of
// the ';'. The engine's own reason goes to the kestrivel.sync log.
QString SyncStatusText(const TNameValueList& messages, const TSyncReport& report, const QTime& at);

} // namespace kestrivel
