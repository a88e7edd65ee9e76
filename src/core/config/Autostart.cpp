#include "config/Autostart.h"

#include "common/SafeFile.h"
#include "common/TextCodec.h"

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

TXdgAutostart::TXdgAutostart(const XdgEnvironment& environment)
    : m_configFolder(UserConfigFolder(environment)) {}

TXdgAutostart::TXdgAutostart(std::string configFolder) : m_configFolder(std::move(configFolder)) {}

std::string TXdgAutostart::entryPath(const std::string& programName) const {
    return (std::filesystem::path(m_configFolder) / "autostart" / (programName + ".desktop")).string();
}

bool TXdgAutostart::setAutostart(const std::string& programName, const std::string& programPath, bool on,
                                 std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!on) {
        if (!m_configFolder.empty()) {
            fs::remove(entryPath(programName), ec);
        }
        return true;
    }
    const fs::path entry = entryPath(programName);
    if (m_configFolder.empty() || (fs::create_directories(entry.parent_path(), ec), ec) ||
        !WriteFileAtomic(entry.string(), AutostartDesktopEntry(programName, programPath))) {
        error = FailedToSetDataMessage(programName);
        return false;
    }
    return true;
}

} // namespace kestrivel
