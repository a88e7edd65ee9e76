#pragma once

#include "http/QtHttpClient.h"
#include "sync/DavTransport.h"

#include <memory>

namespace kestrivel {

// The sync's transport over the module's own Qt network client: each request waits for its answer
// in a local event loop, so it is made and used on one thread, one that no window paints on (the
// sync thread, or the main thread of `kestrivel --sync`). Redirects, the proxy, the time-out and the
// cap on the answer are the client's; https uses the system's certificates.
class TQtDavTransport : public IDavTransport {
public:
    explicit TQtDavTransport(int timeoutMs);
    ~TQtDavTransport() override;

    THttpResult Send(const THttpRequest& request) override;

private:
    std::unique_ptr<QtHttpClient> m_client;
};

} // namespace kestrivel
