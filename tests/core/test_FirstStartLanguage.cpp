#include "lang/FirstStartLanguage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrivel {
namespace {

const std::vector<LanguageOffer> kShipped{{"KestriDe.lang", "Deutsch"},
                                          {"KestriEn.lang", "English"},
                                          {"KestriEs.lang", "Español"},
                                          {"KestriFr.lang", "Français"}};
const std::vector<LanguageOffer> kRenamed{{"kestride.lang", "Bairisch"}, {"mine.lang", "GERMAN"}};
const std::vector<LanguageOffer> kByFileNameOnly{{"KestriDe.lang", "Bairisch"}};

struct FirstStartCase {
    bool SettingsExist;
    const char* Locale;
    const std::vector<LanguageOffer>* Offers;
    const char* Expected;
};

const FirstStartCase kCases[] = {
    {false, "de_DE", &kShipped, "KestriDe.lang"},
    {false, "fr_CA", &kShipped, "KestriFr.lang"},
    {false, "es-ES", &kShipped, "KestriEs.lang"},
    {false, "en_GB", &kShipped, "KestriEn.lang"},
    {false, "DE_at.UTF-8", &kShipped, "KestriDe.lang"},
    {true, "de_DE", &kShipped, "Current.lang"},  // a later start keeps the option
    {false, "it_IT", &kShipped, "Current.lang"}, // no Italian file
    {false, "C", &kShipped, "Current.lang"},     // no language at all
    {false, "", &kShipped, "Current.lang"},
    {false, "de_DE", &kRenamed, "mine.lang"},            // the header's name wins over the file name
    {false, "de_DE", &kByFileNameOnly, "KestriDe.lang"}, // unknown name, file name still matches
    {false, "fr_FR", &kRenamed, "Current.lang"},
};

class FirstStartLanguageTable : public ::testing::TestWithParam<FirstStartCase> {};

TEST_P(FirstStartLanguageTable, ChoosesTheStartingLanguageFile) {
    const FirstStartCase& c = GetParam();
    SCOPED_TRACE(std::string(c.Locale) + (c.SettingsExist ? " with settings" : " first start"));
    EXPECT_EQ(firstStartLanguageFile(c.SettingsExist, c.Locale, *c.Offers, "Current.lang"), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Starts, FirstStartLanguageTable, ::testing::ValuesIn(kCases));

// The platform's own texts follow the language file: named by its header, else by its file name.
TEST(LanguageCode, OfALanguageFile) {
    const struct {
        const char* FileName;
        const char* LanguageName;
        const char* Code;
    } cases[] = {
        {"KestriDe.lang", "Deutsch", "de"},
        {"Mine.lang", "French", "fr"},
        {"KestriEs.lang", "", "es"},
        {"KESTRIEN.LANG", "", "en"},
        {"KestriPtBr.lang", "", ""},
        {"KestriNl.lang", "Nederlands", "nl"},
        {"Kestri.lang", "", ""},
        {"Kestri1x.lang", "", ""},
        {"Other.lang", "Klingon", ""},
        {"Kestrifr.lang", "Español", "es"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.FileName);
        EXPECT_EQ(languageCodeOf({c.FileName, c.LanguageName}), c.Code);
    }
}

} // namespace
} // namespace kestrivel
