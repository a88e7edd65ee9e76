#include "sync/AccountCalendars.h"

#include <algorithm>

#include "sync/CertificateTrust.h"
#include "sync/DavUrl.h"
#include "sync/SubscriptionFetch.h"

namespace kestrivel {

TDavStatus ListAccountCalendars(const TSyncSettings& sync, IDavTransport& transport,
                                std::vector<TDavCalendar>& out) {
    TCalDavClient client(transport, sync.Server, sync.User, sync.Password);
    client.SetBudget(0);
    if (const std::string trusted = TrustedFingerprint(sync); !trusted.empty()) {
        client.SetTrustedCertificates({trusted});
    }
    return client.ListCalendars(sync.Server, out);
}

bool ShowsAccountCalendar(const TSubscription& subscription, const TDavCalendar& calendar,
                          const TSyncSettings& sync) {
    const std::string url = SubscriptionUrl(subscription.Address);
    return subscription.User == sync.User && !url.empty() && SameCollection(url, calendar.Url);
}

std::vector<TAccountCalendarRow> AccountCalendarRows(const std::vector<TDavCalendar>& calendars,
                                                     const TSyncSettings& sync,
                                                     const std::vector<TSubscription>& subscriptions) {
    const size_t memos = sync.enabled() ? ChosenCalendar(calendars, sync.Server) : calendars.size();
    std::vector<TAccountCalendarRow> rows;
    rows.reserve(calendars.size());
    for (size_t i = 0; i < calendars.size(); ++i) {
        TAccountCalendarRow row{calendars[i], i == memos, false};
        row.Shown =
            !row.Memos &&
            std::any_of(subscriptions.begin(), subscriptions.end(), [&](const TSubscription& subscription) {
                return ShowsAccountCalendar(subscription, row.Calendar, sync);
            });
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string ChooseMemoCalendar(std::vector<TAccountCalendarRow>& rows, size_t memoRow,
                               const std::string& server) {
    if (memoRow >= rows.size() || rows[memoRow].Memos) {
        return server;
    }
    for (TAccountCalendarRow& row : rows) {
        row.Memos = false;
    }
    rows[memoRow].Memos = true;
    rows[memoRow].Shown = false;
    return rows[memoRow].Calendar.Url;
}

std::string CalendarListText(const std::vector<TAccountCalendarRow>& rows) {
    std::string text;
    for (const TAccountCalendarRow& row : rows) {
        text += row.Calendar.Url + '\t' + row.Calendar.Name + '\t' +
                (row.Memos   ? "memos"
                 : row.Shown ? "shown"
                             : "-") +
                '\n';
    }
    return text;
}

std::vector<TSubscription> ApplyCalendarTicks(const std::vector<TAccountCalendarRow>& rows,
                                              const TSyncSettings& sync,
                                              std::vector<TSubscription> subscriptions) {
    for (const TAccountCalendarRow& row : rows) {
        const auto showsRow = [&](const TSubscription& subscription) {
            return ShowsAccountCalendar(subscription, row.Calendar, sync);
        };
        if (!row.Shown || row.Memos) {
            std::erase_if(subscriptions, showsRow);
        } else if (std::none_of(subscriptions.begin(), subscriptions.end(), showsRow) &&
                   static_cast<int>(subscriptions.size()) < kMaxSubscriptions) {
            subscriptions.push_back(NewSubscription(row.Calendar.Name, row.Calendar.Url, sync));
        }
    }
    return subscriptions;
}

} // namespace kestrivel
