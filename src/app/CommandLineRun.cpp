#include "CommandLineRun.h"

#include "Application.h"
#include "ProgramFolders.h"
#include "base/DayEvents.h"
#include "base/Modules.h"
#include "base/QtPlatform.h"
#include "base/SecretStore.h"
#include "base/SyncModules.h"
#include "calendar/MonthText.h"
#include "common/BoundedRead.h"
#include "common/DateFormat.h"
#include "common/FileChecks.h"
#include "common/FolderLock.h"
#include "common/SafeFile.h"
#include "common/TextTrim.h"
#include "common/Version.h"
#include "config/ConfigData.h"
#include "config/SubscriptionSettings.h"
#include "config/SyncSettings.h"
#include "lang/LanguagePack.h"
#include "lang/MessageTable.h"
#include "lang/Translation.h"
#include "memos/ICalendarModule.h"
#include "memos/MemoEditorRules.h"
#include "memos/MemosTabRows.h"
#include "sync/AccountCalendars.h"
#include "sync/DavUrl.h"
#include "sync/OwnFiles.h"
#include "sync/EventDays.h"
#include "sync/SyncEngine.h"
#include "sync/SyncFailure.h"
#include "sync/SyncState.h"
#include "sync/SubscriptionFetch.h"
#include "update/HttpModule.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kestrivel {

namespace {

constexpr const char* kProgram = "kestrivel";

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// One line on the error output, named after the program.
void Tell(const std::string& message) {
    const std::string line = std::string(kProgram) + ": " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int Fail(const std::string& message, int code = kExitFailure) {
    Tell(message);
    return code;
}

QFileInfo FileInfo(const std::string& path) {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path)));
}

// The calendar's week-day initials: the chosen language file's, else the built-in ones.
std::string Weekdays(const TConfigData& config, const std::string& languageFile) {
    TNameValueList weekdays = BuiltInWeekdays();
    TLangPack pack;
    // A file that does not load leaves the pack empty and the built-in initials stand.
    pack.Load(config.LanguagePath(languageFile));
    TranslateStrings(pack, WeekdaysSection, weekdays);
    return weekdays.value(WeekdaysName);
}

// The longest agenda printed: ten years of days.
constexpr int kMaxAgendaDays = 3660;

// The events beside the memos whose dates lie in [first, last]; none without a cache file, which
// is then not read (and the iCalendar module not loaded).
EventDays EventsOver(const TConfigData& config, TDateValue first, TDateValue last) {
    EventDays days;
    TEventCache cache;
    if (!LoadEventCache(config.ProgramFolder(), cache) || cache.Events.empty()) {
        return days;
    }
    if (const std::unique_ptr<IEventExpander> expander = CreateModuleEventExpander()) {
        days.build(cache, *expander, first, last);
    }
    return days;
}

TDateValue DateOf(const QDate& date) {
    TDateValue value = 0;
    TryEncodeDate(date.year(), date.month(), date.day(), value);
    return value;
}

int PrintAgenda(const TConfigData& config, const TCommandLine& line) {
    const QDate today = QDate::currentDate();
    const QDate from =
        line.From.empty() ? today : QDate::fromString(QString::fromStdString(line.From), Qt::ISODate);
    const QDate to =
        line.To.empty() ? from.addDays(30) : QDate::fromString(QString::fromStdString(line.To), Qt::ISODate);
    if (!from.isValid() || !to.isValid() || from.daysTo(to) > kMaxAgendaDays) {
        return Fail("an agenda covers at most " + std::to_string(kMaxAgendaDays) + " days", kExitUsage);
    }
    const EventDays events = EventsOver(config, DateOf(from), DateOf(to));
    Print(AgendaText(config.Memos, events, DateOf(from), DateOf(to), "Memos"));
    return kExitDone;
}

int PrintMonth(const TConfigData& config, const TLocaleFormats& formats, const TCommandLine& line,
               const std::string& languageFile) {
    const QDate today = QDate::currentDate();
    const std::string weekdays = Weekdays(config, languageFile);
    TMonthTextInputs in;
    in.Year = line.Year != 0 ? line.Year : today.year();
    in.Month = line.Year != 0 ? line.Month : today.month();
    in.TodayYear = today.year();
    in.TodayMonth = today.month();
    in.TodayDay = today.day();
    in.Options = &config.Options;
    in.Memos = &config.Memos;
    in.Formats = &formats;
    in.Weekdays = weekdays;
    TDateValue first = 0;
    TDateValue last = 0;
    EventDays events;
    if (TryEncodeDate(in.Year, in.Month, 1, first) &&
        TryEncodeDate(in.Year, in.Month, DaysInMonth(in.Year, in.Month), last)) {
        events = EventsOver(config, first, last);
        in.Events = &events;
    }
    Print(MonthText(in));
    return kExitDone;
}

// "-" for a file: standard input for an import, standard output for an export.
bool IsStandardStream(const std::string& file) {
    return file == "-";
}

// "cannot write FILE: reason", the reason as the system gives it.
int CannotWrite(const std::string& file, int error) {
    return Fail("cannot write " + file + ": " + WriteFailureReason(file, error));
}

int ImportICalendar(TConfigData& config, const std::string& file) {
    const auto import =
        ResolveModuleFunction<KestrivelImportICalendarFn>(kICalendarModuleName, kImportICalendarSymbol);
    if (import == nullptr) {
        return Fail("cannot read iCalendar files: the module " + std::string(kICalendarModuleName) +
                    " is missing");
    }
    // Imports are all or nothing: a file the list cannot take whole leaves the list as it was.
    std::vector<TMemo> before = config.Memos.Items();
    ICalendarImportCounts counts;
    if (!import(config.Memos, file, counts)) {
        return Fail(file + ": not a readable iCalendar file");
    }
    if (counts.LeftOut > 0) {
        config.Memos.assignItems(std::move(before));
        return Fail(std::to_string(counts.LeftOut) +
                    " events do not fit: the memo list is full (65,535 memos at most); nothing was added");
    }
    if (counts.Added + counts.Approximated > 0 && !config.SaveMemos()) {
        return CannotWrite(config.MemosPath(), errno);
    }
    Print(ICalendarImportSummary(counts) + " (added / approximated / skipped)\n");
    return kExitDone;
}

// Why an exchange import added nothing, naming the line that stopped it.
std::string ExchangeStop(const TExchangeImport& report, const std::string& file) {
    const std::string line = file + ": line " + std::to_string(report.Line);
    switch (report.Stop) {
    case TExchangeStop::TooLarge:
        return file + " is larger than " + std::to_string(kDataFileCap >> 20) +
               " MiB, more than any memo file";
    case TExchangeStop::UnknownType:
        return line + " has the memo type " + report.Detail + "; the types are 0 to 3";
    case TExchangeStop::ListFull:
        return line + " does not fit: the memo list is full (65,535 memos at most)";
    case TExchangeStop::NotAMemo:
        return line + " is not a memo with a date in the order " + report.DateOrder +
               " (nor in one order for every line)";
    default:
        return "cannot read " + file;
    }
}

// Exchange files are all or nothing: one date order reads every line, or nothing is added.
int ImportExchange(TConfigData& config, const TLocaleFormats& formats, const std::string& file) {
    TExchangeImport report;
    if (IsStandardStream(file)) {
        std::string data;
        char buffer[65536];
        size_t got = 0;
        while (data.size() <= kDataFileCap && (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            data.append(buffer, got);
        }
        if (std::ferror(stdin)) {
            return Fail("cannot read the standard input: " + std::string(std::strerror(errno)));
        }
        report = config.Memos.ImportExchange(data, formats);
    } else {
        report = config.Memos.ImportExchangeFile(file, formats);
    }
    if (report.Stop == TExchangeStop::Unreadable) {
        const std::string reason = ReadFailureReason(file);
        return Fail("cannot read " + file + (reason.empty() ? std::string() : ": " + reason));
    }
    if (!report.ok()) {
        return Fail(ExchangeStop(report, IsStandardStream(file) ? "the standard input" : file) +
                    "; nothing was added");
    }
    if (report.Added > 0 && !config.SaveMemos()) {
        return CannotWrite(config.MemosPath(), errno);
    }
    std::string summary = std::to_string(report.Added) + " added";
    if (report.Skipped > 0) {
        summary += ", " + std::to_string(report.Skipped) + " already there";
    }
    if (!report.CutLines.empty()) {
        summary += ", " + std::to_string(report.CutLines.size()) + " cut to " +
                   std::to_string(kMemoEditorMaxChars) + " characters (line";
        summary += report.CutLines.size() > 1 ? "s " : " ";
        for (size_t i = 0; i < report.CutLines.size() && i < 10; ++i) {
            summary += (i > 0 ? ", " : "") + std::to_string(report.CutLines[i]);
        }
        summary += report.CutLines.size() > 10 ? ", ...)" : ")";
    }
    if (!report.LocaleOrder) {
        summary += "; dates read as " + report.DateOrder;
    }
    Print(summary + "\n");
    return kExitDone;
}

int Import(TConfigData& config, const TLocaleFormats& formats, const std::string& file) {
    if (IsStandardStream(file)) {
        return ImportExchange(config, formats, file);
    }
    if (const std::string reason = ReadFailureReason(file); !reason.empty()) {
        return Fail("cannot read " + file + ": " + reason);
    }
    // The memos are read afresh and saved in one hold of the folder's lock: what a sync wrote after
    // the start is the list the import adds to, never a list it overwrites.
    const auto lock = config.LockFiles();
    if (!lock.held()) {
        return Fail("cannot write " + config.MemosPath());
    }
    config.LoadMemos();
    return IsICalendarFileName(file) ? ImportICalendar(config, file) : ImportExchange(config, formats, file);
}

// "N memos left out: reason" for each reason an export left memos out for.
void TellLeftOut(const ExportLeftOut& leftOut) {
    if (leftOut.NoDate > 0) {
        Tell(std::to_string(leftOut.NoDate) +
             " memos left out: their dates are no days of the years 1 to 9999");
    }
    if (leftOut.AfterYear > 0) {
        Tell(std::to_string(leftOut.AfterYear) +
             " memos left out: iCalendar files hold no dates after the year " +
             std::to_string(kLastICalendarYear));
    }
    if (leftOut.UnknownType > 0) {
        Tell(std::to_string(leftOut.UnknownType) + " memos left out: their memo types are none of 0 to 3");
    }
}

int ExportToStandardOutput(const TConfigData& config, const TLocaleFormats& formats) {
    std::string text;
    int noDate = 0;
    if (!config.Memos.ExchangeText(0, config.Memos.Count() - 1, formats, text, noDate)) {
        return Fail("the memos are more than an exchange file may hold");
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        return Fail("cannot write the standard output: " + std::string(std::strerror(errno)));
    }
    TellLeftOut(ExportLeftOut{noDate, 0, 0});
    return noDate > 0 ? kExitFailure : kExitDone;
}

int Export(const TConfigData& config, const TLocaleFormats& formats, const std::string& file) {
    if (IsStandardStream(file)) {
        return ExportToStandardOutput(config, formats);
    }
    // A pipe, device or folder is never replaced by an ordinary file, whoever runs this.
    if (const QFileInfo target = FileInfo(file); target.exists() && !target.isFile()) {
        return Fail("cannot write " + file + ": it is not a regular file");
    }
    std::vector<std::string> own = ProgramOwnFiles(config);
    own.push_back(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    if (IsOneOfFiles(file, own)) {
        return Fail("cannot write " + file + ": it is one of the calendar's own files");
    }
    if (IsForeignLinkInSharedFolder(file)) {
        return Fail("cannot write " + file +
                    ": it is a link another user put into a folder others may write into");
    }
    const TMemoList& memos = config.Memos;
    const int last = memos.Count() - 1;
    const bool iCalendar = IsICalendarFileName(file);
    // An export that leaves memos out still writes the file; one that fails leaves it as it was.
    const QDateTime before = FileInfo(file).lastModified();
    bool written = false;
    errno = 0;
    if (iCalendar) {
        const auto exportTo =
            ResolveModuleFunction<KestrivelExportICalendarFn>(kICalendarModuleName, kExportICalendarSymbol);
        if (exportTo == nullptr) {
            return Fail("cannot write iCalendar files: the module " + std::string(kICalendarModuleName) +
                        " is missing");
        }
        written = exportTo(memos, 0, last, file, QDateTime::currentSecsSinceEpoch());
    } else {
        written = memos.ExportToFile(0, last, file, formats);
    }
    const int error = errno;
    const ExportLeftOut leftOut = MemosLeftOutByReason(memos, MemoBlock{0, last}, iCalendar);
    const QFileInfo after = FileInfo(file);
    if (!written && (leftOut.Total() == 0 || !after.isFile() || after.lastModified() == before)) {
        return CannotWrite(file, error);
    }
    Print(std::to_string(memos.Count() - (written ? 0 : leftOut.Total())) + " exported\n");
    if (!written) {
        TellLeftOut(leftOut);
        return kExitFailure;
    }
    return kExitDone;
}

// Files that did not load completely are kept beside themselves, as at every start; the user is told.
void ReportDamaged(TConfigData& config) {
    for (const TDamagedFile& damaged : config.TakeDamagedFiles()) {
        Tell(damaged.Path + " did not read completely" +
             (damaged.CopyPath.empty() ? std::string("; it is left as it is")
                                       : "; a copy of it is kept as " + damaged.CopyPath));
    }
}

// The password for `sync`: KESTRIVEL_SYNC_PASSWORD when set (scripts, tests, a desktop without a
// secret store), else the secret store's entry. False, with the reason, when a user is set and
// neither gives one: sending no password would only end in "wrong user name or password".
bool SyncPassword(const TSyncSettings& sync, std::string& password, std::string& reason) {
    if (qEnvironmentVariableIsSet(kSyncPasswordVariable)) {
        password = qEnvironmentVariable(kSyncPasswordVariable).toStdString();
        qunsetenv(kSyncPasswordVariable); // read once; nothing started later inherits it
        return true;
    }
    std::string error;
    if (!sync.User.empty() && !ReadSecret(SyncPasswordKey(sync.User, sync.Server), password, error)) {
        reason = "no secret store gave a password for " + sync.User + " (" + OneLine(error) +
                 "); store it from the calendar's Sync group, or set " + kSyncPasswordVariable;
        return false;
    }
    return true;
}

std::string SyncSummary(const TSyncReport& report) {
    return std::to_string(report.Sent) + " sent, " + std::to_string(report.Received) + " received, " +
           std::to_string(report.Removed) + " removed, " + std::to_string(report.Joined) + " joined, " +
           std::to_string(report.ShownAsEvents) + " shown as events, " + std::to_string(report.NotShown) +
           " not shown, " + std::to_string(report.Unpaired) + " unpaired";
}

// The calendar the sync found at the settings' address, as its state file names it; the address
// itself when the state says nothing of it.
std::string SyncedCollection(const std::string& folder, const TSyncSettings& sync) {
    TSyncState state;
    if (LoadSyncState(SyncStatePath(folder), state) && state.Server == sync.Server &&
        !state.Collection.empty()) {
        return OneLine(state.Collection);
    }
    return OneLine(sync.Server);
}

// Why the sync failed, with what it could not send.
std::string SyncFailure(const TSyncReport& report) {
    std::string reason = report.Reason.empty() ? std::string("no reason given") : OneLine(report.Reason);
    if (report.Left > 0 && report.Failure != TSyncFailure::Incomplete) {
        reason += "; " + std::to_string(report.Left) + " changes were not sent";
    }
    if (report.Failure == TSyncFailure::RemovalsRefused) {
        reason += " (to remove them, run " + std::string(kProgram) + " --sync --allow-removals)";
    }
    return "sync failed: " + reason;
}

// One sync of the user's memos with the server of Settings.ini's section "Sync". The engine reads
// and writes the files itself, merging with whatever a running calendar wrote meanwhile.
// The subscriptions refreshed after the memos' sync (or alone, with no server set): a line with the
// counts, and one per subscription that could not be had. A password only for one with a user name:
// the account's for another calendar of it, else the secret store's under that name and address.
int RefreshSubscriptionsRun(const std::string& folder, IDavTransport& transport, const TSyncSettings& sync) {
    const TSubscriptionReport report =
        RefreshFolderSubscriptions(folder, transport, [&sync](const TSubscription& subscription) {
            std::string password = AccountPassword(subscription, sync);
            if (!password.empty()) {
                return password;
            }
            std::string error;
            return ReadSecret(SyncPasswordKey(subscription.User, subscription.Address), password, error)
                       ? password
                       : std::string();
        });
    for (const std::string& failure : report.Failures) {
        Tell("subscription " + OneLine(failure));
    }
    Print(std::string(kProgram) + ": " + SubscriptionSummary(report) + "\n");
    return report.Failures.empty() ? kExitDone : kExitFailure;
}

int RunSync(bool allowRemovals, int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrivel"));
    const ProgramPaths paths = FindProgramPaths();
    const std::string settingsPath = TConfigData(paths.ProgramFolder).SettingsPath();
    TSyncSettings sync;
    LoadSyncSettings(settingsPath, sync);
    const bool subscribed = !LoadSubscriptions(settingsPath).empty();
    if (!sync.enabled() && !subscribed) {
        return Fail("no calendar server is set ([Sync] Server in " + settingsPath + ")");
    }
    if (!sync.enabled()) {
        const std::unique_ptr<IDavTransport> transport = CreateModuleDavTransport(kSyncRequestTimeoutMs);
        if (!transport) {
            return Fail("sync failed: the module " + std::string(kHttpModuleName) + " is missing");
        }
        return RefreshSubscriptionsRun(paths.ProgramFolder, *transport, sync);
    }
    // Checked before anything is asked or printed: an address with a password inside goes nowhere.
    if (std::string reason; CheckSyncAddress(sync, reason) != TSyncFailure::None) {
        return Fail("sync failed: " + reason);
    }
    if (IsPlainHttpToRemoteHost(sync.Server)) {
        Tell("warning: " + sync.Server +
             " is plain http: the password goes over the network readable to anyone on the way; use https");
    }
    const std::unique_ptr<IDavTransport> transport = CreateModuleDavTransport(kSyncRequestTimeoutMs);
    if (!transport) {
        return Fail("sync failed: the module " + std::string(kHttpModuleName) + " is missing");
    }
    const std::unique_ptr<IEventCodec> codec = CreateModuleEventCodec();
    if (!codec) {
        return Fail("sync failed: the module " + std::string(kICalendarModuleName) + " is missing");
    }
    // Asked last: a locked secret store may ask the user to unlock it.
    if (std::string reason; !SyncPassword(sync, sync.Password, reason)) {
        return Fail("sync failed: " + reason);
    }
    const TSyncReport report = SyncFolder(paths.ProgramFolder, sync, *transport, *codec,
                                          QDateTime::currentSecsSinceEpoch(), allowRemovals);
    if (!report.ok()) {
        return Fail(SyncFailure(report));
    }
    Print(std::string(kProgram) + ": synced with " + SyncedCollection(paths.ProgramFolder, sync) + ": " +
          SyncSummary(report) + "\n");
    return subscribed ? RefreshSubscriptionsRun(paths.ProgramFolder, *transport, sync) : kExitDone;
}

// The calendars of the sync's account, asked as the sync asks, with what the calendar makes of each.
int RunListCalendars(int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrivel"));
    const std::string settingsPath = TConfigData(FindProgramPaths().ProgramFolder).SettingsPath();
    TSyncSettings sync;
    LoadSyncSettings(settingsPath, sync);
    std::string reason;
    if (CheckSyncAddress(sync, reason) != TSyncFailure::None) {
        return Fail("cannot list the calendars: " + reason);
    }
    const std::unique_ptr<IDavTransport> transport = CreateModuleDavTransport(kSyncRequestTimeoutMs);
    if (!transport) {
        return Fail("cannot list the calendars: the module " + std::string(kHttpModuleName) + " is missing");
    }
    if (!SyncPassword(sync, sync.Password, reason)) {
        return Fail("cannot list the calendars: " + reason);
    }
    std::vector<TDavCalendar> calendars;
    if (const TDavStatus status = ListAccountCalendars(sync, *transport, calendars); !status.ok()) {
        TSyncReport report;
        DescribeDavFailure(status, sync, report);
        return Fail("cannot list the calendars: " + report.Reason);
    }
    Print(CalendarListText(AccountCalendarRows(calendars, sync, LoadSubscriptions(settingsPath))));
    return kExitDone;
}

// The memo commands: the user's files, read and written through the data owner.
int RunOnFiles(const TCommandLine& line, int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrivel"));
    const ProgramPaths paths = FindProgramPaths();
    TConfigData config(paths.ProgramFolder, paths.SearchFolders);
    const bool settingsExisted = QFileInfo::exists(QString::fromStdString(config.SettingsPath()));
    config.Timestamp = [] {
        return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    };
    // A file the user may not read is not damaged: it is left where it is and the command stops,
    // since going on would write a new one over what it could not see.
    for (const std::string& own : {config.MemosPath(), config.SchemesPath(), config.SettingsPath()}) {
        if (LacksReadPermission(own)) {
            return Fail("cannot read " + own + ": " + ReadFailureReason(own) + "; it is left as it is");
        }
    }
    config.Load();
    ReportDamaged(config);
    const TLocaleFormats formats = LocaleFormatsFrom(QLocale::system());
    switch (line.Command) {
    case TCommand::Month:
        return PrintMonth(config, formats, line,
                          StartLanguageFile(config, settingsExisted, QLocale::system().name().toStdString()));
    case TCommand::Agenda:
        return PrintAgenda(config, line);
    case TCommand::Import:
        return Import(config, formats, line.File);
    case TCommand::Export:
        return Export(config, formats, line.File);
    default:
        return kExitUsage;
    }
}

} // namespace

int RunCommandLine(const TCommandLine& line, int& argc, char** argv) {
    if (!line.Error.empty()) {
        Fail(line.Error, kExitUsage);
        const std::string hint = HelpHint(kProgram);
        std::fwrite(hint.data(), 1, hint.size(), stderr);
        return kExitUsage;
    }
    switch (line.Command) {
    case TCommand::Help:
        Print(UsageText(kProgram));
        return kExitDone;
    case TCommand::Version:
        Print("Kestrivel " KESTRIVEL_VERSION_TEXT "\n");
        return kExitDone;
    case TCommand::Sync:
        return RunSync(line.AllowRemovals, argc, argv);
    case TCommand::ListCalendars:
        return RunListCalendars(argc, argv);
    default:
        return RunOnFiles(line, argc, argv);
    }
}

} // namespace kestrivel
