#include "sync/CalDavClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <expat.h>

#include "TestSupport.h"

using namespace kestrivel;

namespace {

// One answer of the fake server: to `method` at `url` (and a body holding `bodyHas`), the HTTP
// status and a recorded body. Status 0 is no answer at all.
struct Answer {
    std::string method;
    std::string url;
    std::string bodyHas;
    int status;
    std::string file; // tests/data/dav/<file>, or an inline body when it starts with '<'
    std::string etag;
};

bool WellFormed(const std::string& xml) {
    XML_Parser p = XML_ParserCreateNS(nullptr, ' ');
    const bool ok = XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(p);
    return ok;
}

std::string Header(const THttpRequest& r, const std::string& name) {
    for (const auto& [key, value] : r.Headers) {
        if (key == name) {
            return value;
        }
    }
    return "-";
}

// Answers from the table and writes down each request as "METHOD depth url" for the cases to check.
class TRecordedServer : public IDavTransport {
public:
    explicit TRecordedServer(std::vector<Answer> answers) : m_answers(std::move(answers)) {}

    THttpResult Send(const THttpRequest& r) override {
        Sent.push_back(r);
        Lines.push_back(r.Method + " " + Header(r, "Depth") + " " + r.Url);
        if (!r.Body.empty() && r.Method != "PUT") {
            EXPECT_TRUE(WellFormed(r.Body)) << r.Body;
            EXPECT_EQ(Header(r, "Content-Type"), "application/xml; charset=utf-8");
        }
        for (const Answer& a : m_answers) {
            if (a.method == r.Method && a.url == r.Url && r.Body.find(a.bodyHas) != std::string::npos) {
                THttpResult result{a.status != 0, "", a.status, a.etag,
                                   a.status != 0 ? "" : "connection refused"};
                result.Body =
                    a.file.empty() || a.file[0] == '<' ? a.file : ReadBytes(FixturePath("dav/" + a.file));
                return result;
            }
        }
        return THttpResult{true, "", 404, "", ""};
    }

    std::vector<THttpRequest> Sent;
    std::vector<std::string> Lines;

private:
    std::vector<Answer> m_answers;
};

const std::string kUser = "alice@example.org";
const std::string kAuth = "Basic YWxpY2VAZXhhbXBsZS5vcmc6c2VjcmV0"; // base64(1) of "alice@example.org:secret"
const std::string kHost = "http://127.0.0.1:5232";
const std::string kCal = kHost + "/alice%40example.org/memos/";
const std::string kNc = "https://cloud.example";
const std::string kNcHome = kNc + "/remote.php/dav/calendars/alice/";

void ExpectAuthorized(const TRecordedServer& server) {
    for (const THttpRequest& r : server.Sent) {
        EXPECT_EQ(Header(r, "Authorization"), kAuth) << r.Url;
    }
}

struct DiscoverCase {
    const char* name;
    std::string address;
    std::vector<Answer> answers;
    TDavError error;
    std::string collection;
    std::vector<std::string> lines;
};

const std::vector<Answer> kNextcloud = {
    {"PROPFIND", kNc + "/.well-known/caldav", "", 207, "nextcloud-wellknown.xml", ""},
    {"PROPFIND", kNc + "/remote.php/dav/principals/users/alice/", "", 207, "nextcloud-principal.xml", ""},
    {"PROPFIND", kNcHome, "", 207, "nextcloud-propfind-home.xml", ""},
};
const std::vector<std::string> kNextcloudLines = {
    "PROPFIND 0 " + kNc + "/.well-known/caldav",
    "PROPFIND 0 " + kNc + "/remote.php/dav/principals/users/alice/", "PROPFIND 1 " + kNcHome};

const std::vector<DiscoverCase> kDiscover = {
    {"the address is the calendar",
     kHost + "/alice%40example.org/memos",
     {{"PROPFIND", kHost + "/alice%40example.org/memos", "", 207, "radicale-propfind-calendar.xml", ""}},
     TDavError::None,
     kCal,
     {"PROPFIND 0 " + kHost + "/alice%40example.org/memos"}},
    {"server root: principal, home, the calendar of events",
     kHost + "/",
     {{"PROPFIND", kHost + "/", "", 207, "radicale-propfind-root.xml", ""},
      {"PROPFIND", kHost + "/alice%40example.org/", "calendar-home-set", 207,
       "radicale-propfind-principal.xml", ""},
      {"PROPFIND", kHost + "/alice%40example.org/", "resourcetype", 207, "radicale-propfind-home.xml", ""}},
     TDavError::None,
     kCal,
     {"PROPFIND 0 " + kHost + "/", "PROPFIND 0 " + kHost + "/alice%40example.org/",
      "PROPFIND 1 " + kHost + "/alice%40example.org/"}},
    {"unknown address: well-known, first calendar", kNc + "/", kNextcloud, TDavError::None,
     kNcHome + "personal/",
     [] {
         std::vector<std::string> l = {"PROPFIND 0 " + kNc + "/"};
         l.insert(l.end(), kNextcloudLines.begin(), kNextcloudLines.end());
         return l;
     }()},
    {"the address names a calendar by display name",
     kNcHome + "Kestrivel",
     kNextcloud,
     TDavError::None,
     kNcHome + "work%20stuff/",
     {}},
    {"the address lies inside a calendar",
     kNcHome + "work stuff/x.ics",
     kNextcloud,
     TDavError::None,
     kNcHome + "work%20stuff/",
     {}},
    {"no calendar holds events",
     kHost + "/",
     {{"PROPFIND", kHost + "/", "", 207, "radicale-propfind-root.xml", ""},
      {"PROPFIND", kHost + "/alice%40example.org/", "calendar-home-set", 207,
       "radicale-propfind-principal.xml", ""},
      {"PROPFIND", kHost + "/alice%40example.org/", "resourcetype", 207, "radicale-propfind-root.xml", ""}},
     TDavError::NotCalendar,
     "",
     {}},
    {"nothing anywhere",
     kNc + "/x/",
     {},
     TDavError::NotCalendar,
     "",
     {"PROPFIND 0 " + kNc + "/x/", "PROPFIND 0 " + kNc + "/.well-known/caldav"}},
    {"wrong password",
     kCal,
     {{"PROPFIND", kCal, "", 401, "", ""}},
     TDavError::Unauthorized,
     "",
     {"PROPFIND 0 " + kCal}},
    {"server down",
     kCal,
     {{"PROPFIND", kCal, "", 0, "", ""}},
     TDavError::Network,
     "",
     {"PROPFIND 0 " + kCal}},
    {"an error page",
     kCal,
     {{"PROPFIND", kCal, "", 207, "<html>oops</html>", ""}},
     TDavError::BadAnswer,
     "",
     {}},
};

TEST(CalDavClient, DiscoverTable) {
    for (const DiscoverCase& c : kDiscover) {
        SCOPED_TRACE(c.name);
        TRecordedServer server(c.answers);
        TCalDavClient client(server, kUser, "secret");
        std::string collection = "stale";
        const TDavStatus status = client.Discover(c.address, collection);
        EXPECT_EQ(status.Error, c.error) << status.Detail;
        EXPECT_EQ(collection, c.collection);
        if (!c.lines.empty()) {
            EXPECT_EQ(server.Lines, c.lines);
        }
        ExpectAuthorized(server);
    }
}

struct ChangesCase {
    const char* name;
    std::string collection;
    std::string token;
    std::vector<Answer> answers;
    TDavError error;
    std::string changes; // "full|token" then one line per change, "-" and the href for removals
    std::vector<std::string> lines;
};

std::string Describe(const TDavChanges& c) {
    std::string s = std::string(c.Full ? "full" : "delta") + "|" + c.Token;
    for (const TDavEvent& e : c.Changed) {
        s += "\n" + e.Href + " " + e.ETag;
    }
    for (const std::string& href : c.Removed) {
        s += "\n-" + href;
    }
    return s;
}

const std::string kRadToken =
    "http://radicale.org/ns/sync/78295b5c6a144d16825da0dfb5cb0b6c4e68e6a9dd3641380eda2194b679b796";
const std::string kRadInitial =
    "full|" + kRadToken + "\n" + kCal +
    "m2%40kestrivel.ics \"fb07b9935b3af8ad5cc7203b92507d0c422fff70883848ac2b3dbe6469e47989\"\n" + kCal +
    "m3%40kestrivel.ics \"9fd7a2dd8514b79ef83a85e4b941ee36beabba47f4e244c571e6eae1c3823c3b\"\n" + kCal +
    "m1%40kestrivel.ics \"b4d12c9fe24a2582545dcbabfdcd90330489f1649e42e2dedee4ef085a6266ec\"";
const std::string kRadQuery =
    "full|\n" + kCal +
    "m2%40kestrivel.ics \"958a660881516c7b358f6e0157ca0c9d8435bcf0308568a130cf472ce49c982b\"\n" + kCal +
    "m4%40kestrivel.ics \"ee242d5fa3aeceadbd31f0cb2780f176987116a8af9c79ad5a3b70e3a2f10696\"\n" + kCal +
    "m1%40kestrivel.ics \"b4d12c9fe24a2582545dcbabfdcd90330489f1649e42e2dedee4ef085a6266ec\"";
const Answer kSyncAll = {"REPORT", kCal, "<d:sync-token/>", 207, "radicale-sync-initial.xml", ""};
const Answer kQuery = {"REPORT", kCal, "calendar-query", 207, "radicale-query.xml", ""};
const std::string kSync = "REPORT 0 " + kCal;
const std::string kQueryLine = "REPORT 1 " + kCal;
const std::string kCyrus = "http://webdav.example.com/home/cyrusdaboo/";

const std::vector<ChangesCase> kChanges = {
    {"first sync", kCal, "", {kSyncAll}, TDavError::None, kRadInitial, {kSync}},
    {"since a token",
     kCal,
     kRadToken,
     {{"REPORT", kCal, kRadToken, 207, "radicale-sync-changes.xml", ""}},
     TDavError::None,
     "delta|http://radicale.org/ns/sync/ee65fecd0098106253b1566731aa23d76c631b76e458fcbf8dd06f9255c56e5a\n" +
         kCal + "m2%40kestrivel.ics \"958a660881516c7b358f6e0157ca0c9d8435bcf0308568a130cf472ce49c982b\"\n" +
         kCal + "m4%40kestrivel.ics \"ee242d5fa3aeceadbd31f0cb2780f176987116a8af9c79ad5a3b70e3a2f10696\"\n-" +
         kCal + "m3%40kestrivel.ics",
     {kSync}},
    {"forgotten token (recorded 403)",
     kCal,
     "http://radicale.org/ns/sync/0",
     {{"REPORT", kCal, "sync/0", 403, "radicale-sync-badtoken.xml", ""}, kSyncAll},
     TDavError::None,
     kRadInitial,
     {kSync, kSync}},
    {"forgotten token (409, no body)",
     kCal,
     "t1",
     {{"REPORT", kCal, "t1", 409, "", ""}, kSyncAll},
     TDavError::None,
     kRadInitial,
     {kSync, kSync}},
    {"no sync-collection (501)",
     kCal,
     "",
     {{"REPORT", kCal, "sync-collection", 501, "", ""}, kQuery},
     TDavError::None,
     kRadQuery,
     {kSync, kQueryLine}},
    {"no sync-collection (403 without precondition)",
     kCal,
     "",
     {{"REPORT", kCal, "sync-collection", 403, "<error xmlns='DAV:'><supported-report/></error>", ""},
      kQuery},
     TDavError::None,
     kRadQuery,
     {kSync, kQueryLine}},
    {"sync answer without a token",
     kCal,
     "",
     {{"REPORT", kCal, "sync-collection", 207, "nosync-report.xml", ""}, kQuery},
     TDavError::None,
     kRadQuery,
     {kSync, kQueryLine}},
    {"truncated answer continues from its token",
     kCyrus,
     "",
     {{"REPORT", kCyrus, "<d:sync-token/>", 207, "rfc6578-sync-truncated.xml", ""},
      {"REPORT", kCyrus, "sync/1233", 207, "rfc6578-sync-changes.xml", ""}},
     TDavError::None,
     "full|http://example.com/ns/sync/1238\n" + kCyrus + "file.xml \"00004-abcd1\"\n" + kCyrus +
         "vcard.vcf \"00002-abcd2\"",
     {"REPORT 0 " + kCyrus, "REPORT 0 " + kCyrus}},
    {"prefixed answer, relative to the request",
     kNcHome + "personal/",
     "http://sabre.io/ns/sync/41",
     {{"REPORT", kNcHome + "personal/", "sync/41", 207, "nextcloud-sync-changes.xml", ""}},
     TDavError::None,
     "delta|http://sabre.io/ns/sync/42\n" + kNcHome + "personal/A1B2.ics \"9c5e6b2a\"\n-" + kNcHome +
         "personal/C3D4.ics",
     {}},
    {"wrong password",
     kCal,
     "",
     {{"REPORT", kCal, "", 401, "", ""}},
     TDavError::Unauthorized,
     "full|",
     {kSync}},
    {"server error", kCal, "t", {{"REPORT", kCal, "", 500, "", ""}}, TDavError::Server, "delta|", {kSync}},
    {"query refused too",
     kCal,
     "",
     {{"REPORT", kCal, "", 405, "", ""}},
     TDavError::Server,
     "full|",
     {kSync, kQueryLine}},
    {"unreadable answer",
     kCal,
     "",
     {{"REPORT", kCal, "", 207, "<multistatus xmlns='DAV:'>", ""}},
     TDavError::BadAnswer,
     "full|",
     {kSync}},
};

TEST(CalDavClient, ChangesTable) {
    for (const ChangesCase& c : kChanges) {
        SCOPED_TRACE(c.name);
        TRecordedServer server(c.answers);
        TCalDavClient client(server, kUser, "secret");
        TDavChanges changes;
        const TDavStatus status = client.Changes(c.collection, c.token, changes);
        EXPECT_EQ(status.Error, c.error) << status.Detail;
        EXPECT_EQ(Describe(changes), c.changes);
        if (!c.lines.empty()) {
            EXPECT_EQ(server.Lines, c.lines);
        }
        ExpectAuthorized(server);
    }
}

TEST(CalDavClient, FetchMatchesEitherSpellingAndLeavesOutMissing) {
    struct Case {
        std::string collection;
        std::vector<std::string> hrefs;
        std::string file;
        std::string fetched; // href and ETag of each event read, in the order asked
    };
    const std::vector<Case> cases = {
        {kCal,
         {kCal + "m1@kestrivel.ics", kCal + "m2%40kestrivel.ics", kCal + "m3@kestrivel.ics"},
         "radicale-multiget.xml",
         kCal + "m1@kestrivel.ics \"b4d12c9fe24a2582545dcbabfdcd90330489f1649e42e2dedee4ef085a6266ec\"\n" +
             kCal +
             "m2%40kestrivel.ics \"958a660881516c7b358f6e0157ca0c9d8435bcf0308568a130cf472ce49c982b\"\n"},
        {"http://cal.example.com/bernard/work/",
         {"http://cal.example.com/bernard/work/mtg1.ics", "abcd1.ics"},
         "rfc4791-multiget.xml",
         "abcd1.ics \"fffff-abcd1\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TRecordedServer server({{"REPORT", c.collection, "calendar-multiget", 207, c.file, ""}});
        TCalDavClient client(server, kUser, "secret");
        std::vector<TDavEvent> events;
        ASSERT_TRUE(client.Fetch(c.collection, c.hrefs, events).ok());
        std::string fetched;
        for (const TDavEvent& e : events) {
            fetched += e.Href + " " + e.ETag + "\n";
            EXPECT_EQ(e.Data.compare(0, 17, "BEGIN:VCALENDAR\r\n"), 0);
        }
        EXPECT_EQ(fetched, c.fetched);
        EXPECT_EQ(server.Lines, std::vector<std::string>{"REPORT 1 " + c.collection});
    }
    // Large sets go in batches; the hrefs sent are paths.
    std::vector<std::string> many;
    for (int i = 0; i < 250; ++i) {
        many.push_back(kCal + "e" + std::to_string(i) + ".ics");
    }
    TRecordedServer server({{"REPORT", kCal, "", 207, "radicale-multiget.xml", ""}});
    std::vector<TDavEvent> events;
    TCalDavClient(server, kUser, "secret").Fetch(kCal, many, events);
    ASSERT_EQ(server.Sent.size(), 3u);
    EXPECT_NE(server.Sent[2].Body.find("<d:href>/alice%40example.org/memos/e249.ics</d:href>"),
              std::string::npos);
    EXPECT_EQ(server.Sent[2].Body.find("e199.ics"), std::string::npos);
}

struct WriteCase {
    const char* name;
    std::string method;
    std::string ifMatch;
    int status;
    std::string etag;
    TDavError error;
    std::string condition; // the conditional header sent
};

const std::vector<WriteCase> kWrites = {
    {"new event", "PUT", "", 201, "\"n1\"", TDavError::None, "If-None-Match: *"},
    {"new event exists (recorded 412)", "PUT", "", 412, "", TDavError::PreconditionFailed,
     "If-None-Match: *"},
    {"change, no ETag back", "PUT", "\"e1\"", 204, "", TDavError::None, "If-Match: \"e1\""},
    {"change refused", "PUT", "\"e1\"", 403, "", TDavError::Unauthorized, "If-Match: \"e1\""},
    {"server full", "PUT", "\"e1\"", 507, "", TDavError::Server, "If-Match: \"e1\""},
    {"server down", "PUT", "", 0, "", TDavError::Network, "If-None-Match: *"},
    {"delete", "DELETE", "\"e2\"", 200, "", TDavError::None, "If-Match: \"e2\""},
    {"delete changed event (recorded 412)", "DELETE", "\"stale\"", 412, "", TDavError::PreconditionFailed,
     "If-Match: \"stale\""},
    {"delete gone event (recorded 404)", "DELETE", "\"e3\"", 404, "", TDavError::None, "If-Match: \"e3\""},
    {"delete gone event (410)", "DELETE", "\"e3\"", 410, "", TDavError::None, "If-Match: \"e3\""},
    {"delete unconditionally", "DELETE", "", 204, "", TDavError::None, "If-Match: -"},
};

TEST(CalDavClient, WriteTable) {
    const std::string href = kCal + "m1@kestrivel.ics";
    const std::string data = "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
    for (const WriteCase& c : kWrites) {
        SCOPED_TRACE(c.name);
        TRecordedServer server({{c.method, href, "", c.status, "", c.etag}});
        TCalDavClient client(server, kUser, "secret");
        std::string etag = "old";
        const TDavStatus status =
            c.method == "PUT" ? client.Put(href, data, c.ifMatch, etag) : client.Delete(href, c.ifMatch);
        EXPECT_EQ(status.Error, c.error) << status.Detail;
        ASSERT_EQ(server.Sent.size(), 1u);
        const THttpRequest& r = server.Sent[0];
        const std::string header = c.condition.substr(0, c.condition.find(':'));
        EXPECT_EQ(header + ": " + Header(r, header), c.condition);
        if (c.method == "PUT") {
            EXPECT_EQ(etag, c.error == TDavError::None ? c.etag : "");
            EXPECT_EQ(Header(r, "Content-Type"), "text/calendar; charset=utf-8");
            EXPECT_EQ(r.Body, data);
        }
        ExpectAuthorized(server);
    }
    TRecordedServer anonymous({});
    std::string etag;
    TCalDavClient(anonymous, "", "").Put(href, data, "", etag);
    EXPECT_EQ(Header(anonymous.Sent.at(0), "Authorization"), "-");
}

TEST(CalDavClient, BasicAuthorizationTable) {
    // RFC 7617 sections 2 and 2.1, and the padding lengths.
    const std::vector<std::vector<std::string>> cases = {
        {"Aladdin", "open sesame", "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"test", "123\xC2\xA3", "Basic dGVzdDoxMjPCow=="},
        {"a", "", "Basic YTo="},
        {"", "", "Basic Og=="},
        {"ab", "", "Basic YWI6"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BasicAuthorization(c[0], c[1]), c[2]) << c[0];
    }
}

TEST(CalDavClient, ResolveHrefTable) {
    // RFC 3986 section 5.4: every normal and abnormal example against its base.
    const std::string base = "http://a/b/c/d;p?q";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (const auto& [href, expected] : cases) {
        EXPECT_EQ(ResolveHref(base, href), expected) << href;
    }
    // A server's absolute paths keep their escapes; an authority without a path merges under "/".
    EXPECT_EQ(ResolveHref(kHost + "/x/", "/alice%40example.org/m%201.ics"),
              kHost + "/alice%40example.org/m%201.ics");
    EXPECT_EQ(ResolveHref("https://cloud.example", "a.ics"), "https://cloud.example/a.ics");
}

} // namespace
