#include "lang/LangSource.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "common/BinaryStream.h"
#include "common/TextCodec.h"
#include "common/TextTrim.h"

namespace kestrivel {

namespace {

constexpr size_t kMaxCount = std::numeric_limits<uint16_t>::max();

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads a quoted string starting at s[0] == '"'. On success `end` is the index just after the
// closing quote.
bool ParseQuoted(std::string_view s, std::string& out, size_t& end, std::string& err) {
    out.clear();
    size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            end = i + 1;
            return true;
        }
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= s.size()) {
            break;
        }
        const char e = s[i + 1];
        i += 2;
        switch (e) {
        case '\\':
            out.push_back('\\');
            break;
        case '"':
            out.push_back('"');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'x': {
            const int hi = i < s.size() ? HexDigit(s[i]) : -1;
            const int lo = i + 1 < s.size() ? HexDigit(s[i + 1]) : -1;
            if (hi < 0 || lo < 0) {
                err = "\\x needs two hexadecimal digits";
                return false;
            }
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        default:
            err = std::string("unknown escape \\") + e;
            return false;
        }
    }
    err = "missing closing quote";
    return false;
}

// A whole value: quoted (nothing but blanks may follow the closing quote) or bare (verbatim).
bool ParseValue(std::string_view s, std::string& out, std::string& err) {
    s = TrimBlanks(s);
    if (s.empty() || s.front() != '"') {
        out.assign(s);
        return true;
    }
    size_t end = 0;
    if (!ParseQuoted(s, out, end, err)) {
        return false;
    }
    if (!TrimBlanks(s.substr(end)).empty()) {
        err = "text after the closing quote";
        return false;
    }
    return true;
}

// Splits "key = value" where the key may be quoted (and then may hold "=").
bool SplitPair(std::string_view line, std::string& key, std::string_view& valuePart, std::string& err) {
    line = TrimBlanks(line);
    if (!line.empty() && line.front() == '"') {
        size_t end = 0;
        if (!ParseQuoted(line, key, end, err)) {
            return false;
        }
        const std::string_view rest = TrimBlanks(line.substr(end));
        if (rest.empty() || rest.front() != '=') {
            err = "expected \"=\" after the key";
            return false;
        }
        valuePart = rest.substr(1);
        return true;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        err = "expected \"key = text\", \"[section]\" or a comment";
        return false;
    }
    const std::string_view bare = TrimBlanks(line.substr(0, eq));
    if (bare.empty()) {
        err = "missing key before \"=\" (write \"\" for an empty key)";
        return false;
    }
    key.assign(bare);
    valuePart = line.substr(eq + 1);
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

struct TParser {
    TLangPack& pack;
    TLangSourceError& error;
    bool haveLanguage = false;
    bool haveHeaderValue = false;
    bool haveLayout = false;

    bool Fail(int line, std::string message) {
        error.Line = line;
        error.Message = std::move(message);
        return false;
    }

    bool Directive(int line, std::string_view name, std::string_view valuePart) {
        std::string value, err;
        if (!ParseValue(valuePart, value, err)) {
            return Fail(line, err);
        }
        if (!haveLanguage) {
            if (!EqualsNoCase(name, "language")) {
                return Fail(line, "the source must begin with \"language = NAME\"");
            }
            haveLanguage = true;
            pack.LanguageName = std::move(value);
            return true;
        }
        if (EqualsNoCase(name, "headervalue")) {
            if (haveHeaderValue) {
                return Fail(line, "headervalue given twice");
            }
            unsigned number = 0;
            const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
            if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() ||
                number > kMaxCount) {
                return Fail(line, "headervalue must be a whole number from 0 to 65535");
            }
            haveHeaderValue = true;
            pack.HeaderValue = static_cast<uint16_t>(number);
            return true;
        }
        if (EqualsNoCase(name, "layout")) {
            if (haveLayout) {
                return Fail(line, "layout given twice");
            }
            if (value == "header") {
                pack.HasHeader = true;
            } else if (value == "headerless") {
                pack.HasHeader = false;
            } else {
                return Fail(line, "layout must be \"header\" or \"headerless\"");
            }
            haveLayout = true;
            return true;
        }
        if (EqualsNoCase(name, "language")) {
            return Fail(line, "language given twice");
        }
        return Fail(line, "unknown setting \"" + std::string(name) +
                              "\" before the first section (language, headervalue, layout)");
    }

    bool Section(int line, std::string_view body) {
        std::string name, err;
        if (!ParseValue(body, name, err)) {
            return Fail(line, err);
        }
        if (TrimBlanks(body).empty()) {
            return Fail(line, "missing section name (write [\"\"] for an empty one)");
        }
        if (pack.Sections.size() >= kMaxCount) {
            return Fail(line, "more than 65535 sections");
        }
        TLangSect sect;
        sect.Name = std::move(name);
        pack.Sections.push_back(std::move(sect));
        return true;
    }

    bool Pair(int line, std::string_view text) {
        std::string key, err;
        std::string_view valuePart;
        if (!SplitPair(text, key, valuePart, err)) {
            return Fail(line, err);
        }
        if (pack.Sections.empty()) {
            return Directive(line, key, valuePart);
        }
        TLangText pair;
        pair.Key = std::move(key);
        if (!ParseValue(valuePart, pair.Text, err)) {
            return Fail(line, err);
        }
        TLangSect& sect = pack.Sections.back();
        if (sect.Texts.size() >= kMaxCount) {
            return Fail(line, "more than 65535 texts in section \"" + sect.Name + "\"");
        }
        sect.Texts.push_back(std::move(pair));
        return true;
    }

    bool Line(int line, std::string_view text) {
        if (!IsValidUtf8(text)) {
            return Fail(line, "not valid UTF-8 (write other bytes as \\xHH in a quoted text)");
        }
        const std::string_view t = TrimBlanks(text);
        if (t.empty() || t.front() == '#') {
            return true;
        }
        if (t.front() == '[') {
            if (t.back() != ']' || t.size() < 2) {
                return Fail(line, "section line must end with \"]\"");
            }
            if (!haveLanguage) {
                return Fail(line, "the source must begin with \"language = NAME\"");
            }
            return Section(line, t.substr(1, t.size() - 2));
        }
        return Pair(line, t);
    }
};

bool NeedsQuotes(std::string_view s, bool isKey) {
    if (s.empty() || IsBlank(s.front()) || IsBlank(s.back()) || s.front() == '"' || !IsValidUtf8(s)) {
        return true;
    }
    if (isKey && (s.front() == '[' || s.front() == '#' || s.find('=') != std::string_view::npos)) {
        return true;
    }
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            return true;
        }
    }
    return false;
}

std::string Quote(std::string_view s) {
    static const char* const kHex = "0123456789ABCDEF";
    const bool utf8 = IsValidUtf8(s);
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u == 0x7F || (u >= 0x80 && !utf8)) {
                out += "\\x";
                out.push_back(kHex[u >> 4]);
                out.push_back(kHex[u & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out += "\"";
    return out;
}

std::string Token(std::string_view s, bool isKey) {
    return NeedsQuotes(s, isKey) ? Quote(s) : std::string(s);
}

} // namespace

std::string TLangSourceError::ToString() const {
    return Line > 0 ? "line " + std::to_string(Line) + ": " + Message : Message;
}

bool ParseLangSource(std::string_view source, TLangPack& pack, TLangSourceError& error) {
    pack.Clear();
    pack.HasHeader = true;
    error = {};
    if (source.substr(0, 3) == "\xEF\xBB\xBF") {
        source.remove_prefix(3);
    }
    TParser parser{pack, error};
    int lineNo = 0;
    size_t start = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string_view::npos) {
            end = source.size();
        }
        std::string_view line = source.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ++lineNo;
        if (!parser.Line(lineNo, line)) {
            pack.Clear();
            return false;
        }
        start = end + 1;
    }
    if (!parser.haveLanguage) {
        pack.Clear();
        error.Line = lineNo > 0 ? lineNo : 1;
        error.Message = "no \"language = NAME\" line";
        return false;
    }
    if (!pack.HasHeader && pack.LanguageName == pack.Header) {
        pack.Clear();
        error.Line = 0;
        error.Message = "a file without header cannot be named \"LanguageFile\": it would read as a header";
        return false;
    }
    pack.SectionCount = static_cast<uint16_t>(pack.Sections.size());
    for (auto& sect : pack.Sections) {
        sect.Count = static_cast<uint16_t>(sect.Texts.size());
    }
    return true;
}

bool EncodeLangFile(const TLangPack& pack, std::string& bytes, std::string& error) {
    if (pack.Sections.size() > kMaxCount) {
        error = "more than 65535 sections";
        return false;
    }
    if (!pack.HasHeader && pack.LanguageName == pack.Header) {
        error = "a file without header cannot be named \"LanguageFile\": it would read as a header";
        return false;
    }
    BinaryWriter w;
    if (pack.HasHeader) {
        w.writeString(pack.Header);
        w.writeU16(pack.Version);
    }
    w.writeString(pack.LanguageName);
    w.writeU16(pack.HeaderValue);
    w.writeU16(static_cast<uint16_t>(pack.Sections.size()));
    for (const auto& sect : pack.Sections) {
        if (sect.Texts.size() > kMaxCount) {
            error = "more than 65535 texts in section \"" + sect.Name + "\"";
            return false;
        }
        w.writeString(sect.Name);
        w.writeU16(static_cast<uint16_t>(sect.Texts.size()));
        for (const auto& pair : sect.Texts) {
            w.writeString(pair.Key);
            w.writeString(pair.Text);
        }
    }
    bytes = w.data();
    return true;
}

std::string FormatLangSource(const TLangPack& pack) {
    std::string out = "language = " + Token(pack.LanguageName, false) + "\n";
    if (pack.HeaderValue != 0) {
        out += "headervalue = " + std::to_string(pack.HeaderValue) + "\n";
    }
    if (!pack.HasHeader) {
        out += "layout = headerless\n";
    }
    for (const auto& sect : pack.Sections) {
        out += "\n[" + Token(sect.Name, false) + "]\n";
        for (const auto& pair : sect.Texts) {
            out += Token(pair.Key, true) + " = " + Token(pair.Text, false) + "\n";
        }
    }
    return out;
}

bool CompileLangSource(std::string_view source, std::string& bytes, TLangSourceError& error) {
    TLangPack pack;
    if (!ParseLangSource(source, pack, error)) {
        return false;
    }
    std::string err;
    if (!EncodeLangFile(pack, bytes, err)) {
        error.Line = 0;
        error.Message = err;
        return false;
    }
    return true;
}

bool DecompileLangFile(std::string_view bytes, std::string& source, std::string& error,
                       std::string& warning) {
    warning.clear();
    TLangPack pack;
    if (!pack.ReadHeaderFromBytes(bytes, false)) {
        error = "not a language file: its header, version (must be 200) or language name cannot be read";
        return false;
    }
    if (!pack.LoadFromBytes(bytes, false)) {
        error = "damaged language file: it ends or breaks after " + std::to_string(pack.Sections.size()) +
                " complete section(s)";
        return false;
    }
    source = FormatLangSource(pack);
    std::string again, err;
    if (!EncodeLangFile(pack, again, err) || again != bytes) {
        warning = "compiling the source gives a different file (bytes after the last section or negative "
                  "string counts are not kept)";
    }
    return true;
}

} // namespace kestrivel
