#pragma once

#include <string>

namespace kestrivel {

class TIniFile;

// The environment variable that holds the sync password where no secret store runs (scripts,
// desktops without one); it comes before the store.
inline constexpr const char* kSyncPasswordVariable = "KESTRIVEL_SYNC_PASSWORD";

// The [Sync] section of Settings.ini (Server, User, Interval in minutes, a trusted Certificate) and,
// never written there,
// the password from the desktop's secret store or KESTRIVEL_SYNC_PASSWORD. An empty Server means
// no sync.
struct TSyncSettings {
    static constexpr int kDefaultInterval = 15;
    static constexpr int kMinInterval = 1;
    static constexpr int kMaxInterval = 24 * 60;

    std::string Server;
    std::string User;
    std::string Password;
    int IntervalMinutes = kDefaultInterval;
    // A certificate the user trusts for one server although no authority vouches for it: "origin
    // SHA-256" ("https://host:port AB:CD:..."); it counts only while Server has that origin.
    std::string Certificate{};

    bool enabled() const { return !Server.empty(); }
};

// Fills `sync` from section "Sync" of the settings file; missing or unreadable values keep their
// defaults, an interval out of range is brought into it. The password is left alone.
void LoadSyncSettings(const std::string& iniPath, TSyncSettings& sync);
// Writes Server, User and Interval into section "Sync" (Certificate too once there is one), keeping
// every other section and key; false
// with "Unable to write to <path>" in `error` as SaveOptions.
bool SaveSyncSettings(const std::string& iniPath, const TSyncSettings& sync, std::string& error);
// The same keys into `ini`, unsaved, for a writer that saves more than them at once.
void WriteSyncSettings(TIniFile& ini, const TSyncSettings& sync);

} // namespace kestrivel
