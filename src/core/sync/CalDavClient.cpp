#include "sync/CalDavClient.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <utility>

#include "sync/DavExchange.h"
#include "sync/DavListing.h"
#include "sync/DavRequests.h"
#include "sync/DavUrl.h"
#include "sync/DavXml.h"

namespace kestrivel {

using namespace dav;

namespace {

// A REPORT may carry every event of a calendar.
constexpr size_t kReportMaxBytes = 64 * 1024 * 1024;
constexpr size_t kSmallMaxBytes = 1024 * 1024;
constexpr size_t kMultigetBatch = 100;
// A server that truncates its sync-collection answers (507) is asked again from the token it gave;
// this many rounds are far more than any calendar needs.
constexpr int kMaxSyncRounds = 1000;
// Redirects within the server followed for one request; a server moving a calendar needs one or two.
constexpr int kMaxRedirects = 5;
constexpr const char* kCalendarType = "text/calendar; charset=utf-8";

// Every VEVENT's ETag, and its data `withData`, by calendar-query, as a full listing in `out`.
TDavStatus QueryEvents(const Sender& send, const std::string& collection, bool withData, TDavChanges& out) {
    TDavAnswer answer;
    TDavStatus status = Exchange(
        send, XmlRequest("REPORT", collection, "1", CalendarQueryBody(withData), kReportMaxBytes), answer);
    const std::string self = PathKey(collection);
    DavListing listing(out);
    for (size_t i = 0; i < answer.Responses.size() && status.ok(); ++i) {
        TDavResponse& r = answer.Responses[i];
        const std::string href = FirstHref(collection, r);
        // Every listed href is checked, whether or not its data came along.
        if (!href.empty() && PathKey(href) != self && r.HasETag && (r.Status == 0 || Is2xx(r.Status))) {
            status = listing.take(collection, r.Hrefs.front(), r.ETag, false);
            if (status.ok() && withData) {
                out.Changed.back().Data = std::move(r.CalendarData);
            }
        }
    }
    listing.finish();
    // A server that leaves the data out (or lists events it cannot send) is asked the long way.
    if (status.ok() && withData &&
        std::any_of(out.Changed.begin(), out.Changed.end(),
                    [](const TDavEvent& e) { return e.Data.empty(); })) {
        status =
            Failure(TDavError::BadAnswer, 207, "REPORT " + collection + ": events listed without their data");
    }
    return status;
}

// Lists every VEVENT's ETag with calendar-query, for servers without sync-collection.
TDavStatus ListByQuery(const Sender& send, const std::string& collection, TDavChanges& out) {
    out = TDavChanges();
    out.Full = true;
    return QueryEvents(send, collection, false, out);
}

// Takes one sync-collection answer into the listing; later rounds of a truncated answer overrule
// earlier ones. `truncated` when the server says it left changes out (507 on the collection itself).
TDavStatus TakeSyncAnswer(const std::string& collection, const TDavAnswer& answer, DavListing& listing,
                          bool& truncated) {
    const std::string self = PathKey(collection);
    truncated = false;
    for (const TDavResponse& r : answer.Responses) {
        const std::string href = FirstHref(collection, r);
        if (href.empty() || PathKey(href) == self) {
            truncated |= r.Status == 507;
            continue;
        }
        const bool gone = r.Status == 404 || r.Status == 410;
        if (!gone && !r.HasETag) {
            continue; // a member that is no event (a sub-collection, a property the server lacks)
        }
        if (TDavStatus status = listing.take(collection, r.Hrefs.front(), r.ETag, gone); !status.ok()) {
            return status;
        }
    }
    return TDavStatus{};
}

bool IsOneOf(int status, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), status) != codes.end();
}

} // namespace

TCalDavClient::TCalDavClient(IDavTransport& transport, std::string address, std::string user,
                             std::string password)
    : m_transport(transport), m_address(std::move(address)), m_user(std::move(user)),
      m_password(std::move(password)) {}

THttpResult TCalDavClient::send(THttpRequest request) {
    request.FollowRedirects = false;
    request.TrustedCertificates = m_trusted;
    const auto overBudget = [this] {
        THttpResult spent;
        spent.Error = UrlOrigin(m_address) + " sent more than this sync allows (" +
                      std::to_string(m_budgetBytes / (1024 * 1024)) + " MiB)";
        spent.TooLong = true;
        return spent;
    };
    if (m_budgetBytes > 0 && m_spentBytes > m_budgetBytes) {
        return overBudget();
    }
    for (int hop = 0;; ++hop) {
        // The callers check every address a server names; this is the last guard for the password.
        if (!SameOrigin(m_address, request.Url)) {
            THttpResult refused;
            refused.Error = "not sent outside " + UrlOrigin(m_address);
            return refused;
        }
        THttpRequest sent = request;
        if (!m_user.empty()) {
            sent.Headers.emplace_back("Authorization", BasicAuthorization(m_user, m_password));
        }
        sent.MaxBytes = static_cast<size_t>(std::min<uint64_t>(
            sent.MaxBytes, m_budgetBytes > 0 ? m_budgetBytes - m_spentBytes + 1 : sent.MaxBytes));
        THttpResult result = m_transport.Send(sent);
        m_spentBytes += result.WireBytes + result.Body.size();
        if ((m_budgetBytes > 0 && m_spentBytes > m_budgetBytes) ||
            (result.TooLong && sent.MaxBytes < request.MaxBytes)) {
            return overBudget();
        }
        if (!result.Ok || result.Status < 300 || result.Status > 399 || result.Location.empty()) {
            return result;
        }
        result.Location = ResolveHref(request.Url, result.Location);
        // A write goes where it was meant to or nowhere; a redirect that never ends leads nowhere.
        if (IsWrite(request) || !SameOrigin(m_address, result.Location) ||
            HasControlCharacter(result.Location)) {
            return result;
        }
        if (hop == kMaxRedirects) {
            result.Location.clear();
            return result;
        }
        request.Url = result.Location;
    }
}

TDavStatus TCalDavClient::Changes(const std::string& collection, const std::string& token, TDavChanges& out) {
    out = TDavChanges();
    out.Full = token.empty();
    const Sender sender = [this](THttpRequest r) { return send(std::move(r)); };
    DavListing listing(out);
    std::string from = token;
    for (int round = 0; round < kMaxSyncRounds; ++round) {
        const THttpRequest request =
            XmlRequest("REPORT", collection, "0", SyncCollectionBody(from), kReportMaxBytes);
        const THttpResult result = sender(request);
        TDavStatus status = StatusOf(request, result);
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
                listing.clear();
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
        if (status = chargeEntries(answer.Responses.size(), collection); !status.ok()) {
            listing.finish();
            return status;
        }
        bool truncated = false;
        status = TakeSyncAnswer(collection, answer, listing, truncated);
        if (!status.ok()) {
            listing.finish();
            return status;
        }
        out.Token = answer.SyncToken;
        if (!truncated) {
            listing.finish();
            return status;
        }
        from = out.Token;
    }
    listing.finish();
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
        if (TDavStatus spent = chargeEntries(answer.Responses.size(), collection); !spent.ok()) {
            return spent;
        }
        // Each answer may cost a parse of up to the answer cap; one that names far more events than
        // were asked for would cost that once per batch of a large calendar.
        if (answer.Responses.size() > 2 * paths.size() + kMultigetBatch) {
            return Failure(TDavError::BadAnswer, 207,
                           "REPORT " + collection + ": the answer names far more events than were asked for");
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
    TDavChanges all;
    all.Full = true;
    const TDavStatus status =
        QueryEvents([this](THttpRequest r) { return send(std::move(r)); }, collection, true, all);
    out = std::move(all.Changed);
    return status;
}

TDavStatus TCalDavClient::refusedWrite(const std::string& method, const std::string& collection,
                                       const std::string& href) const {
    if (!InsideCollection(collection, href)) {
        return Failure(TDavError::BadAnswer, 0,
                       method + " " + href + " refused: outside the calendar " + collection);
    }
    if (!m_readOnly.empty() && collection == m_readOnly) {
        return Failure(TDavError::ReadOnly, 0,
                       method + " " + href + " refused: the calendar's privileges allow no writes");
    }
    return TDavStatus{};
}

TDavStatus TCalDavClient::Put(const std::string& collection, const std::string& href, const std::string& data,
                              const std::string& ifMatch, std::string& newEtag) {
    newEtag.clear();
    if (TDavStatus refused = refusedWrite("PUT", collection, href); !refused.ok()) {
        return refused;
    }
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

TDavStatus TCalDavClient::Delete(const std::string& collection, const std::string& href,
                                 const std::string& ifMatch) {
    if (TDavStatus refused = refusedWrite("DELETE", collection, href); !refused.ok()) {
        return refused;
    }
    THttpRequest request;
    request.Method = "DELETE";
    request.Url = href;
    if (!ifMatch.empty()) {
        request.Headers.emplace_back("If-Match", ifMatch);
    }
    request.MaxBytes = kSmallMaxBytes;
    const TDavStatus status = StatusOf(request, send(request));
    if (status.Error == TDavError::NotFound) {
        return Success(status.HttpStatus);
    }
    return status;
}

} // namespace kestrivel
