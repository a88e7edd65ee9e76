#pragma once

#include "update/HttpClient.h"
#include "update/HttpModule.h"

#include <QObject>

namespace kestrivel {

// IHttpClient over the module's streaming client with the system's proxy settings: each request is
// read on a thread of its own, so the caller's thread (the calendar's) never waits. An answer costs
// at most its cap, headers included, whatever its framing or compression; past the cap or the
// time-out it is a failure. Callbacks arrive on the thread that owns the client, never inside Send,
// and not at all once the client is gone.
class QtHttpClient : public QObject, public IHttpClient {
    Q_OBJECT
public:
    explicit QtHttpClient(QObject* parent = nullptr, int timeoutMs = kDefaultHttpTimeoutMs);

    void Send(const THttpRequest& request, std::function<void(THttpResult)> done) override;

private:
    int m_timeoutMs;
};

} // namespace kestrivel
