#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sync/DavTransport.h"

namespace kestrivel {

// Why a request to the calendar server did not do what was asked.
enum class TDavError {
    None,
    Network,            // no answer: server down, no route, time-out
    Unauthorized,       // 401: wrong user or password
    Forbidden,          // 403 on reading the calendar: this user may not see it
    ReadOnly,           // 403 or 405 on a write, or the calendar's privileges allow none
    Redirected,         // the server sends the request to another origin; Location says where
    NotCalendar,        // the address leads to no calendar that holds events
    PreconditionFailed, // 412: the event changed (If-Match) or exists (If-None-Match) on the server
    NotFound,           // 404/410 (on the address itself when Discover finds nothing else)
    BadAnswer,          // an answer that does not read (not XML, not a multistatus, too long, too
                        // many responses) or names what the client refuses to ask for
    Server,             // any other status
    Untrusted,          // https with a certificate neither an authority nor the user vouches for
};

struct TDavStatus {
    TDavError Error = TDavError::None;
    int HttpStatus = 0;
    std::string Detail;           // one line, English, for logs and `kestrivel --sync`; may hold what the
                                  // server sent, so it is made printable before it is shown
    std::string Location;         // Redirected: the absolute URL on the other origin
    TCertificateInfo Certificate; // Untrusted: what the server showed
    bool ok() const { return Error == TDavError::None; }
};

// One calendar object resource: its address (absolute URL), ETag (quotes kept) and, once fetched,
// its iCalendar text.
struct TDavEvent {
    std::string Href;
    std::string ETag;
    std::string Data;
};

// One calendar of the user's account, as discovery finds it.
struct TDavCalendar {
    std::string Url;  // absolute, ending in "/"
    std::string Name; // its display name, or its last path segment when it has none; one line
    bool ReadOnly = false;
    bool operator==(const TDavCalendar&) const = default;
};

// What changed in a collection since a sync token, or its whole listing.
struct TDavChanges {
    // True when Changed lists every event of the collection (first sync, a token the server no
    // longer knows, or a server without sync-collection): events the caller knew that are not
    // listed are gone.
    bool Full = false;
    std::vector<TDavEvent> Changed; // Href and ETag; Data empty
    std::vector<std::string> Removed;
    std::string Token; // the new sync token; empty when the server offers none
};

// CalDAV (RFC 4791) with collection sync (RFC 6578) over a blocking transport. Addresses the server
// answers with (hrefs) are resolved against the request's URL, so callers deal in absolute URLs only.
//
// The password goes only where the user sent it: every request carries Basic authentication when a
// user is given, and no request leaves the origin (scheme, host, port) of the configured address.
// A redirect within it is followed for reading; one to another origin, and a principal or
// calendar home there, ends the call with Redirected. Listed events outside the collection, and
// addresses with control characters, make the answer unusable; writes go only inside the collection.
class TCalDavClient {
public:
    // `address`: the server address the user configured, whose origin the credentials belong to.
    TCalDavClient(IDavTransport& transport, std::string address, std::string user, std::string password);

    // The calendar collection to sync with, as an absolute URL ending in "/": `address` itself
    // when it is a calendar collection that holds VEVENTs; otherwise current-user-principal ->
    // calendar-home-set -> the first calendar there that holds VEVENTs (the one named in the
    // address's path wins when there are several). NotCalendar when none is found. Forbidden at
    // once when the address answers 403; when it failed otherwise (404, not WebDAV) and no principal
    // turns up, that failure.
    TDavStatus Discover(const std::string& address, std::string& collection);
    // Every calendar of the account that holds events, in the order its calendar homes list them:
    // current-user-principal (from `address` or /.well-known/caldav) -> calendar-home-set -> the
    // calendars there, on the configured origin only. An address that is a calendar and names no
    // principal lists itself. Fails as Discover does; NotCalendar when no calendar holds events.
    TDavStatus ListCalendars(const std::string& address, std::vector<TDavCalendar>& out);
    // The collection's sync token as the last Discover read it (RFC 6578 DAV:sync-token); empty when
    // the server names none. Taken before a first sync reads the events, it lets the next sync ask
    // only for what changed since.
    const std::string& DiscoveredToken() const { return m_token; }

    // Changes since `token` through sync-collection; with an empty token, a token the server
    // rejects (403/409 valid-sync-token) or no sync-collection support, the full listing (by
    // sync-collection without a token, else a calendar-query for VEVENT ETags).
    TDavStatus Changes(const std::string& collection, const std::string& token, TDavChanges& out);

    // The events named by `hrefs` with their data and current ETags (calendar-multiget, in
    // batches). Hrefs the server no longer has are left out of `out`.
    TDavStatus Fetch(const std::string& collection, const std::vector<std::string>& hrefs,
                     std::vector<TDavEvent>& out);

    // Every event of the collection with its data and ETag, in one calendar-query: what a first
    // sync needs, at the cost of one listing. Full listings can be large; callers fall back to
    // Changes and Fetch when this fails.
    TDavStatus FetchAll(const std::string& collection, std::vector<TDavEvent>& out);

    // PUT `data` (text/calendar) at `href` inside `collection`: with an empty `ifMatch` only when
    // nothing is there (If-None-Match: *), else only when the ETag still is `ifMatch`. `newEtag`
    // receives the ETag of the answer, empty when the server sends none. PreconditionFailed when the
    // condition fails; BadAnswer, nothing sent, when `href` does not lie inside `collection`;
    // ReadOnly, nothing sent, when Discover read that the user may not write to `collection`.
    TDavStatus Put(const std::string& collection, const std::string& href, const std::string& data,
                   const std::string& ifMatch, std::string& newEtag);

    // DELETE `href` inside `collection` only when its ETag still is `ifMatch`; NotFound counts as
    // done. Refused as Put is.
    TDavStatus Delete(const std::string& collection, const std::string& href, const std::string& ifMatch);

    // What one sync may take from the server, sized to the calendar (`knownEvents`: the events the
    // last sync left, and the memos): bytes off the wire and as decoded, and listed entries counted
    // as received, repeats included. Past either the call fails, naming the server; a floor keeps
    // a first sync of a large calendar possible.
    void SetBudget(size_t knownEvents);
    // Certificates the user trusts for this server (SHA-256 fingerprints), sent with every request.
    void SetTrustedCertificates(std::vector<std::string> fingerprints) {
        m_trusted = std::move(fingerprints);
    }

private:
    THttpResult send(THttpRequest request);
    TDavStatus chargeEntries(size_t entries, const std::string& url);
    TDavStatus refusedWrite(const std::string& method, const std::string& collection,
                            const std::string& href) const;

    IDavTransport& m_transport;
    std::string m_address;
    std::string m_user;
    std::string m_password;
    std::string m_readOnly; // the collection Discover found read-only, empty when none
    std::string m_token;    // the collection's sync token as Discover found it
    std::vector<std::string> m_trusted;
    uint64_t m_budgetBytes = 0;
    uint64_t m_spentBytes = 0;
    uint64_t m_budgetEntries = 0;
    uint64_t m_spentEntries = 0;
};

// The budget of one sync with a calendar of `knownEvents` events: bytes charged (wire and decoded)
// and listed entries received.
struct TDavBudget {
    uint64_t Bytes = 0;
    uint64_t Entries = 0;
};
TDavBudget DavBudgetFor(size_t knownEvents);

// Of the account's calendars, the one Discover takes for `address`: the calendar the address lies
// inside, else the one whose last path segment or display name is the address's last segment, else
// the first. `calendars.size()` when there are none.
size_t ChosenCalendar(const std::vector<TDavCalendar>& calendars, const std::string& address);

// "Basic " and the base64 of "user:password" (RFC 7617), the password as UTF-8.
std::string BasicAuthorization(const std::string& user, const std::string& password);

// `href` (absolute URL, absolute path or relative reference) resolved against `base` (an absolute
// http or https URL), RFC 3986 section 5.2; percent escapes are kept as they are.
std::string ResolveHref(const std::string& base, const std::string& href);

} // namespace kestrivel
