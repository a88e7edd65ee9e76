#include "lang/Translation.h"

#include "lang/MessageTable.h"
#include "lang/TranslationKeys.h"
#include "LangBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace kestrivel;

using namespace langbytes;

namespace {

TLangPack PackOf(const std::string& sections, uint16_t count) {
    TLangPack pack;
    EXPECT_TRUE(pack.LoadFromBytes(Header() + Lead("Test", 0, count) + sections));
    return pack;
}

using Items = std::vector<std::string>;

} // namespace

TEST(TranslateStrings, ReplacesOnlyExistingEntriesWithNonEmptyTexts) {
    TLangPack pack =
        PackOf(Section("messages", {{"E0", "Erreur"},
                                    {"E2", "Impossible de v\xC3\xA9rifier les mises \xC3\xA0 jour."},
                                    {"M0", ""},
                                    {"E9", "not in the table"},
                                    {"Q1", "Le th\xC3\xA8me \";\" existe"}}),
               1);
    TNameValueList table = BuiltInMessages();
    TranslateStrings(pack, "messages", table);
    EXPECT_EQ(table.count(), BuiltInMessages().count());
    EXPECT_EQ(table.value("E0"), "Erreur");
    EXPECT_EQ(table.value("E2"), "Impossible de v\xC3\xA9rifier les mises \xC3\xA0 jour.");
    EXPECT_EQ(table.value("M0"), "Message");
    EXPECT_EQ(table.value("E9"), "");
    EXPECT_EQ(table.value("E1"), "The date you entered is invalid!");
    EXPECT_EQ(table.value("Q1"), "Le th\xC3\xA8me \";\" existe");
}

TEST(TranslateStrings, SkipsEntriesWithoutNameAndUsesOnlyItsSection) {
    TLangPack pack = PackOf(Section("frmMain", {{"Weekdays", "LMMJVSD"}, {"plain", "x"}}) +
                                Section("frmConfig", {{"Weekdays", "wrong section"}}) +
                                Section("frmMain", {{"Other", "second section"}}),
                            3);
    TNameValueList list{"Weekdays=MTWTFSS", "plain", "Other=keep", "=empty name"};
    TranslateStrings(pack, "frmMain", list);
    EXPECT_EQ(list.entry(0), "Weekdays=LMMJVSD");
    EXPECT_EQ(list.entry(1), "plain");
    EXPECT_EQ(list.entry(2), "Other=keep");
    EXPECT_EQ(list.entry(3), "=empty name");
    TranslateStrings(pack, "nosuch", list);
    EXPECT_EQ(list.entry(0), "Weekdays=LMMJVSD");
    TranslateStrings(pack, "FRMMAIN", list);
    EXPECT_EQ(list.entry(0), "Weekdays=LMMJVSD");
}

TEST(TranslateStrings, SwitchingLanguagesOverwritesOnlyWhatTheNewFileHas) {
    TNameValueList names = BuiltInValueNames();
    TranslateStrings(PackOf(Section("frmConfig", {{"Type0", "Unique"}, {"Type1", "Hebdomadaire"}}), 1),
                     "frmConfig", names);
    TranslateStrings(PackOf(Section("frmConfig", {{"Type0", "Einmalig"}}), 1), "frmConfig", names);
    EXPECT_EQ(names.value("Type0"), "Einmalig");
    EXPECT_EQ(names.value("Type1"), "Hebdomadaire");
    EXPECT_EQ(names.value("Type2"), "Monthly");
    // An empty pack changes nothing.
    TranslateStrings(TLangPack(), "frmConfig", names);
    EXPECT_EQ(names.value("Type0"), "Einmalig");
}

TEST(ComponentText, EmptyOrMissingTextLeavesTheComponentAlone) {
    TLangPack pack =
        PackOf(Section("frmConfig", {{"frmConfig", ""}, {"btnApply", "Appliquer"}, {"btnOk", ""}}) +
                   Section("frmMemo", {{"frmMemo", "M\xC3\xA9mo"}}),
               2);
    EXPECT_EQ(ComponentText(pack, "frmConfig", "btnApply"), std::optional<std::string>("Appliquer"));
    EXPECT_EQ(ComponentText(pack, "frmConfig", "btnOk"), std::nullopt);
    EXPECT_EQ(ComponentText(pack, "frmConfig", "btnCancel"), std::nullopt);
    EXPECT_EQ(ComponentText(pack, "frmMain", "btnApply"), std::nullopt);
    EXPECT_EQ(ComponentText(pack, "frmConfig", "btnapply"), std::nullopt);
    // The window's own caption takes an empty text too.
    EXPECT_EQ(FormCaptionText(pack, "frmConfig"), std::optional<std::string>(""));
    EXPECT_EQ(FormCaptionText(pack, "frmMemo"), std::optional<std::string>("M\xC3\xA9mo"));
    EXPECT_EQ(FormCaptionText(pack, "frmMain"), std::nullopt);
}

TEST(SplitItems, SemicolonsAndLineBreaksSeparateItems) {
    EXPECT_EQ(SplitItems("Monday;Tuesday;Wednesday"), (Items{"Monday", "Tuesday", "Wednesday"}));
    EXPECT_EQ(SplitItems("one"), (Items{"one"}));
    EXPECT_EQ(SplitItems(""), Items{});
    EXPECT_EQ(SplitItems("a;;b"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitItems(";"), (Items{""}));
    EXPECT_EQ(SplitItems("a;"), (Items{"a"}));
    EXPECT_EQ(SplitItems("a;;"), (Items{"a", ""}));
    EXPECT_EQ(SplitItems(";a"), (Items{"", "a"}));
    EXPECT_EQ(SplitItems("a\r\nb\nc\rd"), (Items{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitItems("a\r\n"), (Items{"a"}));
    EXPECT_EQ(SplitItems("Date;Memo;Type"), (Items{"Date", "Memo", "Type"}));
}

TEST(TranslationKeys, EverySectionAndKeyOnce) {
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& k : TranslationKeys()) {
        EXPECT_TRUE(seen.insert({k.Section, k.Key}).second) << k.Section << "/" << k.Key;
        EXPECT_NE(std::find(TranslationSections().begin(), TranslationSections().end(), k.Section),
                  TranslationSections().end())
            << k.Section;
    }
    // 11 + 2 in frmMain, 54 + 29 in frmConfig, 10 in frmMemo, 56 messages.
    EXPECT_EQ(TranslationKeys().size(), 13u + 83u + 10u + 56u);
    EXPECT_EQ(TranslationSections(),
              (std::vector<std::string>{"frmMain", "frmConfig", "frmMemo", "messages"}));
}

TEST(TranslationKeys, ListsAndBuiltInsComeFromTheirTables) {
    const TTranslationKey* weekdays = FindTranslationKey("frmMain", "Weekdays");
    ASSERT_NE(weekdays, nullptr);
    EXPECT_EQ(weekdays->Kind, TKeyKind::ListEntry);
    EXPECT_EQ(weekdays->BuiltIn, "MTWTFSS");
    const TTranslationKey* frame2 = FindTranslationKey("frmConfig", "Frame2");
    ASSERT_NE(frame2, nullptr);
    EXPECT_EQ(frame2->BuiltIn, "Round corners");
    const TTranslationKey* e2 = FindTranslationKey("messages", "E2");
    ASSERT_NE(e2, nullptr);
    EXPECT_EQ(e2->BuiltIn, "Unable to check for updates.");
    EXPECT_EQ(FindTranslationKey("messages", "E9"), nullptr);
    EXPECT_EQ(FindTranslationKey("frmmain", "btnDate"), nullptr);
    EXPECT_EQ(FindTranslationKey("frmMemo", "btnApply"), nullptr);

    const TTranslationKey* zone = FindTranslationKey("frmConfig", "cmbZone");
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->Kind, TKeyKind::Items);
    EXPECT_EQ(static_cast<int>(SplitItems(zone->BuiltIn).size()), zone->ItemCount);
    EXPECT_EQ(SplitItems(zone->BuiltIn).back(), "Today's memo");
    const TTranslationKey* grid = FindTranslationKey("frmConfig", "stgMemos");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->Kind, TKeyKind::GridHeader);
    const TTranslationKey* month = FindTranslationKey("frmMemo", "cmbMonth");
    ASSERT_NE(month, nullptr);
    EXPECT_EQ(SplitItems(month->BuiltIn).front(), "Janvier");
    EXPECT_EQ(SplitItems(month->BuiltIn)[7], "Ao\xC3\xBBt");
    EXPECT_EQ(FindTranslationKey("frmConfig", "frmConfig")->Kind, TKeyKind::FormCaption);
    EXPECT_EQ(FindTranslationKey("frmConfig", "frmConfig")->BuiltIn, "Kestrivel");
    for (const auto& k : TranslationKeys()) {
        if ((k.Kind == TKeyKind::Items || k.Kind == TKeyKind::GridHeader) && k.ItemCount > 0) {
            EXPECT_EQ(static_cast<int>(SplitItems(k.BuiltIn).size()), k.ItemCount) << k.Key;
        }
    }
}
