#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "sync/CalDavClient.h"
#include "sync/EventCache.h"
#include "sync/SyncState.h"

namespace kestrivel {

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

} // namespace kestrivel
