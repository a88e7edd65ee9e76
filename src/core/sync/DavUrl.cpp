// The address helpers: Basic credentials and reference resolution (declared in CalDavClient.h),
// and what decides where the password may go (DavUrl.h).
#include "sync/DavUrl.h"

#include "sync/CalDavClient.h"
#include "sync/DavXml.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace kestrivel {

namespace {

// A URI reference split as RFC 3986 appendix B does; each part remembers whether it was there,
// since an empty query differs from none.
struct UriParts {
    bool HasScheme = false;
    std::string Scheme;
    bool HasAuthority = false;
    std::string Authority;
    std::string Path;
    bool HasQuery = false;
    std::string Query;
    bool HasFragment = false;
    std::string Fragment;
};

UriParts SplitUri(const std::string& s) {
    UriParts u;
    size_t at = 0;
    const size_t schemeEnd = s.find_first_of(":/?#");
    if (schemeEnd != std::string::npos && schemeEnd > 0 && s[schemeEnd] == ':') {
        u.HasScheme = true;
        u.Scheme = s.substr(0, schemeEnd);
        at = schemeEnd + 1;
    }
    if (s.compare(at, 2, "//") == 0) {
        const size_t end = s.find_first_of("/?#", at + 2);
        u.HasAuthority = true;
        u.Authority = s.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2);
        at = end == std::string::npos ? s.size() : end;
    }
    const size_t pathEnd = std::min(s.find_first_of("?#", at), s.size());
    u.Path = s.substr(at, pathEnd - at);
    at = pathEnd;
    if (at < s.size() && s[at] == '?') {
        const size_t end = std::min(s.find('#', at), s.size());
        u.HasQuery = true;
        u.Query = s.substr(at + 1, end - at - 1);
        at = end;
    }
    if (at < s.size() && s[at] == '#') {
        u.HasFragment = true;
        u.Fragment = s.substr(at + 1);
    }
    return u;
}

// RFC 3986 section 5.2.4.
std::string RemoveDotSegments(std::string in) {
    std::string out;
    while (!in.empty()) {
        if (in.compare(0, 3, "../") == 0) {
            in.erase(0, 3);
        } else if (in.compare(0, 2, "./") == 0 || in.compare(0, 3, "/./") == 0) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.compare(0, 4, "/../") == 0 || in == "/..") {
            in = in.size() == 3 ? "/" : in.substr(3);
            const size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            const size_t next = in.find('/', in[0] == '/' ? 1 : 0);
            out += in.substr(0, next);
            in.erase(0, next == std::string::npos ? in.size() : next);
        }
    }
    return out;
}

// RFC 3986 section 5.2.3.
std::string Merge(const UriParts& base, const std::string& path) {
    if (base.HasAuthority && base.Path.empty()) {
        return "/" + path;
    }
    const size_t slash = base.Path.rfind('/');
    return slash == std::string::npos ? path : base.Path.substr(0, slash + 1) + path;
}

// RFC 3986 section 5.3.
std::string Recompose(const UriParts& u) {
    std::string s;
    if (u.HasScheme) {
        s += u.Scheme + ":";
    }
    if (u.HasAuthority) {
        s += "//" + u.Authority;
    }
    s += u.Path;
    if (u.HasQuery) {
        s += "?" + u.Query;
    }
    if (u.HasFragment) {
        s += "#" + u.Fragment;
    }
    return s;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Scheme, host and port of an absolute http(s) URL; false for anything else, user info included.
struct HttpParts {
    std::string Scheme;
    std::string Host; // lower case; an IPv6 address keeps its brackets
    unsigned Port = 0;
    std::string Path;
};

bool SplitHttp(const std::string& url, HttpParts& out) {
    const UriParts u = SplitUri(url);
    out.Scheme = Lower(u.Scheme);
    if (!u.HasScheme || (out.Scheme != "http" && out.Scheme != "https") || !u.HasAuthority ||
        u.Authority.find('@') != std::string::npos) {
        return false;
    }
    const std::string& a = u.Authority;
    const size_t hostEnd = a[0] == '[' ? a.find(']') + 1 : a.rfind(':');
    if (hostEnd == 0) { // '[' without ']'
        return false;
    }
    out.Host = Lower(a.substr(0, hostEnd));
    const std::string port = hostEnd >= a.size() ? std::string() : a.substr(hostEnd);
    out.Port = out.Scheme == "http" ? 80 : 443;
    if (!port.empty()) {
        if (port[0] != ':' || port.size() > 6) {
            return false;
        }
        if (port.size() > 1) {
            const std::string digits = port.substr(1);
            if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
                return false;
            }
            out.Port = static_cast<unsigned>(std::stoul(digits));
        }
    }
    out.Path = u.Path;
    return !out.Host.empty() && out.Host != "[]" && out.Port > 0 && out.Port <= 65535;
}

bool IsLoopbackHost(const std::string& host) {
    // Only names that never reach a resolver's network: "anything.localhost" is looked up like any
    // other name, and a mapped v4 address is a spelling this check need not trust.
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (host.size() > 2 && host.front() == '[' &&
        inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &v6) == 1) {
        return IN6_IS_ADDR_LOOPBACK(&v6);
    }
    return false;
}

// The path's segments, each percent-decoded; false when one reads as a dot segment or holds what
// a server might take for a separator.
bool DecodedSegments(const std::string& path, std::vector<std::string>& out) {
    out.clear();
    size_t at = path.empty() || path[0] != '/' ? 0 : 1;
    while (at <= path.size()) {
        const size_t end = std::min(path.find('/', at), path.size());
        std::string segment = HrefKey(path.substr(at, end - at));
        if (segment.find("%2F") != std::string::npos) { // HrefKey keeps an escaped '/' escaped
            return false;
        }
        if (segment == "." || segment == ".." ||
            segment.find_first_of(std::string("\\\0", 2)) != std::string::npos) {
            return false;
        }
        out.push_back(std::move(segment));
        at = end + 1;
    }
    if (!out.empty() && out.back().empty()) {
        out.pop_back(); // a trailing '/'
    }
    return true;
}

} // namespace

TAddressProblem CheckServerAddress(const std::string& address) {
    const UriParts u = SplitUri(address);
    const std::string scheme = Lower(u.Scheme);
    if (HasControlCharacter(address) || !u.HasScheme || (scheme != "http" && scheme != "https") ||
        !u.HasAuthority) {
        return TAddressProblem::NotHttp;
    }
    if (u.Authority.find('@') != std::string::npos) {
        return TAddressProblem::Credentials;
    }
    HttpParts parts;
    if (SplitHttp(address, parts)) {
        return TAddressProblem::None;
    }
    // "host:99999" or "host:port" is an http address all the same; what is wrong is its port.
    const std::string& a = u.Authority;
    const size_t colon = a.rfind(':');
    const size_t bracket = a.rfind(']');
    if (colon != std::string::npos && colon > 0 && (bracket == std::string::npos || colon > bracket)) {
        return TAddressProblem::BadPort;
    }
    return TAddressProblem::NotHttp;
}

std::string UrlOrigin(const std::string& url) {
    HttpParts p;
    if (HasControlCharacter(url) || !SplitHttp(url, p)) {
        return std::string();
    }
    return p.Scheme + "://" + p.Host + ":" + std::to_string(p.Port);
}

bool SameOrigin(const std::string& a, const std::string& b) {
    const std::string origin = UrlOrigin(a);
    return !origin.empty() && origin == UrlOrigin(b);
}

bool IsPlainHttpToRemoteHost(const std::string& address) {
    HttpParts p;
    return SplitHttp(address, p) && p.Scheme == "http" && !IsLoopbackHost(p.Host);
}

bool InsideCollection(const std::string& collection, const std::string& href) {
    HttpParts c;
    HttpParts h;
    std::vector<std::string> inside;
    std::vector<std::string> member;
    if (!SameOrigin(collection, href) || !SplitHttp(collection, c) || !SplitHttp(href, h) ||
        !DecodedSegments(c.Path, inside) || !DecodedSegments(h.Path, member)) {
        return false;
    }
    return member.size() > inside.size() && std::equal(inside.begin(), inside.end(), member.begin()) &&
           !member.back().empty();
}

bool SameCollection(const std::string& a, const std::string& b) {
    HttpParts pa;
    HttpParts pb;
    std::vector<std::string> sa;
    std::vector<std::string> sb;
    return SameOrigin(a, b) && SplitHttp(a, pa) && SplitHttp(b, pb) && DecodedSegments(pa.Path, sa) &&
           DecodedSegments(pb.Path, sb) && sa == sb;
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

std::string BasicAuthorization(const std::string& user, const std::string& password) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string in = user + ":" + password;
    std::string out = "Basic ";
    for (size_t i = 0; i < in.size(); i += 3) {
        const size_t n = std::min<size_t>(3, in.size() - i);
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < n ? static_cast<unsigned char>(in[i + k]) : 0u);
        }
        for (size_t k = 0; k < 4; ++k) {
            out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return out;
}

std::string ResolveHref(const std::string& base, const std::string& href) {
    const UriParts b = SplitUri(base);
    const UriParts r = SplitUri(href);
    UriParts t;
    t.HasScheme = true;
    if (r.HasScheme) {
        t = r;
        t.Path = RemoveDotSegments(r.Path);
        return Recompose(t);
    }
    t.Scheme = b.Scheme;
    t.HasScheme = b.HasScheme;
    t.HasFragment = r.HasFragment;
    t.Fragment = r.Fragment;
    if (r.HasAuthority) {
        t.HasAuthority = true;
        t.Authority = r.Authority;
        t.Path = RemoveDotSegments(r.Path);
        t.HasQuery = r.HasQuery;
        t.Query = r.Query;
        return Recompose(t);
    }
    t.HasAuthority = b.HasAuthority;
    t.Authority = b.Authority;
    if (r.Path.empty()) {
        t.Path = b.Path;
        t.HasQuery = r.HasQuery || b.HasQuery;
        t.Query = r.HasQuery ? r.Query : b.Query;
    } else {
        t.Path = RemoveDotSegments(r.Path[0] == '/' ? r.Path : Merge(b, r.Path));
        t.HasQuery = r.HasQuery;
        t.Query = r.Query;
    }
    return Recompose(t);
}

} // namespace kestrivel
