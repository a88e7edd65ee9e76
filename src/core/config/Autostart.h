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
};

// The XDG way: a desktop entry "<programName>.desktop" in the autostart folder of the user's
// configuration folder ($XDG_CONFIG_HOME, else $HOME/.config).
class TXdgAutostart : public IAutostart {
public:
    // Uses the user's configuration folder as `environment` names it.
    explicit TXdgAutostart(const XdgEnvironment& environment);
    // Uses `configFolder` in its place (tests).
    explicit TXdgAutostart(std::string configFolder);

    std::string entryPath(const std::string& programName) const;
    bool setAutostart(const std::string& programName, const std::string& programPath, bool on,
                      std::string& error) override;

private:
    std::string m_configFolder;
};

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
