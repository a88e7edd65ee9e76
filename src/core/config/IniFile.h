#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

// A settings (INI) file read and written the way the Windows profile functions treat one:
//   - section and key names compare case-insensitively (ASCII);
//   - names and values are trimmed of blanks (spaces and tabs), and one pair of matching double or
//     single quotes around a value is removed;
//   - the first section of a name and the first key of a name within it win;
//   - a value is read as UTF-8 (bytes that are not UTF-8 are taken as Windows-1252) and cut to
//     2047 characters (the profile reader's buffer);
//   - a key that exists is replaced in its line, a new key goes after the last key of its section,
//     a new section goes to the end of the file;
//   - comment lines (";" or "#"), blank lines and lines that are neither a section nor a key are
//     kept as they are.
// Lines may end in CR LF or LF; the file is always written with LF.
//
// The file is read once, when the object is made; changes are made in memory and reach the disk
// only through save(), which replaces the whole file atomically, so one save can carry any number
// of keys. Like the profile functions, make one object per access: read, change, save, drop.
class TIniFile {
public:
    static constexpr size_t MaxValueLength = 2047;

    // Reads `path` (a regular file of at most kSettingsFileCap bytes); a missing file is an empty
    // one. Leftovers of interrupted saves are removed first.
    explicit TIniFile(std::string path);

    const std::string& path() const { return m_path; }
    // False when the file exists but could not be read. Such an object reads as empty and refuses
    // to save, so a file we could not read is never replaced by what little we know.
    bool readable() const { return m_readable; }

    bool valueExists(std::string_view section, std::string_view key) const;
    // The key's value (trimmed, unquoted, UTF-8, at most MaxValueLength characters), `defaultValue`
    // when the key is missing. A present key with an empty value reads as empty.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The value read as an integer with the profile rules (see ProfileStrToIntOpt); `defaultValue`
    // when the key is missing or its value is not wholly an integer.
    int32_t readInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

    // Changes in memory only. A value cannot span lines: it is cut at its first line break.
    void setString(std::string_view section, std::string_view key, std::string_view value);
    void setInteger(std::string_view section, std::string_view key, int32_t value);

    // The file as it would be written.
    std::string text() const;
    // Replaces the file with text() atomically. False, with the old file untouched, on failure.
    bool save() const;

private:
    enum class LineKind { Other, Section, Key };
    struct Line {
        std::string Raw;
        LineKind Kind = LineKind::Other;
        std::string Name;  // section or key name, trimmed
        std::string Value; // key value, trimmed and unquoted
    };
    struct Range {
        size_t Header = 0; // index of the section line
        size_t End = 0;    // one past the section's last line
    };

    void parse(std::string_view data);
    bool findSection(std::string_view section, Range& range) const;
    // Index of the key line, or npos.
    size_t findKey(const Range& range, std::string_view key) const;

    std::string m_path;
    bool m_readable = true;
    bool m_bom = false;
    std::vector<Line> m_lines;
};

} // namespace kestrivel
