#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

// An ordered list of "name=value" entries, as the message table, the week-day list and the value
// names keep them. The name is the part before the first "="; an entry without "=" has no name.
class TNameValueList {
public:
    TNameValueList() = default;
    TNameValueList(std::initializer_list<std::string> entries) : m_entries(entries) {}

    void add(std::string entry) { m_entries.push_back(std::move(entry)); }
    size_t count() const { return m_entries.size(); }
    const std::string& entry(size_t index) const { return m_entries[index]; }

    // False for an entry without "=".
    static bool splitEntry(std::string_view entry, std::string_view& name, std::string_view& value);
    // Name of entry `index`; empty when it has no "=".
    std::string name(size_t index) const;
    // Value of the first entry with that name (exact, case-sensitive); empty when there is none.
    std::string value(std::string_view name) const;
    // Sets the value of the first entry with that name; false (and nothing added) when none has it.
    bool setValue(std::string_view name, std::string_view value);
    // Sets the value of entry `index`, keeping its name.
    void setValueAt(size_t index, std::string_view value);

private:
    std::vector<std::string> m_entries;
};

} // namespace kestrivel
