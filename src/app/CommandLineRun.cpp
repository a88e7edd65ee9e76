#include "CommandLineRun.h"

#include "Application.h"
#include "ProgramFolders.h"
#include "base/Modules.h"
#include "base/QtPlatform.h"
#include "base/SecretStore.h"
#include "base/SyncModules.h"
#include "calendar/MonthText.h"
#include "common/DateFormat.h"
#include "common/TextTrim.h"
#include "common/Version.h"
#include "config/ConfigData.h"
#include "config/SyncSettings.h"
#include "lang/LanguagePack.h"
#include "lang/MessageTable.h"
#include "lang/Translation.h"
#include "memos/ICalendarModule.h"
#include "sync/DavUrl.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"
#include "update/HttpModule.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <memory>
#include <string>

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
    Print(MonthText(in));
    return kExitDone;
}

int ImportICalendar(TConfigData& config, const std::string& file) {
    const auto import =
        ResolveModuleFunction<KestrivelImportICalendarFn>(kICalendarModuleName, kImportICalendarSymbol);
    if (import == nullptr) {
        return Fail("cannot read iCalendar files: the module " + std::string(kICalendarModuleName) +
                    " is missing");
    }
    ICalendarImportCounts counts;
    if (!import(config.Memos, file, counts)) {
        return Fail(file + ": not a readable iCalendar file");
    }
    if (counts.Added + counts.Approximated > 0 && !config.SaveMemos()) {
        return Fail("cannot write " + config.MemosPath());
    }
    Print(ICalendarImportSummary(counts) + " (added / approximated / skipped)\n");
    if (counts.LeftOut > 0) {
        Tell(std::to_string(counts.LeftOut) +
             " events left out: the memo list is full (65,535 memos at most)");
    }
    return kExitDone;
}

// Exchange files append line by line and stop at the first line that does not read; what was read
// before it stays, as in the Memos tab.
int ImportExchange(TConfigData& config, const TLocaleFormats& formats, const std::string& file) {
    const int before = config.Memos.Count();
    const bool whole = config.Memos.ImportFromFile(file, formats);
    const int added = config.Memos.Count() - before;
    const std::string stop = config.Memos.Count() == TMemoList::kMaxCount
                                 ? "the memo list is full at line " + std::to_string(added + 1)
                                 : file + ": line " + std::to_string(added + 1) + " is not a memo";
    if (!whole && added == 0) {
        return Fail(stop + "; nothing was added");
    }
    if (added > 0 && !config.SaveMemos()) {
        return Fail("cannot write " + config.MemosPath());
    }
    Print(std::to_string(added) + " added\n");
    return whole ? kExitDone : Fail(stop + "; the lines from it on were not added");
}

int Import(TConfigData& config, const TLocaleFormats& formats, const std::string& file) {
    const QFileInfo info = FileInfo(file);
    if (!info.isFile() || !info.isReadable()) {
        return Fail("cannot read " + file);
    }
    return IsICalendarFileName(file) ? ImportICalendar(config, file) : ImportExchange(config, formats, file);
}

// Memos whose dates the format cannot hold (only a damaged Memos.dat holds such dates, and only
// iCalendar stops at the year 3000); an export leaves them out.
int MemosLeftOut(const TMemoList& memos, bool iCalendar) {
    int count = 0;
    for (const TMemo& memo : memos.Items()) {
        const bool valid = IsValidDateValue(memo.Date);
        if (!valid || (iCalendar && (DecodeDate(memo.Date).Year > 3000 || memo.MemoType > mtYearly))) {
            ++count;
        }
    }
    return count;
}

int Export(const TConfigData& config, const TLocaleFormats& formats, const std::string& file) {
    // A pipe, device or folder is never replaced by an ordinary file, whoever runs this.
    if (const QFileInfo target = FileInfo(file); target.exists() && !target.isFile()) {
        return Fail("cannot write " + file + ": it is not a regular file");
    }
    const TMemoList& memos = config.Memos;
    const int last = memos.Count() - 1;
    const bool iCalendar = IsICalendarFileName(file);
    // An export that leaves memos out still writes the file; one that fails leaves it as it was.
    const QDateTime before = FileInfo(file).lastModified();
    bool written = false;
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
    const int leftOut = MemosLeftOut(memos, iCalendar);
    const QFileInfo after = FileInfo(file);
    if (!written && (leftOut == 0 || !after.isFile() || after.lastModified() == before)) {
        return Fail("cannot write " + file);
    }
    Print(std::to_string(memos.Count() - (written ? 0 : leftOut)) + " exported\n");
    if (!written) {
        return Fail(std::to_string(leftOut) + " memos left out: " + file + " cannot hold their dates");
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
           std::to_string(report.NotShown) + " not shown";
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
int RunSync(bool allowRemovals, int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrivel"));
    const ProgramPaths paths = FindProgramPaths();
    const std::string settingsPath = TConfigData(paths.ProgramFolder).SettingsPath();
    TSyncSettings sync;
    LoadSyncSettings(settingsPath, sync);
    if (!sync.enabled()) {
        return Fail("no calendar server is set ([Sync] Server in " + settingsPath + ")");
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
    config.Load();
    ReportDamaged(config);
    const TLocaleFormats formats = LocaleFormatsFrom(QLocale::system());
    switch (line.Command) {
    case TCommand::Month:
        return PrintMonth(config, formats, line,
                          StartLanguageFile(config, settingsExisted, QLocale::system().name().toStdString()));
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
    default:
        return RunOnFiles(line, argc, argv);
    }
}

} // namespace kestrivel
