// The settings reader: any bytes must parse, and the options must come out in range.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "config/IniFile.h"
#include "config/Options.h"

using namespace kestrivel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteFuzzInput(data, size);
    TOptions options;
    LoadOptions(path, options);
    if (options.StartOfWeek < 1 || options.StartOfWeek > 7 ||
        options.DateFormat.size() > TIniFile::MaxValueLength ||
        options.LanguageFile.size() > TIniFile::MaxValueLength) {
        __builtin_trap();
    }
    TIniFile ini(path);
    ini.setString("Options", "DateFormat", "ddddd");
    ini.setInteger("Settings", "Left", 40);
    // Writing a key back must leave it readable as written.
    TIniFile again(path);
    (void)again.readInteger("Settings", "Top", 40);
    const std::string text = ini.text();
    (void)text;
    return 0;
}
