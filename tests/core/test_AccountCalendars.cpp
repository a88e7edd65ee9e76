#include "sync/AccountCalendars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

const std::string kRoot = "http://127.0.0.1:5232/";
const std::vector<TDavCalendar> kCalendars = {
    {kRoot + "alice/memos/", "Memos", false},
    {kRoot + "alice/family%20cal/", "Family", true},
    {kRoot + "alice/work/", "Work", false},
};
const TSubscription kHolidays{"Holidays", "https://example.org/holidays.ics", ""};
// The family calendar as a user may have typed it: no closing slash.
const TSubscription kFamily{"Family", "http://127.0.0.1:5232/alice/family%20cal", "alice"};

// "name|address|user; " per subscription.
std::string Written(const std::vector<TSubscription>& subscriptions) {
    std::string text;
    for (const TSubscription& s : subscriptions) {
        text += s.Name + "|" + s.Address + "|" + s.User + "; ";
    }
    return text;
}

// 'M' the memo calendar, 'x' shown, '-' neither, per row.
std::string Marks(const std::vector<TAccountCalendarRow>& rows) {
    std::string marks;
    for (const TAccountCalendarRow& row : rows) {
        marks += row.Memos ? 'M' : row.Shown ? 'x' : '-';
    }
    return marks;
}

struct TickCase {
    const char* Name;
    std::string Server;
    std::vector<TSubscription> Before;
    int Filler;        // further subscriptions of other addresses before them
    std::string Rows;  // as read from the settings
    int MemoRow;       // the calendar the user chose for the memos, -1 none
    std::string Ticks; // the user's ticks afterwards, 'x' per shown row
    std::string ServerAfter;
    std::string After; // the subscriptions written, the filler left out
};

const TickCase kCases[] = {
    {"the server's root: the first calendar holds the memos, a subscription of the account shows its own",
     kRoot,
     {kHolidays, kFamily},
     0,
     "Mx-",
     -1,
     "-x-",
     kRoot,
     "Holidays|https://example.org/holidays.ics|; Family|http://127.0.0.1:5232/alice/family%20cal|alice; "},
    {"a tick adds the calendar by its name, an untick removes that one only",
     kRoot,
     {kHolidays, kFamily},
     0,
     "Mx-",
     -1,
     "--x",
     kRoot,
     "Holidays|https://example.org/holidays.ics|; Work|http://127.0.0.1:5232/alice/work/|alice; "},
    {"another user's subscription of a calendar is not the account's",
     kRoot,
     {{"Family", kFamily.Address, "bob"}},
     0,
     "M--",
     -1,
     "-x-",
     kRoot,
     "Family|http://127.0.0.1:5232/alice/family%20cal|bob; "
     "Family|http://127.0.0.1:5232/alice/family%20cal/|alice; "},
    {"an address naming a calendar: it holds the memos and loses its subscription",
     kRoot + "alice/work",
     {{"Work", kRoot + "alice/work/", "alice"}, kHolidays},
     0,
     "--M",
     -1,
     "---",
     kRoot + "alice/work",
     "Holidays|https://example.org/holidays.ics|; "},
    {"another calendar chosen for the memos: the address moves there and its subscription goes",
     kRoot,
     {kFamily},
     0,
     "Mx-",
     1,
     "x--",
     kRoot + "alice/family%20cal/",
     "Memos|http://127.0.0.1:5232/alice/memos/|alice; "},
    {"the memo calendar chosen again keeps the address as it was", kRoot, {}, 0, "M--", 0, "---", kRoot, ""},
    {"a full list takes no tick", kRoot, {}, kMaxSubscriptions, "M--", -1, "-xx", kRoot, ""},
};

TEST(AccountCalendars, TicksTable) {
    for (const TickCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        TSyncSettings sync;
        sync.Server = c.Server;
        sync.User = "alice";
        std::vector<TSubscription> before;
        for (int i = 0; i < c.Filler; ++i) {
            before.push_back({"", "https://example.org/" + std::to_string(i) + ".ics", ""});
        }
        const std::vector<TSubscription> filler = before;
        before.insert(before.end(), c.Before.begin(), c.Before.end());

        std::vector<TAccountCalendarRow> rows = AccountCalendarRows(kCalendars, sync, before);
        EXPECT_EQ(Marks(rows), c.Rows);
        if (c.MemoRow >= 0) {
            sync.Server = ChooseMemoCalendar(rows, static_cast<size_t>(c.MemoRow), sync.Server);
        }
        EXPECT_EQ(sync.Server, c.ServerAfter);
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].Shown = c.Ticks[i] == 'x';
        }
        std::vector<TSubscription> after = ApplyCalendarTicks(rows, sync, before);
        ASSERT_GE(after.size(), filler.size());
        EXPECT_TRUE(std::equal(filler.begin(), filler.end(), after.begin()));
        after.erase(after.begin(), after.begin() + c.Filler);
        EXPECT_EQ(Written(after), c.After);
    }
}

// What `kestrivel --calendars` prints: one tab-separated line per calendar.
TEST(AccountCalendars, ListingNamesEachRowsPart) {
    const std::vector<TAccountCalendarRow> rows = {
        {kCalendars[0], true, false}, {kCalendars[1], false, true}, {kCalendars[2], false, false}};
    EXPECT_EQ(CalendarListText(rows), "http://127.0.0.1:5232/alice/memos/\tMemos\tmemos\n"
                                      "http://127.0.0.1:5232/alice/family%20cal/\tFamily\tshown\n"
                                      "http://127.0.0.1:5232/alice/work/\tWork\t-\n");
}

} // namespace
