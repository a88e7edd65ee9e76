#include "lang/MessageTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrivel;

namespace {

std::vector<std::string> Entries(const TNameValueList& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i < list.count(); ++i) {
        out.push_back(list.entry(i));
    }
    return out;
}

class MessageTableTest : public ::testing::Test {
protected:
    const TNameValueList m_table = BuiltInMessages();
};

} // namespace

TEST(MessageLists, BuiltInMessagesInOrder) {
    const std::vector<std::string> expected = {
        "E0=Error",
        "E1=The date you entered is invalid!",
        "E2=Unable to check for updates.",
        "E3=A file could not be read completely. It is kept unchanged as ;",
        "E4=This date already has a memo. Choose another date, or modify the memo of that day.",
        "E5=Unable to write to ;",
        "E6=The memo list is full: it holds at most 65,535 memos. Remove a memo before adding another.",
        "E7=The password could not be kept in the secret store (;). It is used until Kestrivel ends.",
        "M0=Message",
        "M1=You already have the latest version of Kestrivel, no update is necessary.",
        "M2=Memos added / approximated / skipped: ;",
        "M3=Memos left out of the export (dates after the year 3000 or damaged): ;",
        "M4=Memos changed both here and on the calendar server now hold both texts: ;",
        "M5=Memos left out because the memo list is full (65,535 memos at most): ;",
        "M6=No folder can hold the calendar's lock file (;). A second start may not find this calendar and "
        "start another one.",
        "M7=Today's memos",
        "Q0=Question",
        "Q1=A scheme named \";\" already exists, do you want to replace it?",
        "Q2=Do you really want to delete the scheme named \";\"?",
        "Q3=A new version of Kestrivel is availlable! Do you want to download it now?",
        "Q4=Do you want to save the changes?",
        "Q5=The sync would remove ; events from the calendar server. Do you want to remove them?",
        "Q6=The memos could not be saved to ;. Do you want to try again? No closes the calendar without "
        "them.",
        "Q7=Trust the certificate this server shows, for this server only? Check it against your server's "
        "first: ;",
        "I0=Value input",
        "I1=Enter the name of the new scheme :",
        "S0=Last sync: ;",
        "S1=Sync failed: the sync is not set up completely",
        "S2=Sync failed: the server cannot be reached",
        "S3=Sync failed: wrong user name or password",
        "S4=Sync failed: the address leads to no calendar",
        "S5=Sync failed: the server gave an answer that cannot be used",
        "S6=Sync failed: the memo file or the sync state cannot be written",
        "S7=Sync failed: the calendar on the server is read-only",
        "S8=Sync failed: the server refuses this user access to the calendar",
        "S9=Sync failed: there is no calendar at this address",
        "S10=Sync failed: the server address must start with http:// or https://",
        "S11=Sync failed: the server address holds a user name or password, enter them in their own fields",
        "S12=Sync stopped: the server sends the sync on to ; - set it as the server address if you trust it",
        "S13=Sync failed: no secret store is running, enter the password in the Sync group or set "
        "KESTRIVEL_SYNC_PASSWORD",
        "S14=Sync incomplete: changes not sent to the server: ;",
        "S15=Sync stopped: the memo file is damaged, nothing was sent",
        "S16=Sync stopped: it would remove this many events from the server: ;",
        "S17=Events on the server not shown here (they could not be read): ;",
        "S18=Sync failed: a part of the program is missing (its network or iCalendar module), install it "
        "again",
        "S19=Sync failed: the secret store did not answer, the password is asked for again at the next sync",
        "S20=Sync failed: the server's certificate is not trusted (;) - if it is your server's, trust it in "
        "the Sync group",
        "S21=Sync failed: the server's certificate changed since you trusted it (;) - trust the new one only "
        "if you know why it changed",
        "S22=Events on the server shown beside the memos: ;",
        "S23=Sync failed: another sync of this calendar is still running, try again when it has ended",
        "S24=Events on the server beside a memo that may be their older copy, both kept unchanged: ;",
        "D1=all day",
        "T1=Memos not saved",
        "F1=Calendar data file (*.dat)",
        "F2=iCalendar file (*.ics)",
        "C1=Memos: ;",
    };
    EXPECT_EQ(Entries(BuiltInMessages()), expected);
}

TEST(MessageLists, WordListHoldsTheInitialsAndToday) {
    EXPECT_EQ(Entries(BuiltInWeekdays()), (std::vector<std::string>{"Weekdays=MTWTFSS", "Today=today"}));
    EXPECT_EQ(BuiltInWeekdays().value(WeekdaysName), "MTWTFSS");
}

TEST(MessageLists, ValueNamesInOrder) {
    const std::vector<std::string> expected = {
        "Type0=Single",   "Type1=Weekly",        "Type2=Monthly",         "Type3=Yearly",
        "Value0=Font",    "Value1=Size",         "Value2=Text",           "Value3=Text color",
        "Value4=Effect",  "Value5=Effect color", "Value6=Back",           "Value7=Back color",
        "Value8=Frame",   "Value9=Frame color",  "Value10=Padding",       "Value11=Spacing",
        "Text0=Standard", "Text1=Bold",          "Text2=Italic",          "Text3=Underline",
        "Effect0=None",   "Effect1=Shadow",      "Effect2=Outline",       "Back0=None",
        "Back1=Solid",    "Frame0=None",         "Frame1=Square corners", "Frame2=Round corners",
    };
    EXPECT_EQ(Entries(BuiltInValueNames()), expected);
    EXPECT_EQ(BuiltInValueNames().count(), 28u);
}

TEST(FillPlaceholders, ReplacesEverySemicolonLeftToRight) {
    EXPECT_EQ(FillPlaceholders("A scheme named \";\" already exists", "Summer"),
              "A scheme named \"Summer\" already exists");
    EXPECT_EQ(FillPlaceholders(";a;b;", "X"), "XaXbX");
    EXPECT_EQ(FillPlaceholders("no placeholder", "X"), "no placeholder");
    EXPECT_EQ(FillPlaceholders("", "X"), "");
}

TEST(FillPlaceholders, InsertedTextIsNotSearchedAgain) {
    EXPECT_EQ(FillPlaceholders("\";\"?", "a;b"), "\"a;b\"?");
    EXPECT_EQ(FillPlaceholders(";-;", ";"), ";-;");
    EXPECT_EQ(FillPlaceholders(";", ";;;"), ";;;");
}

TEST(FillPlaceholders, EmptyArgumentRemovesEverySemicolon) {
    EXPECT_EQ(FillPlaceholders("a;b;;c", ""), "abc");
    EXPECT_EQ(FillPlaceholders(";;;", ""), "");
}

TEST_F(MessageTableTest, ErrorsOneToEight) {
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Error, 0, "").has_value());
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Error, 9, "").has_value());
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Error, -1, "").has_value());
    for (int n = 1; n <= 8; ++n) {
        auto box = BuildMessage(m_table, TMessageKind::Error, n, "");
        ASSERT_TRUE(box.has_value()) << n;
        EXPECT_EQ(box->Caption, "Error");
        EXPECT_EQ(box->Buttons, TMessageButtons::Ok);
    }
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Error, 1, "")->Text, "The date you entered is invalid!");
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Error, 2, "")->Text, "Unable to check for updates.");
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Error, 3, "/p/Memos.dat.damaged-1")->Text,
              "A file could not be read completely. It is kept unchanged as /p/Memos.dat.damaged-1");
    // In range but missing from the table: an empty text.
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Error, 5, "/p/Memos.dat")->Text,
              "Unable to write to /p/Memos.dat");
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Error, 8, "")->Text, "");
}

TEST_F(MessageTableTest, InfosOneToSeven) {
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Info, 0, "").has_value());
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Info, 8, "").has_value());
    auto box = BuildMessage(m_table, TMessageKind::Info, 1, "");
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->Caption, "Message");
    EXPECT_EQ(box->Text, "You already have the latest version of Kestrivel, no update is necessary.");
    EXPECT_EQ(box->Buttons, TMessageButtons::Ok);
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Info, 2, "12 / 3 / 0")->Text,
              "Memos added / approximated / skipped: 12 / 3 / 0");
    ASSERT_TRUE(BuildMessage(m_table, TMessageKind::Info, 7, "").has_value());
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Info, 7, "")->Text, "Today's memos");
}

TEST_F(MessageTableTest, QuestionsOneToSeven) {
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Question, 0, "x").has_value());
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Question, 8, "x").has_value());
    auto q1 = BuildMessage(m_table, TMessageKind::Question, 1, "Summer");
    ASSERT_TRUE(q1.has_value());
    EXPECT_EQ(q1->Caption, "Question");
    EXPECT_EQ(q1->Text, "A scheme named \"Summer\" already exists, do you want to replace it?");
    EXPECT_EQ(q1->Buttons, TMessageButtons::YesNo);
    auto q2 = BuildMessage(m_table, TMessageKind::Question, 2, "a;b", true);
    ASSERT_TRUE(q2.has_value());
    EXPECT_EQ(q2->Text, "Do you really want to delete the scheme named \"a;b\"?");
    EXPECT_EQ(q2->Buttons, TMessageButtons::YesNoCancel);
    auto q3 = BuildMessage(m_table, TMessageKind::Question, 3, "");
    EXPECT_EQ(q3->Text, "A new version of Kestrivel is availlable! Do you want to download it now?");
    EXPECT_TRUE(BuildMessage(m_table, TMessageKind::Question, 5, "").has_value());
    // The empty argument takes the placeholder out, quotes stay.
    EXPECT_EQ(BuildMessage(m_table, TMessageKind::Question, 1, "")->Text,
              "A scheme named \"\" already exists, do you want to replace it?");
}

TEST_F(MessageTableTest, InputOneOnly) {
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Input, 0, "").has_value());
    EXPECT_FALSE(BuildMessage(m_table, TMessageKind::Input, 2, "").has_value());
    auto box = BuildMessage(m_table, TMessageKind::Input, 1, "default");
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->Caption, "Value input");
    EXPECT_EQ(box->Text, "Enter the name of the new scheme :");
    EXPECT_EQ(box->DefaultText, "default");
    EXPECT_EQ(box->Buttons, TMessageButtons::Input);
}

TEST_F(MessageTableTest, BoxesSpeakTheCurrentTable) {
    TNameValueList table{"E0=Fehler", "E1=Ung\xC3\xBCltig: ;", "Q0=Frage"};
    auto e1 = BuildMessage(table, TMessageKind::Error, 1, "31.04.");
    ASSERT_TRUE(e1.has_value());
    EXPECT_EQ(e1->Caption, "Fehler");
    EXPECT_EQ(e1->Text, "Ung\xC3\xBCltig: 31.04.");
    // Caption and text missing from the table: empty.
    auto m1 = BuildMessage(table, TMessageKind::Info, 1, "");
    ASSERT_TRUE(m1.has_value());
    EXPECT_EQ(m1->Caption, "");
    EXPECT_EQ(m1->Text, "");
}

TEST(MessageResult, PlatformCodes) {
    EXPECT_EQ(TMessageResult::Yes, 6);
    EXPECT_EQ(TMessageResult::No, 7);
    EXPECT_EQ(TMessageResult::Cancel, 2);
    EXPECT_EQ(TMessageResult::None, 0);
}

// Filters speak the table's language and keep the pattern the dialog filters by.
TEST(MessageTable, FileFiltersKeepTheirPattern) {
    EXPECT_EQ(FileFilter({"F1=Kalenderdatei (*.dat)"}, "F1"), "Kalenderdatei (*.dat)");
    EXPECT_EQ(FileFilter({"F1=Kalenderdatei"}, "F1"), "Kalenderdatei (*.dat)");
    EXPECT_EQ(FileFilter({"F2=Fichier (*.dat)"}, "F2"), "Fichier (*.dat) (*.ics)");
    EXPECT_EQ(FileFilter({"F2="}, "F2"), "iCalendar file (*.ics)");
}

TEST(MessageKinds, LettersAndRanges) {
    EXPECT_EQ(MessageLetter(TMessageKind::Error), 'E');
    EXPECT_EQ(MessageLetter(TMessageKind::Info), 'M');
    EXPECT_EQ(MessageLetter(TMessageKind::Question), 'Q');
    EXPECT_EQ(MessageLetter(TMessageKind::Input), 'I');
    EXPECT_TRUE(MessageNumberInRange(TMessageKind::Error, 8));
    EXPECT_FALSE(MessageNumberInRange(TMessageKind::Info, 8));
    EXPECT_TRUE(MessageNumberInRange(TMessageKind::Info, 7));
    EXPECT_FALSE(MessageNumberInRange(TMessageKind::Question, 8));
    EXPECT_TRUE(MessageNumberInRange(TMessageKind::Question, 7));
    EXPECT_FALSE(MessageNumberInRange(TMessageKind::Input, 2));
}
