#include "update/HttpModule.h"

#include "http/QtDavTransport.h"
#include "http/QtHttpClient.h"

extern "C" Q_DECL_EXPORT kestrivel::IHttpClient* KestrivelCreateHttpClient(int timeoutMs) {
    return new kestrivel::QtHttpClient(nullptr, timeoutMs);
}

extern "C" Q_DECL_EXPORT kestrivel::IDavTransport* KestrivelCreateDavTransport(int timeoutMs) {
    return new kestrivel::TQtDavTransport(timeoutMs);
}
