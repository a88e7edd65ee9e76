#include "sync/SyncReconcile.h"

#include "common/DateValue.h"
#include "sync/DavXml.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace kestrivel {

namespace {

// Memos are keyed by the 8 bytes of their date, as Memos.dat and its merge key them.
using Key = uint64_t;

// The export writes no date after it; the codec refuses such memos.
constexpr int kLastSyncYear = 3000;
// Removals a sync makes without asking however few events it knows.
constexpr int kRemovalsAlwaysAllowed = 10;

Key keyOf(TDateValue date) {
    return std::bit_cast<Key>(date);
}

bool sameContent(const TMemo& a, const TMemo& b) {
    return keyOf(a.Date) == keyOf(b.Date) && a.MemoType == b.MemoType && a.Text == b.Text;
}

// Whether `text` holds `part` as one or more whole lines of its one-line form.
bool holdsLines(const std::string& text, const std::string& part) {
    if (text == part) {
        return true;
    }
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        const size_t end = at + part.size();
        if ((at == 0 || text[at - 1] == ';') && (end == text.size() || text[end] == ';')) {
            return true;
        }
    }
    return false;
}

// FNV-1a, 32 bits: the same name for the same memo on every run and machine.
uint32_t fingerprint(const TMemo& memo, unsigned salt) {
    uint32_t hash = 2166136261u;
    auto mix = [&hash](unsigned char c) { hash = (hash ^ c) * 16777619u; };
    const Key key = keyOf(memo.Date);
    for (int i = 0; i < 8; ++i) {
        mix(static_cast<unsigned char>(key >> (8 * i)));
    }
    mix(memo.MemoType);
    for (const char c : memo.Text) {
        mix(static_cast<unsigned char>(c));
    }
    for (int i = 0; i < 4; ++i) {
        mix(static_cast<unsigned char>(salt >> (8 * i)));
    }
    return hash;
}

struct Placement {
    size_t Entry;
    TMemo Content;
    // Carries an edit made here: the memo holding the edit (at From) stays until this stands, so
    // that an edit is never lost when the date it moves to is taken.
    bool Edited;
    bool Joined; // its text joins the texts of both sides
    Key From;
    // An event new here: a repeat of it whose slot another memo holds stays beside the memos. A memo
    // that is one already keeps being one.
    bool Arriving = false;
    // Onto a date whose memo says something else it is left Unpaired, not hidden.
    bool Unpaired = false;
};

class Reconciler {
public:
    Reconciler(const std::vector<TMemo>& local, const std::vector<TSyncEntry>& entries,
               const TRemoteChanges& remote, const std::string& collection, size_t maxMemos);
    TSyncPlan run();

private:
    void settle(size_t index);
    void settleShown(TSyncEntry& entry, size_t index, const TRemoteEvent* remote);
    void arrive(size_t index, const TRemoteEvent& remote);
    void place(const Placement& placement);
    void showHidden();
    void slot(const TMemo& memo);
    void unslot(const TMemo* memo);
    bool repeatSlotTaken(const TMemo& memo) const;
    void own(Key key, size_t index);
    TMemo* memoAt(Key key);
    void planLocal();
    void planPushes();
    void planCreates();
    std::string newUid(const TMemo& memo);

    const std::vector<TMemo>& m_local;
    const std::string& m_collection;
    const bool m_withoutState;
    // Hrefs by HrefKey: a server may spell one address two ways.
    std::unordered_map<std::string, const TRemoteEvent*> m_changed;
    std::unordered_set<std::string> m_removed;
    std::map<Key, TMemo> m_before;
    std::map<Key, TMemo> m_memos;
    size_t m_maxMemos;
    std::vector<TSyncEntry> m_entries;
    std::vector<bool> m_gone;
    std::unordered_map<Key, size_t> m_owner;
    std::unordered_set<std::string> m_hrefs;
    std::vector<Placement> m_placements;
    // How many memos hold each repeat slot (RepeatSlot), while events are placed.
    std::unordered_map<uint32_t, int> m_slots;
    TSyncPlan m_plan;
};

void Reconciler::slot(const TMemo& memo) {
    if (const uint32_t held = RepeatSlot(memo)) {
        ++m_slots[held];
    }
}

void Reconciler::unslot(const TMemo* memo) {
    if (const uint32_t held = memo != nullptr ? RepeatSlot(*memo) : 0) {
        --m_slots[held];
    }
}

// Whether a memo holds `memo`'s repeat slot.
bool Reconciler::repeatSlotTaken(const TMemo& memo) const {
    const uint32_t wanted = RepeatSlot(memo);
    const auto held = wanted != 0 ? m_slots.find(wanted) : m_slots.end();
    return held != m_slots.end() && held->second > 0;
}

Reconciler::Reconciler(const std::vector<TMemo>& local, const std::vector<TSyncEntry>& entries,
                       const TRemoteChanges& remote, const std::string& collection, size_t maxMemos)
    : m_local(local), m_collection(collection), m_withoutState(remote.WithoutState) {
    for (const TRemoteEvent& event : remote.Changed) {
        m_changed[HrefKey(event.Href)] = &event;
    }
    for (const std::string& href : remote.Removed) {
        m_removed.insert(HrefKey(href));
    }
    for (const TMemo& memo : local) {
        m_memos[keyOf(memo.Date)] = memo;
    }
    m_before = m_memos;
    // Memos that share a date take room in the list without being seen here.
    const size_t twice = local.size() - m_memos.size();
    m_maxMemos = maxMemos > twice ? maxMemos - twice : 0;
    // An event the state names twice (two spellings of its address) is one event.
    for (const TSyncEntry& entry : entries) {
        if (m_hrefs.insert(HrefKey(entry.Href)).second) {
            m_entries.push_back(entry);
        }
    }
    m_gone.assign(m_entries.size(), false);
}

TMemo* Reconciler::memoAt(Key key) {
    const auto it = m_memos.find(key);
    return it == m_memos.end() ? nullptr : &it->second;
}

void Reconciler::own(Key key, size_t index) {
    m_owner[key] = index;
    m_entries[index].Mode = TEntryMode::Shown;
}

void Reconciler::settle(size_t index) {
    TSyncEntry& entry = m_entries[index];
    const std::string href = HrefKey(entry.Href);
    const auto found = m_changed.find(href);
    const TRemoteEvent* remote = found == m_changed.end() ? nullptr : found->second;
    if (remote == nullptr && m_removed.contains(href)) {
        // Gone from the server: the memo goes too unless it was edited here; an edited memo is then
        // on no event's date and is created anew.
        const Key key = keyOf(entry.Base.Date);
        const TMemo* memo = entry.Mode == TEntryMode::Shown ? memoAt(key) : nullptr;
        if (memo != nullptr && memo->MemoType == entry.Base.MemoType && memo->Text == entry.Base.Text) {
            m_memos.erase(key);
        }
        m_gone[index] = true;
        return;
    }
    if (remote != nullptr) {
        entry.ETag = remote->ETag;
    }
    if (entry.Mode == TEntryMode::Shown) {
        settleShown(entry, index, remote);
        return;
    }
    // Hidden or dropped: only a change on the server brings it back to a date. An unpaired event
    // is adopted by a memo that has come to say what it says.
    if (remote != nullptr) {
        arrive(index, *remote);
    } else if (const TMemo* memo = memoAt(keyOf(entry.Base.Date));
               entry.Mode == TEntryMode::Unpaired && memo != nullptr && sameContent(*memo, entry.Base) &&
               !m_owner.contains(keyOf(entry.Base.Date))) {
        own(keyOf(entry.Base.Date), index);
    }
}

void Reconciler::settleShown(TSyncEntry& entry, size_t index, const TRemoteEvent* remote) {
    const Key key = keyOf(entry.Base.Date);
    TMemo* memo = memoAt(key);
    // A state that names one date twice (written by hand) shows the first.
    if (m_owner.contains(key)) {
        entry.Mode = TEntryMode::Hidden;
        return;
    }
    const bool changedHere =
        memo == nullptr || memo->MemoType != entry.Base.MemoType || memo->Text != entry.Base.Text;
    if (remote != nullptr && !remote->Decoded) {
        // Now without a usable date: like a deletion for the memo, but the event stays known.
        if (!changedHere) {
            m_memos.erase(key);
        }
        entry.Mode = TEntryMode::Hidden;
        entry.Inexact = false;
        entry.Base = {SyncNoDate(), {}, mtSingle};
        return;
    }
    if (remote != nullptr) {
        entry.Inexact = !remote->Event.Exact;
    }
    if (remote != nullptr && !remote->Event.ExactDays && !changedHere) {
        // Drawn exactly from the event's own data instead; the server is not touched. A memo edited
        // here stays.
        m_memos.erase(key);
        entry.Mode = TEntryMode::Event;
        entry.Base = remote->Event.Memo;
        return;
    }
    const TMemo* theirs = remote != nullptr ? &remote->Event.Memo : nullptr;
    if (theirs == nullptr || sameContent(*theirs, entry.Base)) {
        if (memo == nullptr) {
            entry.Mode = TEntryMode::Dropped;
        } else {
            own(key, index);
        }
        return;
    }
    if (memo != nullptr && sameContent(*memo, *theirs)) {
        entry.Base = *theirs;
        own(key, index);
        return;
    }
    if (!changedHere || memo == nullptr) {
        // Taken as the server has it; an edit there beats a deletion here.
        m_memos.erase(key);
        entry.Base = *theirs;
        m_placements.push_back({index, *theirs, false, false, key});
        return;
    }
    // Edited on both sides: each side's change stays, at the date the server gave it; a text
    // changed on both sides keeps both texts.
    const bool oursText = memo->Text != entry.Base.Text;
    const bool theirsText = theirs->Text != entry.Base.Text;
    TMemo merged = *theirs;
    merged.Text = oursText && theirsText ? JoinMemoTexts(memo->Text, theirs->Text)
                  : oursText             ? memo->Text
                                         : theirs->Text;
    merged.MemoType = memo->MemoType != entry.Base.MemoType ? memo->MemoType : theirs->MemoType;
    const bool joined = merged.Text != memo->Text && merged.Text != theirs->Text;
    entry.Base = *theirs;
    m_placements.push_back({index, std::move(merged), true, joined, key});
}

void Reconciler::arrive(size_t index, const TRemoteEvent& remote) {
    TSyncEntry& entry = m_entries[index];
    if (!remote.Decoded) {
        entry.Mode = TEntryMode::Hidden;
        entry.Inexact = false;
        entry.Base = {SyncNoDate(), {}, mtSingle};
        return;
    }
    entry.Inexact = !remote.Event.Exact;
    if (!remote.Event.ExactDays) {
        // What a memo cannot say exactly is drawn from the event's own data, never made a memo.
        entry.Base = remote.Event.Memo;
        entry.Mode = TEntryMode::Event;
        return;
    }
    // As it was when it was hidden or dropped: it stays so.
    if (entry.Mode != TEntryMode::Event && sameContent(remote.Event.Memo, entry.Base)) {
        return;
    }
    const bool unpaired = m_withoutState || entry.Mode == TEntryMode::Unpaired;
    entry.Base = remote.Event.Memo;
    entry.Mode = TEntryMode::Hidden;
    m_placements.push_back({index, remote.Event.Memo, false, false, 0, true, unpaired});
}

void Reconciler::place(const Placement& placement) {
    TSyncEntry& entry = m_entries[placement.Entry];
    const Key key = keyOf(placement.Content.Date);
    TMemo* memo = memoAt(key);
    const bool holdsEdit =
        placement.Edited && memoAt(placement.From) != nullptr && !m_owner.contains(placement.From);
    const bool free = memo == nullptr || (holdsEdit && placement.From == key);
    // A memo made here with this content, not yet on the server: the event is its own.
    const bool same = !free && !m_owner.contains(key) && memo->MemoType == placement.Content.MemoType &&
                      memo->Text == placement.Content.Text;
    const bool leaves = holdsEdit && placement.From != key;
    // A repeat whose weekday, day or date another memo of its type holds would never be seen.
    const bool slotTaken = placement.Arriving && free && !same && repeatSlotTaken(placement.Content);
    if ((!free && !same) || slotTaken ||
        (memo == nullptr && m_memos.size() - (leaves ? 1 : 0) >= m_maxMemos)) {
        // The date holds another memo, and two events never become one: this one stays on the server
        // as it is, not shown here. An edit made here stays in its memo, which goes up as an event
        // of its own. A memo on no event's date that may be this event's old copy is left as it is.
        const bool unpaired = placement.Unpaired && !free && !m_owner.contains(key);
        entry.Mode = unpaired ? TEntryMode::Unpaired : TEntryMode::Hidden;
        return;
    }
    if (leaves) {
        unslot(memoAt(placement.From));
        m_memos.erase(placement.From);
    }
    unslot(memoAt(key));
    m_memos[key] = placement.Content;
    slot(placement.Content);
    own(key, placement.Entry);
    m_plan.Joined += placement.Joined ? 1 : 0;
}

// Events kept off a date that is free now (its memo was removed, or moved) come to it.
void Reconciler::showHidden() {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const TSyncEntry& entry = m_entries[i];
        const Key key = keyOf(entry.Base.Date);
        const bool offDate = entry.Mode == TEntryMode::Hidden || entry.Mode == TEntryMode::Unpaired;
        if (!m_gone[i] && offDate && !std::isnan(entry.Base.Date) && memoAt(key) == nullptr &&
            m_memos.size() < m_maxMemos && !repeatSlotTaken(entry.Base)) {
            m_memos[key] = entry.Base;
            slot(entry.Base);
            own(key, i);
        }
    }
}

void Reconciler::planLocal() {
    for (const auto& [key, memo] : m_before) {
        if (!m_memos.contains(key)) {
            m_plan.Local.push_back({true, {memo.Date, {}, mtSingle}});
        }
    }
    for (const auto& [key, memo] : m_memos) {
        const auto before = m_before.find(key);
        if (before == m_before.end() || !sameContent(before->second, memo)) {
            m_plan.Local.push_back({false, memo});
        }
    }
}

void Reconciler::planPushes() {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const TSyncEntry& entry = m_entries[i];
        if (m_gone[i]) {
            continue;
        }
        if (entry.Mode == TEntryMode::Dropped && !entry.ETag.empty()) {
            m_plan.Push.push_back({TPushKind::Delete, entry.Href, entry.Uid, entry.ETag, {}});
        } else if (entry.Mode == TEntryMode::Hidden && !std::isnan(entry.Base.Date)) {
            ++m_plan.NotShown;
        } else if (entry.Mode == TEntryMode::Unpaired) {
            ++m_plan.Unpaired;
        } else if (entry.Mode == TEntryMode::Shown) {
            const TMemo* memo = memoAt(keyOf(entry.Base.Date));
            if (memo != nullptr && !sameContent(*memo, entry.Base)) {
                m_plan.Push.push_back({TPushKind::Update, entry.Href, entry.Uid, entry.ETag, *memo});
            }
        }
        m_plan.Entries.push_back(entry);
    }
}

std::string Reconciler::newUid(const TMemo& memo) {
    const TYmd ymd = DecodeDate(memo.Date);
    for (unsigned salt = 0;; ++salt) {
        char uid[48];
        std::snprintf(uid, sizeof uid, "kestrivel-%04d%02d%02d-%08x", ymd.Year, ymd.Month, ymd.Day,
                      static_cast<unsigned>(fingerprint(memo, salt)));
        if (m_hrefs.insert(HrefKey(m_collection + uid + ".ics")).second) {
            return uid;
        }
    }
}

void Reconciler::planCreates() {
    // In list order, each date once; memos that came from the server all have their event.
    std::unordered_set<Key> seen;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (!m_gone[i] && m_entries[i].Mode == TEntryMode::Unpaired) {
            seen.insert(keyOf(m_entries[i].Base.Date)); // the memo may be this event's old copy
        }
    }
    for (const TMemo& listed : m_local) {
        const Key key = keyOf(listed.Date);
        const TMemo* memo = memoAt(key);
        if (seen.insert(key).second && memo != nullptr && !m_owner.contains(key) && IsSyncableMemo(*memo)) {
            const std::string uid = newUid(*memo);
            m_plan.Push.push_back({TPushKind::Create, m_collection + uid + ".ics", uid, {}, *memo});
        }
    }
}

TSyncPlan Reconciler::run() {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        settle(i);
    }
    // Events the state does not know, in a stable order.
    std::vector<const TRemoteEvent*> arriving;
    for (const auto& [key, event] : m_changed) {
        if (!m_hrefs.contains(key)) {
            arriving.push_back(event);
        }
    }
    std::sort(arriving.begin(), arriving.end(),
              [](const TRemoteEvent* a, const TRemoteEvent* b) { return a->Href < b->Href; });
    for (const TRemoteEvent* event : arriving) {
        m_entries.push_back({event->Href,
                             event->Event.Uid,
                             event->ETag,
                             TEntryMode::Hidden,
                             false,
                             {SyncNoDate(), {}, mtSingle}});
        m_gone.push_back(false);
        m_hrefs.insert(HrefKey(event->Href));
        arrive(m_entries.size() - 1, *event);
    }
    // Moves and arrivals last, once every event has left the date it leaves.
    for (const auto& [key, memo] : m_memos) {
        slot(memo);
    }
    for (const Placement& placement : m_placements) {
        place(placement);
    }
    showHidden();
    planLocal();
    planPushes();
    planCreates();
    return std::move(m_plan);
}

} // namespace

std::string JoinMemoTexts(const std::string& ours, const std::string& theirs) {
    if (ours.empty()) {
        return theirs;
    }
    if (theirs.empty() || holdsLines(ours, theirs)) {
        return ours;
    }
    return ours + ";" + theirs;
}

bool RemovalsNeedConsent(size_t removals, size_t known) {
    return removals > kRemovalsAlwaysAllowed && removals * 2 > known;
}

uint32_t RepeatSlot(const TMemo& memo) {
    if (memo.MemoType == mtSingle || memo.MemoType > mtYearly || !IsValidDateValue(memo.Date)) {
        return 0;
    }
    const TYmd ymd = DecodeDate(memo.Date);
    const int place = memo.MemoType == mtWeekly    ? DayOfWeek(memo.Date)
                      : memo.MemoType == mtMonthly ? ymd.Day
                                                   : ymd.Month * 100 + ymd.Day;
    return static_cast<uint32_t>(memo.MemoType) << 16 | static_cast<uint32_t>(place);
}

bool IsSyncableMemo(const TMemo& memo) {
    return IsValidDateValue(memo.Date) && DecodeDate(memo.Date).Year <= kLastSyncYear &&
           memo.MemoType <= mtYearly;
}

TSyncPlan ReconcileSync(const std::vector<TMemo>& local, const std::vector<TSyncEntry>& entries,
                        const TRemoteChanges& remote, const std::string& collection, size_t maxMemos) {
    return Reconciler(local, entries, remote, collection, maxMemos).run();
}

} // namespace kestrivel
