#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sync/CalDavClient.h"
#include "sync/EventCache.h"
#include "sync/SyncReconcile.h"
#include "sync/SyncState.h"

namespace kestrivel {

class TConfigData;

// Whether the sync shows `entry`'s event from the cache instead of as a memo: an event no memo says
// exactly, or whose date or repeat slot another memo holds, that has a usable date.
bool IsShownAsEvent(const TSyncEntry& entry);

// Brings the cache's events of the memos' calendar (those without a Source) in line with the state:
// exactly the entries shown as events stay, each with the server's text of the entry's ETag, taken
// from `fetched` (the texts this sync fetched, by HrefKey) or else kept from the cache. Events of
// other calendars and subscriptions stay as they are. Returns the hrefs whose text is in neither
// place, to be fetched; `changed` tells whether the cache differs from before.
std::vector<std::string> UpdateServerEvents(TEventCache& cache, const std::vector<TSyncEntry>& entries,
                                            const std::unordered_map<std::string, TDavEvent>& fetched,
                                            bool& changed);

// Memos that earlier versions made of events no memo may say exactly: their events are read once more,
// the first time `folder` has no Events.dat, so that the unedited ones move beside the memos. Hrefs of
// the state's shown, inexact entries that `remote` does not hold already; none once the file exists.
std::vector<std::string> MemosToRecheck(const std::string& folder, const std::vector<TSyncEntry>& entries,
                                        const TRemoteChanges& remote);

struct TServerEventCounts {
    int Shown = 0;   // the server's events in the cache
    int Missing = 0; // events shown as events whose text could not be had
};

// Events.dat of `data`'s folder brought in line with the state (UpdateServerEvents), the texts in
// neither place fetched through `fetch`, and written under the folder's lock when it changed or did
// not exist yet.
TServerEventCounts
StoreServerEvents(const TConfigData& data, const std::vector<TSyncEntry>& entries,
                  const std::unordered_map<std::string, TDavEvent>& fetched,
                  const std::function<bool(const std::vector<std::string>&, std::vector<TDavEvent>&)>& fetch);

} // namespace kestrivel
