#include "config/ConfigData.h"
#include "config/IniFile.h"
#include "config/SubscriptionSettings.h"
#include "sync/SubscriptionFetch.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrivel;

namespace {

const std::string kCalendar =
    "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:New\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

THttpResult answer(int status, std::string body = {}, std::string etag = {}, std::string modified = {}) {
    THttpResult result;
    result.Ok = true;
    result.Status = status;
    result.Body = std::move(body);
    result.ETag = std::move(etag);
    result.LastModified = std::move(modified);
    return result;
}

std::string header(const THttpRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.Headers) {
        if (key == name) {
            return value;
        }
    }
    return "-";
}

std::string manyEvents(size_t count) {
    std::string text = "BEGIN:VCALENDAR\n";
    for (size_t i = 0; i < count; ++i) {
        text += "begin:vevent\nEND:VEVENT\n";
    }
    return text + "END:VCALENDAR\n";
}

// What an answer does to the cache: only the subscription's own entry changes, and only on a 200
// that is a calendar within bounds.
struct AnswerCase {
    const char* Name;
    THttpResult Answer;
    TSubscriptionOutcome Outcome;
    const char* Data; // the subscription's entry afterwards
    const char* ETag;
};

TEST(SubscriptionFetch, AnAnswerReplacesOnlyThatSubscription) {
    THttpResult tooLong;
    tooLong.Error = "too long";
    tooLong.TooLong = true;
    const AnswerCase cases[] = {
        {"unchanged", answer(304), TSubscriptionOutcome::Unchanged, "OLD", "\"1\"\n"},
        {"new calendar", answer(200, kCalendar, "\"2\"", "Tue, 01 Dec 2026 10:00:00 GMT"),
         TSubscriptionOutcome::Replaced, kCalendar.c_str(), "\"2\"\nTue, 01 Dec 2026 10:00:00 GMT"},
        {"no validators", answer(200, " \r\n" + kCalendar), TSubscriptionOutcome::Replaced, nullptr, ""},
        {"html page", answer(200, "<html>BEGIN:VCALENDAR</html>"), TSubscriptionOutcome::Refused, "OLD",
         "\"1\"\n"},
        {"not found", answer(404, kCalendar), TSubscriptionOutcome::Refused, "OLD", "\"1\"\n"},
        {"redirect left", answer(302), TSubscriptionOutcome::Refused, "OLD", "\"1\"\n"},
        {"too long", tooLong, TSubscriptionOutcome::Refused, "OLD", "\"1\"\n"},
        {"most events", answer(200, manyEvents(kMaxSubscriptionEvents)), TSubscriptionOutcome::Replaced,
         nullptr, ""},
        {"too many events", answer(200, manyEvents(kMaxSubscriptionEvents + 1)),
         TSubscriptionOutcome::Refused, "OLD", "\"1\"\n"},
    };
    const TSubscription holidays{"Holidays", "webcal://feeds.example/h.ics", ""};
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TEventCache cache;
        cache.Events = {{"", "https://h/c/a.ics", "\"9\"", "SERVER"},
                        {"Holidays", "webcal://feeds.example/h.ics", "\"1\"\n", "OLD"},
                        {"Team", "https://t/team.ics", "\"3\"\n", "TEAM"}};
        std::string reason;
        EXPECT_EQ(ApplySubscriptionAnswer(cache, holidays, c.Answer, reason), c.Outcome);
        EXPECT_EQ(reason.empty(), c.Outcome != TSubscriptionOutcome::Refused);
        ASSERT_EQ(cache.Events.size(), 3u);
        EXPECT_EQ(cache.Events[0].Data, "SERVER");
        EXPECT_EQ(cache.Events[2].Data, "TEAM");
        EXPECT_EQ(cache.Events[1].Data, c.Data != nullptr ? std::string(c.Data) : c.Answer.Body);
        EXPECT_EQ(cache.Events[1].ETag, c.ETag);
    }
}

// The conditional headers come from the entry's validators; credentials go only to the origin of the
// address the user gave them for.
TEST(SubscriptionFetch, RequestsAreConditionalAndKeepCredentialsAtHome) {
    const TSubscription open{"Holidays", "webcal://feeds.example/h.ics", ""};
    const TSubscription closed{"Team", "https://team.example:8443/t.ics", "anna", "secret"};
    const TCachedEvent both{"Holidays", "", "\"7\"\nTue, 01 Dec 2026 10:00:00 GMT", ""};
    const TCachedEvent dateOnly{"Holidays", "", "\nTue, 01 Dec 2026 10:00:00 GMT", ""};

    THttpRequest request = SubscriptionRequest(open, SubscriptionUrl(open.Address), &both);
    EXPECT_EQ(request.Url, "https://feeds.example/h.ics");
    EXPECT_EQ(header(request, "If-None-Match"), "\"7\"");
    EXPECT_EQ(header(request, "If-Modified-Since"), "Tue, 01 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(header(request, "Authorization"), "-");
    EXPECT_TRUE(request.FollowRedirects);

    request = SubscriptionRequest(open, "https://feeds.example/h.ics", &dateOnly);
    EXPECT_EQ(header(request, "If-None-Match"), "-");
    request = SubscriptionRequest(open, "https://feeds.example/h.ics", nullptr);
    EXPECT_EQ(header(request, "If-Modified-Since"), "-");

    request = SubscriptionRequest(closed, "https://team.example:8443/moved.ics", nullptr);
    EXPECT_EQ(header(request, "Authorization"), "Basic YW5uYTpzZWNyZXQ=");
    EXPECT_FALSE(request.FollowRedirects);
    request = SubscriptionRequest(closed, "https://cdn.example/t.ics", nullptr);
    EXPECT_EQ(header(request, "Authorization"), "-");

    TSyncSettings account;
    account.Server = "http://127.0.0.1:5232/anna/cal/";
    account.User = "anna";
    account.Password = "pw";
    EXPECT_EQ(AccountPassword({"Work", "http://127.0.0.1:5232/anna/work/", "anna"}, account), "pw");
    EXPECT_EQ(AccountPassword({"Work", "http://127.0.0.1:5233/anna/work/", "anna"}, account), "");
    EXPECT_EQ(AccountPassword({"Work", "http://127.0.0.1:5232/bob/work/", "bob"}, account), "");
    EXPECT_EQ(AccountPassword({"Work", "http://127.0.0.1:5232/anna/work/", ""}, account), "");
    EXPECT_EQ(NewSubscription("Work", "http://127.0.0.1:5232/anna/work/", account).User, "anna");
    EXPECT_EQ(NewSubscription("Feed", "http://127.0.0.1:8080/h.ics", account).User, "");

    const std::vector<TSubscription> listed = {{"Holidays", "webcal://feeds.example/h.ics", ""}};
    EXPECT_FALSE(CanAddSubscription(listed, "https://feeds.example/h.ics")); // the same feed
    EXPECT_TRUE(CanAddSubscription(listed, "https://feeds.example/other.ics"));
    EXPECT_FALSE(CanAddSubscription(listed, "feeds.example/other.ics"));
    EXPECT_FALSE(CanAddSubscription(listed, "https://feeds.example/a\nb.ics"));

    EXPECT_EQ(SubscriptionUrl("ftp://feeds.example/h.ics"), "");
    EXPECT_EQ(SubscriptionUrl("https://anna:pw@feeds.example/h.ics"), "");
    EXPECT_EQ(SubscriptionUrl("WEBCAL://feeds.example/h.ics"), "https://feeds.example/h.ics");
}

// A transport that answers from a list and records what was asked.
class ListTransport final : public IDavTransport {
public:
    std::vector<THttpResult> Answers;
    std::vector<THttpRequest> Asked;
    THttpResult Send(const THttpRequest& request) override {
        Asked.push_back(request);
        THttpResult next = Answers.empty() ? THttpResult{} : Answers.front();
        if (!Answers.empty()) {
            Answers.erase(Answers.begin());
        }
        return next;
    }
};

TEST(SubscriptionFetch, RefreshWritesOnlyWhatChanged) {
    TempFolder folder;
    const TConfigData data(folder.path().string());
    const std::string cachePath = EventCachePath(data.ProgramFolder());
    ListTransport transport;

    // Nothing subscribed, no cache: nothing asked, nothing written.
    RefreshSubscriptions(data, {}, transport);
    EXPECT_TRUE(transport.Asked.empty());
    EXPECT_FALSE(std::filesystem::exists(cachePath));

    // A credentialed feed that moves to another origin is followed there without the password.
    const std::vector<TSubscription> subscriptions = {
        {"Team", "https://team.example/t.ics", "anna", "secret"}};
    THttpResult moved = answer(301);
    moved.Location = "https://cdn.example/t.ics";
    transport.Answers = {moved, answer(200, kCalendar, "\"1\"")};
    TSubscriptionReport report = RefreshSubscriptions(data, subscriptions, transport);
    EXPECT_EQ(report.Replaced, 1);
    ASSERT_EQ(transport.Asked.size(), 2u);
    EXPECT_EQ(transport.Asked[1].Url, "https://cdn.example/t.ics");
    EXPECT_EQ(header(transport.Asked[1], "Authorization"), "-");
    const std::string written = ReadBytes(cachePath);

    // Unchanged: asked with its ETag, the file not rewritten.
    std::filesystem::last_write_time(cachePath, std::filesystem::file_time_type{});
    transport.Asked.clear();
    transport.Answers = {answer(304)};
    report = RefreshSubscriptions(data, subscriptions, transport);
    EXPECT_EQ(report.Unchanged, 1);
    EXPECT_EQ(header(transport.Asked[0], "If-None-Match"), "\"1\"");
    EXPECT_EQ(std::filesystem::last_write_time(cachePath), std::filesystem::file_time_type{});

    // A failure keeps the cache; an unsubscribed feed leaves it.
    transport.Answers = {};
    report = RefreshSubscriptions(data, subscriptions, transport);
    EXPECT_EQ(report.Failures.size(), 1u);
    EXPECT_EQ(ReadBytes(cachePath), written);
    RefreshSubscriptions(data, {}, transport);
    TEventCache cache;
    ASSERT_TRUE(LoadEventCache(data.ProgramFolder(), cache));
    EXPECT_TRUE(cache.Events.empty());
}

TEST(SubscriptionSettings, KeptInTheirOwnSection) {
    TempFolder folder;
    const std::string path = folder.file("Settings.ini");
    WriteBytes(path, "[Sync]\nServer=https://h/c/\n");
    TIniFile ini(path);
    WriteSubscriptions(ini, {{"Holidays", "webcal://f/h.ics", ""}, {"Team", "https://t/t.ics", "anna"}});
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(LoadSubscriptions(path), (std::vector<TSubscription>{{"Holidays", "webcal://f/h.ics", ""},
                                                                   {"Team", "https://t/t.ics", "anna"}}));

    // One removed: the second is no longer read, the other section is kept.
    TIniFile again(path);
    WriteSubscriptions(again, {{"Team", "https://t/t.ics", "anna"}});
    ASSERT_TRUE(again.save());
    EXPECT_EQ(LoadSubscriptions(path), (std::vector<TSubscription>{{"Team", "https://t/t.ics", "anna"}}));
    EXPECT_NE(ReadBytes(path).find("Server=https://h/c/"), std::string::npos);
}

} // namespace
