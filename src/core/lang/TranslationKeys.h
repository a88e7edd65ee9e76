#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

// Every (section, key) a language file can translate: the components of the three windows, keyed
// by component name in the section named after their window, and the entries of the three
// translatable lists. The widget code checks its translatable components against this table, and
// the language files we ship are checked to hold exactly these keys.

enum class TKeyKind {
    FormCaption, // the window's own caption; an empty text empties it
    Caption,     // label, button, check box, tab sheet, menu item
    Items,       // drop-down list: ";" separates the items
    GridHeader,  // grid: ";" separates the header cells
    ListEntry,   // an entry of the message table, the week-day list or the value names
};

struct TTranslationKey {
    std::string Section;
    std::string Key;
    TKeyKind Kind = TKeyKind::Caption;
    // The English text the program shows without a language file (for lists, ";" between items).
    // cmbMonth is the exception the program keeps: its built-in names are French.
    std::string BuiltIn;
    // For Items and GridHeader: the number of items a translation must give; 0 when the items are
    // filled by the program (languages, schemes) and a translation has nothing to give.
    int ItemCount = 0;
    // False for keys whose text the program supplies itself (its name, version, web address,
    // copyright, the lists it refills): our language files give them an empty text, which leaves
    // the program's text in place.
    bool Translated = true;
};

// All keys, grouped by section ("frmMain", "frmConfig", "frmMemo", "messages"), each section in the
// order of its window's components followed by its list entries.
const std::vector<TTranslationKey>& TranslationKeys();
// The sections above, in that order.
const std::vector<std::string>& TranslationSections();
// nullptr when (section, key) is not a translatable key.
const TTranslationKey* FindTranslationKey(std::string_view section, std::string_view key);

} // namespace kestrivel
