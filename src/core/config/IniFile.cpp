#include "config/IniFile.h"

#include "common/BoundedRead.h"
#include "common/IntConv.h"
#include "common/SafeFile.h"
#include "common/TextCodec.h"
#include "common/TextTrim.h"

#include <exception>
#include <string>
#include <utility>

namespace kestrivel {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string_view firstLine(std::string_view value) {
    const size_t br = value.find_first_of("\r\n");
    return br == std::string_view::npos ? value : value.substr(0, br);
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

TIniFile::TIniFile(std::string path) : m_path(std::move(path)) {
    RemoveLeftoverTemporaries(m_path);
    try {
        std::string data;
        const TReadResult read = ReadFileBounded(m_path, kSettingsFileCap, data);
        if (read == TReadResult::Missing) {
            return;
        }
        if (read != TReadResult::Ok) {
            m_readable = false;
            return;
        }
        parse(data);
    } catch (const std::exception&) {
        m_lines.clear();
        m_readable = false;
    }
}

void TIniFile::parse(std::string_view data) {
    if (data.starts_with(Utf8Bom)) {
        m_bom = true;
        data.remove_prefix(Utf8Bom.size());
    }
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        const size_t next = end == std::string_view::npos ? data.size() : end + 1;
        if (end == std::string_view::npos) {
            end = data.size();
        }
        std::string_view raw = data.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        start = next;

        Line line;
        line.Raw = std::string(raw);
        const std::string_view body = TrimBlanks(raw);
        if (body.starts_with('[')) {
            const size_t close = body.find(']');
            const std::string_view name =
                close == std::string_view::npos ? body.substr(1) : body.substr(1, close - 1);
            line.Kind = LineKind::Section;
            line.Name = std::string(TrimBlanks(name));
        } else if (!body.empty() && body.front() != ';' && body.front() != '#') {
            const size_t eq = body.find('=');
            if (eq != std::string_view::npos) {
                line.Kind = LineKind::Key;
                line.Name = std::string(TrimBlanks(body.substr(0, eq)));
                line.Value = std::string(unquote(TrimBlanks(body.substr(eq + 1))));
            }
        }
        m_lines.push_back(std::move(line));
    }
}

bool TIniFile::findSection(std::string_view section, Range& range) const {
    const std::string_view wanted = TrimBlanks(section);
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].Kind == LineKind::Section && sameName(m_lines[i].Name, wanted)) {
            range.Header = i;
            range.End = i + 1;
            while (range.End < m_lines.size() && m_lines[range.End].Kind != LineKind::Section) {
                ++range.End;
            }
            return true;
        }
    }
    return false;
}

size_t TIniFile::findKey(const Range& range, std::string_view key) const {
    const std::string_view wanted = TrimBlanks(key);
    for (size_t i = range.Header + 1; i < range.End; ++i) {
        if (m_lines[i].Kind == LineKind::Key && sameName(m_lines[i].Name, wanted)) {
            return i;
        }
    }
    return std::string::npos;
}

bool TIniFile::valueExists(std::string_view section, std::string_view key) const {
    Range range;
    return findSection(section, range) && findKey(range, key) != std::string::npos;
}

std::string TIniFile::readString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    Range range;
    size_t index = std::string::npos;
    if (findSection(section, range)) {
        index = findKey(range, key);
    }
    if (index == std::string::npos) {
        return std::string(defaultValue);
    }
    // The limit counts characters of the decoded text: a value in the legacy code page may take up
    // to three bytes per character once it is UTF-8.
    std::string value = BytesToUtf8(m_lines[index].Value);
    size_t characters = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        if (!isContinuationByte(value[i]) && characters++ == MaxValueLength) {
            value.resize(i);
            break;
        }
    }
    return value;
}

int32_t TIniFile::readInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    const std::string text = readString(section, key, "");
    return ProfileStrToIntOpt(text).value_or(defaultValue);
}

void TIniFile::setString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view sectionName = TrimBlanks(section);
    const std::string_view keyName = TrimBlanks(key);
    const std::string_view oneLine = firstLine(value);

    Line keyLine;
    keyLine.Kind = LineKind::Key;
    keyLine.Name = std::string(keyName);
    keyLine.Value = std::string(unquote(TrimBlanks(oneLine)));
    keyLine.Raw = std::string(keyName) + "=" + std::string(oneLine);

    Range range;
    if (findSection(sectionName, range)) {
        const size_t index = findKey(range, keyName);
        if (index != std::string::npos) {
            // The key keeps the spelling the file gave it.
            keyLine.Name = m_lines[index].Name;
            keyLine.Raw = keyLine.Name + "=" + std::string(oneLine);
            m_lines[index] = std::move(keyLine);
            return;
        }
        size_t after = range.Header;
        for (size_t i = range.Header + 1; i < range.End; ++i) {
            if (m_lines[i].Kind == LineKind::Key) {
                after = i;
            }
        }
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(after + 1), std::move(keyLine));
        return;
    }

    if (!m_lines.empty() && !TrimBlanks(m_lines.back().Raw).empty()) {
        m_lines.push_back(Line{});
    }
    Line header;
    header.Kind = LineKind::Section;
    header.Name = std::string(sectionName);
    header.Raw = "[" + header.Name + "]";
    m_lines.push_back(std::move(header));
    m_lines.push_back(std::move(keyLine));
}

void TIniFile::setInteger(std::string_view section, std::string_view key, int32_t value) {
    setString(section, key, std::to_string(value));
}

std::string TIniFile::text() const {
    std::string out;
    if (m_bom) {
        out.append(Utf8Bom);
    }
    for (const Line& line : m_lines) {
        out += line.Raw;
        out += '\n';
    }
    return out;
}

bool TIniFile::save() const {
    if (!m_readable) {
        return false;
    }
    return WriteFileAtomic(m_path, text());
}

} // namespace kestrivel
