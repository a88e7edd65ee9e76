#include "config/ConfigData.h"
#include "sync/SyncEngine.h"

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace kestrivel {

TSyncReport SyncFolder(const std::string& folder, const TSyncSettings& settings, IDavTransport& transport,
                       IEventCodec& codec, int64_t nowUtcSeconds, bool allowRemovals,
                       const std::atomic<bool>* stop) {
    try {
        TConfigData data(folder);
        // A Memos.dat that does not read whole (cut short, bytes behind its records, a lowered
        // count) would look like memos deleted here: nothing is synced from it, and it is left for
        // the calendar to keep a copy of.
        std::error_code error;
        if (std::filesystem::exists(data.MemosPath(), error) && !data.Memos.LoadFromFile(data.MemosPath())) {
            TSyncReport report;
            report.Failure = TSyncFailure::MemoFileDamaged;
            report.Reason = data.MemosPath() + " does not read completely; nothing was synced from it";
            return report;
        }
        data.LoadMemos();
        return SyncMemos(data, settings, transport, codec, nowUtcSeconds, allowRemovals, stop);
    } catch (const std::exception& e) {
        TSyncReport report;
        report.Failure = TSyncFailure::LocalFile;
        report.Reason = std::string("the sync stopped: ") + e.what();
        return report;
    }
}

} // namespace kestrivel
