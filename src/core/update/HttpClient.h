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
};

// The answer to one request: Ok when the server answered (whatever the HTTP status), else a
// failure with a short reason in Error (no connection, time-out, too long an answer).
struct THttpResult {
    bool Ok = false;
    std::string Body;
    int Status = 0;   // the HTTP status, 0 without an answer
    std::string ETag; // the ETag header as sent, quotes included; empty when none
    std::string Error;
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
    // Any request. Redirects are followed, except from https to http; a body longer than
    // request.MaxBytes fails the request.
    virtual void Send(const THttpRequest& request, std::function<void(THttpResult)> done) = 0;
};

} // namespace kestrivel
