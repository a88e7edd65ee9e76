// The two address helpers CalDavClient.h declares: Basic credentials and reference resolution.
#include "sync/CalDavClient.h"

#include <algorithm>
#include <cstdint>
#include <string>

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

} // namespace

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
