#include "sync/DavListing.h"

#include "sync/DavRequests.h"
#include "sync/DavUrl.h"
#include "sync/DavXml.h"

namespace kestrivel {

namespace {

TDavStatus Unusable(std::string detail) {
    TDavStatus status;
    status.Error = TDavError::BadAnswer;
    status.Detail = std::move(detail);
    return status;
}

} // namespace

TDavStatus DavListing::take(const std::string& collection, const std::string& raw, const std::string& etag,
                            bool gone) {
    const std::string href = ResolveHref(collection, raw);
    if (HasControlCharacter(raw) || !InsideCollection(collection, href)) {
        return Unusable("REPORT " + collection + " listed " + href + ", outside the calendar");
    }
    // Answers within one collection are matched by path, as the client does everywhere.
    const std::string key = HrefKey(UrlPath(href));
    if (const auto known = m_seen.find(key); known != m_seen.end()) {
        auto& [removed, index] = known->second;
        (removed ? m_out.Removed[index] : m_out.Changed[index].Href).clear();
        m_seen.erase(known);
    }
    if (m_seen.size() >= kMaxDavResponses) {
        return Unusable("REPORT " + collection + ": too many events");
    }
    if (!gone) {
        m_seen.emplace(key, std::make_pair(false, m_out.Changed.size()));
        m_out.Changed.push_back(TDavEvent{href, etag, std::string()});
    } else if (!m_out.Full) {
        m_seen.emplace(key, std::make_pair(true, m_out.Removed.size()));
        m_out.Removed.push_back(href);
    }
    return TDavStatus{};
}

void DavListing::finish() {
    std::erase_if(m_out.Changed, [](const TDavEvent& e) { return e.Href.empty(); });
    std::erase_if(m_out.Removed, [](const std::string& href) { return href.empty(); });
    m_seen.clear();
}

} // namespace kestrivel
