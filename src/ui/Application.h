#pragma once

#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "config/ProgramPaths.h"
#include "sync/SyncEngine.h"

#include <QObject>
#include <QTime>

class QAction;
class QTimer;

#include <functional>
#include <memory>
#include <optional>

namespace kestrivel {

class TDayEvents;
class QtTextMeasurer;
class TClockWatch;
class TDialogStacking;
class TServices;
class TSyncRunner;
class TTranslator;
class TTodayReminder;
class TTrayIcon;
class TUpdateCheck;
class TfrmConfig;
class TfrmMain;
class TfrmMemo;

// The running program of the first instance: the services, the shared data, the translator, the
// three windows and the tray icon, built in the start-up order and wired together; it also keeps
// the one-second timer, the update check and the sync. Destroyed before the instance lock is
// released: the sync's thread first, then the windows, the data and the services.
class TKestrivel : public QObject {
    Q_OBJECT
public:
    // Loads the data, builds the windows and applies the stay-on-top option; nothing shows yet.
    TKestrivel(std::unique_ptr<TServices> services, const ProgramPaths& paths);
    ~TKestrivel() override;

    // Adds the notification-area icon and shows the calendar (which translates, checks for an
    // update and draws); files that did not load completely are reported once the calendar shows.
    void Start();

    TfrmMain& MainWindow() const { return *m_frmMain; }
    TTranslator& Translator() const { return *m_translator; }
    TTrayIcon& TrayIcon() const { return *m_tray; }
    TUpdateCheck& UpdateCheck() const { return *m_updateCheck; }
    // Whether the program was built with an update server; without one no update check is offered.
    static bool HasUpdateEndpoint();
    // No folder could hold the instance lock (`folders` lists those tried): says once, after the
    // start, that a second start may not find this calendar.
    void ReportUnlocked(const QString& folders);
    // Shows the calendar and brings it to the front (a later start asked for it).
    void ShowCalendar();
    // Switches the calendar's stay-on-top state; the icon's tooltip is refreshed with it.
    void AlwaysOnTop(bool on);
    // Memos.dat may have been changed by another program (a second device's sync, a command-line
    // import): its memos are taken in and the calendar redrawn, keeping unsaved changes of ours.
    void MemoFileChanged();
    // "Close": while memos could not be saved, asks whether to try again (Yes tries, No closes
    // without them, Cancel keeps the calendar). True when the program may end.
    bool Close();
    // Every second: a new day number means a new day.
    void TimerTimer();
    // Takes the new date: the calendar redraws (the shown month keeps its distance from the current
    // one) and the icon's tooltip follows.
    void TimeChanged();
    // The dialogs are made when first needed (the shared data exists from the start), and are
    // translated with the language applied last when they are made.
    TfrmConfig& ConfigDialog();
    TfrmMemo& MemoEditor();
    TConfigData& Config() { return m_config; }
    TSyncRunner& Sync() const { return *m_sync; }

private:
    void reportDamagedFiles();
    // Each showing of the calendar: the chosen language, then the automatic update check.
    void calendarShowing();
    void watchMemoFile();
    static constexpr int kMemoFileSettleMs = 200;
    static constexpr const char* kFirstStartScheme = "Paper";
    void connectCalendar();
    // The sync: the tray's "Synchronise now" and the runner, set from the options.
    void createSync();
    void configureSync();
    void syncFinished(const TSyncReport& report);
    // "Synchronise now" from the menu or the dialog: a sync, and the removals question again even
    // for a count the user declined.
    void syncNow();
    // A sync held back removals from the server: the user decides, once for each new count, unless
    // they ask for a sync themselves.
    void askRemovals(int held);
    void showSyncStatus();
    // The tray tooltip tells while memos are not saved.
    void showSaveState();
    // Runs `edit` (a dialog that may save Memos.dat); a sync follows when it changed the memos.
    void editMemos(const std::function<void()>& edit);
    // While a modal window is open, a changed Memos.dat is taken in this long after it closes.
    static constexpr int kModalRetryMs = 1000;

    std::unique_ptr<TServices> m_services;
    TConfigData m_config;
    TLocaleFormats m_formats;
    std::unique_ptr<QtTextMeasurer> m_measurer;
    // Declared in the order they are built; the icon, which shows the calendar's menu, goes first.
    std::unique_ptr<TTranslator> m_translator;
    std::unique_ptr<TfrmMain> m_frmMain;
    std::unique_ptr<TTrayIcon> m_tray;
    TDialogStacking* m_stacking = nullptr;
    TUpdateCheck* m_updateCheck = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_memoFileSettled = nullptr;
    // Stopped and destroyed before the data and the services it was made with.
    std::unique_ptr<TSyncRunner> m_sync;
    QAction* m_syncNow = nullptr;
    // The last sync's outcome, told again in a newly chosen language.
    std::optional<TSyncReport> m_lastSync;
    QTime m_lastSyncAt;
    int m_removalsDeclined = 0;
    bool m_askingRemovals = false;
    TClockWatch* m_clockWatch = nullptr;
    std::unique_ptr<TTodayReminder> m_reminder;
    TDayEvents* m_dayEvents = nullptr;
    std::unique_ptr<TfrmMemo> m_frmMemo;
    std::unique_ptr<TfrmConfig> m_frmConfig;
};

// The language file to start with on a first start (no Settings.ini yet): the shipped file of the
// system locale's language, if any; otherwise the option as loaded.
std::string StartLanguageFile(const TConfigData& config, bool settingsFileExisted,
                              const std::string& localeName);

} // namespace kestrivel
