#include "lang/FirstStartLanguage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace kestrivel {

namespace {

// The languages the program ships: a code and the names a language file may give it.
struct KnownLanguage {
    std::string_view Code;
    std::string_view OwnName;
    std::string_view EnglishName;
};

static constexpr std::array<KnownLanguage, 4> kKnownLanguages{{
    {"en", "English", "English"},
    {"de", "Deutsch", "German"},
    {"fr", "Français", "French"},
    {"es", "Español", "Spanish"},
}};

static constexpr std::string_view kFilePrefix = "kestri";
static constexpr std::string_view kFileSuffix = ".lang";

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// Letter case is folded for ASCII only; the non-ASCII letters of "Français" and "Español" are
// compared as they stand (UTF-8 in both the table and the language packs).
bool namesLanguage(const std::string& languageName, const KnownLanguage& language) {
    const std::string name = lower(languageName);
    return name == lower(language.OwnName) || name == lower(language.EnglishName);
}

} // namespace

std::string languageCodeOf(const LanguageOffer& offer) {
    for (const KnownLanguage& language : kKnownLanguages) {
        if (namesLanguage(offer.LanguageName, language)) {
            return std::string(language.Code);
        }
    }
    const std::string name = lower(offer.FileName);
    const size_t codeLength = name.size() - kFilePrefix.size() - kFileSuffix.size();
    if (name.size() < kFilePrefix.size() + kFileSuffix.size() + 2 || !name.starts_with(kFilePrefix) ||
        !name.ends_with(kFileSuffix) || codeLength < 2 || codeLength > 3) {
        return {};
    }
    const std::string code = name.substr(kFilePrefix.size(), codeLength);
    const bool letters = std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    return letters ? code : std::string();
}

std::string localeLanguageCode(const std::string& localeName) {
    const size_t end = localeName.find_first_of("_-.@");
    return lower(std::string_view(localeName).substr(0, end));
}

std::string firstStartLanguageFile(bool settingsFileExists, const std::string& localeName,
                                   const std::vector<LanguageOffer>& offers, const std::string& current) {
    if (settingsFileExists) {
        return current;
    }
    const std::string code = localeLanguageCode(localeName);
    const auto language = std::find_if(kKnownLanguages.begin(), kKnownLanguages.end(),
                                       [&code](const KnownLanguage& known) { return known.Code == code; });
    if (language == kKnownLanguages.end()) {
        return current;
    }
    for (const LanguageOffer& offer : offers) {
        if (namesLanguage(offer.LanguageName, *language)) {
            return offer.FileName;
        }
    }
    const std::string fileName = std::string(kFilePrefix) + code + std::string(kFileSuffix);
    for (const LanguageOffer& offer : offers) {
        if (lower(offer.FileName) == fileName) {
            return offer.FileName;
        }
    }
    return current;
}

} // namespace kestrivel
