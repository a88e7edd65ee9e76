#include "common/NameValueList.h"

namespace kestrivel {

bool TNameValueList::splitEntry(std::string_view entry, std::string_view& name, std::string_view& value) {
    const size_t eq = entry.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    name = entry.substr(0, eq);
    value = entry.substr(eq + 1);
    return true;
}

std::string TNameValueList::name(size_t index) const {
    std::string_view n, v;
    return splitEntry(m_entries[index], n, v) ? std::string(n) : std::string();
}

std::string TNameValueList::value(std::string_view name) const {
    for (const auto& e : m_entries) {
        std::string_view n, v;
        if (splitEntry(e, n, v) && n == name) {
            return std::string(v);
        }
    }
    return {};
}

bool TNameValueList::setValue(std::string_view name, std::string_view value) {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        std::string_view n, v;
        if (splitEntry(m_entries[i], n, v) && n == name) {
            setValueAt(i, value);
            return true;
        }
    }
    return false;
}

void TNameValueList::setValueAt(size_t index, std::string_view value) {
    std::string_view n, v;
    if (!splitEntry(m_entries[index], n, v)) {
        return;
    }
    m_entries[index] = std::string(n) + "=" + std::string(value);
}

} // namespace kestrivel
