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
#include "sync/SyncEngine.h"

#include "config/ConfigData.h"
#include "memos/UnitMemo.h"
#include "sync/EventCodec.h"
#include "sync/SyncReconcile.h"
#include "sync/SyncState.h"

#include <exception>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace kestrivel {

namespace {

constexpr int kMaxRounds = 4;
constexpr int kSaveEvery = 50;

TSyncReport localFailure(std::string reason) {
    TSyncReport report;
    report.Failure = TSyncFailure::LocalFile;
    report.Reason = std::move(reason);
    return report;
}

class SyncRun {
public:
    SyncRun(TConfigData& data, const TSyncSettings& settings, IDavTransport& transport, IEventCodec& codec,
            int64_t now)
        : m_data(data), m_settings(settings), m_codec(codec),
          m_client(transport, settings.User, settings.Password), m_now(now),
          m_statePath(SyncStatePath(data.ProgramFolder())) {}

    TSyncReport run();

private:
    bool fail(const TDavStatus& status);
    bool failLocal(const std::string& reason);
    bool pull(TRemoteChanges& remote, std::string& token);
    bool fetch(const std::vector<std::string>& hrefs, TRemoteChanges& remote);
    bool round(const TRemoteChanges& remote, std::vector<std::string>& conflicts);
    // Reload, reconcile and the local saves of one round, under the folder lock.
    bool decide(const TRemoteChanges& remote, std::vector<TPushAction>& actions);
    void applyLocal(const std::vector<TMemoChange>& changes);
    bool push(const std::vector<TPushAction>& actions, std::vector<std::string>& conflicts);
    bool pushOne(const TPushAction& action, std::vector<std::string>& conflicts);
    bool saveState();
    void indexEntries();

    TConfigData& m_data;
    const TSyncSettings& m_settings;
    IEventCodec& m_codec;
    TCalDavClient m_client;
    int64_t m_now;
    std::string m_statePath;
    std::string m_collection;
    TSyncState m_state;
    std::string m_savedState;
    std::unordered_map<std::string, size_t> m_index;
    TSyncReport m_report;
};

bool SyncRun::fail(const TDavStatus& status) {
    const std::string detail =
        status.Detail.empty() ? "HTTP " + std::to_string(status.HttpStatus) : status.Detail;
    switch (status.Error) {
    case TDavError::Network:
        m_report.Failure = TSyncFailure::Network;
        m_report.Reason = "cannot reach " + m_settings.Server + ": " + detail;
        break;
    case TDavError::Unauthorized:
        m_report.Failure = TSyncFailure::Unauthorized;
        m_report.Reason = "the server refused user " + m_settings.User + ": wrong user name or password";
        break;
    case TDavError::NotCalendar:
        m_report.Failure = TSyncFailure::NotCalendar;
        m_report.Reason = m_settings.Server + " is not a calendar";
        break;
    default:
        m_report.Failure = TSyncFailure::Server;
        m_report.Reason = "the server at " + m_settings.Server + " gave an unusable answer: " + detail;
    }
    return false;
}

bool SyncRun::failLocal(const std::string& reason) {
    m_report.Failure = TSyncFailure::LocalFile;
    m_report.Reason = reason;
    return false;
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
    std::unordered_set<std::string> missing(hrefs.begin(), hrefs.end());
    for (TDavEvent& event : events) {
        if (missing.erase(event.Href) == 0) {
            continue;
        }
        TRemoteEvent& out = remote.Changed.emplace_back();
        out.Href = std::move(event.Href);
        out.ETag = std::move(event.ETag);
        out.Decoded = m_codec.Decode(event.Data, out.Event);
    }
    // Gone between the listing and the fetch.
    remote.Removed.insert(remote.Removed.end(), missing.begin(), missing.end());
    return true;
}

bool SyncRun::pull(TRemoteChanges& remote, std::string& token) {
    TDavStatus status = m_client.Discover(m_settings.Server, m_collection);
    if (!status.ok()) {
        return fail(status);
    }
    // Another server or calendar: the state says nothing about it.
    if (m_state.Server != m_settings.Server || m_state.Collection != m_collection) {
        m_state = {m_settings.Server, m_collection, {}, {}};
    }
    TDavChanges changes;
    status = m_client.Changes(m_collection, m_state.Token, changes);
    if (!status.ok()) {
        return fail(status);
    }
    token = changes.Token;
    indexEntries();
    std::vector<std::string> wanted;
    std::unordered_set<std::string> listed;
    for (const TDavEvent& event : changes.Changed) {
        listed.insert(event.Href);
        const auto known = m_index.find(event.Href);
        if (known == m_index.end() || m_state.Entries[known->second].ETag != event.ETag) {
            wanted.push_back(event.Href);
        }
    }
    for (const TSyncEntry& entry : m_state.Entries) {
        if (changes.Full && !listed.contains(entry.Href)) {
            remote.Removed.push_back(entry.Href);
        } else if (entry.ETag.empty() && !listed.contains(entry.Href)) {
            // A PUT answered without an ETag: what the server made of it is read now.
            wanted.push_back(entry.Href);
        }
    }
    remote.Removed.insert(remote.Removed.end(), changes.Removed.begin(), changes.Removed.end());
    return fetch(wanted, remote);
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
        m_index[m_state.Entries[i].Href] = i;
    }
}

bool SyncRun::pushOne(const TPushAction& action, std::vector<std::string>& conflicts) {
    TDavStatus status;
    if (action.Kind == TPushKind::Delete) {
        status = m_client.Delete(action.Href, action.IfMatch);
        if (status.ok()) {
            const auto known = m_index.find(action.Href);
            if (known != m_index.end()) {
                m_state.Entries[known->second].Href.clear();
            }
            ++m_report.Removed;
        }
    } else {
        const std::string data = m_codec.Encode(action.Memo, action.Uid, m_now);
        if (data.empty()) {
            return true;
        }
        std::string etag;
        status = m_client.Put(action.Href, data, action.IfMatch, etag);
        if (status.ok()) {
            const auto known = m_index.find(action.Href);
            if (known == m_index.end()) {
                m_index[action.Href] = m_state.Entries.size();
                m_state.Entries.push_back({action.Href, action.Uid, {}, TEntryMode::Shown, false, {}});
            }
            TSyncEntry& entry = m_state.Entries[m_index[action.Href]];
            entry = {action.Href, action.Uid, etag, TEntryMode::Shown, false, action.Memo};
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
    for (const TPushAction& action : actions) {
        const bool done = pushOne(action, conflicts);
        if (!done) {
            // What went out so far is recorded; the failure stays the one reported.
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

bool SyncRun::round(const TRemoteChanges& remote, std::vector<std::string>& conflicts) {
    std::vector<TPushAction> actions;
    return decide(remote, actions) && push(actions, conflicts);
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
    m_report.Joined += plan.Joined;
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
    if (!m_settings.enabled()) {
        m_report.Failure = TSyncFailure::NotConfigured;
        m_report.Reason = "no calendar server is set";
        return m_report;
    }
    // A state that is missing or does not read starts over with a full listing; the reconcile then
    // pairs memos and events by date and content.
    if (LoadSyncState(m_statePath, m_state)) {
        m_savedState = FormatSyncState(m_state);
    }
    TRemoteChanges remote;
    std::string token;
    if (!pull(remote, token)) {
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
    return m_report;
}

} // namespace

TSyncReport SyncMemos(TConfigData& data, const TSyncSettings& settings, IDavTransport& transport,
                      IEventCodec& codec, int64_t nowUtcSeconds) {
    try {
        return SyncRun(data, settings, transport, codec, nowUtcSeconds).run();
    } catch (const std::exception& e) {
        return localFailure(std::string("the sync stopped: ") + e.what());
    }
}

TSyncReport SyncFolder(const std::string& folder, const TSyncSettings& settings, IDavTransport& transport,
                       IEventCodec& codec, int64_t nowUtcSeconds) {
    try {
        TConfigData data(folder);
        // A Memos.dat that does not read whole would look like memos deleted here: nothing is
        // synced from it, and it is left for the calendar to keep a copy of.
        std::error_code error;
        if (std::filesystem::exists(data.MemosPath(), error) && !data.Memos.LoadFromFile(data.MemosPath())) {
            return localFailure("cannot read " + data.MemosPath() + ": it is damaged or not a memo file");
        }
        data.LoadMemos();
        return SyncMemos(data, settings, transport, codec, nowUtcSeconds);
    } catch (const std::exception& e) {
        return localFailure(std::string("the sync stopped: ") + e.what());
    }
}

} // namespace kestrivel
