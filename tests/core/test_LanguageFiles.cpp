// Checks the language sources we ship and the .lang files the build makes from them.

#include "lang/LangSource.h"
#include "lang/LanguagePack.h"
#include "lang/MessageTable.h"
#include "lang/Translation.h"
#include "lang/TranslationKeys.h"

#include "common/BinaryStream.h"
#include "common/TextCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

struct TShipped {
    const char* File;
    const char* Language;
};

void PrintTo(const TShipped& s, std::ostream* os) {
    *os << s.File;
}

const TShipped kShipped[] = {
    {"KestriEn", "English"},
    {"KestriFr", "Fran\xC3\xA7"
                 "ais"},
    {"KestriDe", "Deutsch"},
    {"KestriEs", "Espa\xC3\xB1ol"},
};

std::string SourcePath(const TShipped& s) {
    return std::string(KESTRIVEL_SOURCE_DIR) + "/lang/" + s.File + ".txt";
}
std::string CompiledPath(const TShipped& s) {
    return std::string(KESTRIVEL_BIN_DIR) + "/" + s.File + ".lang";
}

TLangPack ParseShipped(const TShipped& s) {
    std::string source;
    EXPECT_TRUE(ReadWholeFile(SourcePath(s), source)) << SourcePath(s);
    TLangPack pack;
    TLangSourceError error;
    EXPECT_TRUE(ParseLangSource(source, pack, error)) << s.File << ": " << error.ToString();
    return pack;
}

size_t CodePoints(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

size_t Semicolons(std::string_view s) {
    return static_cast<size_t>(std::count(s.begin(), s.end(), ';'));
}

std::string Text(const TLangPack& pack, const char* section, const char* key) {
    const TLangText* t = pack.FindText(section, key);
    return t != nullptr ? t->Text : std::string("<missing>");
}

class ShippedLanguage : public ::testing::TestWithParam<TShipped> {};

} // namespace

TEST_P(ShippedLanguage, HoldsExactlyTheKeysOfTheKeyList) {
    const TLangPack pack = ParseShipped(GetParam());
    EXPECT_TRUE(pack.HasHeader);
    EXPECT_EQ(pack.LanguageName, GetParam().Language);
    std::vector<std::string> sections;
    for (const auto& s : pack.Sections) {
        sections.push_back(s.Name);
    }
    EXPECT_EQ(sections, TranslationSections());
    for (const auto& sect : pack.Sections) {
        std::set<std::string> keys;
        for (const auto& t : sect.Texts) {
            EXPECT_TRUE(keys.insert(t.Key).second) << sect.Name << "/" << t.Key << " twice";
            EXPECT_NE(FindTranslationKey(sect.Name, t.Key), nullptr)
                << "extra key " << sect.Name << "/" << t.Key;
            EXPECT_TRUE(IsValidUtf8(t.Text)) << t.Key;
        }
    }
    for (const auto& k : TranslationKeys()) {
        EXPECT_NE(pack.FindText(k.Section, k.Key), nullptr) << "missing key " << k.Section << "/" << k.Key;
    }
}

TEST_P(ShippedLanguage, HasTheSameKeysInTheSameOrderAsEnglish) {
    const TLangPack english = ParseShipped(kShipped[0]);
    const TLangPack pack = ParseShipped(GetParam());
    ASSERT_EQ(pack.Sections.size(), english.Sections.size());
    for (size_t s = 0; s < pack.Sections.size(); ++s) {
        ASSERT_EQ(pack.Sections[s].Texts.size(), english.Sections[s].Texts.size()) << pack.Sections[s].Name;
        for (size_t t = 0; t < pack.Sections[s].Texts.size(); ++t) {
            EXPECT_EQ(pack.Sections[s].Texts[t].Key, english.Sections[s].Texts[t].Key);
        }
    }
}

TEST_P(ShippedLanguage, TranslatesWhatItShouldAndLeavesTheRest) {
    const TLangPack pack = ParseShipped(GetParam());
    for (const auto& k : TranslationKeys()) {
        const TLangText* t = pack.FindText(k.Section, k.Key);
        ASSERT_NE(t, nullptr);
        if (k.Translated) {
            EXPECT_FALSE(t->Text.empty()) << k.Section << "/" << k.Key;
        } else {
            EXPECT_TRUE(t->Text.empty()) << k.Section << "/" << k.Key;
        }
    }
}

TEST_P(ShippedLanguage, MessagesKeepTheirPlaceholders) {
    const TLangPack pack = ParseShipped(GetParam());
    const TNameValueList builtIn = BuiltInMessages();
    for (size_t i = 0; i < builtIn.count(); ++i) {
        const std::string name = builtIn.name(i);
        const std::string text = Text(pack, "messages", name.c_str());
        EXPECT_EQ(Semicolons(text), Semicolons(builtIn.value(name))) << name << ": " << text;
    }
    // The scheme name goes between the double quotes, as in the built-in texts.
    for (const char* q : {"Q1", "Q2"}) {
        EXPECT_NE(Text(pack, "messages", q).find("\";\""), std::string::npos) << q;
    }
    // Only the message texts replace ";"; the captions and lists of the windows hold none except as
    // item separators.
    for (const auto& k : TranslationKeys()) {
        if (k.Kind == TKeyKind::Caption || k.Kind == TKeyKind::FormCaption ||
            (k.Kind == TKeyKind::ListEntry && k.Section != "messages")) {
            EXPECT_EQ(Semicolons(Text(pack, k.Section.c_str(), k.Key.c_str())), 0u) << k.Key;
        }
    }
}

TEST_P(ShippedLanguage, ListsHaveTheirItemCounts) {
    const TLangPack pack = ParseShipped(GetParam());
    const std::pair<const char*, const char*> lists[] = {
        {"frmConfig", "cmbWeekStart"}, {"frmConfig", "cmbDateFormat"}, {"frmMemo", "cmbMonth"},
        {"frmMemo", "cmbMemoType"},    {"frmConfig", "cmbZone"},       {"frmConfig", "stgMemos"},
    };
    const size_t counts[] = {7, 2, 12, 4, 8, 3};
    for (size_t i = 0; i < std::size(lists); ++i) {
        const std::vector<std::string> items = SplitItems(Text(pack, lists[i].first, lists[i].second));
        EXPECT_EQ(items.size(), counts[i]) << lists[i].second;
        EXPECT_EQ(static_cast<int>(counts[i]),
                  FindTranslationKey(lists[i].first, lists[i].second)->ItemCount);
        for (const auto& item : items) {
            EXPECT_FALSE(item.empty()) << lists[i].second;
        }
    }
    const std::string weekdays = Text(pack, "frmMain", "Weekdays");
    EXPECT_EQ(CodePoints(weekdays), 7u) << weekdays;
}

TEST_P(ShippedLanguage, ChoiceWordsAreDistinctAndMemoTypesAgree) {
    // The style editor reads a choice back by comparing words, so the words of one property differ.
    const TLangPack pack = ParseShipped(GetParam());
    const std::vector<std::vector<const char*>> groups = {
        {"Type0", "Type1", "Type2", "Type3"}, {"Text0", "Text1", "Text2", "Text3"},
        {"Effect0", "Effect1", "Effect2"},    {"Back0", "Back1"},
        {"Frame0", "Frame1", "Frame2"},
    };
    for (const auto& group : groups) {
        std::set<std::string> words;
        for (const char* key : group) {
            EXPECT_TRUE(words.insert(Text(pack, "frmConfig", key)).second) << key;
        }
    }
    // The memo editor's type list and the memo grid's type names name the same four types.
    const std::vector<std::string> types = SplitItems(Text(pack, "frmMemo", "cmbMemoType"));
    ASSERT_EQ(types.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(types[i], Text(pack, "frmConfig", ("Type" + std::to_string(i)).c_str()));
    }
}

TEST_P(ShippedLanguage, CompiledFileIsBesideTheProgramAndUpToDate) {
    const std::string path = CompiledPath(GetParam());
    ASSERT_TRUE(FileExists(path)) << path;
    std::string bytes, source;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    ASSERT_TRUE(ReadWholeFile(SourcePath(GetParam()), source));
    std::string expected;
    TLangSourceError error;
    ASSERT_TRUE(CompileLangSource(source, expected, error)) << error.ToString();
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.substr(0, 18), std::string("\x0C\x00\x00\x00LanguageFile\xC8\x00", 18));

    TLangPack pack;
    ASSERT_TRUE(pack.Load(path));
    EXPECT_EQ(pack.LanguageName, GetParam().Language);
    EXPECT_EQ(pack.SectionCount, 4);
    const TLangPack parsed = ParseShipped(GetParam());
    for (const auto& k : TranslationKeys()) {
        EXPECT_EQ(Text(pack, k.Section.c_str(), k.Key.c_str()),
                  Text(parsed, k.Section.c_str(), k.Key.c_str()));
    }
    TLangPack header;
    ASSERT_TRUE(header.ReadHeader(path));
    EXPECT_EQ(header.LanguageName, GetParam().Language);
}

TEST_P(ShippedLanguage, TranslatesTheThreeLists) {
    TLangPack pack;
    ASSERT_TRUE(pack.Load(CompiledPath(GetParam())));
    TNameValueList messages = BuiltInMessages();
    TNameValueList weekdays = BuiltInWeekdays();
    TNameValueList values = BuiltInValueNames();
    TranslateStrings(pack, MessagesSection, messages);
    TranslateStrings(pack, WeekdaysSection, weekdays);
    TranslateStrings(pack, ValueNamesSection, values);
    EXPECT_EQ(messages.count(), BuiltInMessages().count());
    EXPECT_EQ(weekdays.value(WeekdaysName), Text(pack, "frmMain", "Weekdays"));
    EXPECT_EQ(values.value("Frame2"), Text(pack, "frmConfig", "Frame2"));
    const auto q1 = BuildMessage(messages, TMessageKind::Question, 1, "Sommer;2");
    ASSERT_TRUE(q1.has_value());
    EXPECT_NE(q1->Text.find("\"Sommer;2\""), std::string::npos) << q1->Text;
    EXPECT_EQ(q1->Caption, Text(pack, "messages", "Q0"));
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguage, ::testing::ValuesIn(kShipped),
                         [](const ::testing::TestParamInfo<TShipped>& shipped) {
                             return std::string(shipped.param.File);
                         });

TEST(ShippedLanguages, InitialsAndEnglishTexts) {
    EXPECT_EQ(Text(ParseShipped(kShipped[0]), "frmMain", "Weekdays"), "MTWTFSS");
    EXPECT_EQ(Text(ParseShipped(kShipped[1]), "frmMain", "Weekdays"), "LMMJVSD");
    EXPECT_EQ(Text(ParseShipped(kShipped[2]), "frmMain", "Weekdays"), "MDMDFSS");
    EXPECT_EQ(Text(ParseShipped(kShipped[3]), "frmMain", "Weekdays"), "LMXJVSD");
    // English repeats the built-in texts; only the months (built in as French), the General tab's
    // two boxes and the update question differ: the file speaks of logging in, not of Windows, and
    // spells "automatically" and "available".
    const TLangPack english = ParseShipped(kShipped[0]);
    EXPECT_EQ(Text(english, "frmConfig", "chkAutorun"), "Start the calendar when I log in.");
    EXPECT_EQ(Text(english, "frmConfig", "chkAutoUpdate"), "Look for updates automatically.");
    EXPECT_EQ(Text(english, "messages", "Q3"),
              "A new version of Kestrivel is available! Do you want to download it now?");
    for (const auto& k : TranslationKeys()) {
        if (k.Translated && k.Key != "cmbMonth" && k.Key != "chkAutorun" && k.Key != "chkAutoUpdate" &&
            k.Key != "Q3") {
            EXPECT_EQ(Text(english, k.Section.c_str(), k.Key.c_str()), k.BuiltIn)
                << k.Section << "/" << k.Key;
        }
    }
    EXPECT_EQ(SplitItems(Text(english, "frmMemo", "cmbMonth")).front(), "January");
    EXPECT_EQ(SplitItems(Text(english, "frmMemo", "cmbMonth")).back(), "December");
    for (const auto& shipped : kShipped) {
        for (const auto& k : TranslationKeys()) {
            EXPECT_EQ(Text(ParseShipped(shipped), k.Section.c_str(), k.Key.c_str()).find("Windows"),
                      std::string::npos)
                << shipped.File << " " << k.Key;
        }
    }
    // The translations really translate.
    for (size_t i = 1; i < std::size(kShipped); ++i) {
        const TLangPack pack = ParseShipped(kShipped[i]);
        EXPECT_NE(Text(pack, "messages", "E1"), Text(english, "messages", "E1")) << kShipped[i].File;
        EXPECT_NE(Text(pack, "frmConfig", "cmbWeekStart"), Text(english, "frmConfig", "cmbWeekStart"));
    }
}
