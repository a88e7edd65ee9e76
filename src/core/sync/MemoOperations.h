#pragma once

#include <vector>

#include "memos/Memo.h"

namespace kestrivel {

class TConfigData;

// A change the user made to the memos, said together with what the user saw, so that it applies to
// Memos.dat as it is when the change is made rather than as it was when the user began: a sync or
// another program may have written the date meanwhile.
struct TMemoOperation {
    enum class Kind {
        Add,    // Wanted, on a date that holds no memo
        Change, // the memo at Seen's date, from Seen to Wanted (same date)
        Remove, // the memo at Seen's date, as Seen
    };
    Kind What = Kind::Add;
    TMemo Seen;
    TMemo Wanted;
};

enum class TMemoOperationResult {
    Applied,   // as asked (or it already held)
    Joined,    // Change: the text changed meanwhile too; the memo holds both texts, ours first
    DateTaken, // Add: the date holds a memo now; nothing changed
    ListFull,  // Add: the list holds 65,535 memos; nothing changed
    Kept,      // Remove: the memo changed meanwhile; the newer text stays, as an edit beats a removal
    NotSaved,  // the folder's lock could not be had or Memos.dat not written; the list in memory
               // holds the change all the same
};

// Applies `operation` inside one hold of the folder's lock: Memos.dat is taken in afresh, the
// precondition checked against it, and the result saved before the lock goes. A precondition that
// no longer holds is a conflict, never an overwrite: a text changed on both sides is joined as the
// sync joins it, a change to a memo removed meanwhile puts it back, a removal of a memo changed
// meanwhile keeps it, and an add onto a taken date adds nothing.
TMemoOperationResult ApplyMemoOperation(TConfigData& data, const TMemoOperation& operation);

// What `edited` changed since `base`, by date, as operations: removals, then changes, then adds.
std::vector<TMemoOperation> MemoOperationsBetween(const std::vector<TMemo>& base,
                                                  const std::vector<TMemo>& edited);
// All of `operations` in one hold of the lock and one save (the dialog's Ok and Apply), each as
// ApplyMemoOperation applies it, except that an add onto a date taken meanwhile joins the two texts
// there, since no editor is open to keep the typed text. NotSaved when the save failed, ListFull
// when an add found the list full (the others stand), otherwise Joined when any text was joined.
TMemoOperationResult ApplyMemoOperations(TConfigData& data, const std::vector<TMemoOperation>& operations);

} // namespace kestrivel
