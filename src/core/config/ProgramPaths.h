#pragma once

#include <string>
#include <vector>

namespace kestrivel {

// What the program knows about where it runs, gathered by the caller from the platform.
struct ProgramPlace {
    // Folder of the executable, absolute.
    std::string ExecutableFolder;
    // Whether the program may create and replace files in that folder.
    bool ExecutableFolderWritable = false;
    // Whether the executable sits in an installed tree: the "kestrivel" data folder exists where
    // DataFolderFromExecutable points. An installed copy never writes beside itself, even for a
    // user who may write there (root, an owned /usr/local, a package unpacked into a scratch root).
    bool InstalledTree = false;
    // $XDG_CONFIG_HOME and $HOME as set (empty when unset).
    std::string XdgConfigHome;
    std::string Home;
    // The data folder the build was configured to install to (e.g. /usr/share), and the same
    // folder relative to the installed executable's folder (e.g. ../share), which still holds when
    // the installed tree is unpacked somewhere else.
    std::string InstalledDataFolder;
    std::string DataFolderFromExecutable;
};

struct ProgramPaths {
    // Where Settings.ini, Schemes.dat and Memos.dat live; the caller creates it when missing.
    std::string ProgramFolder;
    // Where language files and shipped schemes are looked for, first match wins: the program
    // folder, the executable's folder, then the installed "kestrivel" data folders. No folder
    // appears twice.
    std::vector<std::string> SearchFolders;
};

// A writable executable folder outside an installed tree is the program folder, as for a build or
// a copy unpacked anywhere. Otherwise the files go to "Kestrivel" in the user's configuration folder:
// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; with neither, the executable's folder
// stays the program folder (saves then fail as they would in place).
ProgramPaths computeProgramPaths(const ProgramPlace& place);

// A file found in one of the search folders: its bare name and its full path.
struct FoundFile {
    std::string Name;
    std::string Path;
};

// Full path of the regular file `name` in the first folder that holds one; empty when none does.
std::string findFile(const std::vector<std::string>& folders, const std::string& name);
// The regular files whose names end in `suffix` (ASCII case ignored, e.g. ".lang"), sorted by name;
// a name in an earlier folder hides the same name in later ones. Unreadable folders are skipped.
std::vector<FoundFile> findFiles(const std::vector<std::string>& folders, const std::string& suffix);

} // namespace kestrivel
