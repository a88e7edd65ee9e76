#pragma once

#include "sync/DavTransport.h"
#include "sync/EventCodec.h"

#include <QStringList>

#include <memory>

namespace kestrivel {

// How long the sync waits for one answer: a server listing a large calendar takes its time.
inline constexpr int kSyncRequestTimeoutMs = 60000;

// The sync's two seams from the program's modules: the network transport of "kestrivel-http" and
// the iCalendar codec of "kestrivel-ical". Each is null when its module or entry point is missing,
// so a calendar installed without them runs and only its sync fails. The transport must be used on
// the thread that made it. An empty `folders` means the program's module folders.
std::unique_ptr<IDavTransport> CreateModuleDavTransport(int timeoutMs, const QStringList& folders = {});
std::unique_ptr<IEventCodec> CreateModuleEventCodec(const QStringList& folders = {});

} // namespace kestrivel
