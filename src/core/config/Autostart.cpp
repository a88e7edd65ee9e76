#include "config/Autostart.h"

#include "common/SafeFile.h"
#include "common/TextCodec.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace kestrivel {

namespace {

constexpr std::string_view ReservedExecCharacters = " \t\n\"'\\><~|&;$*?#`()";

} // namespace

std::string UserConfigFolder(const XdgEnvironment& environment) {
    if (environment.XdgConfigHome.starts_with('/')) {
        return environment.XdgConfigHome;
    }
    if (!environment.Home.empty()) {
        return (std::filesystem::path(environment.Home) / ".config").string();
    }
    return {};
}

std::string DesktopExecArgument(const std::string& programPath) {
    const bool needsQuotes =
        programPath.empty() || programPath.find_first_of(ReservedExecCharacters) != std::string::npos;
    // First the Exec key's own rules: quote, escape inside quotes, double a percent sign (field
    // codes start with one).
    std::string arg;
    if (needsQuotes) {
        arg += '"';
    }
    for (char c : programPath) {
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            arg += '\\';
        }
        arg += c;
        if (c == '%') {
            arg += '%';
        }
    }
    if (needsQuotes) {
        arg += '"';
    }
    // Then the string type's escapes, which a reader undoes before it looks at the quotes.
    std::string out;
    AppendBackslashEscaped(out, arg);
    return out;
}

std::string AutostartDesktopEntry(const std::string& programName, const std::string& programPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           programName +
           "\n"
           "Exec=" +
           DesktopExecArgument(programPath) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string FailedToSetDataMessage(const std::string& name) {
    return "Failed to set data for '" + name + "'";
}

std::string AutostartCommand(const std::string& programPath, const std::string& commandName,
                             const std::string& pathVariable) {
    namespace fs = std::filesystem;
    std::error_code ec;
    size_t start = 0;
    while (start <= pathVariable.size()) {
        const size_t end = std::min(pathVariable.find(':', start), pathVariable.size());
        const std::string folder = pathVariable.substr(start, end - start);
        start = end + 1;
        // An empty or relative folder depends on where the session starts: never relied upon.
        if (!folder.starts_with('/')) {
            continue;
        }
        const fs::path candidate = fs::path(folder) / commandName;
        if (fs::is_regular_file(candidate, ec)) {
            return fs::equivalent(candidate, programPath, ec) ? commandName : programPath;
        }
    }
    return programPath;
}

TXdgAutostart::TXdgAutostart(const XdgEnvironment& environment)
    : m_configFolder(UserConfigFolder(environment)), m_path(environment.Path) {}

TXdgAutostart::TXdgAutostart(std::string configFolder, std::string path)
    : m_configFolder(std::move(configFolder)), m_path(std::move(path)) {}

std::string TXdgAutostart::entryPath() const {
    return (std::filesystem::path(m_configFolder) / "autostart" / (std::string(kApplicationId) + ".desktop"))
        .string();
}

std::string TXdgAutostart::oldEntryPath(const std::string& programName) const {
    return (std::filesystem::path(m_configFolder) / "autostart" / (programName + ".desktop")).string();
}

bool TXdgAutostart::moveOldEntry(const std::string& programName) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (m_configFolder.empty() || !fs::is_regular_file(oldEntryPath(programName), ec)) {
        return false;
    }
    if (fs::exists(entryPath(), ec)) {
        fs::remove(oldEntryPath(programName), ec);
    } else {
        fs::rename(oldEntryPath(programName), entryPath(), ec);
    }
    return true;
}

bool TXdgAutostart::setAutostart(const std::string& programName, const std::string& programPath, bool on,
                                 std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (m_configFolder.empty()) {
        if (on) {
            error = FailedToSetDataMessage(programName);
        }
        return !on;
    }
    // An entry of an earlier version would start a second copy, or keep starting one.
    fs::remove(oldEntryPath(programName), ec);
    if (!on) {
        fs::remove(entryPath(), ec);
        return true;
    }
    const fs::path entry = entryPath();
    const std::string command = AutostartCommand(programPath, "kestrivel", m_path);
    if ((fs::create_directories(entry.parent_path(), ec), ec) ||
        !WriteFileAtomic(entry.string(), AutostartDesktopEntry(programName, command))) {
        error = FailedToSetDataMessage(programName);
        return false;
    }
    return true;
}

} // namespace kestrivel
