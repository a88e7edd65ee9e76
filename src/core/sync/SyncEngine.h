#pragma once

#include <atomic>

#include <cstdint>
#include <functional>
#include <string>

#include "config/SyncSettings.h"
#include "sync/CalDavClient.h"

namespace kestrivel {

class TConfigData;
class IEventCodec;

// Why a sync did not finish; each has a translatable text in the program and a one-line English
// reason for `kestrivel --sync`.
enum class TSyncFailure {
    None,
    NotConfigured,        // no server address
    Network,              // server down or unreachable
    Unauthorized,         // wrong user or password
    NotCalendar,          // the address leads to no calendar
    Server,               // the server answered something unusable
    LocalFile,            // Memos.dat or the state file could not be read or written
    ReadOnly,             // the server refuses writes to the calendar
    Forbidden,            // the server refuses the user access to the calendar (403)
    NoCalendar,           // nothing at the address (404 on the collection)
    BadAddress,           // the address is not an http or https URL
    CredentialsInAddress, // the address holds a user or password; they belong in their own fields
    Redirected,           // the server sends the sync to another origin; it is not followed with credentials
    NoSecretStore,        // no password given and no secret store to read one from
    Incomplete,           // changes were meant for the server and not all of them went out
    MemoFileDamaged,      // Memos.dat does not read completely; nothing is decided on it
    RemovalsRefused,      // the sync would remove many of the events it knows, and that was not allowed
    ModuleMissing,        // the program's network or iCalendar module is not installed
    SecretStoreSilent,    // the desktop's secret store did not answer in time
    Untrusted,            // the server's certificate is not trusted, or changed since the user trusted it
    SyncBusy,             // another sync of the same folder held on for the whole wait
};

struct TSyncReport {
    TSyncFailure Failure = TSyncFailure::None;
    std::string Reason;   // one line, English; empty on success
    int Sent = 0;         // events created or changed on the server
    int Received = 0;     // memos added or changed here
    int Removed = 0;      // memos or events removed, on either side
    int Joined = 0;       // memos edited on both sides whose texts were joined (the user is told)
    int NotShown = 0;     // events on the server drawn neither as memos nor beside them (unreadable)
    int Unpaired = 0;     // events left beside a memo of their date that may be their older copy
    int RemovalsHeld = 0; // RemovalsRefused: the events the sync would have removed from the server
    int Left = 0;         // changes meant for the server that did not go out (Incomplete, RemovalsRefused,
                          // or a failure while sending)
    std::string Location; // Redirected: where the server sent the sync, printable
    TCertificateInfo Certificate; // Untrusted: the certificate the server showed
    bool MemosChanged = false;
    // Events on the server drawn beside the memos from their own data.
    int ShownAsEvents = 0;
    bool ok() const { return Failure == TSyncFailure::None; }
};

// NotConfigured, BadAddress or CredentialsInAddress with its reason when `settings` cannot be synced
// as they are, None otherwise. The reason never repeats an address that holds a password.
TSyncFailure CheckSyncAddress(const TSyncSettings& settings, std::string& reason);

// The name of the sync state file beside Memos.dat.
inline constexpr const char* kSyncStateFileName = "Sync.dat";

// One two-way sync of `data`'s memos (loaded by the caller) with the calendar at
// `settings.Server`: changes from the server come in, local changes go out with If-Match /
// If-None-Match, and Memos.dat (through TConfigData::SaveMemos, merging what others wrote) and
// the state file are written as it goes, so a sync cut off at any point resumes without losing or
// doubling a memo. `nowUtcSeconds` stamps the events written. Nothing is written locally on a
// failure before the first change arrived. A sync that would remove more than half of the events
// it knows, and more than ten (RemovalsNeedConsent), fails with RemovalsRefused before anything is
// written or sent, unless `allowRemovals`.
//
// `stop`, when given and set, ends the sync before its next event is read or sent (Incomplete); the
// state file lets the next sync go on from there.
TSyncReport SyncMemos(TConfigData& data, const TSyncSettings& settings, IDavTransport& transport,
                      IEventCodec& codec, int64_t nowUtcSeconds, bool allowRemovals = false,
                      const std::atomic<bool>* stop = nullptr);

// The same for the memos of the program folder `folder`, read here: what `kestrivel --sync` and
// the program's sync thread run, each on a data owner of its own; a running calendar takes the
// result in through its merge of Memos.dat. A Memos.dat that does not read completely fails with
// MemoFileDamaged, touching nothing.
TSyncReport SyncFolder(const std::string& folder, const TSyncSettings& settings, IDavTransport& transport,
                       IEventCodec& codec, int64_t nowUtcSeconds, bool allowRemovals = false,
                       const std::atomic<bool>* stop = nullptr);

} // namespace kestrivel
