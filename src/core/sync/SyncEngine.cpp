// One sync, in an order that survives being cut off anywhere (kill -9, power loss):
//
//   1. pull: the collection's changes since the state's token, then only the events whose ETag
//      differs from the state's (or is unknown). Nothing is written yet: a failure here leaves
//      every file as it was.
//   2. reconcile, apply to the memo list, SaveMemos (merged with what the calendar saved).
//      Cut off before the save: nothing changed. Cut off after it, before 3: the next sync pulls
//      the same changes from the old token and meets memos that already hold them, and the rules
//      "equal content: adopt" and "equal content: no conflict" (a joined text is never joined
//      twice) bring it to the same end without a second copy.
//   3. save the state: the new token and the entries, with the bases of what came in but the old
//      bases and ETags of what is still to go out. Cut off after it: every memo still to be sent
//      differs from its base, every deletion stands as a dropped entry, every new memo has no
//      entry, so the next sync plans the same requests again.
//   4. push one request at a time, each entry updated with the ETag the answer gave, the state
//      saved every kSaveEvery requests and at the end. Cut off after a request the server did but
//      before the state recorded it: a PUT comes back as a change whose content equals the memo
//      (no conflict), a created event as one on the memo's date with its text (adopted; its name is
//      derived from the memo, so a repeat meets it with 412), a DELETE as a removal of an entry
//      whose memo is already gone.
//   A 412 (the event changed meanwhile) fetches that event and runs 2-4 again, a few rounds at most;
//   what is left goes out at the next sync.
//
// An edit goes out as the server's own copy of the event with only the edit in it (the codec's
// Patch): the copy fetched in 1, or fetched just before its PUT. A round that would remove many of
// the events known stops before 2 unless removals are allowed.
#include "sync/SyncEngine.h"

#include "common/FolderLock.h"
#include "common/Log.h"
#include "common/TextTrim.h"
#include "config/ConfigData.h"
#include "memos/UnitMemo.h"
#include "sync/CertificateTrust.h"
#include "sync/DavUrl.h"
#include "sync/DavXml.h"
#include "sync/EventCacheSync.h"
#include "sync/EventCodec.h"
#include "sync/SyncFailure.h"
#include "sync/SyncReconcile.h"
#include "sync/SyncState.h"

#include <algorithm>
#include <exception>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace kestrivel {

namespace {

constexpr int kMaxRounds = 4;
constexpr int kSaveEvery = 50;
// The events fetched in a round are kept for the edits that may follow, up to this many bytes;
// an edit to one not kept fetches it again, this many at a time.
constexpr size_t kKeepFetchedBytes = 64 * 1024 * 1024;
constexpr size_t kPatchFetchBatch = 100;
constexpr const char* kSyncLockFileName = ".Kestrivel.sync.lock";

class SyncRun {
public:
    SyncRun(TConfigData& data, const TSyncSettings& settings, IDavTransport& transport, IEventCodec& codec,
            int64_t now, bool allowRemovals, const std::atomic<bool>* stop)
        : m_data(data), m_settings(settings), m_codec(codec),
          m_client(transport, settings.Server, settings.User, settings.Password), m_now(now),
          m_allowRemovals(allowRemovals), m_stop(stop), m_statePath(SyncStatePath(data.ProgramFolder())) {}

    TSyncReport run();

private:
    bool fail(const TDavStatus& status);
    bool failLocal(const std::string& reason);
    // The program asked the sync to end: true, with the report saying so.
    bool stopped();
    bool pull(TRemoteChanges& remote, std::string& token);
    bool discover();
    bool knownCollection();
    bool discoveredBeforeWrites(const std::vector<TPushAction>& actions);
    bool fetch(const std::vector<std::string>& hrefs, TRemoteChanges& remote);
    bool fetchAll(TRemoteChanges& remote);
    void take(TDavEvent& event, TRemoteChanges& remote);
    void keep(TDavEvent& event, bool always);
    bool needsCopy(const TPushAction& action) const;
    bool fetchForPatches(const std::vector<TPushAction>& actions, size_t from);
    std::string patch(const TPushAction& action, std::vector<std::string>& conflicts);
    bool allowed(const TSyncPlan& plan);
    bool round(const TRemoteChanges& remote, std::vector<std::string>& conflicts);
    // Reload, reconcile and the local saves of one round, under the folder lock.
    bool decide(const TRemoteChanges& remote, std::vector<TPushAction>& actions);
    void applyLocal(const std::vector<TMemoChange>& changes);
    bool push(const std::vector<TPushAction>& actions, std::vector<std::string>& conflicts);
    bool pushOne(const TPushAction& action, std::vector<std::string>& conflicts);
    bool saveState();
    bool loadState();
    void indexEntries();

    TConfigData& m_data;
    const TSyncSettings& m_settings;
    IEventCodec& m_codec;
    TCalDavClient m_client;
    int64_t m_now;
    bool m_allowRemovals;
    const std::atomic<bool>* m_stop;
    std::string m_statePath;
    std::string m_collection;
    bool m_discovered = false;
    TSyncState m_state;
    std::string m_savedState;
    std::unordered_map<std::string, size_t> m_index; // by HrefKey
    // The server's copies of events as fetched, by HrefKey, for the edits to patch.
    std::unordered_map<std::string, TDavEvent> m_fetched;
    size_t m_fetchedBytes = 0;
    // Events asked for once before their edit went out: a copy still missing or stale after that
    // stays so (the server's version does not go back), so asking again would only repeat the request.
    std::unordered_set<std::string> m_askedForPatch;
    TSyncReport m_report;
    bool m_decided = false; // a round reconciled the state: the events cache follows it
};

bool SyncRun::fail(const TDavStatus& status) {
    DescribeDavFailure(status, m_settings, m_report);
    return false;
}

bool SyncRun::failLocal(const std::string& reason) {
    m_report.Failure = TSyncFailure::LocalFile;
    m_report.Reason = reason;
    return false;
}

bool SyncRun::stopped() {
    if (m_stop == nullptr || !m_stop->load()) {
        return false;
    }
    m_report.Failure = TSyncFailure::Incomplete;
    m_report.Reason = "the sync was stopped; the next one goes on from here";
    return true;
}

bool SyncRun::fetch(const std::vector<std::string>& hrefs, TRemoteChanges& remote) {
    if (hrefs.empty()) {
        return true;
    }
    std::vector<TDavEvent> events;
    const TDavStatus status = m_client.Fetch(m_collection, hrefs, events);
    if (!status.ok()) {
        return fail(status);
    }
    std::unordered_map<std::string, std::string> missing; // HrefKey -> href
    for (const std::string& href : hrefs) {
        missing.emplace(HrefKey(href), href);
    }
    for (TDavEvent& event : events) {
        if (stopped()) {
            return false;
        }
        if (missing.erase(HrefKey(event.Href)) != 0) {
            take(event, remote);
        }
    }
    // Gone between the listing and the fetch.
    for (auto& [key, href] : missing) {
        remote.Removed.push_back(std::move(href));
    }
    return true;
}

void SyncRun::take(TDavEvent& event, TRemoteChanges& remote) {
    TRemoteEvent& out = remote.Changed.emplace_back();
    out.Href = event.Href;
    out.ETag = event.ETag;
    out.Decoded = m_codec.Decode(event.Data, out.Event);
    keep(event, false);
}

// A first sync (no state) reads every event with its data in one calendar-query, as other clients
// do: a listing and then a fetch of each costs the server about twice that. The collection's sync
// token, read when the collection was found (before the query), goes into the state, so the next
// sync lists only what changed since; without one it lists everything. False when the
// query fails (an answer too large, a server that refuses it): the listing and batched fetches do
// the work instead.
bool SyncRun::fetchAll(TRemoteChanges& remote) {
    std::vector<TDavEvent> events;
    if (!m_client.FetchAll(m_collection, events).ok()) {
        return false;
    }
    for (TDavEvent& event : events) {
        if (stopped()) {
            return false;
        }
        take(event, remote);
    }
    return true;
}

void SyncRun::keep(TDavEvent& event, bool always) {
    const std::string key = HrefKey(event.Href);
    const auto known = m_fetched.find(key);
    if (known != m_fetched.end()) {
        m_fetchedBytes -= known->second.Data.size();
        m_fetched.erase(known);
    }
    if (always || m_fetchedBytes + event.Data.size() <= kKeepFetchedBytes) {
        m_fetchedBytes += event.Data.size();
        m_fetched.emplace(key, std::move(event));
    }
}

bool SyncRun::needsCopy(const TPushAction& action) const {
    if (action.Kind != TPushKind::Update) {
        return false;
    }
    const std::string key = HrefKey(action.Href);
    const auto copy = m_fetched.find(key);
    return (copy == m_fetched.end() || copy->second.ETag != action.IfMatch) && !m_askedForPatch.contains(key);
}

// The server's copies of the next edits to go out that were not kept from the round's fetch, or
// that changed since.
bool SyncRun::fetchForPatches(const std::vector<TPushAction>& actions, size_t from) {
    std::vector<std::string> hrefs;
    for (size_t i = from; i < actions.size() && hrefs.size() < kPatchFetchBatch; ++i) {
        if (needsCopy(actions[i])) {
            hrefs.push_back(actions[i].Href);
            m_askedForPatch.insert(HrefKey(actions[i].Href));
        }
    }
    std::vector<TDavEvent> events;
    const TDavStatus status = hrefs.empty() ? TDavStatus{} : m_client.Fetch(m_collection, hrefs, events);
    if (!status.ok()) {
        return fail(status);
    }
    for (TDavEvent& event : events) {
        keep(event, true);
    }
    return true;
}

bool SyncRun::discover() {
    const TDavStatus status = m_client.Discover(m_settings.Server, m_collection);
    if (!status.ok()) {
        return fail(status);
    }
    m_discovered = true;
    if (LogEnabled(TLogArea::Sync)) {
        WriteLog(TLogArea::Sync, "calendar found at " + OneLine(m_collection));
    }
    AdoptCollection(m_state, m_settings.Server, m_collection);
    return true;
}

// A sync from a token goes to the collection the state names at once: one request when nothing
// changed. The collection is looked for again only when its listing fails, and before anything is
// written to it (which also learns whether it is read-only).
bool SyncRun::knownCollection() {
    if (m_state.Token.empty() || m_state.Collection.empty() || m_state.Server != m_settings.Server) {
        return false;
    }
    m_collection = m_state.Collection;
    return true;
}

bool SyncRun::discoveredBeforeWrites(const std::vector<TPushAction>& actions) {
    if (actions.empty() || m_discovered) {
        return true;
    }
    const std::string known = m_collection;
    if (!discover()) {
        return false;
    }
    if (!SameCollection(m_collection, known)) {
        // The state, now that of the calendar found, is kept so the next sync goes there.
        saveState();
        m_report.Failure = TSyncFailure::NotCalendar;
        m_report.Reason =
            OneLine(m_settings.Server + " now leads to another calendar; the next sync starts with it");
        return false;
    }
    return true;
}

bool SyncRun::pull(TRemoteChanges& remote, std::string& token) {
    const bool fromState = knownCollection();
    remote.WithoutState = m_state.Token.empty() && m_state.Entries.empty();
    if (!fromState && !discover()) {
        return false;
    }
    // The token read before the query: what changes after it is listed by the next sync.
    if (m_state.Token.empty() && m_state.Entries.empty() && fetchAll(remote)) {
        token = m_client.DiscoveredToken();
        return true;
    }
    if (stopped()) {
        return false;
    }
    TDavChanges changes;
    TDavStatus status = m_client.Changes(m_collection, m_state.Token, changes);
    if (!status.ok() && fromState && status.Error != TDavError::Network &&
        status.Error != TDavError::Unauthorized) {
        // Moved, gone or refused: the address is asked again where the calendar is now.
        if (!discover()) {
            return false;
        }
        status = m_client.Changes(m_collection, m_state.Token, changes);
    }
    if (!status.ok()) {
        return fail(status);
    }
    token = changes.Token;
    if (LogEnabled(TLogArea::Sync)) {
        WriteLog(TLogArea::Sync, std::string(changes.Full ? "listing: " : "changes since the last sync: ") +
                                     std::to_string(changes.Changed.size()) + " events, " +
                                     std::to_string(changes.Removed.size()) + " removed");
    }
    indexEntries();
    std::vector<std::string> wanted;
    std::unordered_set<std::string> listed;
    for (const TDavEvent& event : changes.Changed) {
        const std::string key = HrefKey(event.Href);
        listed.insert(key);
        const auto known = m_index.find(key);
        if (known == m_index.end() || m_state.Entries[known->second].ETag != event.ETag) {
            wanted.push_back(event.Href);
        }
    }
    for (const TSyncEntry& entry : m_state.Entries) {
        const bool isListed = listed.contains(HrefKey(entry.Href));
        if (changes.Full && !isListed) {
            remote.Removed.push_back(entry.Href);
        } else if (entry.ETag.empty() && !isListed) {
            // A PUT answered without an ETag: what the server made of it is read now.
            wanted.push_back(entry.Href);
        }
    }
    remote.Removed.insert(remote.Removed.end(), changes.Removed.begin(), changes.Removed.end());
    return fetch(wanted, remote);
}

bool SyncRun::loadState() {
    // Read inside a hold of the folder lock, as every writer reads what it replaces.
    const TConfigData::FilesLock lock = m_data.LockFiles();
    if (!lock.held()) {
        return failLocal("cannot lock " + m_data.ProgramFolder() + "/" + FolderLock::kFileName);
    }
    // A state that is missing or does not read (nor its previous copy) starts over with a full
    // listing; the reconcile then pairs memos and events by date and content.
    if (LoadSyncState(m_statePath, m_state)) {
        m_savedState = FormatSyncState(m_state);
    }
    return true;
}

void SyncRun::applyLocal(const std::vector<TMemoChange>& changes) {
    TMemoList& memos = m_data.Memos;
    for (const TMemoChange& change : changes) {
        const int index = memos.IndexOfDate(change.Memo.Date);
        if (change.Remove) {
            if (index >= 0) {
                memos.Delete(index);
                ++m_report.Removed;
            }
        } else if (index >= 0) {
            memos.Modify(index, change.Memo.Text, change.Memo.MemoType);
            ++m_report.Received;
        } else if (memos.Add(change.Memo.Text, change.Memo.MemoType, change.Memo.Date)) {
            ++m_report.Received;
        }
    }
    m_report.MemosChanged = m_report.MemosChanged || !changes.empty();
}

bool SyncRun::saveState() {
    std::erase_if(m_state.Entries, [](const TSyncEntry& entry) { return entry.Href.empty(); });
    indexEntries();
    std::string text = FormatSyncState(m_state);
    if (text == m_savedState) {
        return true;
    }
    const TConfigData::FilesLock lock = m_data.LockFiles();
    if (!lock.held() || !SaveSyncState(m_statePath, m_state)) {
        return failLocal("cannot write " + m_statePath);
    }
    m_savedState = std::move(text);
    return true;
}

void SyncRun::indexEntries() {
    m_index.clear();
    for (size_t i = 0; i < m_state.Entries.size(); ++i) {
        m_index[HrefKey(m_state.Entries[i].Href)] = i;
    }
}

// The edit written into the server's copy of its event. Empty, with the event named a conflict,
// when that copy is gone, changed since this round read it, or says another date (or none) now:
// the next round reads it again and decides anew.
std::string SyncRun::patch(const TPushAction& action, std::vector<std::string>& conflicts) {
    std::string data;
    const auto copy = m_fetched.find(HrefKey(action.Href));
    if (copy != m_fetched.end() && copy->second.ETag == action.IfMatch) {
        data = m_codec.Patch(copy->second.Data, action.Memo, m_now);
        m_fetchedBytes -= copy->second.Data.size();
        m_fetched.erase(copy);
    }
    if (data.empty()) {
        conflicts.push_back(action.Href);
    }
    return data;
}

bool SyncRun::pushOne(const TPushAction& action, std::vector<std::string>& conflicts) {
    TDavStatus status;
    const std::string key = HrefKey(action.Href);
    if (action.Kind == TPushKind::Delete) {
        status = m_client.Delete(m_collection, action.Href, action.IfMatch);
        if (status.ok()) {
            const auto known = m_index.find(key);
            if (known != m_index.end()) {
                m_state.Entries[known->second].Href.clear();
            }
            ++m_report.Removed;
        }
    } else {
        const std::string data = action.Kind == TPushKind::Create
                                     ? m_codec.Encode(action.Memo, action.Uid, m_now)
                                     : patch(action, conflicts);
        if (data.empty()) {
            return true;
        }
        std::string etag;
        status = m_client.Put(m_collection, action.Href, data, action.IfMatch, etag);
        if (status.ok()) {
            const auto known = m_index.find(key);
            if (known == m_index.end()) {
                m_index[key] = m_state.Entries.size();
                m_state.Entries.push_back({action.Href, action.Uid, {}, TEntryMode::Shown, false, {}});
            }
            TSyncEntry& entry = m_state.Entries[m_index[key]];
            entry = {entry.Href, action.Uid, etag, TEntryMode::Shown, entry.Inexact, action.Memo};
            ++m_report.Sent;
        }
    }
    if (status.Error == TDavError::PreconditionFailed || status.Error == TDavError::NotFound) {
        conflicts.push_back(action.Href);
        return true;
    }
    return status.ok() || fail(status);
}

bool SyncRun::push(const std::vector<TPushAction>& actions, std::vector<std::string>& conflicts) {
    int sinceSave = 0;
    for (size_t i = 0; i < actions.size(); ++i) {
        const bool done = !stopped() && (!needsCopy(actions[i]) || fetchForPatches(actions, i)) &&
                          pushOne(actions[i], conflicts);
        if (!done) {
            // What went out so far is recorded; the failure stays the one reported.
            m_report.Left = static_cast<int>(actions.size() - i);
            const TSyncReport failed = m_report;
            saveState();
            m_report = failed;
            return false;
        }
        if (++sinceSave == kSaveEvery) {
            sinceSave = 0;
            if (!saveState()) {
                return false;
            }
        }
    }
    return saveState();
}

bool SyncRun::allowed(const TSyncPlan& plan) {
    const size_t removals =
        static_cast<size_t>(std::count_if(plan.Push.begin(), plan.Push.end(),
                                          [](const TPushAction& a) { return a.Kind == TPushKind::Delete; }));
    if (m_allowRemovals || !RemovalsNeedConsent(removals, m_state.Entries.size())) {
        return true;
    }
    m_report.Failure = TSyncFailure::RemovalsRefused;
    m_report.RemovalsHeld = static_cast<int>(removals);
    m_report.Reason = "the sync would remove " + std::to_string(removals) + " of the " +
                      std::to_string(m_state.Entries.size()) +
                      " events it knows on the server; nothing was changed";
    return false;
}

bool SyncRun::round(const TRemoteChanges& remote, std::vector<std::string>& conflicts) {
    std::vector<TPushAction> actions;
    return decide(remote, actions) && discoveredBeforeWrites(actions) && push(actions, conflicts);
}

bool SyncRun::decide(const TRemoteChanges& remote, std::vector<TPushAction>& actions) {
    // From the reload to the saved state no other writer changes the files, so the decisions and
    // the saves rest on one Memos.dat; the lock is let go before any request.
    const TConfigData::FilesLock lock = m_data.LockFiles();
    if (!lock.held()) {
        return failLocal("cannot lock " + m_data.ProgramFolder() + "/" + FolderLock::kFileName);
    }
    // What the calendar saved while the server answered goes in before the decisions.
    m_data.RefreshMemos();
    TSyncPlan plan =
        ReconcileSync(m_data.Memos.Items(), m_state.Entries, remote, m_collection, TMemoList::kMaxCount);
    if (!allowed(plan)) {
        return false;
    }
    m_report.Joined += plan.Joined;
    m_report.NotShown = plan.NotShown;
    m_report.Unpaired = plan.Unpaired;
    m_decided = true;
    if (!plan.Local.empty()) {
        applyLocal(plan.Local);
        if (!m_data.SaveMemos()) {
            return failLocal("cannot write " + m_data.MemosPath());
        }
    }
    m_state.Entries = std::move(plan.Entries);
    actions = std::move(plan.Push);
    return saveState();
}

TSyncReport SyncRun::run() {
    m_report.Failure = CheckSyncAddress(m_settings, m_report.Reason);
    if (!m_report.ok()) {
        return m_report;
    }
    // One sync of a folder at a time, from its state read to its last save: a second one would
    // decide on a state the first is about to replace, and create again what the first created.
    // The folder lock itself is let go while the server answers, so the calendar saves meanwhile.
    FolderLock syncLock(m_data.ProgramFolder(), kSyncLockFileName);
    if (syncLock.acquire(m_data.LockWait) != FolderLock::Result::Taken) {
        m_report.Failure = TSyncFailure::SyncBusy;
        m_report.Reason = "another sync of " + m_data.ProgramFolder() + " is still running";
        return m_report;
    }
    if (!loadState()) {
        return m_report;
    }
    m_client.SetBudget(m_state.Entries.size() + m_data.Memos.Items().size());
    if (const std::string trusted = TrustedFingerprint(m_settings); !trusted.empty()) {
        m_client.SetTrustedCertificates({trusted});
    }
    TRemoteChanges remote;
    std::string token;
    if (!pull(remote, token) ||
        !fetch(MemosToRecheck(m_data.ProgramFolder(), m_state.Entries, remote), remote)) {
        return m_report;
    }
    m_state.Token = token;
    std::vector<std::string> conflicts;
    for (int i = 0; i < kMaxRounds; ++i) {
        conflicts.clear();
        if (!round(remote, conflicts) || conflicts.empty()) {
            break;
        }
        remote = {};
        if (!fetch(conflicts, remote)) {
            break;
        }
    }
    if (m_decided) {
        const TServerEventCounts counts =
            StoreServerEvents(m_data, m_state.Entries, m_fetched,
                              [this](const std::vector<std::string>& hrefs, std::vector<TDavEvent>& out) {
                                  return m_client.Fetch(m_collection, hrefs, out).ok();
                              });
        m_report.ShownAsEvents = counts.Shown;
        m_report.NotShown = counts.Missing;
    }
    if (m_report.ok() && !conflicts.empty()) {
        DescribeRefusedChanges(conflicts.size(), m_report);
    }
    return m_report;
}

} // namespace

TSyncReport SyncMemos(TConfigData& data, const TSyncSettings& settings, IDavTransport& transport,
                      IEventCodec& codec, int64_t nowUtcSeconds, bool allowRemovals,
                      const std::atomic<bool>* stop) {
    TSyncReport report;
    try {
        report = SyncRun(data, settings, transport, codec, nowUtcSeconds, allowRemovals, stop).run();
    } catch (const std::exception& e) {
        report = LocalSyncFailure(std::string("the sync stopped: ") + e.what());
    }
    // The program may show only a translated line; the whole reason is kept here.
    if (LogEnabled(TLogArea::Sync)) {
        WriteLog(TLogArea::Sync, report.ok() ? "sync done: " + std::to_string(report.Sent) + " sent, " +
                                                   std::to_string(report.Received) + " received, " +
                                                   std::to_string(report.Removed) + " removed"
                                             : "sync failed: " + report.Reason);
    }
    return report;
}

} // namespace kestrivel
