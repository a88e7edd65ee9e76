#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "config/SubscriptionSettings.h"
#include "config/SyncSettings.h"
#include "sync/CalDavClient.h"
#include "sync/DavTransport.h"

namespace kestrivel {

// One calendar of the sync's account as the Sync group lists it.
struct TAccountCalendarRow {
    TDavCalendar Calendar;
    bool Memos = false; // the calendar the memos sync with: never also shown as a subscription
    bool Shown = false; // ticked: shown read-only beside the memos, as a subscription of the account
    bool operator==(const TAccountCalendarRow&) const = default;
};

// The calendars of the account of `sync` through `transport` (ListCalendars at its address), asked as
// the sync asks: with its user and password, trusting the certificate the user trusts for it, within
// a sync's budget.
TDavStatus ListAccountCalendars(const TSyncSettings& sync, IDavTransport& transport,
                                std::vector<TDavCalendar>& out);

// Whether `subscription` shows `calendar` of the account of `sync`: its user is the account's and
// its address, as fetched, names the calendar's collection.
bool ShowsAccountCalendar(const TSubscription& subscription, const TDavCalendar& calendar,
                          const TSyncSettings& sync);

// The rows of `calendars` (as ListCalendars found them) for the account and subscriptions as they
// are: the memo calendar is the one the sync address leads to (ChosenCalendar), a calendar is shown
// when a subscription shows it.
std::vector<TAccountCalendarRow> AccountCalendarRows(const std::vector<TDavCalendar>& calendars,
                                                     const TSyncSettings& sync,
                                                     const std::vector<TSubscription>& subscriptions);

// Moves the memos to row `memoRow`, which is then shown only as the memo calendar, and gives the
// sync address that leads there: `server` as it is when that row holds the memos already.
std::string ChooseMemoCalendar(std::vector<TAccountCalendarRow>& rows, size_t memoRow,
                               const std::string& server);

// One line per row: its address, its name and "memos", "shown" or "-", separated by tabs.
std::string CalendarListText(const std::vector<TAccountCalendarRow>& rows);

// `subscriptions` with the rows' ticks applied: a shown row without a subscription gains one
// (NewSubscription by the calendar's name and address, while the list has room); a row not shown, and
// the memo calendar, lose the account's subscriptions of their calendar. Subscriptions of calendars
// the rows do not list are kept as they are, in their order.
std::vector<TSubscription> ApplyCalendarTicks(const std::vector<TAccountCalendarRow>& rows,
                                              const TSyncSettings& sync,
                                              std::vector<TSubscription> subscriptions);

} // namespace kestrivel
