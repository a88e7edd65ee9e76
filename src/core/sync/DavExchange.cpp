#include "sync/DavExchange.h"

#include <algorithm>
#include <utility>

#include "sync/DavRequests.h"

namespace kestrivel::dav {

namespace {

constexpr const char* kXmlType = "application/xml; charset=utf-8";

} // namespace

bool Is2xx(int status) {
    return status >= 200 && status <= 299;
}

THttpRequest XmlRequest(const char* method, const std::string& url, const char* depth, std::string body,
                        size_t maxBytes) {
    THttpRequest request;
    request.Method = method;
    request.Url = url;
    request.Headers = {{"Depth", depth}, {"Content-Type", kXmlType}};
    request.Body = std::move(body);
    request.MaxBytes = maxBytes;
    return request;
}

TDavStatus Failure(TDavError error, int status, std::string detail) {
    TDavStatus failure;
    failure.Error = error;
    failure.HttpStatus = status;
    failure.Detail = std::move(detail);
    return failure;
}

TDavStatus Success(int status) {
    TDavStatus success;
    success.HttpStatus = status;
    return success;
}

bool IsWrite(const THttpRequest& request) {
    return request.Method == "PUT" || request.Method == "DELETE";
}

// The status of an answer that is not a success: what the HTTP status means for the caller.
TDavStatus StatusOf(const THttpRequest& request, const THttpResult& result) {
    const std::string what = request.Method + " " + request.Url;
    if (result.Untrusted) {
        TDavStatus untrusted = Failure(TDavError::Untrusted, 0, what + ": " + result.Error);
        untrusted.Certificate = result.Certificate;
        return untrusted;
    }
    if (!result.Ok) {
        return result.TooLong ? Failure(TDavError::BadAnswer, 0, what + ": " + result.Error)
                              : Failure(TDavError::Network, 0, what + ": " + result.Error);
    }
    const int code = result.Status;
    const std::string detail = what + " answered HTTP " + std::to_string(code);
    if (Is2xx(code)) {
        return Success(code);
    }
    if (code >= 300 && code <= 399 && !result.Location.empty()) {
        TDavStatus moved = Failure(TDavError::Redirected, code, detail + " sending it to " + result.Location);
        moved.Location = result.Location;
        return moved;
    }
    switch (code) {
    case 401:
        return Failure(TDavError::Unauthorized, code, detail);
    case 403:
        return Failure(IsWrite(request) ? TDavError::ReadOnly : TDavError::Forbidden, code, detail);
    case 405:
        return Failure(IsWrite(request) ? TDavError::ReadOnly : TDavError::Server, code, detail);
    case 404:
    case 410:
        return Failure(TDavError::NotFound, code, detail);
    case 412:
        return Failure(TDavError::PreconditionFailed, code, detail);
    default:
        return Failure(TDavError::Server, code, detail);
    }
}

// Sends an XML request and reads its multistatus answer.
TDavStatus Exchange(const Sender& send, const THttpRequest& request, TDavAnswer& answer) {
    answer = TDavAnswer();
    const THttpResult result = send(request);
    TDavStatus status = StatusOf(request, result);
    if (!status.ok()) {
        return status;
    }
    std::string error;
    if (!ParseDavAnswer(result.Body, answer, error) || !answer.IsMultiStatus) {
        const std::string why = error.empty() ? "no multistatus" : error;
        return Failure(TDavError::BadAnswer, result.Status, request.Method + " " + request.Url + ": " + why);
    }
    return status;
}

std::string WithSlash(std::string url) {
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    return url;
}

// Answers within one collection are matched by path: a server behind a proxy may name its own
// host differently from the address the user gave, and the path decides the resource anyway.
std::string PathKey(const std::string& url) {
    return HrefKey(UrlPath(url));
}

bool HoldsEvents(const TDavResponse& r) {
    // A calendar that does not say which components it takes takes all (RFC 4791 section 5.2.3).
    return r.IsCalendar && (!r.HasComponentSet || std::find(r.Components.begin(), r.Components.end(),
                                                            "VEVENT") != r.Components.end());
}

std::string FirstHref(const std::string& base, const TDavResponse& r) {
    return r.Hrefs.empty() ? std::string() : ResolveHref(base, r.Hrefs.front());
}

} // namespace kestrivel::dav
