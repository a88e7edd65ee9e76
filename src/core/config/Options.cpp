#include "config/Options.h"

#include "config/IniFile.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <type_traits>
#include <variant>

namespace kestrivel {

namespace {

constexpr const char* OptionsSection = "Options";
constexpr const char* SettingsSection = "Settings";
constexpr const char* LeftKey = "Left";
constexpr const char* TopKey = "Top";

using OptionField = std::variant<bool TOptions::*, std::string TOptions::*, uint8_t TOptions::*>;

struct TOptionKey {
    const char* Key;
    OptionField Field;
    // A key newer than the settings files already in use: missing from an existing file, it reads as
    // off rather than as its default, so such a file keeps the behaviour it was written with.
    bool OffInOlderFiles = false;
};

// The keys of section "Options" in the order they are written. Each key bears its field's name;
// the defaults are the field initialisers of TOptions.
const TOptionKey OptionKeys[] = {
    {"Autorun", &TOptions::Autorun},
    {"AutoUpdate", &TOptions::AutoUpdate},
    {"AlwaysOnTop", &TOptions::AlwaysOnTop},
    {"ShowWeekdays", &TOptions::ShowWeekdays},
    {"ShowWeekNumbers", &TOptions::ShowWeekNumbers},
    {"ShowTodaysMemo", &TOptions::ShowTodaysMemo},
    {"DateFormat", &TOptions::DateFormat},
    {"LanguageFile", &TOptions::LanguageFile},
    {"StartOfWeek", &TOptions::StartOfWeek},
    {"Remind", &TOptions::Remind, true},
};

constexpr const char* RemindKey = "Remind";
constexpr const char* LanguageKey = "LanguageFile";

// An integer key missing or unreadable reads as 0 before the range rule, which makes it 1.
constexpr int32_t StartOfWeekReadDefault = 0;

} // namespace

uint8_t NormaliseStartOfWeek(int32_t value) {
    const auto low = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu);
    if (low == 0) {
        return 1;
    }
    return low > 7 ? 7 : low;
}

std::string UnableToWriteMessage(const std::string& path) {
    return "Unable to write to " + path;
}

void LoadOptions(const std::string& iniPath, TOptions& options) {
    const TIniFile ini(iniPath);
    std::error_code ec;
    const bool fileExists = std::filesystem::exists(iniPath, ec);
    const TOptions defaults;
    options = defaults;
    for (const TOptionKey& key : OptionKeys) {
        std::visit(
            [&](auto member) {
                using T = std::remove_cvref_t<decltype(options.*member)>;
                if constexpr (std::is_same_v<T, bool>) {
                    const bool fallback = defaults.*member && !(key.OffInOlderFiles && fileExists);
                    options.*member = ini.readInteger(OptionsSection, key.Key, fallback ? 1 : 0) != 0;
                } else if constexpr (std::is_same_v<T, std::string>) {
                    if (ini.valueExists(OptionsSection, key.Key)) {
                        options.*member = ini.readString(OptionsSection, key.Key, "");
                    }
                } else {
                    options.*member = NormaliseStartOfWeek(
                        ini.readInteger(OptionsSection, key.Key, StartOfWeekReadDefault));
                }
            },
            key.Field);
    }
}

void WriteOptions(TIniFile& ini, const TOptions& options) {
    for (const TOptionKey& key : OptionKeys) {
        std::visit(
            [&](auto member) {
                using T = std::remove_cvref_t<decltype(options.*member)>;
                if constexpr (std::is_same_v<T, bool>) {
                    ini.setString(OptionsSection, key.Key, options.*member ? "1" : "0");
                } else if constexpr (std::is_same_v<T, std::string>) {
                    ini.setString(OptionsSection, key.Key, options.*member);
                } else {
                    ini.setInteger(OptionsSection, key.Key, options.*member);
                }
            },
            key.Field);
    }
}

void AddMissingStartKeys(TIniFile& ini, const TOptions& options) {
    if (!ini.valueExists(OptionsSection, RemindKey)) {
        ini.setString(OptionsSection, RemindKey, options.Remind ? "1" : "0");
    }
    if (!ini.valueExists(OptionsSection, LanguageKey)) {
        ini.setString(OptionsSection, LanguageKey, options.LanguageFile);
    }
}

bool SaveOptions(const std::string& iniPath, const TOptions& options, std::string& error) {
    TIniFile ini(iniPath);
    WriteOptions(ini, options);
    if (!ini.save()) {
        error = UnableToWriteMessage(iniPath);
        return false;
    }
    return true;
}

TWindowPosition LoadWindowPosition(const std::string& iniPath) {
    const TIniFile ini(iniPath);
    const TWindowPosition defaults;
    return {ini.readInteger(SettingsSection, LeftKey, defaults.Left),
            ini.readInteger(SettingsSection, TopKey, defaults.Top)};
}

bool SaveWindowPosition(const std::string& iniPath, const TWindowPosition& position, std::string& error,
                        const TOptions* startKeys) {
    TIniFile ini(iniPath);
    if (startKeys != nullptr) {
        AddMissingStartKeys(ini, *startKeys);
    }
    ini.setInteger(SettingsSection, LeftKey, position.Left);
    ini.setInteger(SettingsSection, TopKey, position.Top);
    if (!ini.save()) {
        error = UnableToWriteMessage(iniPath);
        return false;
    }
    return true;
}

void KeepOnScreen(int& left, int& top, int width, int height, int screenLeft, int screenTop, int screenWidth,
                  int screenHeight) {
    // Sums in 64 bits: a hand-edited position near the int limits must not overflow.
    const auto keep = [](int& edge, int size, int screenStart, int screenSize) {
        const long long screenEnd = static_cast<long long>(screenStart) + screenSize;
        if (edge < screenStart) {
            edge = screenStart;
        } else if (static_cast<long long>(edge) + size > screenEnd) {
            edge = static_cast<int>(screenEnd - size);
        }
    };
    keep(left, width, screenLeft, screenWidth);
    keep(top, height, screenTop, screenHeight);
}

} // namespace kestrivel
