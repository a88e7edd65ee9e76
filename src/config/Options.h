#pragma once

#include <cstdint>
#include <string>

class TIniFile;

struct TOptions {
    bool Autorun = true;
    bool AutoUpdate = true;
    bool AlwaysOnTop = false;
    bool ShowWeekdays = true;
    bool ShowWeekNumbers = false;
    bool ShowTodaysMemo = true;
    std::string DateFormat = "ddddd";
    std::string LanguageFile = "KestriEn.lang";
    uint8_t StartOfWeek = 1; // 1 Monday .. 7 Sunday
};

// Fills `options` from section "Options" of the settings file; missing or unreadable values give
// the defaults.
void LoadOptions(const std::string& iniPath, TOptions& options);
// Writes the nine keys. False with `error` set to "Unable to write to <path>" when the file
// cannot be written; the previous file then stays as it was.
bool SaveOptions(const std::string& iniPath, const TOptions& options, std::string& error);
