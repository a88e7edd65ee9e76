#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "config/Options.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

namespace kestrivel {

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
    // `programFolder` holds Settings.ini, Schemes.dat and Memos.dat; language files and shipped
    // schemes are looked for in `searchFolders` (first match wins), else in the program folder.
    explicit TConfigData(std::string programFolder, std::vector<std::string> searchFolders = {});
    TConfigData(const TConfigData&) = delete;
    TConfigData& operator=(const TConfigData&) = delete;

    TOptions Options;
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
    // scheme), Memos.dat, then the options and the window position from Settings.ini.
    void Load();
    void LoadSchemes();
    void LoadMemos();
    void LoadOptions();

    // Memos.dat from the memo list. False, touching nothing, while a damaged Memos.dat could not
    // be kept.
    bool SaveMemos() const;
    // The working scheme named after the selected index becomes the active record; Schemes.dat.
    // False, changing nothing, while a damaged Schemes.dat could not be kept.
    bool ApplySchemes(int selectedIndex);
    // The nine options into Settings.ini; "Unable to write to <path>" in `error` on failure.
    bool SaveOptions(std::string& error) const;
    // "Left" and "Top" into Settings.ini, with the same error as SaveOptions.
    bool SavePosition(std::string& error) const;

    // The local date and time as "YYYYMMDD-HHMMSS", used to name the copy of a damaged file. The
    // program installs the clock; without one the copy is named by a fixed stamp.
    std::function<std::string()> Timestamp;
    // Files that loaded incompletely since the last call, each with its kept copy; the caller tells
    // the user once per entry (error E3 with the copy's path). A file is listed once per run,
    // however often it is reloaded.
    std::vector<TDamagedFile> TakeDamagedFiles();

private:
    // A regular file that exists but did not load completely is kept beside itself as
    // `<name>.damaged-<stamp>`, exactly as it was and synced, before any save can replace it. An
    // earlier copy with the same bytes is reused; a file that cannot be read is moved aside.
    void keepDamaged(const std::string& path, bool loadedCompletely);

    std::string m_folder;
    std::vector<std::string> m_searchFolders;
    std::vector<TDamagedFile> m_damaged;
    // Copies (or, without one, paths) already reported during this run.
    std::set<std::string> m_reported;
    // Damaged files that could not be kept: saves over them are refused.
    std::set<std::string> m_unkept;
};

} // namespace kestrivel
