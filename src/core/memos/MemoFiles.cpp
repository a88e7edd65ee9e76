// Memos.dat and the memo exchange file. Layouts and choices: docs/memo-files.md.
#include "memos/UnitMemo.h"

#include <algorithm>
#include <exception>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/BinaryStream.h"
#include "common/BoundedRead.h"
#include "common/DateFormat.h"
#include "common/SafeFile.h"
#include "common/TextCodec.h"
#include "memos/MemoEditorRules.h"

namespace kestrivel {

namespace {

// Date, type and the length of an empty text: the smallest record.
constexpr size_t kMinRecordSize = 8 + 1 + 4;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool readRecord(BinaryReader& reader, TMemo& memo) {
    std::string text;
    if (!reader.readDouble(memo.Date) || !reader.readU8(memo.MemoType) || !reader.readString(text)) {
        return false;
    }
    memo.Text = BytesToUtf8(text);
    return true;
}

// The type column: decimal digits only, and a value that fits the 8-bit code. A sign, blanks or
// a hexadecimal form never came out of an export, so they do not read.
bool parseTypeCode(std::string_view text, uint8_t& out) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value > 255) {
        return false;
    }
    out = static_cast<uint8_t>(value);
    return true;
}

// One line of an exchange file, cut at its first two "|": the date text, the type code, then the
// text, which may hold "|" itself. Lines with a ten-character date read as they always did; lines
// exported with shorter or longer date texts read back as well.
struct ExchangeLine {
    std::string Date;
    TMemo Memo;
};

enum class LineRead { Ok, NotAMemo, UnknownType };

LineRead splitExchangeLine(std::string_view line, ExchangeLine& out) {
    const size_t first = line.find('|');
    if (first == std::string_view::npos) {
        return LineRead::NotAMemo;
    }
    const size_t second = line.find('|', first + 1);
    const std::string_view type = line.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    if (!parseTypeCode(type, out.Memo.MemoType)) {
        return LineRead::NotAMemo;
    }
    out.Date = std::string(line.substr(0, first));
    out.Memo.Text = second == std::string_view::npos ? std::string() : std::string(line.substr(second + 1));
    // A memo of another type falls on no day: the calendar would never show it.
    return out.Memo.MemoType > mtYearly ? LineRead::UnknownType : LineRead::Ok;
}

// The lines of an exchange file's content. Lines end with LF or CR LF; the end of the last line
// needs no line end. A line end at the very end of the file is not followed by an empty line; only
// a line that is really empty is.
std::vector<std::string_view> exchangeLines(std::string_view rest) {
    std::vector<std::string_view> lines;
    if (rest.starts_with(kUtf8Bom)) {
        rest.remove_prefix(kUtf8Bom.size());
    }
    while (!rest.empty()) {
        const size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

// The first line (from 0) whose date `formats` does not read; lines.size() when every one reads.
size_t firstUnreadDate(std::vector<ExchangeLine>& lines, const TLocaleFormats& formats) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!ParseShortDate(lines[i].Date, formats, lines[i].Memo.Date)) {
            return i;
        }
    }
    return lines.size();
}

std::string memoKey(const TMemo& memo) {
    std::string key(reinterpret_cast<const char*>(&memo.Date), sizeof memo.Date);
    key += static_cast<char>(memo.MemoType);
    key += memo.Text;
    return key;
}

// The one-line form has ";" for a line break; a text that still holds a real one would split its
// exchange line in two, so it is written in the one-line form.
std::string oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back(';');
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (text[i] == '\n') {
            out.push_back(';');
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

} // namespace

bool TMemoList::SaveToFile(const std::string& fileName) const {
    FileStamp written;
    return SaveToFile(fileName, written);
}

bool TMemoList::SaveToFile(const std::string& fileName, FileStamp& written) const {
    std::string bytes;
    return SaveToFile(fileName, written, bytes);
}

bool TMemoList::SaveToFile(const std::string& fileName, FileStamp& written, std::string& bytes) const {
    try {
        size_t size = 4 + Header.size() + 2 + 2;
        for (const TMemo& memo : m_items) {
            size += kMinRecordSize + memo.Text.size();
        }
        // What we write must load again at the next start.
        if (size > kDataFileCap) {
            return false;
        }
        BinaryWriter writer(std::move(bytes));
        writer.reserve(size);
        writer.writeString(Header);
        writer.writeU16(Version);
        writer.writeU16(Count());
        for (const TMemo& memo : m_items) {
            writer.writeDouble(memo.Date);
            writer.writeU8(memo.MemoType);
            writer.writeString(memo.Text);
        }
        if (!WriteFileAtomic(fileName, writer.data(), written)) {
            return false;
        }
        bytes = writer.takeData();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TMemoList::ReadResult TMemoList::readFileBytes(std::string_view data, std::vector<TMemo>& items) {
    BinaryReader reader(data);
    bool hasHeader = false;
    uint16_t count = 0;
    // Without the head, the file is the headerless layout: the count at offset 0, then the records.
    if (!reader.readFileHead(Header, MinVersion, Version, hasHeader) || !reader.readU16(count)) {
        return ReadResult::NoHead;
    }
    // A damaged file keeps the memos read completely before the damage: they are what the user
    // had, and the next save would otherwise write an empty list over the whole file. No memo that
    // was read only in part enters the list.
    items.clear();
    items.reserve(std::min<size_t>(count, reader.remaining() / kMinRecordSize));
    for (uint16_t i = 0; i < count; ++i) {
        TMemo memo;
        if (!readRecord(reader, memo)) {
            return ReadResult::Damaged;
        }
        items.push_back(std::move(memo));
    }
    // Bytes behind the last record: a count lowered below the records, or a file filled with zeros
    // (which reads as the headerless layout with no memo). Either would look like memos removed, so
    // the file counts as damaged even though every counted record read.
    return reader.remaining() == 0 ? ReadResult::Complete : ReadResult::Damaged;
}

bool ReadMemoFileBytes(std::string_view data, std::vector<TMemo>& memos) {
    try {
        return TMemoList::readFileBytes(data, memos) == TMemoList::ReadResult::Complete;
    } catch (const std::exception&) {
        return false;
    }
}

bool TMemoList::LoadFromFile(const std::string& fileName) {
    RemoveLeftoverTemporaries(fileName);
    try {
        std::string data;
        if (ReadFileBounded(fileName, kDataFileCap, data) != TReadResult::Ok) {
            return false;
        }
        std::vector<TMemo> items;
        const ReadResult read = readFileBytes(data, items);
        if (read == ReadResult::NoHead) {
            return false;
        }
        m_items = std::move(items);
        m_index.MarkDirty();
        return read == ReadResult::Complete;
    } catch (const std::exception&) {
        return false;
    }
}

bool TMemoList::ExchangeText(int first, int last, const TLocaleFormats& formats, std::string& out,
                             int& leftOut) const {
    out.clear();
    leftOut = 0;
    const int count = static_cast<int>(m_items.size());
    if (last >= first && (first < 0 || last >= count)) {
        return false;
    }
    for (int i = first; i <= last; ++i) {
        const TMemo& memo = m_items[static_cast<size_t>(i)];
        TDayKey day;
        if (!DayKeyOf(memo.Date, day)) {
            ++leftOut; // a date no pattern can show; only a damaged Memos.dat holds one
            continue;
        }
        out += FormatDate("ddddd", memo.Date, formats);
        out += '|';
        out += std::to_string(memo.MemoType);
        out += '|';
        out += oneLine(memo.Text);
        out += kLineEnd;
        if (out.size() > kDataFileCap) {
            return false; // an import could not read it back
        }
    }
    return true;
}

bool TMemoList::ExportToFile(int first, int last, const std::string& fileName,
                             const TLocaleFormats& formats) const {
    try {
        // Another user's link in a shared folder would have us replace a file of theirs choosing.
        if (IsForeignLinkInSharedFolder(fileName)) {
            return false;
        }
        std::string out;
        int leftOut = 0;
        if (!ExchangeText(first, last, formats, out, leftOut)) {
            return false;
        }
        return WriteFileAtomic(fileName, out, TNewFileAccess::UserDefault) && leftOut == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool TMemoList::ImportFromFile(const std::string& fileName, const TLocaleFormats& formats) {
    return ImportExchangeFile(fileName, formats).ok();
}

TExchangeImport TMemoList::ImportExchangeFile(const std::string& fileName, const TLocaleFormats& formats) {
    TExchangeImport report;
    try {
        std::string data;
        switch (ReadFileBounded(fileName, kDataFileCap, data)) {
        case TReadResult::Ok:
            return ImportExchange(data, formats);
        case TReadResult::TooLarge:
            report.Stop = TExchangeStop::TooLarge;
            return report;
        default:
            report.Stop = TExchangeStop::Unreadable;
            return report;
        }
    } catch (const std::exception&) {
        report.Stop = TExchangeStop::Unreadable;
        return report;
    }
}

TExchangeImport TMemoList::ImportExchange(std::string_view data, const TLocaleFormats& formats) {
    TExchangeImport report;
    report.DateOrder = formats.ShortDateFormat;
    try {
        if (data.size() > kDataFileCap) {
            report.Stop = TExchangeStop::TooLarge;
            return report;
        }
        const std::vector<std::string_view> raw = exchangeLines(data);
        std::vector<ExchangeLine> lines(raw.size());
        // The first line that reads in no order at all: its type or its columns are wrong.
        size_t broken = raw.size();
        for (size_t i = 0; i < raw.size() && broken == raw.size(); ++i) {
            const LineRead read = splitExchangeLine(BytesToUtf8(raw[i]), lines[i]);
            if (read != LineRead::Ok) {
                broken = i;
                report.Stop =
                    read == LineRead::UnknownType ? TExchangeStop::UnknownType : TExchangeStop::NotAMemo;
                if (read == LineRead::UnknownType) {
                    report.Detail = std::to_string(lines[i].Memo.MemoType);
                }
            }
        }
        // One order for the whole file: a file read line by line in whichever order fits each line
        // would put some of its memos on the wrong days.
        const size_t localeFails = firstUnreadDate(lines, formats);
        if (broken < raw.size() || localeFails < lines.size()) {
            if (localeFails < broken) {
                report.Stop = TExchangeStop::NotAMemo;
                report.Detail.clear();
            }
            bool read = false;
            if (broken == raw.size()) {
                for (const char* order : kExchangeDateOrders) {
                    TLocaleFormats other = formats;
                    other.ShortDateFormat = order;
                    if (firstUnreadDate(lines, other) == lines.size()) {
                        report.DateOrder = order;
                        report.LocaleOrder = false;
                        read = true;
                        break;
                    }
                }
            }
            if (!read) {
                report.Line = static_cast<int>(std::min(broken, localeFails)) + 1;
                return report;
            }
            report.Stop = TExchangeStop::None;
        }

        std::unordered_set<std::string> held;
        held.reserve(m_items.size() + lines.size());
        for (const TMemo& memo : m_items) {
            held.insert(memoKey(memo));
        }
        std::vector<TMemo> added;
        for (size_t i = 0; i < lines.size(); ++i) {
            TMemo& memo = lines[i].Memo;
            if (cutMemoText(memo.Text)) {
                report.CutLines.push_back(static_cast<int>(i) + 1);
            }
            if (!held.insert(memoKey(memo)).second) {
                ++report.Skipped;
                continue;
            }
            if (m_items.size() + added.size() >= kMaxCount) {
                report = TExchangeImport{};
                report.Stop = TExchangeStop::ListFull;
                report.Line = static_cast<int>(i) + 1;
                return report;
            }
            added.push_back(std::move(memo));
        }
        m_items.reserve(m_items.size() + added.size());
        for (TMemo& memo : added) {
            appendMemo(std::move(memo));
        }
        report.Added = static_cast<int>(added.size());
        return report;
    } catch (const std::exception&) {
        report = TExchangeImport{};
        report.Stop = TExchangeStop::Unreadable;
        return report;
    }
}

} // namespace kestrivel
