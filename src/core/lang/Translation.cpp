#include "lang/Translation.h"

namespace kestrivel {

void TranslateStrings(const TLangPack& pack, std::string_view section, TNameValueList& list) {
    for (size_t i = 0; i < list.count(); ++i) {
        std::string_view name, value;
        if (!TNameValueList::splitEntry(list.entry(i), name, value)) {
            continue;
        }
        const TLangText* pair = pack.FindText(section, name);
        if (pair != nullptr && !pair->Text.empty()) {
            // Copy first: setValueAt replaces the entry `name` points into.
            const std::string text = pair->Text;
            list.setValueAt(i, text);
        }
    }
}

std::optional<std::string> FormCaptionText(const TLangPack& pack, std::string_view formName) {
    const TLangText* pair = pack.FindText(formName, formName);
    if (pair == nullptr) {
        return std::nullopt;
    }
    return pair->Text;
}

std::optional<std::string> ComponentText(const TLangPack& pack, std::string_view formName,
                                         std::string_view componentName) {
    const TLangText* pair = pack.FindText(formName, componentName);
    if (pair == nullptr || pair->Text.empty()) {
        return std::nullopt;
    }
    return pair->Text;
}

std::vector<std::string> SplitItems(std::string_view text) {
    std::vector<std::string> items;
    std::string current;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ';' || c == '\n' || c == '\r') {
            items.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            current.push_back(c);
        }
        ++i;
    }
    // As a list's text property reads it: the last line needs no break after it, and a final
    // break does not open another line.
    if (!current.empty()) {
        items.push_back(std::move(current));
    }
    return items;
}

} // namespace kestrivel
