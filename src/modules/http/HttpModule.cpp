#include "update/HttpModule.h"

#include "http/QtHttpClient.h"

extern "C" Q_DECL_EXPORT kestrivel::IHttpClient* KestrivelCreateHttpClient(int timeoutMs) {
    return new kestrivel::QtHttpClient(nullptr, timeoutMs);
}
