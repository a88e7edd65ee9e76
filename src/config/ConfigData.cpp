#include "config/ConfigData.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace kestrivel {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDamagedInfix = ".damaged-";

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) {
        return false;
    }
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    if (!fa || !fb) {
        return false;
    }
    char ba[65536];
    char bb[65536];
    while (fa && fb) {
        fa.read(ba, sizeof ba);
        fb.read(bb, sizeof bb);
        if (fa.gcount() != fb.gcount() || std::char_traits<char>::compare(ba, bb, fa.gcount()) != 0) {
            return false;
        }
    }
    return fa.eof() && fb.eof();
}

// An earlier copy with exactly these bytes: a file that fails at every start is kept once.
std::string ExistingCopy(const fs::path& file) {
    std::error_code ec;
    const std::string prefix = file.filename().string() + kDamagedInfix;
    for (fs::directory_iterator it(file.parent_path().empty() ? "." : file.parent_path(), ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0 && it->is_regular_file(ec) && SameBytes(file, it->path())) {
            return it->path().string();
        }
    }
    return {};
}

} // namespace

TConfigData::TConfigData(std::string programFolder) : m_folder(std::move(programFolder)) {
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
    return m_folder + "/" + fileName;
}

void TConfigData::Load() {
    LoadSchemes();
    LoadMemos();
    LoadOptions();
}

void TConfigData::LoadSchemes() {
    const bool complete = LoadSchemesAtStartup(SchemesPath(), Schemes, CurrentScheme);
    keepDamaged(SchemesPath(), complete);
}

void TConfigData::LoadMemos() {
    Memos.Clear();
    const bool complete = Memos.LoadFromFile(MemosPath());
    keepDamaged(MemosPath(), complete);
}

void TConfigData::LoadOptions() {
    kestrivel::LoadOptions(SettingsPath(), Options);
}

bool TConfigData::SaveMemos() const {
    return Memos.SaveToFile(MemosPath());
}

bool TConfigData::ApplySchemes(int selectedIndex) {
    return ApplyScheme(selectedIndex, CurrentScheme, Schemes, SchemesPath());
}

bool TConfigData::SaveOptions(std::string& error) const {
    return kestrivel::SaveOptions(SettingsPath(), Options, error);
}

std::vector<TDamagedFile> TConfigData::TakeDamagedFiles() {
    return std::exchange(m_damaged, {});
}

void TConfigData::keepDamaged(const std::string& path, bool loadedCompletely) {
    std::error_code ec;
    if (loadedCompletely || !fs::exists(fs::symlink_status(path, ec)) || ec) {
        return;
    }
    std::string copy = ExistingCopy(path);
    if (copy.empty()) {
        const std::string stamp = Timestamp ? Timestamp() : std::string("00000000-000000");
        const std::string base = path + kDamagedInfix + stamp;
        copy = base;
        for (int n = 2; fs::exists(fs::symlink_status(copy, ec)); ++n) {
            copy = base + "-" + std::to_string(n);
        }
        // A file we may not read cannot be copied; moving it aside keeps it just as whole.
        if (!fs::copy_file(path, copy, fs::copy_options::none, ec)) {
            fs::remove(copy, ec);
            fs::rename(path, copy, ec);
            if (ec) {
                copy.clear();
            }
        }
    }
    m_damaged.push_back({path, copy});
}

} // namespace kestrivel
