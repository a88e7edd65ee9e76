#pragma once

#include "update/HttpClient.h"

namespace kestrivel {

// The calendar server as the sync sees it: one request at a time, answered before Send returns.
// The sync runs on a thread of its own (or in `kestrivel --sync`), so waiting costs no window its
// paint; the program's transport waits on an IHttpClient, tests answer from recorded exchanges.
class IDavTransport {
public:
    virtual ~IDavTransport() = default;
    virtual THttpResult Send(const THttpRequest& request) = 0;
};

// The entry point of the "kestrivel-http" module that makes the program's transport: a new one
// with the given time-out per request, owned by the caller and deleted through IDavTransport. It
// reads each answer off a socket of its own, so it must be made and used on one thread.
inline constexpr const char* kCreateDavTransportSymbol = "KestrivelCreateDavTransport";
using KestrivelCreateDavTransportFn = IDavTransport* (*)(int timeoutMs);

} // namespace kestrivel
