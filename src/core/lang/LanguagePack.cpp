#include "lang/LanguagePack.h"

#include "common/BinaryStream.h"
#include "common/BoundedRead.h"
#include "common/TextCodec.h"

#include <exception>

namespace kestrivel {

namespace {

// Reads one length-prefixed string; a count of 0 or less is the empty string with no bytes after
// it, and a count beyond the bytes left fails without allocating.
bool ReadLangString(BinaryReader& reader, std::string& value, bool toUtf8) {
    if (!reader.readString(value)) {
        return false;
    }
    if (toUtf8) {
        value = BytesToUtf8(value);
    }
    return true;
}

// Steps shared by Load and ReadHeader: the optional header with its version, then the language
// name and the header value. Leaves the reader just after the header value. A name longer than a
// text may be is damage, so the head ReadHeader reads always holds a name that Load accepts.
bool ReadLeadingItems(const TLangPack& pack, BinaryReader& reader, bool toUtf8, bool& hasHeader,
                      std::string& languageName, uint16_t& headerValue) {
    // The signature is compared as read: converting it first could make other bytes look like it.
    std::string name;
    if (!reader.readFileHead(pack.Header, pack.MinVersion, pack.Version, hasHeader) ||
        !reader.readString(name) || name.size() > TLangPack::MaxTextLength || !reader.readU16(headerValue)) {
        return false;
    }
    languageName = toUtf8 ? BytesToUtf8(name) : std::move(name);
    return true;
}

// A text longer than MaxTextLength bytes is cut there, never inside a character.
void CapText(std::string& text) {
    if (text.size() <= TLangPack::MaxTextLength) {
        return;
    }
    size_t cut = TLangPack::MaxTextLength;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
}

} // namespace

bool TLangPack::Load(const std::string& path) {
    Clear();
    try {
        std::string data;
        return ReadFileBounded(path, kLanguageFileCap, data) == TReadResult::Ok && LoadFromBytes(data);
    } catch (const std::exception&) {
        return false;
    }
}

bool TLangPack::LoadFromBytes(std::string_view data, bool toUtf8) {
    Clear();
    BinaryReader reader(data);
    if (!ReadHeaderItems(reader, toUtf8) || !reader.readU16(SectionCount)) {
        return false;
    }
    for (uint16_t s = 0; s < SectionCount; ++s) {
        TLangSect sect;
        if (!ReadLangString(reader, sect.Name, toUtf8) || !reader.readU16(sect.Count)) {
            return false;
        }
        // Each pair needs at least its two 4-byte counts, so a stated count can never make us
        // reserve more than the rest of the file could hold.
        if (static_cast<size_t>(sect.Count) * 8 <= reader.remaining()) {
            sect.Texts.reserve(sect.Count);
        }
        for (uint16_t t = 0; t < sect.Count; ++t) {
            TLangText pair;
            if (!ReadLangString(reader, pair.Key, toUtf8) || !ReadLangString(reader, pair.Text, toUtf8)) {
                return false;
            }
            if (toUtf8) {
                CapText(pair.Text);
            }
            sect.Texts.push_back(std::move(pair));
        }
        Sections.push_back(std::move(sect));
    }
    return true;
}

bool TLangPack::ReadHeader(const std::string& path) {
    try {
        std::string head;
        return ReadFileHead(path, HeadLength, head) == TReadResult::Ok && ReadHeaderFromBytes(head);
    } catch (const std::exception&) {
        return false;
    }
}

bool TLangPack::ReadHeaderFromBytes(std::string_view data, bool toUtf8) {
    BinaryReader reader(data);
    return ReadHeaderItems(reader, toUtf8);
}

bool TLangPack::ReadHeaderItems(BinaryReader& reader, bool toUtf8) {
    std::string name;
    uint16_t value = 0;
    bool header = false;
    if (!ReadLeadingItems(*this, reader, toUtf8, header, name, value)) {
        return false;
    }
    HasHeader = header;
    LanguageName = std::move(name);
    HeaderValue = value;
    return true;
}

void TLangPack::Clear() {
    LanguageName.clear();
    HeaderValue = 0;
    Sections.clear();
    SectionCount = 0;
    HasHeader = false;
}

const TLangSect* TLangPack::FindSection(std::string_view name) const {
    if (name.empty()) {
        return nullptr;
    }
    for (const auto& sect : Sections) {
        if (sect.Name == name) {
            return &sect;
        }
    }
    return nullptr;
}

const TLangText* TLangPack::FindText(std::string_view section, std::string_view key) const {
    const TLangSect* sect = FindSection(section);
    if (sect == nullptr || key.empty()) {
        return nullptr;
    }
    for (const auto& pair : sect->Texts) {
        if (pair.Key == key) {
            return &pair;
        }
    }
    return nullptr;
}

} // namespace kestrivel
