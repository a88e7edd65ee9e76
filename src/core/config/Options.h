#pragma once

#include <cstdint>
#include <string>

namespace kestrivel {

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
    // Today's memos as a desktop notification at start and at each new day. On for a new settings
    // file; a file written before the option existed reads as off, so nothing new pops up unasked.
    bool Remind = true;
};

// Fills `options` from section "Options" of the settings file; missing or unreadable values give
// the defaults, except "Remind", which is off when a file exists without it.
void LoadOptions(const std::string& iniPath, TOptions& options);
// Writes the keys of section "Options", "Remind" last. False with `error` set to "Unable to write to
// <path>" when the file cannot be written; the previous file then stays as it was.
bool SaveOptions(const std::string& iniPath, const TOptions& options, std::string& error);
// The keys of section "Options" into `ini`, unsaved, for a writer that saves more than them at once.
void WriteOptions(TIniFile& ini, const TOptions& options);
// A settings file without "Remind" starts with the reminder off and one without "LanguageFile" in
// English, whatever was chosen: every writer of Settings.ini that does not write all the options
// adds these two keys when they are missing, with the values in use.
void AddMissingStartKeys(TIniFile& ini, const TOptions& options);

// The first day of the week from any integer read for it: only the low 8 bits count, 0 becomes 1
// and anything above 7 becomes 7.
uint8_t NormaliseStartOfWeek(int32_t value);

// "Unable to write to <path>", the text shown when the settings file cannot be written.
std::string UnableToWriteMessage(const std::string& path);

// The calendar window's position in screen pixels, section "Settings", keys "Left" and "Top".
struct TWindowPosition {
    int Left = 40;
    int Top = 40;
    bool operator==(const TWindowPosition&) const = default;
};
TWindowPosition LoadWindowPosition(const std::string& iniPath);
// False with `error` set as SaveOptions sets it; the previous file then stays as it was. With
// `startKeys`, a file without "Remind" or "LanguageFile" gets them too (AddMissingStartKeys): a
// settings file that a move creates on a first start keeps the reminder and the language.
bool SaveWindowPosition(const std::string& iniPath, const TWindowPosition& position, std::string& error,
                        const TOptions* startKeys = nullptr);

// Brings a window of the given size back onto the screen rectangle: an edge before the screen's
// start moves to it, otherwise an edge past the screen's end moves back so the window ends there.
// A window larger than the screen therefore starts before the screen's start.
void KeepOnScreen(int& left, int& top, int width, int height, int screenLeft, int screenTop, int screenWidth,
                  int screenHeight);

} // namespace kestrivel
