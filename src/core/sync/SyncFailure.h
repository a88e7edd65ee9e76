#pragma once

#include "config/SyncSettings.h"
#include "sync/CalDavClient.h"
#include "sync/SyncEngine.h"

namespace kestrivel {

// A failed request of the sync as the report names it: the failure and a one-line reason with the
// server's address or the user, as the user would look them up.
void DescribeDavFailure(const TDavStatus& status, const TSyncSettings& settings, TSyncReport& report);

// Changes the server kept refusing (412 or 404 round after round) wait for the next sync; this one
// did not do all it meant to.
void DescribeRefusedChanges(size_t left, TSyncReport& report);

// A sync that failed here, on a file or a thrown error, before or without the server's say.
TSyncReport LocalSyncFailure(std::string reason);

} // namespace kestrivel
