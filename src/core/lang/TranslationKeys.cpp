#include "lang/TranslationKeys.h"

#include "common/Version.h"
#include "lang/MessageTable.h"

namespace kestrivel {

namespace {

struct TComponentKey {
    const char* Section;
    const char* Key;
    TKeyKind Kind;
    const char* BuiltIn;
    int ItemCount;
    bool Translated;
};

constexpr TKeyKind Form = TKeyKind::FormCaption;
constexpr TKeyKind Caption = TKeyKind::Caption;
constexpr TKeyKind Items = TKeyKind::Items;
constexpr TKeyKind Grid = TKeyKind::GridHeader;

// The translatable components of the three windows with their built-in captions.
const TComponentKey kComponents[] = {
    {"frmMain", "frmMain", Form, "", 0, false},
    {"frmMain", "btnDate", Caption, "...", 0, true},
    {"frmMain", "PopMenu_ShowHide", Caption, "Display/Hide", 0, true},
    {"frmMain", "PopMenu_N1", Caption, "-", 0, true},
    {"frmMain", "PopMenu_Memo", Caption, "Add a memo...", 0, true},
    {"frmMain", "PopMenu_Month", Caption, "Go to month...", 0, true},
    {"frmMain", "PopMenu_Config", Caption, "Configure...", 0, true},
    {"frmMain", "PopMenu_Update", Caption, "Look for updates", 0, true},
    {"frmMain", "PopMenu_SyncNow", Caption, "Synchronise now", 0, true},
    {"frmMain", "PopMenu_N2", Caption, "-", 0, true},
    {"frmMain", "PopMenu_Exit", Caption, "Close", 0, true},

    {"frmConfig", "frmConfig", Form, "Kestrivel", 0, true},
    {"frmConfig", "btnOk", Caption, "Ok", 0, true},
    {"frmConfig", "btnCancel", Caption, "Cancel", 0, true},
    {"frmConfig", "btnApply", Caption, "Apply", 0, true},
    {"frmConfig", "btnExportScheme", Caption, "Export...", 0, true},
    {"frmConfig", "btnImportScheme", Caption, "Import...", 0, true},
    {"frmConfig", "btnSaveScheme", Caption, "Save...", 0, true},
    {"frmConfig", "btnDeleteScheme", Caption, "Delete", 0, true},
    {"frmConfig", "btnRemoveMemo", Caption, "Remove", 0, true},
    {"frmConfig", "btnAddMemo", Caption, "Add...", 0, true},
    {"frmConfig", "btnModifyMemo", Caption, "Modify...", 0, true},
    {"frmConfig", "btnExportMemo", Caption, "Export...", 0, true},
    {"frmConfig", "btnImportMemo", Caption, "Import...", 0, true},
    {"frmConfig", "tbsOptions", Caption, "General", 0, true},
    {"frmConfig", "tbsDisplay", Caption, "Display", 0, true},
    {"frmConfig", "tbsMemos", Caption, "Memos", 0, true},
    {"frmConfig", "tbsAbout", Caption, "About", 0, true},
    {"frmConfig", "lblLanguage", Caption, "Language :", 0, true},
    {"frmConfig", "lblDateFormat", Caption, "Date format :", 0, true},
    {"frmConfig", "lblWeekStart", Caption, "Start of the week :", 0, true},
    {"frmConfig", "lblScheme", Caption, "Scheme :", 0, true},
    {"frmConfig", "lblItem", Caption, "Zone to modify :", 0, true},
    // The About tab sets these itself (version at creation; name, address and notice are fixed);
    // a language file may still replace them.
    {"frmConfig", "lblVersion", Caption, "v" KESTRIVEL_VERSION_TEXT, 0, false},
    {"frmConfig", "lblName", Caption, "Kestrivel", 0, false},
    {"frmConfig", "lblWebsite", Caption, "", 0, false},
    {"frmConfig", "lblCopyright", Caption, "", 0, false},
    {"frmConfig", "chkAutorun", Caption, "Display the calendar on Windows startup.", 0, true},
    {"frmConfig", "chkAutoUpdate", Caption, "Look for update automaticly.", 0, true},
    {"frmConfig", "chkAlwaysOnTop", Caption, "Calendar is always on top.", 0, true},
    {"frmConfig", "chkWeekdays", Caption, "Show week days.", 0, true},
    {"frmConfig", "chkWeekNumbers", Caption, "Show week numbers.", 0, true},
    {"frmConfig", "chkTodaysMemo", Caption, "Show today's memo.", 0, true},
    {"frmConfig", "chkRemind", Caption, "Remind me of today's memos", 0, true},
    {"frmConfig", "grpSync", Caption, "Sync", 0, true},
    {"frmConfig", "lblSyncServer", Caption, "Server address :", 0, true},
    {"frmConfig", "lblSyncUser", Caption, "User name :", 0, true},
    {"frmConfig", "lblSyncPassword", Caption, "Password :", 0, true},
    {"frmConfig", "lblSyncInterval", Caption, "Interval (minutes) :", 0, true},
    {"frmConfig", "btnSyncNow", Caption, "Synchronise now", 0, true},
    {"frmConfig", "lblSyncPlain", Caption, "Not encrypted (http): the password can be read on the network.",
     0, true},
    {"frmConfig", "lblSyncStore", Caption,
     "No secret store runs: the password is kept only until Kestrivel ends (or set KESTRIVEL_SYNC_PASSWORD).",
     0, true},
    {"frmConfig", "btnSyncTrust", Caption, "Trust this certificate", 0, true},
    {"frmConfig", "lblSubscriptions", Caption, "Subscriptions, shown read-only :", 0, true},
    {"frmConfig", "btnSubscriptionRemove", Caption, "Remove", 0, true},
    {"frmConfig", "lblSubscriptionName", Caption, "Name :", 0, true},
    {"frmConfig", "lblSubscriptionAddress", Caption, "Address :", 0, true},
    {"frmConfig", "btnSubscriptionAdd", Caption, "Add", 0, true},
    {"frmConfig", "btnSyncCalendars", Caption, "Find calendars", 0, true},
    {"frmConfig", "lblSyncMemoCalendar", Caption, "Memos in :", 0, true},
    // Refilled from the language files and the scheme list each time the dialog is shown.
    {"frmConfig", "cmbLanguages", Items, "", 0, false},
    {"frmConfig", "cmbDateFormat", Items, "Short;Long", 2, true},
    {"frmConfig", "cmbWeekStart", Items, "Monday;Tuesday;Wednesday;Thursday;Friday;Saturday;Sunday", 7, true},
    {"frmConfig", "cmbSchemes", Items, "", 0, false},
    {"frmConfig", "cmbZone", Items,
     "Calendar;Date (Title);Week days and numbers;Days of the month;Weekends;Today;Days with memos;"
     "Today's memo",
     8, true},
    {"frmConfig", "stgMemos", Grid, "Date;Memo;Type", 3, true},

    {"frmMemo", "frmMemo", Form, "Memo", 0, true},
    {"frmMemo", "lblMax", Caption, "(Max. 255 characters)", 0, true},
    {"frmMemo", "lblMonth", Caption, "Month :", 0, true},
    {"frmMemo", "lblType", Caption, "Type :", 0, true},
    {"frmMemo", "lblDay", Caption, "Day :", 0, true},
    {"frmMemo", "lblYear", Caption, "Year :", 0, true},
    {"frmMemo", "btnOk", Caption, "Ok", 0, true},
    {"frmMemo", "btnCancel", Caption, "Cancel", 0, true},
    {"frmMemo", "cmbMonth", Items,
     "Janvier;F\xC3\xA9vrier;Mars;Avril;Mai;Juin;Juillet;Ao\xC3\xBBt;Septembre;Octobre;Novembre;"
     "D\xC3\xA9"
     "cembre",
     12, true},
    {"frmMemo", "cmbMemoType", Items, "Single;Weekly;Monthly;Yearly", 4, true},
};

void AddListEntries(std::vector<TTranslationKey>& keys, std::string_view section,
                    const TNameValueList& list) {
    for (size_t i = 0; i < list.count(); ++i) {
        std::string_view name, value;
        if (TNameValueList::splitEntry(list.entry(i), name, value)) {
            keys.push_back(
                {std::string(section), std::string(name), TKeyKind::ListEntry, std::string(value), 0, true});
        }
    }
}

std::vector<TTranslationKey> BuildKeys() {
    std::vector<TTranslationKey> keys;
    auto addComponents = [&keys](std::string_view section) {
        for (const auto& c : kComponents) {
            if (section == c.Section) {
                keys.push_back({c.Section, c.Key, c.Kind, c.BuiltIn, c.ItemCount, c.Translated});
            }
        }
    };
    addComponents("frmMain");
    AddListEntries(keys, WeekdaysSection, BuiltInWeekdays());
    addComponents("frmConfig");
    AddListEntries(keys, ValueNamesSection, BuiltInValueNames());
    addComponents("frmMemo");
    AddListEntries(keys, MessagesSection, BuiltInMessages());
    return keys;
}

} // namespace

const std::vector<TTranslationKey>& TranslationKeys() {
    static const std::vector<TTranslationKey> keys = BuildKeys();
    return keys;
}

const std::vector<std::string>& TranslationSections() {
    static const std::vector<std::string> sections = {"frmMain", "frmConfig", "frmMemo",
                                                      std::string(MessagesSection)};
    return sections;
}

const TTranslationKey* FindTranslationKey(std::string_view section, std::string_view key) {
    for (const auto& k : TranslationKeys()) {
        if (k.Section == section && k.Key == key) {
            return &k;
        }
    }
    return nullptr;
}

} // namespace kestrivel
