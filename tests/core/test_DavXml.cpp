#include "sync/DavXml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// One line per response with what the client reads of it.
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
        s += r.HasCalendarData ? " data=" + r.CalendarData : "";
        s += r.IsCalendar ? " cal" : "";
        s += r.HasPrivileges ? (r.CanWrite ? " rw" : " ro") : "";
    }
    return s;
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

std::string Times(const std::string& inner, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += inner;
    }
    return out;
}

std::string Repeated(const std::string& inner, size_t count) {
    return "<multistatus xmlns='DAV:'>" + Times(inner, count) + "</multistatus>";
}

std::string Privileges(const std::string& names) {
    return "<multistatus xmlns='DAV:'><response><href>c</href><propstat><prop><current-user-privilege-set>" +
           names + "</current-user-privilege-set></prop></propstat></response></multistatus>";
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
    {"calendar data: raw and escaped line ends",
     "<m:multistatus xmlns:m='DAV:' xmlns:c='urn:ietf:params:xml:ns:caldav'><m:response><m:href>e</m:href>"
     "<m:propstat><m:prop><c:calendar-data>A&#13;\nB\r\nC\n</c:calendar-data><m:resourcetype><c:calendar/>"
     "</m:resourcetype></m:prop></m:propstat></m:response></m:multistatus>",
     true, "multistatus\ne data=A\r\nB\r\nC\r\n cal"},
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
    {"one response too many", Repeated("<response/>", kMaxDavResponses + 1), false, "too many responses"},
    {"read-only privileges", Privileges("<privilege><read/></privilege><privilege><write-acl/></privilege>"),
     true, "multistatus\nc ro"},
    {"write-content grants uploads",
     Privileges("<privilege><read/></privilege><privilege><write-content/></privilege>"), true,
     "multistatus\nc rw"},
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

TEST(DavXml, AsManyResponsesAsMayBe) {
    TDavAnswer answer;
    std::string error;
    ASSERT_TRUE(
        ParseDavAnswer(Repeated("<response><href>e</href></response>", kMaxDavResponses), answer, error));
    EXPECT_EQ(answer.Responses.size(), kMaxDavResponses);
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
