#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "memos/Memo.h"

namespace kestrivel {

// How an event on the server stands to the memos.
enum class TEntryMode : char {
    Shown = 'S',   // it is the memo of its date
    Hidden = 'H',  // no memo: no usable date, or a date whose memo it cannot share
    Dropped = 'D', // its memo was deleted here or joined into another: it goes from the server
    Event = 'E',   // drawn from its own data beside the memos: no memo says it exactly
    // Met by a sync without state on a date whose memo says something else: the memo may be this
    // event as another device had it before, or a memo of its own. Neither side is touched and the
    // memo does not go up, until the memo leaves the date or comes to say what the event says.
    Unpaired = 'U',
};

// One event of the collection as the last sync left it.
struct TSyncEntry {
    std::string Href; // absolute URL
    std::string Uid;
    std::string ETag; // quotes kept; empty when unknown, so the next sync fetches the event
    TEntryMode Mode = TEntryMode::Shown;
    // The event says more than its memo (see TEventMemo::Exact).
    bool Inexact = false;
    // The memo as last synced: what tells a change here from one on the server. Its date is the
    // memo's key exactly as Memos.dat holds it; NaN (kNoDate) for an event without a usable date.
    TMemo Base;
};

struct TSyncState {
    std::string Server;     // the address in the settings this state belongs to
    std::string Collection; // the calendar collection found there
    std::string Token;      // the sync token of the last listing; empty for a full listing
    std::vector<TSyncEntry> Entries;
};

// The date of an entry whose event has no usable date.
TDateValue SyncNoDate();

// The state as text: a header line with the format's version, the server, collection and token,
// then one line per event. Fields are separated by tabs; a tab, line break or backslash inside a
// field is written as \t, \n, \r or \\.
std::string FormatSyncState(const TSyncState& state);
// False, with `out` empty, for anything FormatSyncState does not write: another version, a field
// missing or too many, a bad number, a line without its line break.
bool ParseSyncState(std::string_view text, TSyncState& out);

// The state belongs to the collection the server names, not to the spelling of the address that
// found it: when `collection` is the state's (SameCollection), the state is kept, its events'
// addresses spelled as `collection` now, and true; another calendar empties it (false).
bool AdoptCollection(TSyncState& state, const std::string& server, const std::string& collection);

// The state file of `folder`, beside Memos.dat.
std::string SyncStatePath(const std::string& folder);
// The copy of the state file that the last save replaced, beside it.
std::string PreviousSyncStatePath(const std::string& path);
// The state file, or when it is missing, not a regular file, larger than the cap of the data files
// or damaged, its previous copy: a state an interrupted sync could have left, from which the next
// one goes on. False, with `out` empty, when neither reads: the sync then starts over with a full
// listing.
bool LoadSyncState(const std::string& path, TSyncState& out);
// Replaces the file atomically, keeping the file it replaces as the previous copy; false when it
// cannot be written.
bool SaveSyncState(const std::string& path, const TSyncState& state);

} // namespace kestrivel
