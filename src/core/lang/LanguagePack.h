#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

class BinaryReader;

// One key/text pair of a section, in file order.
struct TLangText {
    std::string Key;
    std::string Text;
};

// One named section; `Count` is the pair count as the file states it, which is also the number of
// pairs held when the section was read completely (an incomplete section never joins a pack).
struct TLangSect {
    std::string Name;
    std::vector<TLangText> Texts;
    uint16_t Count = 0;
};

// A language file loaded into memory. Sections and pairs are kept in vectors in file order, so
// lookups are linear and the first match wins, exactly as the file is laid out.
//
// Every string the pack holds (language name, section names, keys, texts) is UTF-8: Load converts
// each one with BytesToUtf8 as it is read, so files written in Windows-1252 by older editors show
// the same texts as UTF-8 files. LoadFromBytes with `toUtf8` false keeps the bytes exactly as read,
// which the language-file compiler needs to reproduce a file byte for byte.
class TLangPack {
public:
    static constexpr std::string_view Header = "LanguageFile";
    static constexpr uint16_t Version = 200;
    static constexpr uint16_t MinVersion = 200;
    std::string LanguageName;
    uint16_t HeaderValue = 0;
    std::vector<TLangSect> Sections;
    uint16_t SectionCount = 0;
    // Whether the file read last began with `Header`; not part of the file's contents.
    bool HasHeader = false;
    // The longest text a pack holds, in bytes of UTF-8: a longer text is cut there (never inside
    // a character) when read with `toUtf8`, so any message built from it stays small. A language
    // name longer than this is damage.
    static constexpr size_t MaxTextLength = 65536;
    // What ReadHeader reads at most: the signature string, the version, the longest name and the
    // header value.
    static constexpr size_t HeadLength = 4 + Header.size() + 2 + 4 + MaxTextLength + 2;

    // Empties the pack and reads the file at `path`. True only when the file was read to the end
    // of its last section; on damage the sections read completely before it stay in the pack.
    // Only a regular file of at most kLanguageFileCap bytes is read.
    bool Load(const std::string& path);
    bool LoadFromBytes(std::string_view data, bool toUtf8 = true);

    // Reads only the header, the language name and the header value (at most HeadLength bytes
    // from the start of a regular file); sections stay as they are.
    // On failure LanguageName and HeaderValue keep their previous values.
    bool ReadHeader(const std::string& path);
    bool ReadHeaderFromBytes(std::string_view data, bool toUtf8 = true);

    void Clear();

    // First section (file order) whose name equals `name` byte for byte; nullptr when none or
    // when `name` is empty.
    const TLangSect* FindSection(std::string_view name) const;
    // First pair of the first section named `section` whose key equals `key`; nullptr when none.
    const TLangText* FindText(std::string_view section, std::string_view key) const;

private:
    // The signature and version (when present), the language name and the header value. On
    // failure the name and value keep what they held.
    bool ReadHeaderItems(BinaryReader& reader, bool toUtf8);
};

} // namespace kestrivel
