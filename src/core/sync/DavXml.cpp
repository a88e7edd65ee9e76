#include "sync/DavXml.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include <expat.h>

namespace kestrivel {

namespace {

constexpr const char* kDavNs = "DAV:";
constexpr const char* kCalDavNs = "urn:ietf:params:xml:ns:caldav";
constexpr size_t kMaxDepth = 64;

// The elements the client reads; everything else is walked over.
enum class Tag {
    Other,
    MultiStatus,
    Response,
    Href,
    Status,
    PropStat,
    Prop,
    GetETag,
    DisplayName,
    ResourceType,
    Collection,
    SyncToken,
    Principal,
    Error,
    CalendarData,
    Calendar,
    ComponentSet,
    Comp,
    HomeSet,
    PrivilegeSet,
    Privilege,
};

struct TagName {
    bool CalDav;
    const char* Local;
    Tag Value;
};

constexpr TagName kTags[] = {
    {false, "multistatus", Tag::MultiStatus},
    {false, "response", Tag::Response},
    {false, "href", Tag::Href},
    {false, "status", Tag::Status},
    {false, "propstat", Tag::PropStat},
    {false, "prop", Tag::Prop},
    {false, "getetag", Tag::GetETag},
    {false, "displayname", Tag::DisplayName},
    {false, "resourcetype", Tag::ResourceType},
    {false, "collection", Tag::Collection},
    {false, "sync-token", Tag::SyncToken},
    {false, "current-user-principal", Tag::Principal},
    {false, "error", Tag::Error},
    {true, "calendar-data", Tag::CalendarData},
    {true, "calendar", Tag::Calendar},
    {true, "supported-calendar-component-set", Tag::ComponentSet},
    {true, "comp", Tag::Comp},
    {true, "calendar-home-set", Tag::HomeSet},
    {false, "current-user-privilege-set", Tag::PrivilegeSet},
    {false, "privilege", Tag::Privilege},
};

// The privileges (RFC 3744 section 3) that let a client create or change an event.
constexpr const char* kWritePrivileges[] = {"all", "write", "write-content", "bind"};

// Expat joins namespace and local name with a space (XML_ParserCreateNS below); a name without
// a namespace has no space.
struct QName {
    std::string Ns;
    std::string Local;
};

QName SplitName(const XML_Char* name) {
    const char* space = std::strrchr(name, ' ');
    if (space == nullptr) {
        return {std::string(), name};
    }
    return {std::string(name, space), std::string(space + 1)};
}

Tag TagOf(const QName& name) {
    const bool dav = name.Ns == kDavNs;
    const bool caldav = name.Ns == kCalDavNs;
    if (!dav && !caldav) {
        return Tag::Other;
    }
    for (const TagName& t : kTags) {
        if (t.CalDav == caldav && name.Local == t.Local) {
            return t.Value;
        }
    }
    return Tag::Other;
}

std::string Trimmed(const std::string& s) {
    const char* blanks = " \t\r\n";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// XML reading turns a raw CR LF into LF (XML 1.0 section 2.11); iCalendar lines end in CR LF, so
// they are put back, once, whichever way the server escaped them.
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

// The reading state: the stack of open elements, the response and propstat being read, the text
// of the element being collected.
class Reader {
public:
    explicit Reader(TDavAnswer& out) : m_out(out) {}

    void Start(XML_Parser parser, const XML_Char* name, const XML_Char** attributes);
    void End();
    void Text(const XML_Char* s, int len) {
        if (m_collect) {
            m_text.append(s, static_cast<size_t>(len));
        }
    }
    void Fail(XML_Parser parser, const char* why) {
        if (m_failure.empty()) {
            m_failure = why;
        }
        XML_StopParser(parser, XML_FALSE);
    }
    const std::string& Failure() const { return m_failure; }

private:
    Tag Parent(size_t up = 1) const {
        return m_stack.size() > up ? m_stack[m_stack.size() - 1 - up] : Tag::Other;
    }
    bool InProp() const;
    void EndText(Tag tag);
    void EndPropStat();

    TDavAnswer& m_out;
    std::vector<Tag> m_stack;
    TDavResponse m_response;
    TDavResponse m_propStat; // properties of the propstat being read, merged at its end when 2xx
    int m_propStatStatus = 0;
    bool m_collect = false;
    std::string m_text;
    std::string m_failure;
};

bool Reader::InProp() const {
    // The property element is the top of the stack; its parent must be a prop of a propstat.
    return Parent() == Tag::Prop && Parent(2) == Tag::PropStat;
}

void Reader::Start(XML_Parser parser, const XML_Char* name, const XML_Char** attributes) {
    if (!m_failure.empty()) {
        return;
    }
    if (m_stack.size() >= kMaxDepth) {
        Fail(parser, "nested too deeply");
        return;
    }
    const QName qname = SplitName(name);
    const Tag tag = TagOf(qname);
    const Tag parent = m_stack.empty() ? Tag::Other : m_stack.back();
    if (m_stack.empty()) {
        if (tag != Tag::MultiStatus && tag != Tag::Error) {
            Fail(parser, "not a multistatus");
            return;
        }
        m_out.IsMultiStatus = tag == Tag::MultiStatus;
    }
    if (parent == Tag::Error && (qname.Ns == kDavNs || qname.Ns == kCalDavNs)) {
        m_out.Conditions.push_back(qname.Local);
    }
    m_stack.push_back(tag);
    switch (tag) {
    case Tag::Response:
        if (m_out.Responses.size() >= kMaxDavResponses) {
            Fail(parser, "too many responses");
            return;
        }
        m_response = TDavResponse();
        break;
    case Tag::PropStat:
        m_propStat = TDavResponse();
        m_propStatStatus = 0;
        break;
    case Tag::Comp:
        if (parent == Tag::ComponentSet) {
            for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
                if (std::strcmp(a[0], "name") == 0 && m_propStat.Components.size() < kMaxDavListItems) {
                    m_propStat.Components.push_back(Upper(a[1]));
                }
            }
        }
        break;
    case Tag::Collection:
        m_propStat.IsCollection |= parent == Tag::ResourceType;
        break;
    case Tag::Calendar:
        m_propStat.IsCalendar |= parent == Tag::ResourceType;
        break;
    case Tag::ComponentSet:
        m_propStat.HasComponentSet |= InProp();
        break;
    case Tag::PrivilegeSet:
        m_propStat.HasPrivileges |= InProp();
        break;
    default:
        // A privilege is an element of its own inside <privilege> (RFC 3744 section 5.4).
        if (parent == Tag::Privilege && Parent(2) == Tag::PrivilegeSet && qname.Ns == kDavNs) {
            for (const char* privilege : kWritePrivileges) {
                m_propStat.CanWrite |= qname.Local == privilege;
            }
        }
        break;
    }
    // Only leaf texts are kept; a server's whitespace between other elements is dropped unseen.
    m_collect = tag == Tag::Href || tag == Tag::Status || tag == Tag::GetETag || tag == Tag::DisplayName ||
                tag == Tag::SyncToken || tag == Tag::CalendarData;
    m_text.clear();
}

void Reader::EndText(Tag tag) {
    const Tag parent = Parent();
    switch (tag) {
    case Tag::Href:
        if (parent == Tag::Response && m_response.Hrefs.size() < kMaxDavListItems) {
            m_response.Hrefs.push_back(Trimmed(m_text));
        } else if (parent == Tag::Principal && m_propStat.PrincipalHref.empty()) {
            m_propStat.PrincipalHref = Trimmed(m_text);
        } else if (parent == Tag::HomeSet && m_propStat.HomeSetHrefs.size() < kMaxDavListItems) {
            m_propStat.HomeSetHrefs.push_back(Trimmed(m_text));
        }
        break;
    case Tag::Status:
        if (parent == Tag::Response) {
            m_response.Status = StatusLineCode(m_text);
        } else if (parent == Tag::PropStat) {
            m_propStatStatus = StatusLineCode(m_text);
        }
        break;
    case Tag::SyncToken:
        if (parent == Tag::MultiStatus && m_stack.size() == 2) {
            m_out.SyncToken = Trimmed(m_text);
        } else if (InProp()) {
            m_propStat.SyncToken = Trimmed(m_text);
        }
        break;
    case Tag::GetETag:
        if (InProp()) {
            m_propStat.HasETag = true;
            m_propStat.ETag = Trimmed(m_text);
        }
        break;
    case Tag::DisplayName:
        if (InProp()) {
            m_propStat.DisplayName = Trimmed(m_text);
        }
        break;
    case Tag::CalendarData:
        if (InProp()) {
            m_propStat.HasCalendarData = true;
            m_propStat.CalendarData = WithCrLf(m_text);
        }
        break;
    default:
        break;
    }
}

void Reader::EndPropStat() {
    // A propstat without a status is taken as found: losing an ETag costs a whole fetch.
    if (m_propStatStatus != 0 && (m_propStatStatus < 200 || m_propStatStatus > 299)) {
        return;
    }
    TDavResponse& r = m_response;
    TDavResponse& p = m_propStat; // read once: what it holds may be moved
    if (p.HasETag) {
        r.HasETag = true;
        r.ETag = p.ETag;
    }
    if (p.HasCalendarData) {
        r.HasCalendarData = true;
        r.CalendarData = std::move(p.CalendarData);
    }
    if (!p.DisplayName.empty()) {
        r.DisplayName = p.DisplayName;
    }
    r.IsCollection |= p.IsCollection;
    r.IsCalendar |= p.IsCalendar;
    if (p.HasComponentSet) {
        r.HasComponentSet = true;
        for (size_t i = 0; i < p.Components.size() && r.Components.size() < kMaxDavListItems; ++i) {
            r.Components.push_back(std::move(p.Components[i]));
        }
    }
    if (!p.PrincipalHref.empty()) {
        r.PrincipalHref = p.PrincipalHref;
    }
    for (size_t i = 0; i < p.HomeSetHrefs.size() && r.HomeSetHrefs.size() < kMaxDavListItems; ++i) {
        r.HomeSetHrefs.push_back(std::move(p.HomeSetHrefs[i]));
    }
    if (!p.SyncToken.empty()) {
        r.SyncToken = p.SyncToken;
    }
    r.HasPrivileges |= p.HasPrivileges;
    r.CanWrite |= p.CanWrite;
}

void Reader::End() {
    // Expat may still report the end of an empty element after the reading was stopped.
    if (!m_failure.empty() || m_stack.empty()) {
        return;
    }
    const Tag tag = m_stack.back();
    if (m_collect) {
        EndText(tag);
        m_collect = false;
        // Let go of a long text's room too: one event's data must not stay held for every other.
        std::string().swap(m_text);
    }
    if (tag == Tag::PropStat && Parent() == Tag::Response) {
        EndPropStat();
    } else if (tag == Tag::Response && Parent() == Tag::MultiStatus && m_stack.size() == 2) {
        m_out.Responses.push_back(std::move(m_response));
        m_response = TDavResponse();
    }
    m_stack.pop_back();
}

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes);
void XMLCALL OnEnd(void* data, const XML_Char* name);

// The reader and its parser, handed to expat's callbacks together.
struct Session {
    Reader* R;
    XML_Parser P;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* s = static_cast<Session*>(data);
    s->R->Start(s->P, name, attributes);
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    static_cast<Session*>(data)->R->End();
}

void XMLCALL OnText(void* data, const XML_Char* s, int len) {
    static_cast<Session*>(data)->R->Text(s, len);
}

// A DOCTYPE is the only way to declare entities; no WebDAV server sends one, so none is read.
void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto* s = static_cast<Session*>(data);
    s->R->Fail(s->P, "a DOCTYPE is not read");
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

bool TDavAnswer::HasCondition(const std::string& name) const {
    return std::find(Conditions.begin(), Conditions.end(), name) != Conditions.end();
}

bool ParseDavAnswer(const std::string& xml, TDavAnswer& out, std::string& error) {
    out = TDavAnswer();
    error.clear();
    if (xml.size() > kMaxDavAnswerBytes) {
        error = "answer too long";
        return false;
    }
    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS(nullptr, ' '));
    if (!parser) {
        error = "out of memory";
        return false;
    }
    Reader reader(out);
    Session session{&reader, parser.get()};
    XML_SetUserData(parser.get(), &session);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    // Expat takes lengths as int; feed the answer in pieces that fit.
    constexpr size_t kPiece = 1 << 20;
    size_t at = 0;
    XML_Status status = XML_STATUS_OK;
    do {
        const size_t n = std::min(kPiece, xml.size() - at);
        const bool last = at + n == xml.size();
        status = XML_Parse(parser.get(), xml.data() + at, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
        at += n;
    } while (status == XML_STATUS_OK && at < xml.size());
    if (status != XML_STATUS_OK || !reader.Failure().empty()) {
        error = !reader.Failure().empty()
                    ? reader.Failure()
                    : std::string("XML error: ") + XML_ErrorString(XML_GetErrorCode(parser.get()));
        out = TDavAnswer();
        return false;
    }
    return true;
}

int StatusLineCode(const std::string& line) {
    const std::string s = Trimmed(line);
    const size_t space = s.find(' ');
    if (s.compare(0, 5, "HTTP/") != 0 || space == std::string::npos || s.size() < space + 4) {
        return 0;
    }
    int code = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return 0;
        }
        code = code * 10 + (s[i] - '0');
    }
    return s.size() == space + 4 || s[space + 4] == ' ' ? code : 0;
}

std::string HrefKey(const std::string& url) {
    std::string key;
    key.reserve(url.size());
    const size_t schemeEnd = url.find("://");
    const size_t hostEnd = schemeEnd == std::string::npos ? 0 : url.find('/', schemeEnd + 3);
    const size_t lowerUntil = schemeEnd == std::string::npos ? 0 : std::min(hostEnd, url.size());
    for (size_t i = 0; i < url.size(); ++i) {
        const char c = url[i];
        if (i < lowerUntil) {
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            continue;
        }
        const int hi = c == '%' && i + 2 < url.size() ? HexValue(url[i + 1]) : -1;
        const int lo = hi >= 0 ? HexValue(url[i + 2]) : -1;
        if (lo >= 0) {
            const char decoded = static_cast<char>(hi * 16 + lo);
            key += decoded == '/' ? std::string("%2F") : std::string(1, decoded);
            i += 2;
            continue;
        }
        key += c;
    }
    return key;
}

} // namespace kestrivel
