#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "config/SubscriptionSettings.h"
#include "config/SyncSettings.h"
#include "sync/DavTransport.h"
#include "sync/EventCache.h"

namespace kestrivel {

class TConfigData;

// Bounds of one subscription's answer, as every answer has: its bytes as decoded and its events.
inline constexpr size_t kMaxSubscriptionBytes = size_t{16} << 20;
inline constexpr size_t kMaxSubscriptionEvents = 20'000;
// Redirects followed by hand for a request that carries credentials.
inline constexpr int kMaxSubscriptionRedirects = 5;

// The URL a subscription is fetched from: http and https as they are, webcal as https. Empty for
// any other scheme, for an address holding a user name or password or a control character, and for
// one that is not an absolute URL.
std::string SubscriptionUrl(const std::string& address);

// Whether `address` may be added to `subscriptions`: an http, https or webcal address without
// credentials or control characters that is not in the list already (compared as fetched).
bool CanAddSubscription(const std::vector<TSubscription>& subscriptions, const std::string& address);

// The subscription the user adds by `name` and `address`: another calendar of the sync's account
// (the server's origin, a user set) is asked as that user, with the account's password; anything
// else without credentials.
TSubscription NewSubscription(const std::string& name, const std::string& address, const TSyncSettings& sync);

// A subscription is kept in the cache as one entry: Source its name, Href its address, Data the
// calendar as last received, ETag its validators, the answer's ETag and Last-Modified joined by a
// line feed. The entry of `subscription` in `cache`, or null.
const TCachedEvent* FindSubscription(const TEventCache& cache, const TSubscription& subscription);

// The GET for `url` (SubscriptionUrl of `subscription`): If-None-Match and If-Modified-Since from
// `cached` when it holds them, Basic authentication only when the user gave a name and only while
// `url` has the origin of the subscription's own address (redirects are then followed by the caller).
THttpRequest SubscriptionRequest(const TSubscription& subscription, const std::string& url,
                                 const TCachedEvent* cached);

enum class TSubscriptionOutcome {
    Unchanged, // 304: the cache stays as it is
    Replaced,  // 200 with a calendar within bounds: that subscription's entry replaced
    Refused,   // anything else: the cache stays as it is, the reason says why
};

// What an answer to SubscriptionRequest does to `cache`: only the entry of `subscription` is ever
// replaced; a 200 that is no calendar, holds more than kMaxSubscriptionEvents events or is larger
// than kMaxSubscriptionBytes leaves it as it was.
TSubscriptionOutcome ApplySubscriptionAnswer(TEventCache& cache, const TSubscription& subscription,
                                             const THttpResult& answer, std::string& reason);

// Drops the entries of subscriptions no longer in `subscriptions`; true when any went.
bool DropOldSubscriptions(TEventCache& cache, const std::vector<TSubscription>& subscriptions);

struct TSubscriptionReport {
    int Unchanged = 0;
    int Replaced = 0;
    std::vector<std::string> Failures; // one line per subscription that could not be refreshed
    bool Written = false;              // Events.dat was replaced: what it holds changed
};

// Fetches every subscription through `transport` (one with a user name but no password is left as
// it was, unasked) and brings Events.dat of `data`'s folder in line,
// written under the folder's lock only when something changed. With no subscriptions and no
// Events.dat nothing is read or written.
TSubscriptionReport RefreshSubscriptions(const TConfigData& data,
                                         const std::vector<TSubscription>& subscriptions,
                                         IDavTransport& transport);

// The same for the subscriptions of `folder`'s Settings.ini; `password` gives the password of one
// with a user name (empty when there is none).
TSubscriptionReport
RefreshFolderSubscriptions(const std::string& folder, IDavTransport& transport,
                           const std::function<std::string(const TSubscription&)>& password);

// Another calendar of the sync's account, subscribed to by its address, is asked with the account's
// password: the sync's password when the user name is the sync's and the address has the server's
// origin; empty otherwise.
std::string AccountPassword(const TSubscription& subscription, const TSyncSettings& sync);

// "2 subscriptions received, 1 unchanged, 0 failed", for the sync's line.
std::string SubscriptionSummary(const TSubscriptionReport& report);

} // namespace kestrivel
