#include "sync/DavRequests.h"

namespace kestrivel {

namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

} // namespace

std::string PropfindCollectionBody() {
    return std::string(kHead) + "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">\n"
                                " <d:prop>\n"
                                "  <d:resourcetype/>\n"
                                "  <c:supported-calendar-component-set/>\n"
                                "  <d:displayname/>\n"
                                "  <d:current-user-principal/>\n"
                                "  <d:current-user-privilege-set/>\n"
                                "  <d:sync-token/>\n"
                                " </d:prop>\n"
                                "</d:propfind>\n";
}

std::string PropfindHomeSetBody() {
    return std::string(kHead) + "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">\n"
                                " <d:prop>\n"
                                "  <c:calendar-home-set/>\n"
                                " </d:prop>\n"
                                "</d:propfind>\n";
}

std::string PropfindPrincipalBody() {
    return std::string(kHead) + "<d:propfind xmlns:d=\"DAV:\">\n"
                                " <d:prop>\n"
                                "  <d:current-user-principal/>\n"
                                " </d:prop>\n"
                                "</d:propfind>\n";
}

std::string SyncCollectionBody(const std::string& token) {
    // RFC 6578 wants the element present and empty for an initial sync.
    const std::string tokenElement =
        token.empty() ? "  <d:sync-token/>\n" : "  <d:sync-token>" + XmlEscaped(token) + "</d:sync-token>\n";
    return std::string(kHead) + "<d:sync-collection xmlns:d=\"DAV:\">\n" + tokenElement +
           "  <d:sync-level>1</d:sync-level>\n"
           "  <d:prop>\n"
           "    <d:getetag/>\n"
           "  </d:prop>\n"
           "</d:sync-collection>\n";
}

std::string CalendarQueryBody(bool withData) {
    return std::string(kHead) +
           "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">\n"
           " <d:prop>\n"
           "  <d:getetag/>\n" +
           (withData ? "  <c:calendar-data/>\n" : "") +
           " </d:prop>\n"
           " <c:filter>\n"
           "  <c:comp-filter name=\"VCALENDAR\">\n"
           "   <c:comp-filter name=\"VEVENT\"/>\n"
           "  </c:comp-filter>\n"
           " </c:filter>\n"
           "</c:calendar-query>\n";
}

std::string MultigetBody(const std::vector<std::string>& hrefs) {
    std::string body = std::string(kHead) +
                       "<c:calendar-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">\n"
                       " <d:prop>\n"
                       "  <d:getetag/>\n"
                       "  <c:calendar-data/>\n"
                       " </d:prop>\n";
    for (const std::string& href : hrefs) {
        body += " <d:href>" + XmlEscaped(href) + "</d:href>\n";
    }
    return body + "</c:calendar-multiget>\n";
}

std::string XmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UrlPath(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t from = scheme == std::string::npos ? 0 : url.find('/', scheme + 3);
    if (from == std::string::npos) {
        return "/";
    }
    const size_t fragment = url.find('#', from);
    return url.substr(from, fragment == std::string::npos ? std::string::npos : fragment - from);
}

} // namespace kestrivel
