#pragma once

#include "update/HttpClient.h"
#include "update/HttpModule.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace kestrivel {

// The Qt HTTP client (QtHttpClient) from the "kestrivel-http" module, loaded at the first request:
// a calendar whose update check never runs never loads the network libraries. Without the module
// every request fails, later and on the caller's thread like any other failure.
class TModuleHttpClient : public QObject, public IHttpClient {
    Q_OBJECT
public:
    explicit TModuleHttpClient(int timeoutMs = kDefaultHttpTimeoutMs, QStringList folders = {},
                               QObject* parent = nullptr);
    ~TModuleHttpClient() override;

    void Send(const THttpRequest& request, std::function<void(THttpResult)> done) override;

private:
    int m_timeoutMs;
    QStringList m_folders; // empty: the program's module folders
    bool m_tried = false;
    std::unique_ptr<IHttpClient> m_client;
};

} // namespace kestrivel
