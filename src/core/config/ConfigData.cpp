#include "config/ConfigData.h"

#include "config/IniFile.h"
#include "config/ProgramPaths.h"
#include "memos/MemoMerge.h"
#include "schemes/SchemeFiles.h"
#include "schemes/SchemeMerge.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrivel {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDamagedInfix = ".damaged-";
constexpr const char* kNoClockStamp = "00000000-000000";

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const auto sizeA = fs::file_size(a, ec);
    if (ec || sizeA != fs::file_size(b, ec) || ec) {
        return false;
    }
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    if (!fa || !fb) {
        return false;
    }
    std::string ba(65536, '\0');
    std::string bb(65536, '\0');
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            ba.compare(0, static_cast<size_t>(fa.gcount()), bb, 0, static_cast<size_t>(fb.gcount())) != 0) {
            return false;
        }
    }
    return fa.eof() && fb.eof();
}

// An earlier copy with exactly these bytes: a file that fails at every start is kept once.
std::string ExistingCopy(const fs::path& file) {
    std::error_code ec;
    const std::string prefix = file.filename().string() + kDamagedInfix;
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix) && it->is_regular_file(typeEc) && SameBytes(file, it->path())) {
            return it->path().string();
        }
    }
    return {};
}

void SyncFolderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    const int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies `from` to the new file `to` byte for byte and syncs it, so the copy is on disk before any
// save can replace the original. Never replaces an existing `to`; removes a partial copy.
bool CopySynced(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    // Private whatever the damaged file allowed: it holds the same memos, and copies pile up unseen.
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno != EINTR) {
                ok = false;
            } else if (w > 0) {
                done += w;
            }
        }
        if (!ok) {
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok) {
        ::unlink(to.c_str());
        return false;
    }
    SyncFolderOf(to);
    return true;
}

// A new copy named after the stamp, or "" when the file can neither be copied nor moved aside.
// Moving needs the folder lock (`mayMove`): a file renamed over it meanwhile would go with it.
std::string MakeCopy(const std::string& path, const std::string& stamp, bool mayMove) {
    const std::string base = path + kDamagedInfix + stamp;
    std::string copy = base;
    std::error_code ec;
    for (int n = 2; fs::exists(fs::symlink_status(copy, ec)); ++n) {
        copy = base + "-" + std::to_string(n);
    }
    if (CopySynced(path, copy)) {
        return copy;
    }
    // A file we may not read (or one too large for the free space) cannot be copied; moving it
    // aside keeps it just as whole, and a later save then starts a new file.
    if (mayMove && std::rename(path.c_str(), copy.c_str()) == 0) {
        SyncFolderOf(copy);
        return copy;
    }
    return {};
}

// The same memos in the same order, dates compared as the file's bytes.
bool sameMemos(const std::vector<TMemo>& a, const std::vector<TMemo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TMemo& x, const TMemo& y) {
        return std::bit_cast<uint64_t>(x.Date) == std::bit_cast<uint64_t>(y.Date) && x.Text == y.Text &&
               x.MemoType == y.MemoType;
    });
}

} // namespace

TConfigData::TConfigData(std::string programFolder, std::vector<std::string> searchFolders)
    : m_folder(std::move(programFolder)), m_searchFolders(std::move(searchFolders)), m_lock(m_folder) {
    if (m_searchFolders.empty()) {
        m_searchFolders.push_back(m_folder);
    }
    CurrentScheme.Assign(DefaultScheme());
}

std::string TConfigData::SettingsPath() const {
    return m_folder + "/Settings.ini";
}

std::string TConfigData::SchemesPath() const {
    return m_folder + "/Schemes.dat";
}

std::string TConfigData::MemosPath() const {
    return m_folder + "/Memos.dat";
}

std::string TConfigData::LanguagePath(const std::string& fileName) const {
    std::string found = findFile(m_searchFolders, fileName);
    return found.empty() ? m_folder + "/" + fileName : found;
}

std::string TConfigData::ShippedSchemesFolder() const {
    for (const std::string& folder : m_searchFolders) {
        std::error_code ec;
        const std::string schemes = folder + "/schemes";
        if (std::filesystem::is_directory(schemes, ec)) {
            return schemes;
        }
    }
    return {};
}

TConfigData::FilesLock::FilesLock(FilesLock&& other) noexcept
    : m_owner(std::exchange(other.m_owner, nullptr)) {}

TConfigData::FilesLock::~FilesLock() {
    if (m_owner != nullptr && --m_owner->m_lockDepth == 0) {
        m_owner->m_lock.release();
    }
}

TConfigData::FilesLock TConfigData::LockFiles() const {
    if (m_lockDepth == 0 && m_lock.acquire(LockWait) != FolderLock::Result::Taken) {
        return FilesLock(nullptr);
    }
    ++m_lockDepth;
    return FilesLock(this);
}

bool TConfigData::SeedShippedSchemes(const std::string& preferred) {
    const std::string folder = ShippedSchemesFolder();
    if (Schemes.Count() > 0 || folder.empty()) {
        return false;
    }
    // Two first starts at once: the second sees the file the first wrote.
    const FilesLock lock = LockFiles();
    if (fileStampOf(SchemesPath()).Exists) {
        return false;
    }
    std::vector<TScheme> shipped;
    for (const FoundFile& file : findFiles({folder}, ".dat")) {
        TScheme scheme;
        if (ReadSchemeFile(file.Path, scheme) && !scheme.Name.empty()) {
            shipped.push_back(std::move(scheme));
        }
    }
    if (shipped.empty()) {
        return false;
    }
    TScheme builtIn = DefaultScheme();
    builtIn.Name = kDefaultSchemeName;
    AddNamedScheme(Schemes, CurrentScheme, builtIn);
    for (const TScheme& scheme : shipped) {
        AddNamedScheme(Schemes, CurrentScheme, scheme);
    }
    // Position 0 is the active record; the editor's index counts the named schemes from 0.
    int selected = -1;
    for (uint16_t position = 1; position < Schemes.Count(); ++position) {
        if (Schemes.Get(position)->Name == preferred) {
            CurrentScheme.Assign(*Schemes.Get(position));
            selected = position - 1;
        }
    }
    return ApplySchemes(selected);
}

void TConfigData::Load() {
    LoadSchemes();
    LoadMemos();
    LoadOptions();
}

// The stamp is taken before the read: a file replaced while it is read then looks changed at the
// next save and is read again, never the other way round.
void TConfigData::LoadSchemes() {
    const FileStamp stamp = fileStampOf(SchemesPath());
    const bool complete = LoadSchemesAtStartup(SchemesPath(), Schemes, CurrentScheme);
    keepDamaged(SchemesPath(), complete);
    m_schemesBase = schemesOf(Schemes);
    m_schemesStamp = stamp;
}

void TConfigData::LoadMemos() {
    const FileStamp stamp = fileStampOf(MemosPath());
    Memos.Clear();
    const bool complete = Memos.LoadFromFile(MemosPath());
    keepDamaged(MemosPath(), complete);
    m_memosBase = Memos.Items();
    m_memosBaseBytes.clear();
    m_memosStamp = stamp;
}

void TConfigData::LoadOptions() {
    kestrivel::LoadOptions(SettingsPath(), Options);
    LoadSyncSettings(SettingsPath(), Sync);
    Subscriptions = LoadSubscriptions(SettingsPath());
    Position = LoadWindowPosition(SettingsPath());
}

TConfigData::DiskState TConfigData::readIfChanged(const std::string& path, const FileStamp& known,
                                                  FileStamp& now, const std::function<bool()>& load) {
    now = fileStampOf(path);
    if (!now.Exists || now == known) {
        return DiskState::Unchanged;
    }
    const bool complete = load();
    keepDamaged(path, complete);
    if (m_unkept.contains(path)) {
        return DiskState::Refused;
    }
    return complete ? DiskState::Merged : DiskState::Unchanged;
}

TConfigData::DiskState TConfigData::takeInMemos(bool& changed) {
    changed = false;
    TMemoList disk;
    FileStamp now;
    const DiskState read =
        readIfChanged(MemosPath(), m_memosStamp, now, [&] { return disk.LoadFromFile(MemosPath()); });
    if (read != DiskState::Merged) {
        return read;
    }
    std::vector<TMemo> merged;
    if (!mergeMemos(memosBase(), Memos.Items(), disk.Items(), merged)) {
        return DiskState::Refused;
    }
    changed = !sameMemos(merged, Memos.Items());
    Memos.assignItems(std::move(merged));
    m_memosBase = disk.Items();
    m_memosBaseBytes.clear();
    m_memosStamp = now;
    return DiskState::Merged;
}

bool TConfigData::SaveMemos() {
    const FilesLock lock = LockFiles();
    bool changed = false;
    FileStamp written;
    m_memosSaveFailed = !lock.held() || m_unkept.contains(MemosPath()) ||
                        takeInMemos(changed) == DiskState::Refused ||
                        !Memos.SaveToFile(MemosPath(), written, m_spareBytes);
    if (m_memosSaveFailed) {
        return false;
    }
    // The list as written is the next merge's base. It is kept as the file's bytes and read back
    // only when a merge needs it, so a save of 65,535 memos copies no list; the last base's memory
    // builds the next file.
    std::swap(m_memosBaseBytes, m_spareBytes);
    m_memosBase.clear();
    m_memosStamp = written;
    return true;
}

const std::vector<TMemo>& TConfigData::memosBase() {
    if (!m_memosBaseBytes.empty()) {
        // Bytes this program wrote itself read whole.
        ReadMemoFileBytes(m_memosBaseBytes, m_memosBase);
        m_memosBaseBytes.clear();
    }
    return m_memosBase;
}

bool TConfigData::RefreshMemos() {
    bool changed = false;
    takeInMemos(changed);
    return changed;
}

TConfigData::DiskState TConfigData::takeInSchemes(int& selectedIndex) {
    TSchemeList disk;
    FileStamp now;
    const DiskState read =
        readIfChanged(SchemesPath(), m_schemesStamp, now, [&] { return disk.LoadFromFile(SchemesPath()); });
    if (read != DiskState::Merged) {
        return read;
    }
    const std::vector<TScheme> ours = schemesOf(Schemes);
    std::vector<TScheme> onDisk = schemesOf(disk);
    std::vector<TScheme> merged;
    if (!mergeSchemes(m_schemesBase, ours, onDisk, merged)) {
        return DiskState::Refused;
    }
    selectedIndex = mergedSelection(ours, selectedIndex, merged);
    assignSchemes(Schemes, merged);
    m_schemesBase = std::move(onDisk);
    m_schemesStamp = now;
    return DiskState::Merged;
}

bool TConfigData::ApplySchemes(int selectedIndex) {
    const FilesLock lock = LockFiles();
    if (!lock.held() || m_unkept.contains(SchemesPath()) ||
        takeInSchemes(selectedIndex) == DiskState::Refused) {
        return false;
    }
    applySchemeToList(selectedIndex, CurrentScheme, Schemes);
    FileStamp written;
    if (!saveSchemeList(Schemes, SchemesPath(), written)) {
        return false;
    }
    m_schemesBase = schemesOf(Schemes);
    m_schemesStamp = written;
    return true;
}

// Settings.ini is read, changed and replaced under the lock, so keys another writer saved a moment
// before stay.
bool TConfigData::saveSettings(std::string& error, const std::function<bool()>& save) const {
    const FilesLock lock = LockFiles();
    if (!lock.held()) {
        error = UnableToWriteMessage(SettingsPath());
        return false;
    }
    return save();
}

bool TConfigData::SaveOptions(std::string& error) const {
    return saveSettings(error, [&] { return kestrivel::SaveOptions(SettingsPath(), Options, error); });
}

bool TConfigData::SaveSync(std::string& error) const {
    return saveSettings(error, [&] {
        TIniFile ini(SettingsPath());
        WriteSyncSettings(ini, Sync);
        AddMissingStartKeys(ini, Options);
        return saveIni(ini, error);
    });
}

bool TConfigData::SaveApplied(std::string& error) const {
    return saveSettings(error, [&] {
        TIniFile ini(SettingsPath());
        WriteOptions(ini, Options);
        WriteSyncSettings(ini, Sync);
        WriteSubscriptions(ini, Subscriptions);
        return saveIni(ini, error);
    });
}

bool TConfigData::saveIni(TIniFile& ini, std::string& error) const {
    if (!ini.save()) {
        error = UnableToWriteMessage(SettingsPath());
        return false;
    }
    return true;
}

bool TConfigData::SavePosition(std::string& error) const {
    return saveSettings(error, [&] { return SaveWindowPosition(SettingsPath(), Position, error, &Options); });
}

std::vector<TDamagedFile> TConfigData::TakeDamagedFiles() {
    return std::exchange(m_damaged, {});
}

void TConfigData::keepDamaged(const std::string& path, bool loadedCompletely) {
    try {
        m_unkept.erase(path);
        std::error_code ec;
        // A missing file is a clean start. A folder, pipe or device of that name holds nothing a
        // save could lose (and a save cannot replace a folder).
        if (loadedCompletely || !fs::is_regular_file(fs::status(path, ec)) || ec) {
            return;
        }
        std::string copy = ExistingCopy(path);
        if (copy.empty()) {
            const FilesLock lock = LockFiles();
            copy = MakeCopy(path, Timestamp ? Timestamp() : std::string(kNoClockStamp), lock.held());
        }
        if (copy.empty()) {
            m_unkept.insert(path);
        }
        // Reloads during one run (the configuration dialog reloads both lists) tell the user once.
        if (m_reported.insert(copy.empty() ? path : copy).second) {
            m_damaged.push_back({path, copy});
        }
    } catch (const std::exception&) {
        m_unkept.insert(path);
    }
}

} // namespace kestrivel
