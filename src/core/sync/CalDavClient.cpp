#include "sync/CalDavClient.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <utility>

#include "sync/DavRequests.h"
#include "sync/DavXml.h"

namespace kestrivel {

namespace {

// A PROPFIND answer lists a few collections; a REPORT may carry every event of a calendar.
constexpr size_t kPropfindMaxBytes = 4 * 1024 * 1024;
constexpr size_t kReportMaxBytes = 64 * 1024 * 1024;
constexpr size_t kSmallMaxBytes = 1024 * 1024;
constexpr size_t kMultigetBatch = 100;
// A server that truncates its sync-collection answers (507) is asked again from the token it gave;
// this many rounds are far more than any calendar needs.
constexpr int kMaxSyncRounds = 1000;
constexpr const char* kXmlType = "application/xml; charset=utf-8";
constexpr const char* kCalendarType = "text/calendar; charset=utf-8";
constexpr const char* kWellKnown = "/.well-known/caldav";

using Sender = std::function<THttpResult(THttpRequest)>;

bool Is2xx(int status) {
    return status >= 200 && status <= 299;
}

THttpRequest XmlRequest(const char* method, const std::string& url, const char* depth, std::string body,
                        size_t maxBytes) {
    THttpRequest request;
    request.Method = method;
    request.Url = url;
    request.Headers = {{"Depth", depth}, {"Content-Type", kXmlType}};
    request.Body = std::move(body);
    request.MaxBytes = maxBytes;
    return request;
}

TDavStatus Failure(TDavError error, int status, std::string detail) {
    return TDavStatus{error, status, std::move(detail)};
}

// The status of an answer that is not a success: what the HTTP status means for the caller.
TDavStatus StatusOf(const THttpRequest& request, const THttpResult& result) {
    const std::string what = request.Method + " " + request.Url;
    if (!result.Ok) {
        return Failure(TDavError::Network, 0, what + ": " + result.Error);
    }
    const int code = result.Status;
    const std::string detail = what + " answered HTTP " + std::to_string(code);
    if (Is2xx(code)) {
        return TDavStatus{TDavError::None, code, std::string()};
    }
    switch (code) {
    case 401:
    case 403:
        return Failure(TDavError::Unauthorized, code, detail);
    case 404:
    case 410:
        return Failure(TDavError::NotFound, code, detail);
    case 412:
        return Failure(TDavError::PreconditionFailed, code, detail);
    default:
        return Failure(TDavError::Server, code, detail);
    }
}

// Sends an XML request and reads its multistatus answer.
TDavStatus Exchange(const Sender& send, const THttpRequest& request, TDavAnswer& answer) {
    answer = TDavAnswer();
    const THttpResult result = send(request);
    TDavStatus status = StatusOf(request, result);
    if (!status.ok()) {
        return status;
    }
    std::string error;
    if (!ParseDavAnswer(result.Body, answer, error) || !answer.IsMultiStatus) {
        const std::string why = error.empty() ? "no multistatus" : error;
        return Failure(TDavError::BadAnswer, result.Status, request.Method + " " + request.Url + ": " + why);
    }
    return status;
}

std::string WithSlash(std::string url) {
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    return url;
}

// Answers within one collection are matched by path: a server behind a proxy may name its own
// host differently from the address the user gave, and the path decides the resource anyway.
std::string PathKey(const std::string& url) {
    return HrefKey(UrlPath(url));
}

bool HoldsEvents(const TDavResponse& r) {
    // A calendar that does not say which components it takes takes all (RFC 4791 section 5.2.3).
    return r.IsCalendar && (!r.HasComponentSet || std::find(r.Components.begin(), r.Components.end(),
                                                            "VEVENT") != r.Components.end());
}

std::string FirstHref(const std::string& base, const TDavResponse& r) {
    return r.Hrefs.empty() ? std::string() : ResolveHref(base, r.Hrefs.front());
}

std::string HostRoot(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t path =
        scheme == std::string::npos ? std::string::npos : url.find_first_of("/?#", scheme + 3);
    return url.substr(0, path);
}

std::string LastSegment(const std::string& url) {
    std::string path = UrlPath(url);
    path = path.substr(0, path.find('?'));
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return HrefKey(path.substr(path.rfind('/') + 1));
}

using Calendars = std::vector<std::pair<std::string, std::string>>; // URL and display name

// The calendars holding events in the calendar homes of `principal`.
TDavStatus CalendarsOf(const Sender& send, const std::string& principal, Calendars& calendars) {
    TDavAnswer answer;
    TDavStatus status = Exchange(
        send, XmlRequest("PROPFIND", principal, "0", PropfindHomeSetBody(), kPropfindMaxBytes), answer);
    std::vector<std::string> homes;
    for (const TDavResponse& r : answer.Responses) {
        for (const std::string& home : r.HomeSetHrefs) {
            homes.push_back(WithSlash(ResolveHref(principal, home)));
        }
    }
    for (size_t i = 0; i < homes.size() && status.ok(); ++i) {
        status = Exchange(
            send, XmlRequest("PROPFIND", homes[i], "1", PropfindCollectionBody(), kPropfindMaxBytes), answer);
        for (const TDavResponse& r : answer.Responses) {
            if (HoldsEvents(r) && !FirstHref(homes[i], r).empty()) {
                calendars.emplace_back(WithSlash(FirstHref(homes[i], r)), r.DisplayName);
            }
        }
    }
    return status;
}

// Of several calendars, the one the address names: the address lies inside it, or its last path
// segment is the calendar's last segment or display name.
std::string ChooseCalendar(const Calendars& calendars, const std::string& address) {
    const std::string addressKey = PathKey(WithSlash(address));
    const std::string wanted = LastSegment(address);
    for (const auto& [url, name] : calendars) {
        if (addressKey.compare(0, PathKey(url).size(), PathKey(url)) == 0) {
            return url;
        }
    }
    for (const auto& [url, name] : calendars) {
        if (!wanted.empty() && (LastSegment(url) == wanted || HrefKey(name) == wanted)) {
            return url;
        }
    }
    return calendars.front().first;
}

// Every VEVENT's ETag, and its data `withData`, by calendar-query.
TDavStatus QueryEvents(const Sender& send, const std::string& collection, bool withData,
                       std::vector<TDavEvent>& out) {
    TDavAnswer answer;
    const TDavStatus status = Exchange(
        send, XmlRequest("REPORT", collection, "1", CalendarQueryBody(withData), kReportMaxBytes), answer);
    if (!status.ok()) {
        return status;
    }
    const std::string self = PathKey(collection);
    for (TDavResponse& r : answer.Responses) {
        const std::string href = FirstHref(collection, r);
        if (!href.empty() && PathKey(href) != self && r.HasETag && (r.Status == 0 || Is2xx(r.Status)) &&
            (!withData || r.HasCalendarData)) {
            out.push_back(TDavEvent{href, r.ETag, std::move(r.CalendarData)});
        }
    }
    return status;
}

// Lists every VEVENT's ETag with calendar-query, for servers without sync-collection.
TDavStatus ListByQuery(const Sender& send, const std::string& collection, TDavChanges& out) {
    out = TDavChanges();
    out.Full = true;
    return QueryEvents(send, collection, false, out.Changed);
}

// Takes one sync-collection answer into `out`; later rounds of a truncated answer overrule earlier
// ones. True when the server says it left changes out (507 on the collection itself).
bool TakeSyncAnswer(const std::string& collection, const TDavAnswer& answer, TDavChanges& out) {
    const std::string self = PathKey(collection);
    bool truncated = false;
    // The last word on each path, in the order first heard, found in one lookup: a listing of tens
    // of thousands of events costs no more per event than a short one.
    struct Heard {
        TDavEvent Event;
        bool Gone;
    };
    std::vector<Heard> heard;
    std::unordered_map<std::string, size_t> byPath;
    auto hear = [&heard, &byPath](const std::string& key, TDavEvent event, bool gone) {
        const auto [at, fresh] = byPath.emplace(key, heard.size());
        if (fresh) {
            heard.push_back({std::move(event), gone});
        } else {
            heard[at->second] = {std::move(event), gone};
        }
    };
    for (TDavEvent& event : out.Changed) {
        const std::string key = PathKey(event.Href);
        hear(key, std::move(event), false);
    }
    for (std::string& href : out.Removed) {
        const std::string key = PathKey(href);
        hear(key, TDavEvent{std::move(href), std::string(), std::string()}, true);
    }
    for (const TDavResponse& r : answer.Responses) {
        const std::string href = FirstHref(collection, r);
        const std::string key = PathKey(href);
        if (href.empty() || key == self) {
            truncated |= r.Status == 507;
            continue;
        }
        const bool gone = r.Status == 404 || r.Status == 410;
        if (!gone && !r.HasETag) {
            continue; // a member that is no event (a sub-collection, a property the server lacks)
        }
        hear(key, TDavEvent{href, gone ? std::string() : r.ETag, std::string()}, gone);
    }
    out.Changed.clear();
    out.Removed.clear();
    for (Heard& h : heard) {
        if (!h.Gone) {
            out.Changed.push_back(std::move(h.Event));
        } else if (!out.Full) {
            out.Removed.push_back(std::move(h.Event.Href));
        }
    }
    out.Token = answer.SyncToken;
    return truncated;
}

bool IsOneOf(int status, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), status) != codes.end();
}

} // namespace

TCalDavClient::TCalDavClient(IDavTransport& transport, std::string user, std::string password)
    : m_transport(transport), m_user(std::move(user)), m_password(std::move(password)) {}

THttpResult TCalDavClient::send(THttpRequest request) {
    if (!m_user.empty()) {
        request.Headers.emplace_back("Authorization", BasicAuthorization(m_user, m_password));
    }
    return m_transport.Send(request);
}

TDavStatus TCalDavClient::Discover(const std::string& address, std::string& collection) {
    collection.clear();
    const Sender sender = [this](THttpRequest r) { return send(std::move(r)); };
    auto propfind = [&sender](const std::string& url, const char* depth, std::string body,
                              TDavAnswer& answer) {
        return Exchange(sender, XmlRequest("PROPFIND", url, depth, std::move(body), kPropfindMaxBytes),
                        answer);
    };
    auto fatal = [](const TDavStatus& s) {
        return s.Error == TDavError::Network || (s.Error == TDavError::Unauthorized && s.HttpStatus == 401);
    };
    // The address itself may be the calendar; if not, its answer may name the user's principal.
    TDavAnswer answer;
    TDavStatus status = propfind(address, "0", PropfindCollectionBody(), answer);
    if (fatal(status)) {
        return status;
    }
    const TDavStatus atAddress = status;
    std::string principal;
    for (const TDavResponse& r : answer.Responses) {
        if (HoldsEvents(r)) {
            collection = WithSlash(FirstHref(address, r).empty() ? address : FirstHref(address, r));
            return TDavStatus{};
        }
        if (principal.empty() && !r.PrincipalHref.empty()) {
            principal = ResolveHref(address, r.PrincipalHref);
        }
    }
    if (principal.empty()) {
        const std::string wellKnown = HostRoot(address) + kWellKnown;
        status = propfind(wellKnown, "0", PropfindPrincipalBody(), answer);
        if (fatal(status)) {
            return status;
        }
        for (const TDavResponse& r : answer.Responses) {
            if (principal.empty() && !r.PrincipalHref.empty()) {
                principal = ResolveHref(wellKnown, r.PrincipalHref);
            }
        }
    }
    if (principal.empty() && atAddress.Error == TDavError::BadAnswer) {
        return atAddress; // something answered there, just not WebDAV: say so rather than "no calendar"
    }
    if (principal.empty()) {
        return Failure(TDavError::NotCalendar, status.HttpStatus, address + ": no calendar and no principal");
    }
    Calendars calendars;
    status = CalendarsOf(sender, principal, calendars);
    if (!status.ok()) {
        return status;
    }
    if (calendars.empty()) {
        return Failure(TDavError::NotCalendar, status.HttpStatus, address + ": no calendar holds events");
    }
    collection = ChooseCalendar(calendars, address);
    return TDavStatus{};
}

TDavStatus TCalDavClient::Changes(const std::string& collection, const std::string& token, TDavChanges& out) {
    out = TDavChanges();
    out.Full = token.empty();
    const Sender sender = [this](THttpRequest r) { return send(std::move(r)); };
    std::string from = token;
    for (int round = 0; round < kMaxSyncRounds; ++round) {
        const THttpRequest request =
            XmlRequest("REPORT", collection, "0", SyncCollectionBody(from), kReportMaxBytes);
        const THttpResult result = sender(request);
        const TDavStatus status = StatusOf(request, result);
        if (result.Ok && !Is2xx(result.Status) && result.Status != 401) {
            TDavAnswer refusal;
            std::string ignored;
            ParseDavAnswer(result.Body, refusal, ignored);
            const bool tokenRefused = refusal.HasCondition("valid-sync-token");
            if (!from.empty() && (tokenRefused || IsOneOf(result.Status, {403, 409}))) {
                // The server forgot the token: start over with the whole listing.
                from.clear();
                out = TDavChanges();
                out.Full = true;
                continue;
            }
            if (!tokenRefused && IsOneOf(result.Status, {400, 403, 405, 501})) {
                return ListByQuery(sender, collection, out);
            }
        }
        if (!status.ok()) {
            return status;
        }
        std::string error;
        TDavAnswer answer;
        if (!ParseDavAnswer(result.Body, answer, error) || !answer.IsMultiStatus) {
            return Failure(TDavError::BadAnswer, result.Status,
                           "REPORT " + collection + ": " + (error.empty() ? "no multistatus" : error));
        }
        if (answer.SyncToken.empty()) {
            return ListByQuery(sender, collection, out); // a server that takes the report but cannot sync
        }
        if (!TakeSyncAnswer(collection, answer, out)) {
            return status;
        }
        from = out.Token;
    }
    return Failure(TDavError::Server, 507, "REPORT " + collection + ": the changes do not end");
}

TDavStatus TCalDavClient::Fetch(const std::string& collection, const std::vector<std::string>& hrefs,
                                std::vector<TDavEvent>& out) {
    out.clear();
    const Sender sender = [this](THttpRequest r) { return send(std::move(r)); };
    for (size_t first = 0; first < hrefs.size(); first += kMultigetBatch) {
        const size_t end = std::min(hrefs.size(), first + kMultigetBatch);
        std::vector<std::string> paths;
        for (size_t i = first; i < end; ++i) {
            paths.push_back(UrlPath(ResolveHref(collection, hrefs[i])));
        }
        TDavAnswer answer;
        const TDavStatus status = Exchange(
            sender, XmlRequest("REPORT", collection, "1", MultigetBody(paths), kReportMaxBytes), answer);
        if (!status.ok()) {
            return status;
        }
        std::unordered_map<std::string, const TDavResponse*> byPath;
        for (const TDavResponse& r : answer.Responses) {
            for (const std::string& href : r.Hrefs) {
                byPath.emplace(PathKey(ResolveHref(collection, href)), &r);
            }
        }
        for (size_t i = first; i < end; ++i) {
            const auto found = byPath.find(HrefKey(paths[i - first]));
            if (found == byPath.end()) {
                continue;
            }
            const TDavResponse& r = *found->second;
            if (r.HasCalendarData && (r.Status == 0 || Is2xx(r.Status))) {
                out.push_back(TDavEvent{hrefs[i], r.ETag, r.CalendarData});
            }
        }
    }
    return TDavStatus{};
}

TDavStatus TCalDavClient::FetchAll(const std::string& collection, std::vector<TDavEvent>& out) {
    out.clear();
    return QueryEvents([this](THttpRequest r) { return send(std::move(r)); }, collection, true, out);
}

TDavStatus TCalDavClient::Put(const std::string& href, const std::string& data, const std::string& ifMatch,
                              std::string& newEtag) {
    newEtag.clear();
    THttpRequest request;
    request.Method = "PUT";
    request.Url = href;
    request.Headers = {{"Content-Type", kCalendarType}};
    request.Headers.emplace_back(ifMatch.empty() ? "If-None-Match" : "If-Match",
                                 ifMatch.empty() ? "*" : ifMatch);
    request.Body = data;
    request.MaxBytes = kSmallMaxBytes;
    const THttpResult result = send(request);
    const TDavStatus status = StatusOf(request, result);
    if (status.ok()) {
        newEtag = result.ETag;
    }
    return status;
}

TDavStatus TCalDavClient::Delete(const std::string& href, const std::string& ifMatch) {
    THttpRequest request;
    request.Method = "DELETE";
    request.Url = href;
    if (!ifMatch.empty()) {
        request.Headers.emplace_back("If-Match", ifMatch);
    }
    request.MaxBytes = kSmallMaxBytes;
    const TDavStatus status = StatusOf(request, send(request));
    if (status.Error == TDavError::NotFound) {
        return TDavStatus{TDavError::None, status.HttpStatus, std::string()};
    }
    return status;
}

} // namespace kestrivel
