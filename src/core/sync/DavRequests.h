#pragma once

#include <string>
#include <vector>

namespace kestrivel {

// The XML bodies the client sends (RFC 4918 PROPFIND, RFC 4791 REPORTs, RFC 6578 sync-collection).

// resourcetype, supported-calendar-component-set, displayname, current-user-principal and
// current-user-privilege-set: one PROPFIND tells whether an address is a calendar, whether this user
// may write to it and, if it is none, whose it is.
std::string PropfindCollectionBody();
// calendar-home-set of a principal.
std::string PropfindHomeSetBody();
// current-user-principal alone (on /.well-known/caldav).
std::string PropfindPrincipalBody();
// sync-collection at sync-level 1 asking for getetag; an empty token asks for everything.
std::string SyncCollectionBody(const std::string& token);
// calendar-query for the ETags of every VEVENT, and their data `withData`.
std::string CalendarQueryBody(bool withData = false);
// calendar-multiget of getetag and calendar-data for `hrefs` (paths or URLs as they are sent).
std::string MultigetBody(const std::vector<std::string>& hrefs);

// `text` with &, <, >, " escaped for an XML text or attribute.
std::string XmlEscaped(const std::string& text);

// The path (and query) of an absolute URL, "/" when it has none: what an href in a request holds.
std::string UrlPath(const std::string& url);

} // namespace kestrivel
