#pragma once

#include "config/SyncSettings.h"
#include "sync/CalDavClient.h"
#include "sync/SyncEngine.h"

namespace kestrivel {

// A failed request of the sync as the report names it: the failure and a one-line reason with the
// server's address or the user, as the user would look them up.
void DescribeDavFailure(const TDavStatus& status, const TSyncSettings& settings, TSyncReport& report);

} // namespace kestrivel
