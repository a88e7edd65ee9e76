#include "lang/MessageTable.h"

#include <algorithm>

namespace kestrivel {

namespace {

// The message table's built-in entries, in order. The kind letter comes first (E error, M message,
// Q question, I input); number 0 is the caption of that kind's box. E2 and E3 are ours: the manual
// update check says so when it could not reach or read the version file, and a memo or scheme file
// that did not load completely is named by the copy kept of it before anything could replace it.
// M2 is ours too: an iCalendar import counts the events added, approximated and skipped. So are E4
// (the memo editor keeps the text typed for a date that already has a memo), E5 (a file that could
// not be written is named, instead of a save that fails in silence), E7 (the secret store refused the
// sync password, which is then used for this session only), M3 (an export says how many
// memos it had to leave out) and Q4 (the scheme editor's question before a selection discards
// changes, asked in the chosen language). M4 tells that a sync joined the texts of memos edited on
// both sides. S0 to S16 are the tray tooltip's line about the last sync: when it ran, or why it
// failed, numbered as TSyncFailure; S17 counts the server's events the calendar does not show. S18 to
// S21 are the failures that came after it: ModuleMissing, SecretStoreSilent, and a certificate
// nobody trusted (S20) or one that changed since the user trusted it (S21), whose fingerprint,
// subject and validity fill the gap. S22 counts the server's events drawn beside the memos from
// their own data, S23 is the failure of a sync that waited in vain for another one of the same folder,
// S24 counts the events a sync without its state left beside a memo it cannot tell from them, and D1 stands
// for the time of an event that lasts all day. E6 names the memo list's limit when a memo cannot be added to
// a full list, M5 counts the events an import left out for that reason, M6 tells that no folder could hold
// the instance lock, Q6 asks at "Close" whether to try again to save memos whose save failed, and T1 is the
// tray tooltip's line while they are not saved. F1 and F2 are the file dialogs' filters. C1 marks, in the
// Sync group's list of the account's calendars, the one that holds the memos.
const char* const kBuiltInMessages[] = {
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
    "M6=No folder can hold the calendar's lock file (;). A second start may not find this calendar and start "
    "another one.",
    // Ours as well: the title of the desktop notification that lists today's memos.
    "M7=Today's memos",
    "Q0=Question",
    "Q1=A scheme named \";\" already exists, do you want to replace it?",
    "Q2=Do you really want to delete the scheme named \";\"?",
    "Q3=A new version of Kestrivel is availlable! Do you want to download it now?",
    "Q4=Do you want to save the changes?",
    // Ours: a sync that would empty much of the calendar on the server goes on only when asked to.
    "Q5=The sync would remove ; events from the calendar server. Do you want to remove them?",
    "Q6=The memos could not be saved to ;. Do you want to try again? No closes the calendar without them.",
    // Ours: trusting a sync server's own certificate, its fingerprint, subject and validity shown.
    "Q7=Trust the certificate this server shows, for this server only? Check it against your server's first: "
    ";",
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
    "S18=Sync failed: a part of the program is missing (its network or iCalendar module), install it again",
    "S19=Sync failed: the secret store did not answer, the password is asked for again at the next sync",
    "S20=Sync failed: the server's certificate is not trusted (;) - if it is your server's, trust it in the "
    "Sync group",
    "S21=Sync failed: the server's certificate changed since you trusted it (;) - trust the new one only if "
    "you know why it changed",
    "S22=Events on the server shown beside the memos: ;",
    "S23=Sync failed: another sync of this calendar is still running, try again when it has ended",
    "S24=Events on the server beside a memo that may be their older copy, both kept unchanged: ;",
    "D1=all day",
    "T1=Memos not saved",
    "F1=Calendar data file (*.dat)",
    "F2=iCalendar file (*.ics)",
    "C1=Memos: ;",
};

const char* const kBuiltInValueNames[] = {
    "Type0=Single",   "Type1=Weekly",        "Type2=Monthly",         "Type3=Yearly",
    "Value0=Font",    "Value1=Size",         "Value2=Text",           "Value3=Text color",
    "Value4=Effect",  "Value5=Effect color", "Value6=Back",           "Value7=Back color",
    "Value8=Frame",   "Value9=Frame color",  "Value10=Padding",       "Value11=Spacing",
    "Text0=Standard", "Text1=Bold",          "Text2=Italic",          "Text3=Underline",
    "Effect0=None",   "Effect1=Shadow",      "Effect2=Outline",       "Back0=None",
    "Back1=Solid",    "Frame0=None",         "Frame1=Square corners", "Frame2=Round corners",
};

template <size_t N> TNameValueList MakeList(const char* const (&entries)[N]) {
    TNameValueList list;
    for (const char* e : entries) {
        list.add(e);
    }
    return list;
}

} // namespace

TNameValueList BuiltInMessages() {
    return MakeList(kBuiltInMessages);
}

TNameValueList BuiltInWeekdays() {
    return TNameValueList{"Weekdays=MTWTFSS", "Today=today"};
}

TNameValueList BuiltInValueNames() {
    return MakeList(kBuiltInValueNames);
}

char MessageLetter(TMessageKind kind) {
    switch (kind) {
    case TMessageKind::Error:
        return 'E';
    case TMessageKind::Info:
        return 'M';
    case TMessageKind::Question:
        return 'Q';
    case TMessageKind::Input:
        return 'I';
    }
    return '?';
}

bool MessageNumberInRange(TMessageKind kind, int number) {
    int last = 0;
    switch (kind) {
    case TMessageKind::Error:
        last = 8;
        break;
    case TMessageKind::Info:
        last = 7;
        break;
    case TMessageKind::Question:
        last = 7;
        break;
    case TMessageKind::Input:
        last = 1;
        break;
    }
    return number >= 1 && number <= last;
}

std::string FillPlaceholders(std::string_view templ, std::string_view argument) {
    std::string out;
    out.reserve(templ.size() + argument.size());
    for (char c : templ) {
        if (c == ';') {
            out.append(argument);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<TMessageBox> BuildMessage(const TNameValueList& table, TMessageKind kind, int number,
                                        std::string_view argument, bool withCancel) {
    if (!MessageNumberInRange(kind, number)) {
        return std::nullopt;
    }
    const std::string letter(1, MessageLetter(kind));
    TMessageBox box;
    box.Caption = table.value(letter + "0");
    box.Text = FillPlaceholders(table.value(letter + std::to_string(number)), argument);
    switch (kind) {
    case TMessageKind::Error:
    case TMessageKind::Info:
        box.Buttons = TMessageButtons::Ok;
        break;
    case TMessageKind::Question:
        box.Buttons = withCancel ? TMessageButtons::YesNoCancel : TMessageButtons::YesNo;
        break;
    case TMessageKind::Input:
        box.Buttons = TMessageButtons::Input;
        box.DefaultText = std::string(argument);
        break;
    }
    return box;
}

std::string FileFilter(const TNameValueList& table, std::string_view name) {
    const std::string builtIn = BuiltInMessages().value(name);
    const std::string text = table.value(name);
    if (text.empty()) {
        return builtIn;
    }
    const std::string pattern = builtIn.substr(std::min(builtIn.rfind('('), builtIn.size()));
    return text.find(pattern) == std::string::npos ? text + " " + pattern : text;
}

} // namespace kestrivel
