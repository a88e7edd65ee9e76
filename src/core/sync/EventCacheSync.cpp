#include "sync/EventCacheSync.h"

#include "sync/DavXml.h"

#include <cmath>
#include <utility>

namespace kestrivel {

bool IsShownAsEvent(const TSyncEntry& entry) {
    return (entry.Mode == TEntryMode::Hidden || entry.Mode == TEntryMode::Event) &&
           !std::isnan(entry.Base.Date);
}

std::vector<std::string> UpdateServerEvents(TEventCache& cache, const std::vector<TSyncEntry>& entries,
                                            const std::unordered_map<std::string, TDavEvent>& fetched,
                                            bool& changed) {
    std::unordered_map<std::string, TCachedEvent> cached; // the memos' calendar, by HrefKey
    TEventCache next;
    for (TCachedEvent& event : cache.Events) {
        if (event.Source.empty()) {
            cached.emplace(HrefKey(event.Href), std::move(event));
        } else {
            next.Events.push_back(std::move(event));
        }
    }
    const size_t others = next.Events.size();
    size_t kept = 0;
    std::vector<std::string> missing;
    for (const TSyncEntry& entry : entries) {
        if (!IsShownAsEvent(entry)) {
            continue;
        }
        const std::string key = HrefKey(entry.Href);
        const auto copy = fetched.find(key);
        const auto old = cached.find(key);
        if (copy != fetched.end() && copy->second.ETag == entry.ETag) {
            const bool same = old != cached.end() && old->second.ETag == entry.ETag &&
                              old->second.Data == copy->second.Data;
            kept += same ? 1 : 0;
            next.Events.push_back({{}, entry.Href, entry.ETag, copy->second.Data});
        } else if (old != cached.end() && old->second.ETag == entry.ETag && !entry.ETag.empty()) {
            ++kept;
            next.Events.push_back(std::move(old->second));
        } else {
            missing.push_back(entry.Href);
        }
    }
    changed = kept != cached.size() || next.Events.size() - others != kept;
    cache = std::move(next);
    return missing;
}

} // namespace kestrivel
