#include "Application.h"

#include "base/ClockWatch.h"
#include "base/DialogStacking.h"
#include "base/QtPlatform.h"
#include "base/DayEvents.h"
#include "base/Reminder.h"
#include "base/Services.h"
#include "base/Translator.h"
#include "base/UnitMessages.h"
#include "calendar/FormMain.h"
#include "calendar/TrayIcon.h"
#include "config/FormConfig.h"
#include "lang/FirstStartLanguage.h"
#include "lang/LanguagePack.h"
#include "memos/FormMemo.h"
#include "sync/SyncRunner.h"
#include "update/UpdateCheck.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QMenu>
#include <QTimer>

namespace kestrivel {

namespace {

// Every language file on offer with the name its header gives.
std::vector<LanguageOffer> LanguageOffers(const TConfigData& config) {
    std::vector<LanguageOffer> offers;
    TLangPack pack;
    for (const FoundFile& file : findFiles(config.SearchFolders(), ".lang")) {
        if (pack.ReadHeader(file.Path)) {
            offers.push_back({file.Name, pack.LanguageName});
        }
    }
    return offers;
}

bool SameMemos(const std::vector<TMemo>& a, const std::vector<TMemo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TMemo& x, const TMemo& y) {
        return x.Date == y.Date && x.MemoType == y.MemoType && x.Text == y.Text;
    });
}

} // namespace

std::string StartLanguageFile(const TConfigData& config, bool settingsFileExisted,
                              const std::string& localeName) {
    if (settingsFileExisted) {
        return config.Options.LanguageFile;
    }
    return firstStartLanguageFile(false, localeName, LanguageOffers(config), config.Options.LanguageFile);
}

TKestrivel::TKestrivel(std::unique_ptr<TServices> services, const ProgramPaths& paths)
    : m_services(std::move(services)), m_config(paths.ProgramFolder, paths.SearchFolders),
      m_formats(LocaleFormatsFrom(QLocale::system())), m_measurer(std::make_unique<QtTextMeasurer>()) {
    const bool settingsExisted = QFileInfo::exists(QString::fromStdString(m_config.SettingsPath()));
    m_config.Timestamp = [this] {
        return m_services->Now().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    };
    m_config.Load();
    // Without Schemes.dat the built-in look is black text on nothing: a first start gets the shipped
    // looks and a light card that shows on any desktop.
    m_config.SeedShippedSchemes(kFirstStartScheme);
    m_config.Options.LanguageFile =
        StartLanguageFile(m_config, settingsExisted, QLocale::system().name().toStdString());
    // A first start writes nothing outside the program's folder until the user ticks the box.
    if (!settingsExisted) {
        m_config.Options.Autorun = false;
    }

    m_translator = std::make_unique<TTranslator>(
        [this](const std::string& file) { return m_config.LanguagePath(file); });
    m_services->UseMessages(m_translator->Messages());

    m_frmMain = std::make_unique<TfrmMain>(m_config, *m_services, *m_translator, m_formats, *m_measurer);
    m_translator->Register(*m_frmMain);
    m_tray = std::make_unique<TTrayIcon>(*m_services, m_formats, *m_frmMain->PopMenu());
    m_stacking = new TDialogStacking(*m_frmMain, m_frmMain.get());
    // Its boxes belong to the calendar window.
    m_updateCheck = new TUpdateCheck(*m_services, m_frmMain.get());
    AlwaysOnTop(m_config.Options.AlwaysOnTop);
    connectCalendar();
    createSync();
    // A build without an update server offers no check that could only fail.
    if (!HasUpdateEndpoint()) {
        m_frmMain->findChild<QAction*>(QStringLiteral("PopMenu_Update"))->setVisible(false);
    }

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TKestrivel::TimerTimer);
    m_timer->start();
    m_clockWatch = new TClockWatch(this);
    connect(m_clockWatch, &TClockWatch::clockChanged, this, &TKestrivel::TimeChanged);
    m_reminder = std::make_unique<TTodayReminder>(m_config, *m_services);
    // The events beside the memos are read once the calendar has been painted.
    m_dayEvents = new TDayEvents(m_config.ProgramFolder(), nullptr, this);
    m_dayEvents->setAllDay(m_services->Messages().value("D1"));
    m_frmMain->SetDayEvents(m_dayEvents);
    m_reminder->SetDayEvents(m_dayEvents);
    connect(m_dayEvents, &TDayEvents::changed, m_frmMain.get(), &TfrmMain::DrawCalendar);
    m_dayEvents->reloadAfterPaint(*m_frmMain);
}

void TKestrivel::connectCalendar() {
    TfrmMain* frmMain = m_frmMain.get();
    connect(frmMain, &TfrmMain::showing, this, &TKestrivel::calendarShowing);
    connect(frmMain, &TfrmMain::addMemoRequested, this, [this, frmMain](int year, int month, int day) {
        editMemos([&] {
            MemoEditor().SetEvents(EventLinesOf(m_dayEvents, year, month, day));
            EditMemoOfDay(MemoEditor(), m_config, *m_services, year, month, day,
                          [frmMain] { frmMain->DrawCalendar(); });
            MemoEditor().SetEvents({});
        });
    });
    connect(frmMain, &TfrmMain::configureRequested, this,
            [this] { editMemos([this] { ConfigDialog().ShowModal(); }); });
    connect(frmMain, &TfrmMain::updateRequested, m_updateCheck, &TUpdateCheck::checkManual);
    connect(frmMain, &TfrmMain::exitRequested, this, [this] {
        if (Close()) {
            QCoreApplication::quit();
        }
    });
    connect(m_tray.get(), &TTrayIcon::activated, frmMain, &TfrmMain::PopMenu_ShowHideClick);
}

bool TKestrivel::HasUpdateEndpoint() {
    return !TUpdateCheck::builtInEndpoint().empty();
}

void TKestrivel::calendarShowing() {
    m_translator->TranslateTo(m_config.Options.LanguageFile);
    if (m_dayEvents != nullptr) {
        m_dayEvents->setAllDay(m_services->Messages().value("D1"));
    }
    if (m_config.Options.AutoUpdate) {
        m_updateCheck->checkAutomatic();
    }
}

void TKestrivel::ShowCalendar() {
    // The way back to the calendar by keyboard: a tool window is never offered by Alt+Tab.
    m_frmMain->GiveKeyboard();
}

void TKestrivel::ReportUnlocked(const QString& folders) {
    QTimer::singleShot(0, this, [this, folders] {
        ShowInfo(*m_services, m_frmMain.get(), TInfoMessage::NoInstanceLock, folders.toStdString());
    });
}

void TKestrivel::AlwaysOnTop(bool on) {
    m_frmMain->AlwaysOnTop(on);
    m_stacking->Restack();
    m_tray->Refresh();
}

void TKestrivel::TimerTimer() {
    const int shownToday = m_frmMain->Model().TodayDay;
    if (shownToday != 0 && m_services->Now().date().day() != shownToday) {
        TimeChanged();
    }
}

void TKestrivel::TimeChanged() {
    m_frmMain->DrawCalendar();
    m_tray->Refresh();
    m_reminder->Check();
}

TKestrivel::~TKestrivel() {
    // The sync's thread ends before anything it may still reach (the services, the files' owner) is
    // destroyed.
    m_sync->Stop();
}

TfrmMemo& TKestrivel::MemoEditor() {
    if (!m_frmMemo) {
        // Its boxes and its window belong to the calendar, which it stacks above.
        m_frmMemo = std::make_unique<TfrmMemo>(*m_services, m_frmMain.get());
        m_frmMemo->SetDateFormats(m_formats);
        m_translator->Register(*m_frmMemo);
    }
    return *m_frmMemo;
}

TfrmConfig& TKestrivel::ConfigDialog() {
    if (!m_frmConfig) {
        TfrmMemo& frmMemo = MemoEditor();
        m_frmConfig = std::make_unique<TfrmConfig>(m_config, *m_services, m_translator->ValueNames(), frmMemo,
                                                   m_formats, m_frmMain.get());
        m_translator->Register(*m_frmConfig);
        m_frmConfig->chkAutoUpdate()->setVisible(HasUpdateEndpoint());
        connect(m_frmConfig.get(), &TfrmConfig::alwaysOnTopChanged, this, &TKestrivel::AlwaysOnTop);
        connect(m_frmConfig.get(), &TfrmConfig::applied, this, [this] {
            m_translator->TranslateTo(m_config.Options.LanguageFile);
            m_frmMain->DrawCalendar();
            const TSyncSettings before = m_sync->Settings();
            const std::vector<TSubscription> subscriptionsBefore = m_sync->Subscriptions();
            configureSync();
            // Another account or other subscriptions are fetched at once; the same keep their rhythm.
            if (m_config.Sync.Server != before.Server || m_config.Sync.User != before.User ||
                m_config.Subscriptions != subscriptionsBefore) {
                m_sync->Request();
            }
        });
        connect(m_frmConfig.get(), &TfrmConfig::syncRequested, this, &TKestrivel::syncNow);
        // The calendars were not found: why, in the words of a sync's line.
        connect(m_frmConfig.get(), &TfrmConfig::calendarsFailed, this, [this](const TSyncReport& report) {
            m_frmConfig->SetSyncStatus(SyncStatusText(m_services->Messages(), report, QTime()));
        });
        showSyncStatus();
    }
    return *m_frmConfig;
}

void TKestrivel::Start() {
    m_tray->Add();
    m_frmMain->show();
    // Once the events beside the memos are read, which waits for the first paint.
    connect(
        m_dayEvents, &TDayEvents::loaded, this, [this] { m_reminder->Check(); }, Qt::SingleShotConnection);
    QTimer::singleShot(0, this, &TKestrivel::reportDamagedFiles);
    watchMemoFile();
    configureSync();
    m_sync->Request();
}

void TKestrivel::createSync() {
    m_sync = std::make_unique<TSyncRunner>(*m_services, m_config.ProgramFolder());
    connect(m_sync.get(), &TSyncRunner::finished, this, &TKestrivel::syncFinished);
    // Without a server only the subscriptions are refreshed; their events are read again when changed.
    connect(m_sync.get(), &TSyncRunner::subscriptionsRefreshed, this, [this](bool written) {
        if (written) {
            m_dayEvents->reloadLater();
        }
    });
    // The item joins the calendar's menu, which the tray icon shows as well.
    QMenu* menu = m_frmMain->PopMenu();
    m_syncNow = new QAction(QStringLiteral("Synchronise now"), menu);
    m_syncNow->setObjectName(QStringLiteral("PopMenu_SyncNow"));
    m_syncNow->setVisible(false);
    menu->insertAction(menu->findChild<QAction*>(QStringLiteral("PopMenu_N2")), m_syncNow);
    connect(m_syncNow, &QAction::triggered, this, &TKestrivel::syncNow);
}

void TKestrivel::configureSync() {
    m_sync->Configure(m_config.Sync, m_config.Subscriptions);
    m_syncNow->setVisible(m_config.Sync.enabled());
    m_removalsDeclined = 0;
    if (!m_config.Sync.enabled()) {
        m_lastSync.reset();
    }
    showSyncStatus();
}

void TKestrivel::syncFinished(const TSyncReport& report) {
    m_lastSync = report;
    m_lastSyncAt = m_services->Now().time();
    showSyncStatus();
    m_dayEvents->reloadLater();
    if (report.MemosChanged) {
        MemoFileChanged();
    }
    if (report.Joined > 0) {
        ShowInfo(*m_services, m_frmMain.get(), TInfoMessage::TextsJoined, std::to_string(report.Joined));
    }
    if (report.Failure == TSyncFailure::RemovalsRefused) {
        askRemovals(report.RemovalsHeld);
    }
}

void TKestrivel::syncNow() {
    m_removalsDeclined = 0;
    m_sync->Request();
}

void TKestrivel::askRemovals(int held) {
    // Every interval's sync would ask again; one answer serves until the count changes.
    if (m_askingRemovals || held == m_removalsDeclined) {
        return;
    }
    m_askingRemovals = true;
    const int answer = AskQuestion(*m_services, m_frmMain.get(), TQuestionMessage::RemoveServerEvents,
                                   std::to_string(held), false);
    m_askingRemovals = false;
    if (answer == TMessageResult::Yes) {
        m_removalsDeclined = 0;
        m_sync->RequestWithRemovals();
    } else {
        m_removalsDeclined = held;
    }
}

void TKestrivel::showSyncStatus() {
    const QString line =
        m_lastSync ? SyncStatusText(m_services->Messages(), *m_lastSync, m_lastSyncAt) : QString();
    m_tray->SetStatusLine(line);
    // "Synchronise now" in the dialog says how it went there too.
    if (m_frmConfig) {
        m_frmConfig->SetSyncStatus(line);
        m_frmConfig->SetSyncCertificate(m_lastSync && m_lastSync->Failure == TSyncFailure::Untrusted
                                            ? m_lastSync->Certificate
                                            : TCertificateInfo());
    }
}

bool TKestrivel::Close() {
    while (m_config.MemosSaveFailed()) {
        const int answer = AskQuestion(*m_services, m_frmMain.get(), TQuestionMessage::SaveMemosAgain,
                                       m_config.MemosPath(), true);
        if (answer == TMessageResult::No) {
            return true;
        }
        if (answer != TMessageResult::Yes) {
            return false;
        }
        m_config.SaveMemos();
        showSaveState();
    }
    return true;
}

void TKestrivel::showSaveState() {
    m_tray->SetWarningLine(m_config.MemosSaveFailed()
                               ? TextToQString(m_services->Messages().value(MemosNotSavedName))
                               : QString());
}

void TKestrivel::editMemos(const std::function<void()>& edit) {
    const std::vector<TMemo> before = m_config.Memos.Items();
    edit();
    showSaveState();
    if (!SameMemos(before, m_config.Memos.Items())) {
        m_sync->LocalChange();
    }
}

void TKestrivel::watchMemoFile() {
    // A save replaces Memos.dat by renaming a new file over it, so the folder is watched rather than
    // the file; a burst of changes is taken in once it settles.
    m_memoFileSettled = new QTimer(this);
    m_memoFileSettled->setSingleShot(true);
    m_memoFileSettled->setInterval(kMemoFileSettleMs);
    connect(m_memoFileSettled, &QTimer::timeout, this, &TKestrivel::MemoFileChanged);
    auto* watcher = new QFileSystemWatcher(this);
    watcher->addPath(QString::fromStdString(m_config.ProgramFolder()));
    connect(watcher, &QFileSystemWatcher::directoryChanged, m_memoFileSettled, qOverload<>(&QTimer::start));
}

void TKestrivel::MemoFileChanged() {
    // An open memo editor holds indexes into the memo list: the file is taken in once it closed,
    // so its save merges it instead of dropping it. (The dialog's Apply merges onto whatever the
    // list holds by then.)
    if (QApplication::activeModalWidget() != nullptr && m_memoFileSettled != nullptr) {
        m_memoFileSettled->start(kModalRetryMs);
        return;
    }
    if (m_memoFileSettled != nullptr) {
        m_memoFileSettled->setInterval(kMemoFileSettleMs);
    }
    // Changes this program saved itself are known to the data owner and change nothing here.
    if (m_config.RefreshMemos()) {
        m_frmMain->DrawCalendar();
    }
    reportDamagedFiles();
}

void TKestrivel::reportDamagedFiles() {
    for (const TDamagedFile& file : m_config.TakeDamagedFiles()) {
        ShowError(*m_services, m_frmMain.get(), 3, file.CopyPath.empty() ? file.Path : file.CopyPath);
    }
}

} // namespace kestrivel
