#pragma once

#include <string>
#include <vector>

namespace kestrivel {

// One language file on offer: its bare file name and the language name its header gives.
struct LanguageOffer {
    std::string FileName;
    std::string LanguageName;
};

// The language code of a locale name as the platform gives it ("de_DE", "fr-CA", "es_ES.UTF-8",
// "C"): the letters before the first separator, in lower case.
std::string localeLanguageCode(const std::string& localeName);

// The LanguageFile option to start with. Only on a first start (no Settings.ini yet) does the
// user's language count: the first offer whose language name names that language (in English or
// in the language itself, letter case ignored), else the first whose file name is Kestri<Code>.lang.
// On every later start, and when nothing matches, `current` is kept.
std::string firstStartLanguageFile(bool settingsFileExists, const std::string& localeName,
                                   const std::vector<LanguageOffer>& offers, const std::string& current);

// The language code ("de") of a language file: the language its header names (in English or in
// the language itself), else the <Code> of a file named Kestri<Code>.lang; empty when neither says.
// The platform's own texts (standard buttons and dialogs) are shown in this language.
std::string languageCodeOf(const LanguageOffer& offer);

} // namespace kestrivel
