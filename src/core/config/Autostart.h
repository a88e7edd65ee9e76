#pragma once

#include <string>

namespace kestrivel {

// Start at login for one program, given by name and full path. The UI layer applies the check box
// through this; tests fake it.
class IAutostart {
public:
    virtual ~IAutostart() = default;
    // On: register `programPath` to start at login under `programName`. Off: remove that entry; an
    // entry that is not there, or one that cannot be removed, is no error. False with `error` set
    // to "Failed to set data for '<programName>'" when the entry cannot be written.
    virtual bool setAutostart(const std::string& programName, const std::string& programPath, bool on,
                              std::string& error) = 0;
};

// The variables that name the user's configuration folder, as the program's caller read them from
// the environment; empty means unset.
struct XdgEnvironment {
    std::string XdgConfigHome; // XDG_CONFIG_HOME
    std::string Home;          // HOME
    std::string Path;          // PATH: where a command name is looked for
};

// The application id the freedesktop rules name the desktop entries after.
inline constexpr const char* kApplicationId = "org.example.kestrivel";

// The XDG way: a desktop entry named after the application id ("org.example.kestrivel.desktop") in
// the autostart folder of the user's configuration folder ($XDG_CONFIG_HOME, else $HOME/.config).
// Its Exec key names the command ("kestrivel") when that command is the program, else the program's
// path.
class TXdgAutostart : public IAutostart {
public:
    // Uses the user's configuration folder and command path as `environment` names them.
    explicit TXdgAutostart(const XdgEnvironment& environment);
    // Uses `configFolder` in its place (tests).
    explicit TXdgAutostart(std::string configFolder, std::string path = {});

    std::string entryPath() const;
    // The entry earlier versions wrote, "<programName>.desktop".
    std::string oldEntryPath(const std::string& programName) const;
    bool setAutostart(const std::string& programName, const std::string& programPath, bool on,
                      std::string& error) override;
    // An entry of an earlier version is renamed to the current name, as the user left it (on, or
    // turned off by the desktop); where both exist the current one stands and the old one goes. True
    // when an old entry was found.
    bool moveOldEntry(const std::string& programName) const;

private:
    std::string m_configFolder;
    std::string m_path;
};

// What the Exec key starts: `commandName` when the first folder of `pathVariable` (":"-separated)
// holding a file of that name holds `programPath` itself, else `programPath`.
std::string AutostartCommand(const std::string& programPath, const std::string& commandName,
                             const std::string& pathVariable);

// The user's configuration folder: $XDG_CONFIG_HOME when set to an absolute path, else
// $HOME/.config; empty when neither is known.
std::string UserConfigFolder(const XdgEnvironment& environment);

// The program path as one argument of a desktop entry's Exec key: quoted when it holds a blank or
// a reserved character, with the escapes the quoting and the string type of the key ask for.
std::string DesktopExecArgument(const std::string& programPath);
// The whole desktop entry that starts the program at login.
std::string AutostartDesktopEntry(const std::string& programName, const std::string& programPath);

// "Failed to set data for '<name>'".
std::string FailedToSetDataMessage(const std::string& name);

} // namespace kestrivel
