#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "sync/CalDavClient.h"
#include "sync/DavXml.h"

// What the CalDAV client's calls share: how a request is made, what its answer's status means, and
// how hrefs in an answer are read. Used by the client's sources only, not by its callers.
namespace kestrivel::dav {

// A PROPFIND answer lists a few collections.
inline constexpr size_t kPropfindMaxBytes = 4 * 1024 * 1024;

// Sends one request through the client, with its credentials, budget and redirects.
using Sender = std::function<THttpResult(THttpRequest)>;

bool Is2xx(int status);
THttpRequest XmlRequest(const char* method, const std::string& url, const char* depth, std::string body,
                        size_t maxBytes);
TDavStatus Failure(TDavError error, int status, std::string detail);
TDavStatus Success(int status);
bool IsWrite(const THttpRequest& request);
// The status of an answer that is not a success: what the HTTP status means for the caller.
TDavStatus StatusOf(const THttpRequest& request, const THttpResult& result);
// Sends an XML request and reads its multistatus answer.
TDavStatus Exchange(const Sender& send, const THttpRequest& request, TDavAnswer& answer);
std::string WithSlash(std::string url);
// Answers within one collection are matched by path: a server behind a proxy may name its own
// host differently from the address the user gave, and the path decides the resource anyway.
std::string PathKey(const std::string& url);
// A calendar collection that takes VEVENTs.
bool HoldsEvents(const TDavResponse& r);
// The response's first href resolved against `base`; empty when it names none.
std::string FirstHref(const std::string& base, const TDavResponse& r);

} // namespace kestrivel::dav
