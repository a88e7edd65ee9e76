#pragma once

#include <string>
#include <unordered_map>
#include <utility>

#include "sync/CalDavClient.h"

namespace kestrivel {

// The events of one collection listing (sync-collection rounds or a calendar-query) by the key of
// their hrefs, so that a later answer overrules an earlier one in constant time however many the
// listing holds. Fills a TDavChanges; finish() drops what was overruled.
class DavListing {
public:
    explicit DavListing(TDavChanges& out) : m_out(out) {}

    // Checks and takes one listed event (`raw` as the server wrote it): BadAnswer for an href that
    // is not an address inside `collection`, or when the listing grows past kMaxDavResponses.
    TDavStatus take(const std::string& collection, const std::string& raw, const std::string& etag,
                    bool gone);
    void finish();
    // Forgets what was taken: the listing starts over.
    void clear() { m_seen.clear(); }

private:
    TDavChanges& m_out;
    std::unordered_map<std::string, std::pair<bool, size_t>> m_seen; // key: removed?, index
};

} // namespace kestrivel
