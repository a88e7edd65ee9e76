// Memos.dat and the memo exchange file. Layouts and choices: docs/memo-files.md.
#include "memos/UnitMemo.h"

#include <algorithm>
#include <exception>
#include <string_view>

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

// A line is cut at its first two "|": the date in the short date pattern, the type code, then the
// text, which may hold "|" itself. Lines with a ten-character date read as they always did; lines
// exported with shorter or longer date texts read back as well.
bool parseExchangeLine(std::string_view line, const TLocaleFormats& formats, TMemo& memo) {
    const size_t first = line.find('|');
    if (first == std::string_view::npos) {
        return false;
    }
    const size_t second = line.find('|', first + 1);
    const std::string_view type = line.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    if (!ParseShortDate(std::string(line.substr(0, first)), formats, memo.Date) ||
        !parseTypeCode(type, memo.MemoType)) {
        return false;
    }
    memo.Text = second == std::string_view::npos ? std::string() : std::string(line.substr(second + 1));
    return true;
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

bool TMemoList::ExportToFile(int first, int last, const std::string& fileName,
                             const TLocaleFormats& formats) const {
    const int count = static_cast<int>(m_items.size());
    if (last >= first && (first < 0 || last >= count)) {
        return false;
    }
    try {
        std::string out;
        bool all = true;
        for (int i = first; i <= last; ++i) {
            const TMemo& memo = m_items[static_cast<size_t>(i)];
            TDayKey day;
            if (!DayKeyOf(memo.Date, day)) {
                all = false; // a date no pattern can show; only a damaged Memos.dat holds one
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
        return WriteFileAtomic(fileName, out, TNewFileAccess::UserDefault) && all;
    } catch (const std::exception&) {
        return false;
    }
}

bool TMemoList::ImportFromFile(const std::string& fileName, const TLocaleFormats& formats) {
    try {
        std::string data;
        if (ReadFileBounded(fileName, kDataFileCap, data) != TReadResult::Ok) {
            return false;
        }
        std::string_view rest(data);
        if (rest.starts_with(kUtf8Bom)) {
            rest.remove_prefix(kUtf8Bom.size());
        }
        // Lines end with LF or CR LF; the end of the last line needs no line end. A line end at the
        // very end of the file is not followed by an empty line; only a line that is really empty
        // is.
        while (!rest.empty()) {
            const size_t lf = rest.find('\n');
            std::string_view line = rest.substr(0, lf);
            rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
            if (line.ends_with('\r')) {
                line.remove_suffix(1);
            }
            if (m_items.size() >= kMaxCount) {
                return false;
            }
            TMemo memo;
            if (!parseExchangeLine(BytesToUtf8(line), formats, memo)) {
                return false;
            }
            cutMemoText(memo.Text);
            appendMemo(std::move(memo));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace kestrivel
