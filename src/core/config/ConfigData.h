#pragma once

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/FileStamp.h"
#include "common/FolderLock.h"
#include "config/Options.h"
#include "config/SubscriptionSettings.h"
#include "config/SyncSettings.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

namespace kestrivel {

class TIniFile;

// A file that existed but did not load completely, and the copy of it kept as it was. CopyPath is
// empty when no copy could be made; the file is then never replaced during this run.
struct TDamagedFile {
    std::string Path;
    std::string CopyPath;
};

// The one owner of the program's shared data: the options, the working scheme, the scheme list
// and the memo list, with the program folder they are kept in. Every window takes a reference;
// nobody else creates, replaces or frees these members.
class TConfigData {
public:
    // The name the built-in look takes among the schemes a first start writes.
    static constexpr const char* kDefaultSchemeName = "Default";
    // `programFolder` holds Settings.ini, Schemes.dat and Memos.dat; language files and shipped
    // schemes are looked for in `searchFolders` (first match wins), else in the program folder.
    explicit TConfigData(std::string programFolder, std::vector<std::string> searchFolders = {});
    TConfigData(const TConfigData&) = delete;
    TConfigData& operator=(const TConfigData&) = delete;

    TOptions Options;
    // Where and as whom the memos sync; the password is not read from Settings.ini.
    TSyncSettings Sync;
    // Calendars shown read-only beside the memos, section "Subscriptions".
    std::vector<TSubscription> Subscriptions;
    // Where the calendar window stands; the window moves it and saves it through SavePosition.
    TWindowPosition Position;
    TScheme CurrentScheme;
    TSchemeList Schemes;
    TMemoList Memos;

    const std::string& ProgramFolder() const { return m_folder; }
    std::string SettingsPath() const;
    std::string SchemesPath() const;
    std::string MemosPath() const;
    // The folders searched for language files and shipped schemes; never empty.
    const std::vector<std::string>& SearchFolders() const { return m_searchFolders; }
    // A bare language file name: the first search folder holding it, else the program folder.
    std::string LanguagePath(const std::string& fileName) const;
    // The first search folder's "schemes" folder that exists (the schemes shipped with the
    // program); empty when there is none.
    std::string ShippedSchemesFolder() const;

    // The creation steps: the built-in look, Schemes.dat (its active record becomes the working
    // scheme), Memos.dat, then the options, the sync settings and the window position from
    // Settings.ini.
    void Load();
    void LoadSchemes();
    void LoadMemos();
    void LoadOptions();

    // Memos.dat and Schemes.dat may be replaced by another program while this one runs (a second
    // calendar, a command-line import, a sync). Before either is written, a file that changed
    // since this program last read or wrote it is read again and this program's own changes since
    // then go on top: memos by date (mergeMemos), schemes by name (mergeSchemes); the lists in
    // memory then hold the result. A file that vanished is written again whole. A file that does
    // not load completely is kept as a damaged one (TakeDamagedFiles) and this program's list,
    // the better copy, replaces it.

    // A first start (no Schemes.dat): the shipped schemes and the built-in look, named "Default",
    // make a new Schemes.dat whose working scheme is the shipped one named `preferred`, so the
    // calendar can be seen and the looks are found in the Display tab. False, writing nothing, when
    // Schemes.dat exists, the list holds schemes, or no scheme is shipped; false also when the new
    // file cannot be written (the list is then made all the same).
    bool SeedShippedSchemes(const std::string& preferred);

    // Memos.dat from the memo list, merged as above. False, touching nothing, while a damaged
    // Memos.dat could not be kept, or when the merged list would pass 65,535 memos or its file
    // the read cap.
    bool SaveMemos();
    // The last SaveMemos failed: memos in the list may not be in Memos.dat.
    bool MemosSaveFailed() const { return m_memosSaveFailed; }
    // A change went into the memo list but no save could be tried: it counts as a failed save.
    void MemosNotSaved() { m_memosSaveFailed = true; }
    // Takes in what another program saved to Memos.dat since this one last read or wrote it,
    // keeping the changes made here since then; nothing is written. True when the memo list
    // changed (its indexes may then have moved).
    bool RefreshMemos();
    // The working scheme named after the selected index becomes the active record; Schemes.dat,
    // merged as above. After a merge the index is that of the same scheme found by name in the
    // merged list (-1 when it is gone); the active record and the working scheme are named after
    // it. False, changing nothing, while a damaged Schemes.dat could not be kept or when the merge
    // would pass the list's size; false, with the list applied in memory but not written, when the
    // file would pass the read cap or cannot be written.
    bool ApplySchemes(int selectedIndex);
    // The options into Settings.ini; "Unable to write to <path>" in `error` on failure.
    bool SaveOptions(std::string& error) const;
    // Section "Sync" (without the password) into Settings.ini, with the same error as SaveOptions;
    // "Remind" and "LanguageFile" too when the file lacks them (AddMissingStartKeys).
    bool SaveSync(std::string& error) const;
    // What the dialog applies to Settings.ini, the options and section "Sync", in one save: a
    // program ended before the dialog closes still starts with the options applied.
    bool SaveApplied(std::string& error) const;
    // "Left" and "Top" into Settings.ini, with the same error and start keys as SaveSync.
    bool SavePosition(std::string& error) const;

    // A hold of the program folder's lock (FolderLock) for as long as it lives. Every save of
    // Memos.dat, Schemes.dat and Settings.ini takes one across its read, merge and rename; a caller
    // that must see the files unchanged across several steps (the sync's reload, decisions and
    // saves) takes one around them. Holds nest within one data owner, so a save inside a hold does
    // not wait for itself. held() is false when the lock could not be had: a save then fails as a
    // failed write and writes nothing.
    class FilesLock {
    public:
        FilesLock(FilesLock&& other) noexcept;
        FilesLock& operator=(FilesLock&&) = delete;
        ~FilesLock();
        bool held() const { return m_owner != nullptr; }

    private:
        friend class TConfigData;
        explicit FilesLock(const TConfigData* owner) : m_owner(owner) {}
        const TConfigData* m_owner;
    };
    [[nodiscard]] FilesLock LockFiles() const;
    // How long a hold waits for another writer before the save fails.
    std::chrono::milliseconds LockWait = FolderLock::kWait;

    // The local date and time as "YYYYMMDD-HHMMSS", used to name the copy of a damaged file. The
    // program installs the clock; without one the copy is named by a fixed stamp.
    std::function<std::string()> Timestamp;
    // Files that loaded incompletely since the last call, each with its kept copy; the caller tells
    // the user once per entry (error E3 with the copy's path). A file is listed once per run,
    // however often it is reloaded.
    std::vector<TDamagedFile> TakeDamagedFiles();

private:
    bool m_memosSaveFailed = false;
    // A regular file that exists but did not load completely is kept beside itself as
    // `<name>.damaged-<stamp>`, exactly as it was and synced, before any save can replace it. An
    // earlier copy with the same bytes is reused; a file that cannot be read is moved aside.
    void keepDamaged(const std::string& path, bool loadedCompletely);

    enum class DiskState {
        Unchanged, // as last read or written here, vanished, or damaged: ours stands
        Merged,    // read again and merged into the list in memory
        Refused,   // must not be replaced: a damaged file not kept, or a merge too large
    };
    // Reads the file at `path` again (through `load`) when its stamp differs from `known`: Merged
    // when it was read completely and is to be merged (its stamp in `now`), Unchanged or Refused as
    // above otherwise.
    DiskState readIfChanged(const std::string& path, const FileStamp& known, FileStamp& now,
                            const std::function<bool()>& load);
    // Runs `save` of Settings.ini under the folder lock; without the lock, "Unable to write to".
    bool saveSettings(std::string& error, const std::function<bool()>& save) const;
    bool saveIni(TIniFile& ini, std::string& error) const;
    // The memos a merge takes our changes from.
    const std::vector<TMemo>& memosBase();
    // Memos.dat read again and merged when its stamp changed.
    DiskState takeInMemos(bool& changed);
    // Schemes.dat the same; `selectedIndex` follows the selected scheme into the merged list.
    DiskState takeInSchemes(int& selectedIndex);

    std::string m_folder;
    std::vector<std::string> m_searchFolders;
    mutable FolderLock m_lock;
    mutable int m_lockDepth = 0;
    std::vector<TDamagedFile> m_damaged;
    // Copies (or, without one, paths) already reported during this run.
    std::set<std::string> m_reported;
    // Damaged files that could not be kept: saves over them are refused.
    std::set<std::string> m_unkept;
    // The lists as Memos.dat and Schemes.dat held them when this program last read or wrote them,
    // and the stamps the files had then: what a merge takes our own changes from.
    std::vector<TMemo> m_memosBase;
    // After a save: the bytes written, which stand for m_memosBase until memosBase() reads them.
    std::string m_memosBaseBytes;
    std::string m_spareBytes;
    FileStamp m_memosStamp;
    std::vector<TScheme> m_schemesBase;
    FileStamp m_schemesStamp;
};

} // namespace kestrivel
