#include "sync/DavXml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

using namespace kestrivel;

namespace {

// One line per response with what the client reads of it; the expectations below are read off the
// recorded answers by eye.
std::string Summary(const TDavAnswer& a) {
    std::string s = a.IsMultiStatus ? "multistatus" : "error";
    s += a.SyncToken.empty() ? "" : " token=" + a.SyncToken;
    for (const std::string& c : a.Conditions) {
        s += " !" + c;
    }
    for (const TDavResponse& r : a.Responses) {
        s += "\n" + (r.Hrefs.empty() ? std::string("-") : r.Hrefs.front());
        s += r.Status ? " " + std::to_string(r.Status) : "";
        s += r.HasETag ? " etag=" + r.ETag : "";
        s += r.HasCalendarData ? " data" : "";
        s += std::string(r.IsCollection ? " coll" : "") + (r.IsCalendar ? " cal" : "");
        if (r.HasComponentSet) {
            s += " comps=";
            for (const std::string& c : r.Components) {
                s += c + ",";
            }
        }
        s += r.DisplayName.empty() ? "" : " name=" + r.DisplayName;
        s += r.PrincipalHref.empty() ? "" : " principal=" + r.PrincipalHref;
        for (const std::string& h : r.HomeSetHrefs) {
            s += " home=" + h;
        }
    }
    return s;
}

struct FixtureCase {
    const char* file;
    std::string summary;
};

const std::string kR = "/alice%40example.org/";
const std::string kRE = "\"958a660881516c7b358f6e0157ca0c9d8435bcf0308568a130cf472ce49c982b\"";
const std::string kE1 = "\"b4d12c9fe24a2582545dcbabfdcd90330489f1649e42e2dedee4ef085a6266ec\"";
const std::string kE4 = "\"ee242d5fa3aeceadbd31f0cb2780f176987116a8af9c79ad5a3b70e3a2f10696\"";
const std::string kNc = "/remote.php/dav/calendars/alice/";

const std::vector<FixtureCase> kFixtures = {
    {"radicale-propfind-root.xml", "multistatus\n/ coll principal=" + kR},
    {"radicale-propfind-principal.xml", "multistatus\n" + kR + " home=" + kR},
    {"radicale-propfind-calendar.xml",
     "multistatus\n" + kR + "memos/ coll cal comps=VEVENT, name=Memos principal=" + kR},
    {"radicale-propfind-home.xml", "multistatus\n" + kR + " coll principal=" + kR + "\n" + kR +
                                       "tasks/ coll cal comps=VTODO, name=Tasks principal=" + kR + "\n" + kR +
                                       "memos/ coll cal comps=VEVENT, name=Memos principal=" + kR},
    {"radicale-sync-changes.xml", "multistatus token=http://radicale.org/ns/sync/"
                                  "ee65fecd0098106253b1566731aa23d76c631b76e458fcbf8dd06f9255c56e5a\n" +
                                      kR + "memos/m3%40kestrivel.ics 404\n" + kR +
                                      "memos/m2%40kestrivel.ics etag=" + kRE + "\n" + kR +
                                      "memos/m4%40kestrivel.ics etag=" + kE4},
    {"radicale-sync-badtoken.xml", "error !valid-sync-token"},
    {"radicale-multiget.xml", "multistatus\n" + kR + "memos/m3%40kestrivel.ics 404\n" + kR +
                                  "memos/m2%40kestrivel.ics etag=" + kRE + " data\n" + kR +
                                  "memos/m1%40kestrivel.ics etag=" + kE1 + " data"},
    {"rfc4791-multiget.xml",
     "multistatus\nhttp://cal.example.com/bernard/work/abcd1.ics etag=\"fffff-abcd1\" "
     "data\nhttp://cal.example.com/bernard/work/mtg1.ics 404"},
    {"rfc6578-sync-changes.xml", "multistatus token=http://example.com/ns/sync/1238\n"
                                 "http://webdav.example.com/home/cyrusdaboo/file.xml etag=\"00004-abcd1\"\n"
                                 "http://webdav.example.com/home/cyrusdaboo/vcard.vcf etag=\"00002-abcd2\"\n"
                                 "http://webdav.example.com/home/cyrusdaboo/test.doc 404"},
    {"rfc6578-sync-truncated.xml",
     "multistatus token=http://example.com/ns/sync/1233 !number-of-matches-within-limits\n"
     "http://webdav.example.com/home/cyrusdaboo/file.xml etag=\"00004-abcd1\"\n"
     "http://webdav.example.com/home/cyrusdaboo/ 507"},
    {"nextcloud-propfind-home.xml", "multistatus\n" + kNc +
                                        " coll principal=/remote.php/dav/principals/users/alice/\n" + kNc +
                                        "personal/ coll cal comps=VEVENT,VTODO, name=Personal\n" + kNc +
                                        "work%20stuff/ coll cal name=Kestrivel\n" + kNc + "inbox/ coll"},
    {"nextcloud-sync-changes.xml", "multistatus token=http://sabre.io/ns/sync/42\n" + kNc +
                                       "personal/A1B2.ics etag=\"9c5e6b2a\"\n" + kNc +
                                       "personal/C3D4.ics 404"},
};

TEST(DavXml, RecordedAnswers) {
    for (const FixtureCase& c : kFixtures) {
        SCOPED_TRACE(c.file);
        TDavAnswer answer;
        std::string error;
        ASSERT_TRUE(ParseDavAnswer(ReadBytes(FixturePath(std::string("dav/") + c.file)), answer, error))
            << error;
        EXPECT_EQ(Summary(answer), c.summary);
    }
}

TEST(DavXml, CalendarDataLinesEndInCrLf) {
    TDavAnswer answer;
    std::string error;
    ASSERT_TRUE(ParseDavAnswer(ReadBytes(FixturePath("dav/radicale-multiget.xml")), answer, error));
    EXPECT_EQ(
        answer.Responses.at(2).CalendarData,
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Recorder//EN\r\nBEGIN:VEVENT\r\nUID:m1@kestrivel\r\n"
        "DTSTART;VALUE=DATE:20240305\r\nDTSTAMP:20240101T000000Z\r\nSUMMARY:Dentist\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n");
}

struct InlineCase {
    const char* name;
    std::string xml;
    bool ok;
    std::string summary; // or the start of the error
};

std::string Nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth - 1; ++i) {
        open += "<x>";
        close += "</x>";
    }
    return "<multistatus xmlns='DAV:'>" + open + close + "</multistatus>";
}

const std::vector<InlineCase> kInline = {
    {"prefix bound to another namespace", "<D:multistatus xmlns:D='urn:not-dav'/>", false,
     "not a multistatus"},
    {"caldav name in the DAV: namespace",
     "<multistatus xmlns='DAV:'><response><href>a</href><propstat><prop><resourcetype><calendar/>"
     "</resourcetype></prop></propstat></response></multistatus>",
     true, "multistatus\na"},
    {"propstat without status counts",
     "<a:multistatus xmlns:a='DAV:'><a:response><a:href> x </a:href><a:propstat>"
     "<a:prop><a:getetag>\"e\"</a:getetag></a:prop></a:propstat></a:response></a:multistatus>",
     true, "multistatus\nx etag=\"e\""},
    {"forbidden propstat hides its props",
     "<multistatus xmlns='DAV:'><response><href>y</href><propstat><prop><getetag>\"e\"</getetag></prop>"
     "<status>HTTP/1.1 403 Forbidden</status></propstat></response></multistatus>",
     true, "multistatus\ny"},
    {"prefixed error", "<D:error xmlns:D='DAV:'><D:valid-sync-token/></D:error>", true,
     "error !valid-sync-token"},
    {"depth 64", Nested(64), true, "multistatus"},
    {"depth 65", Nested(65), false, "nested too deeply"},
    {"billion laughs",
     "<?xml version='1.0'?><!DOCTYPE m [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;'>]>"
     "<multistatus xmlns='DAV:'><response><href>&b;</href></response></multistatus>",
     false, "a DOCTYPE"},
    {"external entity", "<!DOCTYPE m SYSTEM 'file:///etc/passwd'><multistatus xmlns='DAV:'/>", false,
     "a DOCTYPE"},
    {"html error page", "<html><body>502 Bad Gateway</body></html>", false, "not a multistatus"},
    {"cut short", "<multistatus xmlns='DAV:'><response><href>a</hr", false, "XML error"},
    {"empty", "", false, "XML error"},
};

TEST(DavXml, InlineAnswers) {
    for (const InlineCase& c : kInline) {
        SCOPED_TRACE(c.name);
        TDavAnswer answer;
        std::string error;
        EXPECT_EQ(ParseDavAnswer(c.xml, answer, error), c.ok);
        EXPECT_EQ(c.ok ? Summary(answer) : error.substr(0, c.summary.size()), c.summary);
    }
}

TEST(DavXml, StatusLinesAndHrefKeys) {
    const std::vector<std::pair<std::string, int>> lines = {
        {"HTTP/1.1 200 OK", 200}, {" HTTP/1.1 404 Not Found\n", 404},
        {"HTTP/1.1 507", 507},    {"HTTP/1.1 20x OK", 0},
        {"HTTP/1.1 2000 OK", 0},  {"200 OK", 0}};
    for (const auto& [line, code] : lines) {
        EXPECT_EQ(StatusLineCode(line), code) << line;
    }
    EXPECT_EQ(HrefKey("HTTP://Cal.Example.COM/Alice%40x/m1%40k.ics"),
              HrefKey("http://cal.example.com/Alice@x/m1@k.ics"));
    EXPECT_EQ(HrefKey("/a%2fb%20c"), "/a%2Fb c");
    EXPECT_NE(HrefKey("/Alice/"), HrefKey("/alice/"));
    EXPECT_EQ(HrefKey("/100%"), "/100%");
}

} // namespace
