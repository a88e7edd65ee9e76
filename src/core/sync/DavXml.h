#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrivel {

// One <response> of a WebDAV multistatus. The properties are those of the propstats whose status
// is 2xx (or that carry none); a property a server reports as 404 counts as absent. Hrefs are kept
// as the server wrote them (trimmed); the client resolves them against the request's URL.
struct TDavResponse {
    std::vector<std::string> Hrefs;
    int Status = 0; // the response's own <status> (sync-collection: 404 = removed), 0 when none

    bool HasETag = false;
    std::string ETag;
    bool HasCalendarData = false;
    std::string CalendarData; // as the server sent it, every line ending in CR LF
    std::string DisplayName;
    bool IsCollection = false;
    bool IsCalendar = false;
    bool HasComponentSet = false;          // supported-calendar-component-set was reported
    std::vector<std::string> Components;   // its comp names, upper case: VEVENT, VTODO, ...
    std::string PrincipalHref;             // current-user-principal/href
    std::vector<std::string> HomeSetHrefs; // calendar-home-set/href
    std::string SyncToken;                 // a sync-token property
    // current-user-privilege-set was reported; CanWrite when it grants any of all, write,
    // write-content or bind (RFC 3744), the rights an upload needs.
    bool HasPrivileges = false;
    bool CanWrite = false;
};

// A multistatus answer, or a bare <error> body (a REPORT refused with 403 or 409).
struct TDavAnswer {
    bool IsMultiStatus = false;
    std::vector<TDavResponse> Responses;
    std::string SyncToken; // the multistatus's own <sync-token> (sync-collection)
    // Preconditions named inside <error> elements, by local name when in the DAV: or CalDAV
    // namespace ("valid-sync-token", "supported-report", ...).
    std::vector<std::string> Conditions;
    bool HasCondition(const std::string& name) const;
};

// The largest answer read at all; the transport's MaxBytes is lower for every request.
inline constexpr size_t kMaxDavAnswerBytes = 64 * 1024 * 1024;
// The most responses one answer may hold. A memo file holds at most 65,535 memos; a calendar may hold
// some events more that no memo shows, but a listing far beyond that is of no use to the sync and
// would only cost memory. Of the lists inside one response (hrefs, homes, components) at most
// kMaxDavListItems are kept.
inline constexpr size_t kMaxDavResponses = 2 * 65536;
inline constexpr size_t kMaxDavListItems = 16;

// Reads a WebDAV answer with namespace-aware matching ("DAV:", "urn:ietf:params:xml:ns:caldav";
// prefixes do not matter). Refuses, with a one-line reason in `error`, what is not well-formed XML,
// any DOCTYPE (so no entity can expand), nesting deeper than 64 elements, an answer over
// kMaxDavAnswerBytes or with more than kMaxDavResponses responses, and a root that is neither
// multistatus nor error.
bool ParseDavAnswer(const std::string& xml, TDavAnswer& out, std::string& error);

// The status code of an HTTP status line ("HTTP/1.1 404 Not Found" -> 404); 0 when none reads.
int StatusLineCode(const std::string& line);

// A key under which two spellings of one resource's URL compare equal: scheme and host in lower
// case, and every percent escape decoded except %2F (servers differ in which characters they
// escape: Radicale writes "%40" for '@' where a client may have sent '@'). Not an address to send.
std::string HrefKey(const std::string& url);

} // namespace kestrivel
