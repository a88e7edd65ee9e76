#include "config/SyncSettings.h"

#include "config/IniFile.h"
#include "config/Options.h"

#include <algorithm>
#include <variant>

namespace kestrivel {

namespace {

constexpr const char* SyncSection = "Sync";

using SyncField = std::variant<std::string TSyncSettings::*, int TSyncSettings::*>;

struct TSyncKey {
    const char* Key;
    SyncField Field;
};

// The keys of section "Sync" in the order they are written; the defaults are the field initialisers
// of TSyncSettings. The password has no key: it never reaches a file others may read.
const TSyncKey SyncKeys[] = {
    {"Server", &TSyncSettings::Server},
    {"User", &TSyncSettings::User},
    {"Interval", &TSyncSettings::IntervalMinutes},
    // Written only once the user trusted a certificate: a file without one stays as it was.
    {"Certificate", &TSyncSettings::Certificate},
};

} // namespace

void LoadSyncSettings(const std::string& iniPath, TSyncSettings& sync) {
    const TIniFile ini(iniPath);
    const TSyncSettings defaults;
    for (const TSyncKey& key : SyncKeys) {
        if (const auto text = std::get_if<std::string TSyncSettings::*>(&key.Field)) {
            sync.** text = ini.readString(SyncSection, key.Key, defaults.**text);
        } else {
            const auto number = std::get<int TSyncSettings::*>(key.Field);
            // A hand-edited interval of 0 would ask the server every moment, a huge one never.
            sync.*number = std::clamp(ini.readInteger(SyncSection, key.Key, defaults.*number),
                                      TSyncSettings::kMinInterval, TSyncSettings::kMaxInterval);
        }
    }
}

bool SaveSyncSettings(const std::string& iniPath, const TSyncSettings& sync, std::string& error) {
    TIniFile ini(iniPath);
    WriteSyncSettings(ini, sync);
    if (!ini.save()) {
        error = UnableToWriteMessage(iniPath);
        return false;
    }
    return true;
}

void WriteSyncSettings(TIniFile& ini, const TSyncSettings& sync) {
    for (const TSyncKey& key : SyncKeys) {
        if (const auto text = std::get_if<std::string TSyncSettings::*>(&key.Field)) {
            if (*text == &TSyncSettings::Certificate && sync.Certificate.empty() &&
                !ini.valueExists(SyncSection, key.Key)) {
                continue;
            }
            ini.setString(SyncSection, key.Key, sync.**text);
        } else {
            const auto number = std::get<int TSyncSettings::*>(key.Field);
            ini.setInteger(
                SyncSection, key.Key,
                std::clamp(sync.*number, TSyncSettings::kMinInterval, TSyncSettings::kMaxInterval));
        }
    }
}

} // namespace kestrivel
