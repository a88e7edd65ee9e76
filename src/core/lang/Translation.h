#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/NameValueList.h"
#include "lang/LanguagePack.h"

namespace kestrivel {

// The rules of applying a language pack, kept out of the widget code: the window translation only
// asks these functions what to write and writes it.

// For each entry of `list` that has a name, in order: when `section` holds a pair with that key
// and a text that is not empty, the entry's value becomes that text. Entries without "=" are
// skipped; the section cannot add entries.
void TranslateStrings(const TLangPack& pack, std::string_view section, TNameValueList& list);

// The caption for the window itself (key = the window's name): applied even when it is empty.
std::optional<std::string> FormCaptionText(const TLangPack& pack, std::string_view formName);

// The text for one component of window `formName`; none when the section has no pair for it or
// the pair's text is empty (the component is then left alone).
std::optional<std::string> ComponentText(const TLangPack& pack, std::string_view formName,
                                         std::string_view componentName);

// The items of a drop-down list or the header cells of a grid: every ";" is a line break, and the
// lines of the result are the items. Line-break bytes inside the text break lines too (CR LF, CR
// or LF); a break at the very end adds no empty item. An empty text gives no items.
std::vector<std::string> SplitItems(std::string_view text);

} // namespace kestrivel
