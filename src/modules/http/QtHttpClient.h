#pragma once

#include "update/HttpClient.h"
#include "update/HttpModule.h"

#include <QObject>

class QNetworkAccessManager;

namespace kestrivel {

// IHttpClient over QNetworkAccessManager with the system's proxy settings. Each request is aborted
// as soon as its body passes the cap (or announces more) or when it has not finished within the
// time-out; both count as a failure. The body is taken as it arrives and Qt holds little of it
// unread, so an answer that never ends costs the cap and no more. Callbacks arrive on the thread
// that owns the client, never inside Send.
class QtHttpClient : public QObject, public IHttpClient {
    Q_OBJECT
public:
    explicit QtHttpClient(QObject* parent = nullptr, int timeoutMs = kDefaultHttpTimeoutMs);

    void Send(const THttpRequest& request, std::function<void(THttpResult)> done) override;

private:
    QNetworkAccessManager* m_manager = nullptr;
    int m_timeoutMs;
};

} // namespace kestrivel
