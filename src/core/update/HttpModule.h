#pragma once

#include "update/HttpClient.h"

namespace kestrivel {

// The entry point of the "kestrivel-http" module: a new QtHttpClient with the given time-out, owned
// by the caller and deleted through IHttpClient.
inline constexpr const char* kHttpModuleName = "kestrivel-http";
inline constexpr const char* kCreateHttpClientSymbol = "KestrivelCreateHttpClient";
// The time-out of a request when the caller names none.
inline constexpr int kDefaultHttpTimeoutMs = 15000;
using KestrivelCreateHttpClientFn = IHttpClient* (*)(int timeoutMs);

} // namespace kestrivel
