#include "sync/AccountCalendars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

const std::string kRoot = "http://h/";
const std::vector<TDavCalendar> kCalendars = {{kRoot + "a/memos/", "Memos", false},
                                              {kRoot + "a/family%20cal/", "Family", true},
                                              {kRoot + "a/work/", "Work", false}};
// The subscriptions a case starts with, by letter: a holiday feed, the family calendar as a user may
// have typed it (no closing slash), the same by another user, the work calendar.
TSubscription Subscription(char letter) {
    switch (letter) {
    case 'F':
        return {"F", "http://h/a/family%20cal", "alice"};
    case 'B':
        return {"F", "http://h/a/family%20cal", "bob"};
    case 'W':
        return {"W", kRoot + "a/work/", "alice"};
    default:
        return {"H", "https://o/h.ics", ""};
    }
}

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
    std::string Before; // subscriptions by letter
    int Filler;         // further subscriptions of other addresses before them
    std::string Rows;   // as read from the settings
    int MemoRow;        // the calendar the user chose for the memos, -1 none
    std::string Ticks;  // the user's ticks afterwards, 'x' per shown row
    std::string ServerAfter;
    std::string After; // the subscriptions written, the filler left out
};

const TickCase kCases[] = {
    {"the server's root: the first calendar holds the memos, a subscription of the account shows its own",
     kRoot, "HF", 0, "Mx-", -1, "-x-", kRoot, "H|https://o/h.ics|; F|http://h/a/family%20cal|alice; "},
    {"a tick adds the calendar by its name, an untick removes that one only", kRoot, "HF", 0, "Mx-", -1,
     "--x", kRoot, "H|https://o/h.ics|; Work|http://h/a/work/|alice; "},
    {"another user's subscription of a calendar is not the account's", kRoot, "B", 0, "M--", -1, "-x-", kRoot,
     "F|http://h/a/family%20cal|bob; Family|http://h/a/family%20cal/|alice; "},
    {"an address naming a calendar: it holds the memos and loses its subscription", kRoot + "a/work", "WH", 0,
     "--M", -1, "---", kRoot + "a/work", "H|https://o/h.ics|; "},
    {"another calendar chosen for the memos: the address moves there and its subscription goes", kRoot, "F",
     0, "Mx-", 1, "x--", kRoot + "a/family%20cal/", "Memos|http://h/a/memos/|alice; "},
    {"the memo calendar chosen again keeps the address as it was", kRoot, "", 0, "M--", 0, "---", kRoot, ""},
    {"a full list takes no tick", kRoot, "", kMaxSubscriptions, "M--", -1, "-xx", kRoot, ""},
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
        for (char letter : c.Before) {
            before.push_back(Subscription(letter));
        }

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

} // namespace
