#pragma once

#include "http/StreamHttp.h"
#include "sync/DavTransport.h"

#include <memory>

namespace kestrivel {

// The sync's transport over the module's own streaming client: each request blocks until its answer
// is read, so it is made and used on one thread, one that no window paints on (the sync thread, or
// the main thread of `kestrivel --sync`). The proxy, the time-out and the cap on the answer are the
// client's; https trusts the system's authorities and the certificates the request names.
class TQtDavTransport : public IDavTransport {
public:
    explicit TQtDavTransport(int timeoutMs);
    ~TQtDavTransport() override;

    THttpResult Send(const THttpRequest& request) override;

private:
    StreamHttp m_client;
};

} // namespace kestrivel
