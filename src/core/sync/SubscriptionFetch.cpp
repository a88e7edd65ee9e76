#include "sync/SubscriptionFetch.h"

#include "common/Log.h"
#include "config/ConfigData.h"
#include "sync/CalDavClient.h"
#include "sync/DavUrl.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace kestrivel {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return (t >= 'A' && t <= 'Z' ? static_cast<char>(t - 'A' + 'a') : t) == p;
           });
}

bool isSubscription(const TCachedEvent& event, const TSubscription& subscription) {
    return !event.Source.empty() && event.Source == subscription.source() &&
           event.Href == subscription.Address;
}

// A BEGIN:VEVENT line at the start of a line, in any case; folded lines never split a name.
size_t countEvents(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        count += line.size() == 12 && startsWithNoCase(line, "begin:vevent") ? 1 : 0;
    }
    return count;
}

bool looksLikeCalendar(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    const size_t start = text.find_first_not_of(" \t\r\n");
    return start != std::string_view::npos && startsWithNoCase(text.substr(start), "begin:vcalendar");
}

std::string validators(const THttpResult& answer) {
    return answer.ETag.empty() && answer.LastModified.empty() ? std::string()
                                                              : answer.ETag + '\n' + answer.LastModified;
}

} // namespace

std::string SubscriptionUrl(const std::string& address) {
    std::string url = address;
    if (startsWithNoCase(url, "webcal://")) {
        url = "https://" + url.substr(9);
    }
    if (HasControlCharacter(url) || UrlOrigin(url).empty()) {
        return {};
    }
    return url;
}

bool CanAddSubscription(const std::vector<TSubscription>& subscriptions, const std::string& address) {
    const std::string url = SubscriptionUrl(address);
    return !url.empty() &&
           std::none_of(subscriptions.begin(), subscriptions.end(),
                        [&](const TSubscription& known) { return SubscriptionUrl(known.Address) == url; });
}

TSubscription NewSubscription(const std::string& name, const std::string& address,
                              const TSyncSettings& sync) {
    const std::string url = SubscriptionUrl(address);
    const bool account = !sync.User.empty() && !url.empty() && SameOrigin(url, sync.Server);
    return {name, address, account ? sync.User : std::string()};
}

const TCachedEvent* FindSubscription(const TEventCache& cache, const TSubscription& subscription) {
    const auto found = std::find_if(cache.Events.begin(), cache.Events.end(), [&](const TCachedEvent& event) {
        return isSubscription(event, subscription);
    });
    return found != cache.Events.end() ? &*found : nullptr;
}

THttpRequest SubscriptionRequest(const TSubscription& subscription, const std::string& url,
                                 const TCachedEvent* cached) {
    THttpRequest request;
    request.Url = url;
    request.MaxBytes = kMaxSubscriptionBytes;
    request.Headers.emplace_back("Accept", "text/calendar");
    if (cached != nullptr && !cached->ETag.empty()) {
        const size_t split = cached->ETag.find('\n');
        const std::string etag = cached->ETag.substr(0, split);
        const std::string modified =
            split == std::string::npos ? std::string() : cached->ETag.substr(split + 1);
        if (!etag.empty()) {
            request.Headers.emplace_back("If-None-Match", etag);
        }
        if (!modified.empty()) {
            request.Headers.emplace_back("If-Modified-Since", modified);
        }
    }
    if (!subscription.User.empty()) {
        // The caller follows redirects itself and drops the credentials off the origin.
        request.FollowRedirects = false;
        if (SameOrigin(url, SubscriptionUrl(subscription.Address))) {
            request.Headers.emplace_back("Authorization",
                                         BasicAuthorization(subscription.User, subscription.Password));
        }
    }
    return request;
}

TSubscriptionOutcome ApplySubscriptionAnswer(TEventCache& cache, const TSubscription& subscription,
                                             const THttpResult& answer, std::string& reason) {
    reason.clear();
    if (!answer.Ok) {
        reason = answer.TooLong
                     ? "the calendar is larger than " + std::to_string(kMaxSubscriptionBytes) + " bytes"
                 : answer.Error.empty() ? "no answer"
                                        : answer.Error;
        return TSubscriptionOutcome::Refused;
    }
    if (answer.Status == 304) {
        return TSubscriptionOutcome::Unchanged;
    }
    if (answer.Status != 200) {
        reason = "the server answered " + std::to_string(answer.Status);
        return TSubscriptionOutcome::Refused;
    }
    if (answer.Body.size() > kMaxSubscriptionBytes) {
        reason = "the calendar is larger than " + std::to_string(kMaxSubscriptionBytes) + " bytes";
        return TSubscriptionOutcome::Refused;
    }
    if (!looksLikeCalendar(answer.Body)) {
        reason = "the answer is no calendar";
        return TSubscriptionOutcome::Refused;
    }
    if (countEvents(answer.Body) > kMaxSubscriptionEvents) {
        reason = "the calendar holds more than " + std::to_string(kMaxSubscriptionEvents) + " events";
        return TSubscriptionOutcome::Refused;
    }
    TCachedEvent entry{subscription.source(), subscription.Address, validators(answer), answer.Body};
    auto& events = cache.Events;
    const auto old = std::find_if(events.begin(), events.end(), [&](const TCachedEvent& event) {
        return isSubscription(event, subscription);
    });
    if (old != events.end()) {
        *old = std::move(entry);
    } else {
        events.push_back(std::move(entry));
    }
    return TSubscriptionOutcome::Replaced;
}

bool DropOldSubscriptions(TEventCache& cache, const std::vector<TSubscription>& subscriptions) {
    const size_t before = cache.Events.size();
    std::erase_if(cache.Events, [&](const TCachedEvent& event) {
        return !event.Source.empty() && std::none_of(subscriptions.begin(), subscriptions.end(),
                                                     [&](const TSubscription& subscription) {
                                                         return isSubscription(event, subscription);
                                                     });
    });
    return cache.Events.size() != before;
}

namespace {

// The answer for `subscription`, following redirects by hand when credentials go with it (never
// from https to http).
THttpResult fetchSubscription(const TSubscription& subscription, const TCachedEvent* cached,
                              IDavTransport& transport) {
    std::string url = SubscriptionUrl(subscription.Address);
    if (url.empty()) {
        THttpResult refused;
        refused.Error = "the address is not an http, https or webcal URL without credentials";
        return refused;
    }
    if (!subscription.User.empty() && subscription.Password.empty()) {
        THttpResult refused;
        refused.Error = "no password was given for " + subscription.User;
        return refused;
    }
    for (int hop = 0;; ++hop) {
        THttpResult answer = transport.Send(SubscriptionRequest(subscription, url, cached));
        const bool redirect =
            answer.Ok && answer.Status >= 300 && answer.Status < 400 && answer.Status != 304;
        if (!redirect || subscription.User.empty()) {
            return answer;
        }
        const std::string next = answer.Location.empty() ? std::string() : ResolveHref(url, answer.Location);
        if (hop >= kMaxSubscriptionRedirects || next.empty() || UrlOrigin(next).empty() ||
            (startsWithNoCase(url, "https:") && !startsWithNoCase(next, "https:"))) {
            return answer;
        }
        url = next;
    }
}

} // namespace

TSubscriptionReport RefreshSubscriptions(const TConfigData& data,
                                         const std::vector<TSubscription>& subscriptions,
                                         IDavTransport& transport) {
    TSubscriptionReport report;
    const std::string& folder = data.ProgramFolder();
    std::error_code error;
    if (subscriptions.empty() && !std::filesystem::exists(EventCachePath(folder), error)) {
        return report;
    }
    // The answers are taken before the lock, so that a slow server holds no other writer up; the
    // cache is read again under it.
    TEventCache before;
    LoadEventCache(folder, before);
    std::vector<std::pair<const TSubscription*, THttpResult>> answers;
    for (const TSubscription& subscription : subscriptions) {
        answers.emplace_back(
            &subscription,
            fetchSubscription(subscription, FindSubscription(before, subscription), transport));
    }
    const TConfigData::FilesLock lock = data.LockFiles();
    if (!lock.held()) {
        report.Failures.push_back("cannot lock " + folder);
        return report;
    }
    TEventCache cache;
    LoadEventCache(folder, cache);
    bool changed = DropOldSubscriptions(cache, subscriptions);
    for (const auto& [subscription, answer] : answers) {
        std::string reason;
        switch (ApplySubscriptionAnswer(cache, *subscription, answer, reason)) {
        case TSubscriptionOutcome::Unchanged:
            ++report.Unchanged;
            break;
        case TSubscriptionOutcome::Replaced:
            ++report.Replaced;
            changed = true;
            break;
        case TSubscriptionOutcome::Refused:
            report.Failures.push_back(subscription->source() + ": " + reason);
            break;
        }
    }
    if (changed) {
        report.Written = WriteEventCache(folder, cache);
        if (!report.Written) {
            report.Failures.push_back("cannot write " + EventCachePath(folder));
        }
    }
    for (const std::string& failure : report.Failures) {
        WriteLog(TLogArea::Sync, "subscription: " + failure);
    }
    return report;
}

TSubscriptionReport
RefreshFolderSubscriptions(const std::string& folder, IDavTransport& transport,
                           const std::function<std::string(const TSubscription&)>& password) {
    const TConfigData data(folder);
    std::vector<TSubscription> subscriptions = LoadSubscriptions(data.SettingsPath());
    for (TSubscription& subscription : subscriptions) {
        if (!subscription.User.empty() && password) {
            subscription.Password = password(subscription);
        }
    }
    return RefreshSubscriptions(data, subscriptions, transport);
}

std::string AccountPassword(const TSubscription& subscription, const TSyncSettings& sync) {
    const std::string url = SubscriptionUrl(subscription.Address);
    return !subscription.User.empty() && subscription.User == sync.User && !url.empty() &&
                   SameOrigin(url, sync.Server)
               ? sync.Password
               : std::string();
}

std::string SubscriptionSummary(const TSubscriptionReport& report) {
    return std::to_string(report.Replaced) + " subscriptions received, " + std::to_string(report.Unchanged) +
           " unchanged, " + std::to_string(report.Failures.size()) + " failed";
}

} // namespace kestrivel
