// What refreshing an unchanged subscription costs the program: a 5,000-event feed already in
// Events.dat is asked with its ETag and answered 304; the cache is read, the answer decided on and
// nothing written. The transport answers at once, so the figure is the program's own work.
#include "FigureReporter.h"

#include "config/ConfigData.h"
#include "sync/SubscriptionFetch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

constexpr int kFeedEvents = 5'000;

std::string feed() {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n";
    for (int i = 0; i < kFeedEvents; ++i) {
        const int day = 1 + i % 28;
        const int month = 1 + (i / 28) % 12;
        char start[16];
        std::snprintf(start, sizeof start, "2026%02d%02d", month, day);
        text += "BEGIN:VEVENT\r\nUID:" + std::to_string(i) + "@feed\r\nDTSTAMP:20260101T000000Z\r\n" +
                "DTSTART;VALUE=DATE:" + start + "\r\nSUMMARY:Holiday " + std::to_string(i) +
                "\r\nEND:VEVENT\r\n";
    }
    return text + "END:VCALENDAR\r\n";
}

// Answers every request 304, as a feed that did not change does when asked with its ETag.
class UnchangedTransport final : public IDavTransport {
public:
    THttpResult Send(const THttpRequest&) override {
        THttpResult answer;
        answer.Ok = true;
        answer.Status = 304;
        return answer;
    }
};

std::string g_folder;

void BM_RefreshUnchanged(benchmark::State& state) {
    const TConfigData data(g_folder);
    const std::vector<TSubscription> subscriptions = {{"Holidays", "https://feeds.example/h.ics", ""}};
    UnchangedTransport transport;
    for (auto _ : state) {
        const TSubscriptionReport report = RefreshSubscriptions(data, subscriptions, transport);
        if (report.Unchanged != 1) {
            state.SkipWithError("the refresh did not find the feed unchanged");
            break;
        }
    }
}
BENCHMARK(BM_RefreshUnchanged)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrivel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    g_folder = pattern;
    TEventCache cache;
    cache.Events.push_back({"Holidays", "https://feeds.example/h.ics", "\"feed-1\"\n", feed()});
    if (!SaveEventCache(g_folder, cache)) {
        return 1;
    }
    TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    std::filesystem::remove_all(g_folder);
    std::printf("figure: subscription_refresh_unchanged_seconds %.6f s\n",
                reporter.Milliseconds("BM_RefreshUnchanged") / 1e3);
    return 0;
}
