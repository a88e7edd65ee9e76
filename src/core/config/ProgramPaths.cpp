#include "config/ProgramPaths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kestrivel {

namespace {

static constexpr const char* kConfigSubfolder = "Kestrivel";
static constexpr const char* kDataSubfolder = "kestrivel";

bool isAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// Lexically normal, without a trailing separator, so equal folders compare equal.
std::string normalFolder(const std::filesystem::path& path) {
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::string userConfigFolder(const ProgramPlace& place) {
    if (isAbsolute(place.XdgConfigHome)) {
        return normalFolder(std::filesystem::path(place.XdgConfigHome) / kConfigSubfolder);
    }
    if (isAbsolute(place.Home)) {
        return normalFolder(std::filesystem::path(place.Home) / ".config" / kConfigSubfolder);
    }
    return {};
}

void addOnce(std::vector<std::string>& folders, const std::string& folder) {
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
        folders.push_back(folder);
    }
}

bool isRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

} // namespace

ProgramPaths computeProgramPaths(const ProgramPlace& place) {
    ProgramPaths paths;
    const std::string executableFolder = normalFolder(place.ExecutableFolder);
    if (!place.ExecutableFolderWritable || place.InstalledTree) {
        paths.ProgramFolder = userConfigFolder(place);
    }
    if (paths.ProgramFolder.empty()) {
        paths.ProgramFolder = executableFolder;
    }

    addOnce(paths.SearchFolders, paths.ProgramFolder);
    addOnce(paths.SearchFolders, executableFolder);
    if (!place.DataFolderFromExecutable.empty() && !executableFolder.empty()) {
        const std::filesystem::path relative(place.DataFolderFromExecutable);
        const std::filesystem::path base =
            relative.is_absolute() ? relative : std::filesystem::path(executableFolder) / relative;
        addOnce(paths.SearchFolders, normalFolder(base / kDataSubfolder));
    }
    if (isAbsolute(place.InstalledDataFolder)) {
        addOnce(paths.SearchFolders,
                normalFolder(std::filesystem::path(place.InstalledDataFolder) / kDataSubfolder));
    }
    return paths;
}

std::string findFile(const std::vector<std::string>& folders, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    for (const std::string& folder : folders) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        if (isRegularFile(path)) {
            return path.string();
        }
    }
    return {};
}

std::vector<FoundFile> findFiles(const std::vector<std::string>& folders, const std::string& suffix) {
    std::vector<FoundFile> found;
    for (const std::string& folder : folders) {
        std::error_code error;
        std::filesystem::directory_iterator it(folder, error);
        for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
            const std::string name = it->path().filename().string();
            const bool taken = std::any_of(found.begin(), found.end(),
                                           [&name](const FoundFile& file) { return file.Name == name; });
            if (!taken && endsWithIgnoringCase(name, suffix) && isRegularFile(it->path())) {
                found.push_back({name, it->path().string()});
            }
        }
    }
    std::sort(found.begin(), found.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.Name < b.Name; });
    return found;
}

} // namespace kestrivel
