#include "sync/EventCacheSync.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

constexpr TDateValue kJan5 = 45296;

TSyncEntry entry(const std::string& name, TEntryMode mode, const std::string& etag, TDateValue date = kJan5) {
    return {"https://h/c/" + name + ".ics", name, etag, mode, true, {date, "x", mtSingle}};
}

std::string names(const TEventCache& cache) {
    std::string out;
    for (const TCachedEvent& event : cache.Events) {
        out += (event.Source.empty() ? "" : event.Source + ":") + event.Data + " ";
    }
    return out;
}

// The cache holds exactly the state's events drawn beside the memos, each with the text of its ETag;
// other calendars' events stay; what is in neither place is asked for.
TEST(EventCacheSync, KeepsTheTextsOfTheEventsDrawnBesideTheMemos) {
    const std::vector<TSyncEntry> entries = {
        entry("fresh", TEntryMode::Event, "\"2\""),     // fetched this round
        entry("kept", TEntryMode::Hidden, "\"1\""),     // its text in the cache already
        entry("stale", TEntryMode::Event, "\"5\""),     // the cache holds an older version
        entry("memo", TEntryMode::Shown, "\"1\""),      // a memo: not cached
        entry("dropped", TEntryMode::Dropped, "\"1\""), // going from the server
        entry("undated", TEntryMode::Hidden, "\"1\"", SyncNoDate()),
    };
    std::unordered_map<std::string, TDavEvent> fetched;
    fetched["https://h/c/fresh.ics"] = {"https://h/c/fresh.ics", "\"2\"", "FRESH"};
    fetched["https://h/c/memo.ics"] = {"https://h/c/memo.ics", "\"1\"", "MEMO"};
    TEventCache cache;
    cache.Events = {{"Work", "https://w/1.ics", "", "WORK"},
                    {"", "https://h/c/kept.ics", "\"1\"", "KEPT"},
                    {"", "https://h/c/stale.ics", "\"4\"", "STALE"},
                    {"", "https://h/c/gone.ics", "\"1\"", "GONE"}};
    bool changed = false;
    const std::vector<std::string> missing = UpdateServerEvents(cache, entries, fetched, changed);
    EXPECT_EQ(missing, std::vector<std::string>{"https://h/c/stale.ics"});
    EXPECT_EQ(names(cache), "Work:WORK FRESH KEPT ");
    EXPECT_TRUE(changed);

    // The stale one fetched, every text is there; asked once more, nothing changes.
    fetched.clear();
    fetched["https://h/c/stale.ics"] = {"https://h/c/stale.ics", "\"5\"", "STALE5"};
    UpdateServerEvents(cache, entries, fetched, changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(names(cache), "Work:WORK FRESH KEPT STALE5 ");
    EXPECT_TRUE(UpdateServerEvents(cache, entries, {}, changed).empty());
    EXPECT_FALSE(changed);
}

} // namespace
