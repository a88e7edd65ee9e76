#include "sync/EventCacheSync.h"

#include "common/Log.h"
#include "config/ConfigData.h"
#include "sync/DavXml.h"

#include <cmath>
#include <filesystem>
#include <unordered_set>
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

std::vector<std::string> MemosToRecheck(const std::string& folder, const std::vector<TSyncEntry>& entries,
                                        const TRemoteChanges& remote) {
    std::vector<std::string> hrefs;
    std::error_code error;
    if (std::filesystem::exists(EventCachePath(folder), error)) {
        return hrefs;
    }
    std::unordered_set<std::string> fetched;
    for (const TRemoteEvent& event : remote.Changed) {
        fetched.insert(HrefKey(event.Href));
    }
    for (const TSyncEntry& entry : entries) {
        if (entry.Mode == TEntryMode::Shown && entry.Inexact && !fetched.contains(HrefKey(entry.Href))) {
            hrefs.push_back(entry.Href);
        }
    }
    return hrefs;
}

TServerEventCounts StoreServerEvents(
    const TConfigData& data, const std::vector<TSyncEntry>& entries,
    const std::unordered_map<std::string, TDavEvent>& fetched,
    const std::function<bool(const std::vector<std::string>&, std::vector<TDavEvent>&)>& fetch) {
    const std::string& folder = data.ProgramFolder();
    TEventCache cache;
    const bool had = LoadEventCache(folder, cache);
    bool changed = false;
    std::vector<std::string> missing = UpdateServerEvents(cache, entries, fetched, changed);
    std::vector<TDavEvent> events;
    if (!missing.empty() && fetch(missing, events)) {
        std::unordered_map<std::string, TDavEvent> more;
        for (TDavEvent& event : events) {
            more.emplace(HrefKey(event.Href), std::move(event));
        }
        bool again = false;
        missing = UpdateServerEvents(cache, entries, more, again);
        changed = changed || again;
    }
    TServerEventCounts counts;
    for (const TCachedEvent& event : cache.Events) {
        counts.Shown += event.Source.empty() ? 1 : 0;
    }
    counts.Missing = static_cast<int>(missing.size());
    if (changed || !had) {
        const TConfigData::FilesLock lock = data.LockFiles();
        if (!lock.held() || !WriteEventCache(folder, cache)) {
            WriteLog(TLogArea::Sync, "cannot write " + EventCachePath(folder));
        }
    }
    return counts;
}

} // namespace kestrivel
