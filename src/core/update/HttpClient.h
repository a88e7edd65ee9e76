#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrivel {

// One HTTP request as a calendar server needs it: any method (GET, PROPFIND, REPORT, PUT, DELETE),
// its own headers (Depth, If-Match, If-None-Match, Content-Type, Authorization) and a body.
struct THttpRequest {
    std::string Method = "GET";
    std::string Url;
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;
    // A body longer than this fails the request.
    size_t MaxBytes = 1024 * 1024;
    // Whether the client follows redirects itself (never from https to http). A request that carries
    // credentials does not: the caller decides where they may go and reads Location.
    bool FollowRedirects = true;
    // SHA-256 fingerprints (hex, any case, colons allowed) of certificates the user trusts for this
    // request's server although no authority the system knows vouches for them.
    std::vector<std::string> TrustedCertificates{};
};

// The certificate a server showed when it was not trusted: what the user needs to decide whether
// it is their own server's.
struct TCertificateInfo {
    std::string Fingerprint; // SHA-256, upper-case hex pairs joined by colons
    std::string Subject;
    std::string ValidFrom; // ISO 8601, UTC
    std::string ValidTo;
    // Whether the user had trusted another certificate for this server: it changed since.
    bool Changed = false;
};

// The answer to one request: Ok when the server answered (whatever the HTTP status), else a
// failure with a short reason in Error (no connection, time-out, too long an answer).
struct THttpResult {
    bool Ok = false;
    std::string Body;
    int Status = 0;   // the HTTP status, 0 without an answer
    std::string ETag; // the ETag header as sent, quotes included; empty when none
    std::string Error;
    std::string Location; // the Location header as sent (a redirect not followed); empty when none
    bool TooLong = false; // the failure was a body (as decoded) longer than the request's MaxBytes
    // Bytes the answer took off the wire (head and body, before inflation); what a budget charges.
    size_t WireBytes = 0;
    // Set when the failure was a certificate nobody trusted; Error then holds the reason.
    bool Untrusted = false;
    TCertificateInfo Certificate{};
    // The Last-Modified header as sent; empty when none. A feed with no ETag is asked again with it.
    std::string LastModified{};
};

// An HTTP client that never blocks its caller: Get and Send return at once and `done` is called
// exactly once, later, on the caller's thread. Tests fake it.
class IHttpClient {
public:
    virtual ~IHttpClient() = default;
    // GET `url` sending `userAgent`; a body longer than `maxBytes` fails the request. A request
    // like any other, sent through Send.
    void Get(const std::string& url, const std::string& userAgent, size_t maxBytes,
             std::function<void(THttpResult)> done);
    // Any request. Redirects are followed when the request says so, never from https to http; a
    // body longer than request.MaxBytes, compressed or not, fails the request.
    virtual void Send(const THttpRequest& request, std::function<void(THttpResult)> done) = 0;
};

} // namespace kestrivel
