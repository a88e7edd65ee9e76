#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/NameValueList.h"

namespace kestrivel {

// The three translatable name=value lists of the program with their built-in texts, and the
// building of message and input boxes from a message table. The widget layer only shows what
// BuildMessage returns and maps the pressed button to the codes below.

// Fresh copies of the built-in lists, in their fixed order.
TNameValueList BuiltInMessages();
// The calendar window's word list: "Weekdays=MTWTFSS", then "Today=today", the word a screen reader
// hears after today's date.
TNameValueList BuiltInWeekdays();
// The configuration dialog's 28 value names, "Type0=Single" first, "Frame2=Round corners" last.
TNameValueList BuiltInValueNames();

// The entry names of the three lists above with the language-file section that translates each.
inline constexpr std::string_view MessagesSection = "messages";
inline constexpr std::string_view WeekdaysSection = "frmMain";
inline constexpr std::string_view ValueNamesSection = "frmConfig";
inline constexpr std::string_view WeekdaysName = "Weekdays";
inline constexpr std::string_view TodayName = "Today";

enum class TMessageKind {
    Error,    // ShowError: letter E, numbers 1 to 8
    Info,     // ShowInfo: letter M, numbers 1 to 7
    Question, // AskQuestion: letter Q, numbers 1 to 6
    Input,    // InputValue: letter I, number 1
};

enum class TMessageButtons {
    Ok,
    YesNo,
    YesNoCancel,
    // An input box: a prompt, an edit field holding the default text, OK and Cancel.
    Input,
};

// Button codes a question returns (the platform's values). None is what AskQuestion returns for a
// number out of range; no caller takes it for Yes.
struct TMessageResult {
    static constexpr int None = 0;
    static constexpr int Cancel = 2;
    static constexpr int Yes = 6;
    static constexpr int No = 7;
};

// The numbers of the error (E) and information (M) messages the program shows.
struct TErrorMessage {
    static constexpr int InvalidDate = 1;
    static constexpr int CannotCheckUpdates = 2;
    static constexpr int FileKeptDamaged = 3;
    static constexpr int DateTaken = 4;
    static constexpr int UnableToWrite = 5;
    static constexpr int MemoListFull = 6;
    static constexpr int PasswordNotStored = 7;
};
struct TQuestionMessage {
    static constexpr int SaveChanges = 4;
    static constexpr int RemoveServerEvents = 5;
    static constexpr int SaveMemosAgain = 6;
    static constexpr int TrustCertificate = 7;
};
struct TInfoMessage {
    static constexpr int LatestVersion = 1;
    static constexpr int ICalendarImported = 2;
    static constexpr int LeftOutOfExport = 3;
    static constexpr int TextsJoined = 4;
    static constexpr int LeftOutListFull = 5;
    static constexpr int NoInstanceLock = 6;
    // Not a box: the title of the desktop notification of today's memos.
    static constexpr int TodaysMemos = 7;
};
// Texts of the message table that are no box: the tray tooltip's line while memos are not saved and
// the file dialogs' filters.
inline constexpr std::string_view MemosNotSavedName = "T1";
inline constexpr std::string_view CalendarDataFilterName = "F1";
inline constexpr std::string_view ICalendarFilterName = "F2";
// A file dialog's filter from `table` (CalendarDataFilterName, ICalendarFilterName): its text, with
// the built-in text's pattern ("(*.dat)") added when a translation left it out, so that the dialog
// still lists the right files; the built-in text when the table has none.
std::string FileFilter(const TNameValueList& table, std::string_view name);

// What one box shows. For an input box `Text` is the prompt and `DefaultText` fills the field.
struct TMessageBox {
    std::string Caption;
    std::string Text;
    TMessageButtons Buttons = TMessageButtons::Ok;
    std::string DefaultText;
};

char MessageLetter(TMessageKind kind);
// Whether the routine of that kind shows anything for `number`.
bool MessageNumberInRange(TMessageKind kind, int number);

// Every ";" of `templ`, left to right, becomes `argument`; inserted text is not searched again, so
// an argument holding ";" appears once as it is. An empty argument removes every ";".
std::string FillPlaceholders(std::string_view templ, std::string_view argument);

// The box for message `number` of `kind` taken from `table`: caption from the kind letter and "0",
// text from the letter and the number with its placeholders filled, a name missing from the table
// giving an empty text. No box (nothing is shown) when the number is out of the kind's range.
// `withCancel` adds Cancel to a question; for an input box `argument` is the default text.
std::optional<TMessageBox> BuildMessage(const TNameValueList& table, TMessageKind kind, int number,
                                        std::string_view argument, bool withCancel = false);
} // namespace kestrivel
