#pragma once

#include "update/HttpClient.h"

#include <QString>

#include <memory>

class QTcpSocket;

namespace kestrivel {

// A blocking HTTP/1.1 client over one socket at a time: each answer is read off the socket in
// pieces into a core HttpAnswerReader, so no answer costs more than its cap whatever it sends
// (headers included). The connection is kept for the next request to the same server. https
// verifies against the system's authorities (or those SSL_CERT_FILE / SSL_CERT_DIR name), and
// against nothing else but the certificates the request says the user trusts. Made and used on
// one thread; waits without an event loop.
class StreamHttp {
public:
    explicit StreamHttp(int timeoutMs);
    ~StreamHttp();
    StreamHttp(const StreamHttp&) = delete;
    StreamHttp& operator=(const StreamHttp&) = delete;

    // The answer, or a failure. Redirects are followed when the request says so (never from https
    // to http, at most five).
    THttpResult send(const THttpRequest& request);

private:
    THttpResult sendOnce(const THttpRequest& request, const QString& url, bool& retry);

    int m_timeoutMs;
    std::unique_ptr<QTcpSocket> m_socket;
    QString m_socketKey; // the server (and proxy) the open connection goes to
};

} // namespace kestrivel
