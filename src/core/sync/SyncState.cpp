#include "sync/SyncState.h"

#include "common/BoundedRead.h"
#include "common/SafeFile.h"
#include "common/TextCodec.h"
#include "sync/DavUrl.h"
#include "sync/SyncEngine.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <utility>

#include <unistd.h>

namespace kestrivel {

namespace {

// A reader meets a newer layout as a damaged file and starts over, which loses nothing.
constexpr std::string_view kHeader = "KestrivelSync";
constexpr int kVersion = 1;
constexpr size_t kEventFields = 9;
constexpr const char* kPreviousSuffix = ".previous";
constexpr const char* kFreshSuffix = ".new";

bool unescape(std::string_view field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) {
            return false;
        }
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t pos = 0;;) {
        const size_t tab = line.find('\t', pos);
        fields.push_back(
            line.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
        if (tab == std::string_view::npos) {
            return fields;
        }
        pos = tab + 1;
    }
}

// Exactly the digits of a number in `base`, nothing before or after.
template <typename T> bool readNumber(std::string_view text, T& value, int base) {
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

void appendLine(std::string& out, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!std::exchange(first, false)) {
            out += '\t';
        }
        AppendBackslashEscaped(out, field);
    }
    out += '\n';
}

std::string dateKeyText(TDateValue date) {
    char text[17];
    const auto bits = std::bit_cast<uint64_t>(date);
    for (int i = 15; i >= 0; --i) {
        text[15 - i] = "0123456789abcdef"[(bits >> (4 * i)) & 0xf];
    }
    text[16] = '\0';
    return text;
}

// A line with `name` and `count` fields after it, unescaped.
bool readRecord(std::string_view line, std::string_view name, size_t count, std::vector<std::string>& out) {
    const std::vector<std::string_view> fields = splitTabs(line);
    if (fields.size() != count + 1 || fields[0] != name) {
        return false;
    }
    out.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (!unescape(fields[i + 1], out[i])) {
            return false;
        }
    }
    return true;
}

bool readEntry(const std::vector<std::string>& f, TSyncEntry& entry) {
    const bool knownMode = f[0] == "S" || f[0] == "H" || f[0] == "D" || f[0] == "E" || f[0] == "U";
    uint64_t bits = 0;
    unsigned type = 0;
    if (!knownMode || (f[1] != "0" && f[1] != "1") || f[2].size() != 16 || !readNumber(f[2], bits, 16) ||
        !readNumber(f[3], type, 10) || type > 255 || f[4].empty()) {
        return false;
    }
    entry.Mode = static_cast<TEntryMode>(f[0][0]);
    entry.Inexact = f[1] == "1";
    entry.Base.Date = std::bit_cast<TDateValue>(bits);
    entry.Base.MemoType = static_cast<uint8_t>(type);
    entry.Href = f[4];
    entry.Uid = f[5];
    entry.ETag = f[6];
    entry.Base.Text = f[7];
    return true;
}

bool parseLines(std::string_view text, TSyncState& out) {
    std::vector<std::string> fields;
    size_t pos = 0;
    // Every line ends in its line break: a file cut short is damaged, not shorter.
    auto nextLine = [&](std::string_view& line) {
        const size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            return false;
        }
        line = text.substr(pos, end - pos);
        pos = end + 1;
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || !readRecord(line, kHeader, 1, fields) || fields[0] != std::to_string(kVersion)) {
        return false;
    }
    std::string* heads[] = {&out.Server, &out.Collection, &out.Token};
    const std::string_view names[] = {"Server", "Collection", "Token"};
    for (size_t i = 0; i < 3; ++i) {
        if (!nextLine(line) || !readRecord(line, names[i], 1, fields)) {
            return false;
        }
        *heads[i] = fields[0];
    }
    while (pos < text.size()) {
        TSyncEntry entry;
        if (!nextLine(line) || !readRecord(line, "Event", kEventFields - 1, fields) ||
            !readEntry(fields, entry)) {
            return false;
        }
        out.Entries.push_back(std::move(entry));
    }
    return true;
}

} // namespace

TDateValue SyncNoDate() {
    return std::numeric_limits<TDateValue>::quiet_NaN();
}

std::string FormatSyncState(const TSyncState& state) {
    std::string out;
    appendLine(out, {kHeader, std::to_string(kVersion)});
    appendLine(out, {"Server", state.Server});
    appendLine(out, {"Collection", state.Collection});
    appendLine(out, {"Token", state.Token});
    for (const TSyncEntry& e : state.Entries) {
        const char mode[2] = {static_cast<char>(e.Mode), '\0'};
        appendLine(out, {"Event", mode, e.Inexact ? "1" : "0", dateKeyText(e.Base.Date),
                         std::to_string(e.Base.MemoType), e.Href, e.Uid, e.ETag, e.Base.Text});
    }
    return out;
}

bool ParseSyncState(std::string_view text, TSyncState& out) {
    out = {};
    try {
        if (parseLines(text, out)) {
            return true;
        }
    } catch (const std::exception&) {
    }
    out = {};
    return false;
}

std::string SyncStatePath(const std::string& folder) {
    return folder + "/" + kSyncStateFileName;
}

std::string PreviousSyncStatePath(const std::string& path) {
    return path + kPreviousSuffix;
}

bool LoadSyncState(const std::string& path, TSyncState& out) {
    for (const std::string& file : {path, PreviousSyncStatePath(path)}) {
        out = {};
        RemoveLeftoverTemporaries(file);
        std::string text;
        if (ReadFileBounded(file, kDataFileCap, text) == TReadResult::Ok && ParseSyncState(text, out)) {
            return true;
        }
    }
    out = {};
    return false;
}

bool SaveSyncState(const std::string& path, const TSyncState& state) {
    try {
        // The file being replaced stays as the previous copy: a second name for it, made under a
        // temporary name and renamed into place, so no step leaves neither copy.
        const std::string previous = PreviousSyncStatePath(path);
        const std::string fresh = previous + kFreshSuffix;
        ::unlink(fresh.c_str());
        if (::link(path.c_str(), fresh.c_str()) == 0 && std::rename(fresh.c_str(), previous.c_str()) != 0) {
            ::unlink(fresh.c_str());
        }
        return WriteFileAtomic(path, FormatSyncState(state));
    } catch (const std::exception&) {
        return false;
    }
}

bool AdoptCollection(TSyncState& state, const std::string& server, const std::string& collection) {
    if (!SameCollection(state.Collection, collection)) {
        state = {server, collection, {}, {}};
        return false;
    }
    const std::string before = state.Collection;
    for (TSyncEntry& entry : state.Entries) {
        if (before != collection && entry.Href.starts_with(before)) {
            entry.Href = collection + entry.Href.substr(before.size());
        }
    }
    state.Server = server;
    state.Collection = collection;
    return true;
}

} // namespace kestrivel
