#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "memos/Memo.h"
#include "sync/EventCodec.h"
#include "sync/SyncState.h"

namespace kestrivel {

// An event the server listed as new or changed, as fetched and decoded.
struct TRemoteEvent {
    std::string Href;
    std::string ETag;
    bool Decoded = false; // false: the event has no usable date
    TEventMemo Event;
};

// What the server said in one round: events fetched, and hrefs it no longer has. Events of the
// state named in neither stand as they were.
struct TRemoteChanges {
    std::vector<TRemoteEvent> Changed;
    std::vector<std::string> Removed;
    // The sync has no usable state (none, damaged, or another calendar's): an event it meets on a
    // date whose memo differs cannot be told from an older copy of that memo.
    bool WithoutState = false;
};

// One memo to set (add or change) or remove in the memo list; removals come first.
struct TMemoChange {
    bool Remove = false;
    TMemo Memo; // only the date for a removal
};

enum class TPushKind {
    Create, // PUT with If-None-Match: *
    Update, // PUT with If-Match
    Delete, // DELETE with If-Match
};

struct TPushAction {
    TPushKind Kind = TPushKind::Create;
    std::string Href;
    std::string Uid;
    std::string IfMatch; // the ETag an Update or Delete expects
    TMemo Memo;          // what a Create or Update writes
};

// What one round of a sync does: the memo list's changes, the state entries once those are made
// (before anything is pushed), then the requests to the server in order.
struct TSyncPlan {
    std::vector<TMemoChange> Local;
    std::vector<TSyncEntry> Entries;
    std::vector<TPushAction> Push;
    int Joined = 0;   // memos whose text took in another side's text
    int NotShown = 0; // events on the server with a date that another memo holds here
    int Unpaired = 0; // events left Unpaired beside a memo of their date that may be their old copy
};

// The decisions of a sync, made without touching anything. `local` is the memo list (a date taken
// twice counts once, the last memo standing for it), `entries` the state, `remote` what the server
// changed; new events go to `collection` (an absolute URL ending in "/"). At most `maxMemos`
// memos of distinct dates may stand in the list afterwards. Hrefs compare by HrefKey.
//
// An event is written (Update) or removed (Delete) only when its memo was edited or removed here;
// whatever else shares its date, two events never become one. Per event, "changed" compares with
// the entry's base (date, type and text):
//   - unchanged on both sides: nothing; changed here only: Update, or Delete when the memo is gone;
//   - changed on the server only: its date, type and text are taken (a new date moves the memo);
//   - changed on both to the same content: the base follows; to different content: each side's
//     change stays (a type changed on one side, a text on the other), texts changed on both are
//     joined as two lines ("ours;theirs"), at the server's date, and written back;
//   - deleted on the server and edited here: the memo stays and is created anew; deleted here and
//     edited on the server: the server's memo comes back; deleted on both: the entry goes;
//   - an event on a date whose memo is not yet on the server: adopted when it has the same text
//     and type; otherwise it stays on the server as it is, hidden here, and the memo is created;
//   - an event on a date another event's memo holds: hidden, as it is on the server;
//   - without state (remote.WithoutState), an event on a date whose memo says something else is
//     Unpaired: neither is changed and the memo is not created, so that no event is doubled; it
//     stays so, counted in Unpaired, until the memo leaves the date (the event is shown) or says
//     what the event says (adopted);
//   - an edited memo whose event moved on the server onto a taken date: the event is hidden and
//     the memo, with the edit, stays and is created anew (an edit is never dropped);
//   - a hidden event whose date is free again (its memo removed or moved) is shown;
//   - memos on no event's date are created as "kestrivel-YYYYMMDD-<8 hex>", named by their content
//     so that a retry after a lost answer meets the event it made.
// Joined counts the joins that stand. A text already holding the other side's as whole lines is
// not joined twice, so that a round cut off after the memos were saved and run again comes to the
// same result.
TSyncPlan ReconcileSync(const std::vector<TMemo>& local, const std::vector<TSyncEntry>& entries,
                        const TRemoteChanges& remote, const std::string& collection, size_t maxMemos);

// Whether removing `removals` of the `known` events of the server needs the user's consent: more
// than half of them, and more than ten. A memo file lost or read short would otherwise empty the
// calendar of every device.
bool RemovalsNeedConsent(size_t removals, size_t known);

// "ours;theirs", or `ours` alone when it already holds `theirs` as whole lines (or it is empty).
std::string JoinMemoTexts(const std::string& ours, const std::string& theirs);

// The place a repeating memo holds among the memos of its type (one weekly memo per weekday, one
// monthly per day of the month, one yearly per date), as a number; 0 for a memo that does not repeat.
uint32_t RepeatSlot(const TMemo& memo);

// Whether a memo can be an event: a valid whole-day date up to the year 3000 and a known type.
bool IsSyncableMemo(const TMemo& memo);

} // namespace kestrivel
