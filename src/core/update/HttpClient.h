#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace kestrivel {

// The answer to one GET: Ok when a body arrived (whatever the HTTP status), else a failure.
struct THttpResult {
    bool Ok = false;
    std::string Body;
};

// An HTTP client that never blocks its caller: Get returns at once and `done` is called exactly
// once, later, on the caller's thread. Tests fake it.
class IHttpClient {
public:
    virtual ~IHttpClient() = default;
    // GET `url` sending `userAgent`; a body longer than `maxBytes` fails the request.
    virtual void Get(const std::string& url, const std::string& userAgent, size_t maxBytes,
                     std::function<void(THttpResult)> done) = 0;
};

} // namespace kestrivel
