// Discovery: from the address the user gave to the account's calendars and the one to sync with.
#include "sync/CalDavClient.h"

#include <utility>

#include "common/TextTrim.h"
#include "sync/DavExchange.h"
#include "sync/DavRequests.h"
#include "sync/DavUrl.h"
#include "sync/DavXml.h"

namespace kestrivel {

using namespace dav;

namespace {

constexpr const char* kWellKnown = "/.well-known/caldav";

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

bool ReadOnlyBy(const TDavResponse& r) {
    return r.HasPrivileges && !r.CanWrite;
}

// Whether the client may ask `url` with the credentials of `address`: no control characters, the
// same origin. Redirected when the server names another origin.
TDavStatus Reachable(const std::string& address, const std::string& url, const char* what) {
    if (HasControlCharacter(url)) {
        return Failure(TDavError::BadAnswer, 0,
                       std::string("the server named a ") + what + " that is not an address: " + url);
    }
    if (!SameOrigin(address, url)) {
        TDavStatus moved = Failure(TDavError::Redirected, 0,
                                   std::string("the server named a ") + what + " on another origin: " + url);
        moved.Location = url;
        return moved;
    }
    return TDavStatus{};
}

// A calendar as the list shows it: a server that names none is shown by its address's last segment,
// and whatever it names is one printable line.
TDavCalendar Listed(const std::string& url, const TDavResponse& r) {
    const std::string name = r.DisplayName.empty() ? LastSegment(url) : r.DisplayName;
    return TDavCalendar{WithSlash(url), OneLine(name), ReadOnlyBy(r)};
}

// The calendars holding events in the calendar homes of `principal`, with their sync tokens. Homes
// must lie on the origin of `address`; calendars a home lists elsewhere are passed over.
TDavStatus CalendarsOf(const Sender& send, const std::string& address, const std::string& principal,
                       std::vector<TDavCalendar>& calendars, std::vector<std::string>& tokens) {
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
        status = Reachable(address, homes[i], "calendar home");
        if (!status.ok()) {
            break;
        }
        status = Exchange(
            send, XmlRequest("PROPFIND", homes[i], "1", PropfindCollectionBody(), kPropfindMaxBytes), answer);
        for (const TDavResponse& r : answer.Responses) {
            const std::string url = FirstHref(homes[i], r);
            if (HoldsEvents(r) && !url.empty() && Reachable(address, url, "calendar").ok()) {
                calendars.push_back(Listed(url, r));
                tokens.push_back(r.SyncToken);
            }
        }
    }
    return status;
}

// What the address the user gave says of itself: a calendar of events, or the user's principal
// (asked of /.well-known/caldav when the address names neither).
struct AddressAnswer {
    TDavStatus Status;    // a failure that ends the search
    TDavStatus AtAddress; // what the address itself answered
    bool IsCalendar = false;
    TDavCalendar Calendar; // the address's calendar, when it is one
    std::string Token;
    std::string Principal;
};

AddressAnswer AskAddress(const Sender& sender, const std::string& configured, const std::string& address) {
    auto propfind = [&sender](const std::string& url, std::string body, TDavAnswer& answer) {
        return Exchange(sender, XmlRequest("PROPFIND", url, "0", std::move(body), kPropfindMaxBytes), answer);
    };
    auto fatal = [](const TDavStatus& s) {
        return s.Error == TDavError::Network || s.Error == TDavError::Unauthorized ||
               s.Error == TDavError::Redirected;
    };
    AddressAnswer out;
    // The address itself may be the calendar; if not, its answer may name the user's principal. An
    // address this user may not see is not swapped for a calendar of the user's own.
    TDavAnswer answer;
    out.AtAddress = propfind(address, PropfindCollectionBody(), answer);
    if (fatal(out.AtAddress) || out.AtAddress.Error == TDavError::Forbidden) {
        out.Status = out.AtAddress;
        return out;
    }
    for (const TDavResponse& r : answer.Responses) {
        if (HoldsEvents(r) && !out.IsCalendar) {
            const std::string found = FirstHref(address, r).empty() ? address : FirstHref(address, r);
            if (TDavStatus reachable = Reachable(configured, found, "calendar"); !reachable.ok()) {
                out.Status = reachable;
                return out;
            }
            out.IsCalendar = true;
            out.Calendar = Listed(found, r);
            out.Token = r.SyncToken;
        }
        if (out.Principal.empty() && !r.PrincipalHref.empty()) {
            out.Principal = ResolveHref(address, r.PrincipalHref);
        }
    }
    if (out.Principal.empty() && !out.IsCalendar) {
        const std::string wellKnown = HostRoot(address) + kWellKnown;
        const TDavStatus status = propfind(wellKnown, PropfindPrincipalBody(), answer);
        if (fatal(status)) {
            out.Status = status;
            return out;
        }
        for (const TDavResponse& r : answer.Responses) {
            if (out.Principal.empty() && !r.PrincipalHref.empty()) {
                out.Principal = ResolveHref(wellKnown, r.PrincipalHref);
            }
        }
        // The address refused or failed, and nothing else named the user's calendars: say what it
        // answered rather than "no calendar".
        if (out.Principal.empty()) {
            out.Status = out.AtAddress.ok() ? Failure(TDavError::NotCalendar, status.HttpStatus,
                                                      address + ": no calendar and no principal")
                                            : out.AtAddress;
            return out;
        }
    }
    if (!out.Principal.empty()) {
        out.Status = Reachable(configured, out.Principal, "principal");
    }
    return out;
}

} // namespace

size_t ChosenCalendar(const std::vector<TDavCalendar>& calendars, const std::string& address) {
    const std::string addressKey = PathKey(WithSlash(address));
    const std::string wanted = LastSegment(address);
    for (size_t i = 0; i < calendars.size(); ++i) {
        const std::string key = PathKey(calendars[i].Url);
        if (addressKey.compare(0, key.size(), key) == 0) {
            return i;
        }
    }
    for (size_t i = 0; i < calendars.size(); ++i) {
        if (!wanted.empty() &&
            (LastSegment(calendars[i].Url) == wanted || HrefKey(calendars[i].Name) == wanted)) {
            return i;
        }
    }
    return calendars.empty() ? calendars.size() : 0;
}

TDavStatus TCalDavClient::Discover(const std::string& address, std::string& collection) {
    collection.clear();
    m_readOnly.clear();
    m_token.clear();
    const Sender sender = [this](THttpRequest r) { return send(std::move(r)); };
    const AddressAnswer asked = AskAddress(sender, m_address, address);
    if (asked.IsCalendar) {
        // The address is the calendar: its principal, wherever it lies, is not asked.
        collection = asked.Calendar.Url;
        m_readOnly = asked.Calendar.ReadOnly ? collection : std::string();
        m_token = asked.Token;
        return TDavStatus{};
    }
    if (!asked.Status.ok()) {
        return asked.Status;
    }
    std::vector<TDavCalendar> calendars;
    std::vector<std::string> tokens;
    const TDavStatus status = CalendarsOf(sender, m_address, asked.Principal, calendars, tokens);
    if (!status.ok()) {
        return status;
    }
    if (calendars.empty()) {
        return Failure(TDavError::NotCalendar, status.HttpStatus, address + ": no calendar holds events");
    }
    const size_t chosen = ChosenCalendar(calendars, address);
    collection = calendars[chosen].Url;
    m_readOnly = calendars[chosen].ReadOnly ? collection : std::string();
    m_token = tokens[chosen];
    return TDavStatus{};
}

TDavStatus TCalDavClient::ListCalendars(const std::string& address, std::vector<TDavCalendar>& out) {
    out.clear();
    const Sender sender = [this](THttpRequest r) { return send(std::move(r)); };
    const AddressAnswer asked = AskAddress(sender, m_address, address);
    if (!asked.Status.ok()) {
        return asked.Status;
    }
    std::vector<std::string> tokens;
    TDavStatus status;
    if (!asked.Principal.empty()) {
        status = CalendarsOf(sender, m_address, asked.Principal, out, tokens);
        if (!status.ok()) {
            out.clear();
            return status;
        }
    }
    if (out.empty() && asked.IsCalendar) {
        out.push_back(asked.Calendar);
    }
    if (out.empty()) {
        return Failure(TDavError::NotCalendar, status.HttpStatus, address + ": no calendar holds events");
    }
    return TDavStatus{};
}

} // namespace kestrivel
