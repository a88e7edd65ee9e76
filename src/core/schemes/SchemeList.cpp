#include "schemes/UnitSchemes.h"

#include "common/BinaryStream.h"
#include "schemes/SchemeFiles.h"
#include "common/BoundedRead.h"
#include "common/SafeFile.h"

#include <algorithm>
#include <exception>
#include <string>

namespace kestrivel {

namespace {

// Name of the active record while no named scheme is selected.
constexpr const char* kNoSelectionName = "-1";

// The smallest scheme record: an empty name and eight zone records with empty font names.
constexpr size_t kMinSchemeRecordSize = 4 + kZoneCount * 32;
// The head of Schemes.dat: the header string, the version and the count.
constexpr size_t kSchemeFileHeadSize = 4 + TSchemeList::Header.size() + 2 + 2;

} // namespace

size_t schemeRecordSize(const TScheme& scheme) {
    size_t size = kMinSchemeRecordSize + scheme.Name.size();
    for (const TSettings& settings : scheme.Settings) {
        size += settings.FontName.size();
    }
    return size;
}

size_t schemeListFileSize(const TSchemeList& list) {
    size_t size = kSchemeFileHeadSize;
    for (uint16_t i = 0; i < list.Count(); ++i) {
        size += schemeRecordSize(*list.Get(i));
    }
    return size;
}

bool saveSchemeList(const TSchemeList& list, const std::string& path, FileStamp& written) {
    try {
        const size_t size = schemeListFileSize(list);
        if (size > kDataFileCap) {
            return false;
        }
        BinaryWriter out;
        out.reserve(size);
        out.writeString(TSchemeList::Header);
        out.writeU16(TSchemeList::Version);
        out.writeU16(list.Count());
        for (uint16_t i = 0; i < list.Count(); ++i) {
            list.Get(i)->WriteToFile(out);
        }
        return WriteFileAtomic(path, out.data(), written);
    } catch (const std::exception&) {
        return false;
    }
}

bool SchemeNameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

TSchemeList::~TSchemeList() {
    Clear();
}

void TSchemeList::Clear() {
    m_items.clear();
}

TScheme* TSchemeList::Find(const std::string& name) const {
    if (name.empty()) {
        return nullptr;
    }
    for (const auto& item : m_items) {
        if (item->Name == name) {
            return item.get();
        }
    }
    return nullptr;
}

TScheme* TSchemeList::Get(uint16_t position) const {
    return position < m_items.size() ? m_items[position].get() : nullptr;
}

bool TSchemeList::Add(const TScheme* scheme) {
    if (!scheme || scheme->Name.empty() || m_items.size() >= kMaxCount) {
        return false;
    }
    auto copy = std::make_unique<TScheme>();
    copy->Assign(*scheme);
    if (m_items.empty()) {
        m_items.push_back(std::move(copy));
        return true;
    }
    // Position 0 is the active record and never takes part in the ordering.
    auto at = std::find_if(m_items.begin() + 1, m_items.end(),
                           [&](const auto& item) { return !SchemeNameLess(item->Name, copy->Name); });
    m_items.insert(at, std::move(copy));
    return true;
}

bool TSchemeList::Append(const TScheme& scheme) {
    if (m_items.size() >= kMaxCount) {
        return false;
    }
    try {
        auto copy = std::make_unique<TScheme>();
        copy->Assign(scheme);
        m_items.push_back(std::move(copy));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TSchemeList::Replace(const TScheme& scheme) {
    if (TScheme* found = Find(scheme.Name)) {
        found->Assign(scheme);
    }
}

void TSchemeList::Rename(uint16_t position, const std::string& name) {
    if (TScheme* scheme = Get(position)) {
        scheme->Name = name;
    }
}

void TSchemeList::Delete(uint16_t position) {
    if (position < m_items.size()) {
        m_items.erase(m_items.begin() + position);
    }
}

bool TSchemeList::SaveToFile(const std::string& fileName) const {
    FileStamp written;
    return saveSchemeList(*this, fileName, written);
}

bool TSchemeList::LoadFromFile(const std::string& fileName) {
    RemoveLeftoverTemporaries(fileName);
    try {
        std::string data;
        if (ReadFileBounded(fileName, kDataFileCap, data) != TReadResult::Ok) {
            return false;
        }
        BinaryReader in(data);
        bool hasHeader = false;
        // Older files have no head and start directly with the count.
        if (!in.readFileHead(Header, MinVersion, Version, hasHeader)) {
            return false;
        }
        Clear();
        uint16_t count = 0;
        if (!in.readU16(count)) {
            return false;
        }
        // Never reserve more than the bytes left could hold.
        m_items.reserve(std::min<size_t>(count, in.remaining() / kMinSchemeRecordSize));
        for (uint16_t i = 0; i < count; ++i) {
            auto scheme = std::make_unique<TScheme>();
            if (!scheme->ReadFromFile(in)) {
                return false;
            }
            m_items.push_back(std::move(scheme));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TSchemeList::ExportToFile(uint16_t position, const std::string& fileName) const {
    const TScheme* scheme = Get(position);
    // Another user's link in a shared folder would have us replace a file of their choosing.
    if (!scheme || schemeRecordSize(*scheme) > kDataFileCap || IsForeignLinkInSharedFolder(fileName)) {
        return false;
    }
    try {
        BinaryWriter out;
        scheme->WriteToFile(out);
        return WriteFileAtomic(fileName, out.data(), TNewFileAccess::UserDefault);
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadSchemeFile(const std::string& fileName, TScheme& scheme) {
    try {
        std::string data;
        if (ReadFileBounded(fileName, kDataFileCap, data) != TReadResult::Ok) {
            return false;
        }
        BinaryReader in(data);
        return scheme.ReadFromFile(in);
    } catch (const std::exception&) {
        return false;
    }
}

bool TSchemeList::ImportFromFile(const std::string& fileName) {
    if (m_items.size() >= kMaxCount) {
        return false;
    }
    TScheme scheme;
    if (!ReadSchemeFile(fileName, scheme)) {
        return false;
    }
    return Append(scheme);
}

bool LoadSchemesAtStartup(const std::string& path, TSchemeList& list, TScheme& working) {
    working.Assign(DefaultScheme());
    list.Clear();
    const bool complete = list.LoadFromFile(path);
    if (list.Count() > 0) {
        working.Assign(*list.Get(0));
    }
    return complete;
}

void applySchemeToList(int selectedIndex, TScheme& working, TSchemeList& list) {
    working.Name = std::to_string(selectedIndex);
    if (list.Count() == 0) {
        list.Add(working);
    } else {
        // Find starts at position 0, so once renamed the active record is the one replaced.
        list.Rename(0, working.Name);
        list.Replace(working);
    }
}

bool ApplyScheme(int selectedIndex, TScheme& working, TSchemeList& list, const std::string& path) {
    applySchemeToList(selectedIndex, working, list);
    return list.SaveToFile(path);
}

void EnsureActiveRecord(TSchemeList& list, const TScheme& working) {
    if (list.Count() > 0) {
        return;
    }
    TScheme active;
    active.Assign(working);
    active.Name = kNoSelectionName;
    list.Add(active);
}

bool AddNamedScheme(TSchemeList& list, const TScheme& working, const TScheme& named) {
    // A full list is never empty, so the active record is only made when the add succeeds.
    if (named.Name.empty() || list.Count() >= TSchemeList::kMaxCount) {
        return false;
    }
    EnsureActiveRecord(list, working);
    return list.Add(named);
}

bool ImportNamedScheme(TSchemeList& list, const TScheme& working, const std::string& fileName) {
    TScheme scheme;
    if (list.Count() >= TSchemeList::kMaxCount || !ReadSchemeFile(fileName, scheme)) {
        return false;
    }
    EnsureActiveRecord(list, working);
    return list.Append(scheme);
}

} // namespace kestrivel
