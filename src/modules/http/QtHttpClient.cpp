#include "http/QtHttpClient.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace kestrivel {

namespace {

// Whether the server sent a whole answer: success or an HTTP error status (content errors 201-299,
// server errors 401-499 in QNetworkReply's numbering). Connection, proxy and protocol failures,
// an answer cut off, or our own abort are not answers.
bool answered(const QNetworkReply& reply) {
    const int error = reply.error();
    const bool httpError = (error >= 201 && error <= 299) || (error >= 401 && error <= 499);
    return (error == QNetworkReply::NoError || httpError) &&
           reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

} // namespace

QtHttpClient::QtHttpClient(QObject* parent, int timeoutMs) : QObject(parent), m_timeoutMs(timeoutMs) {}

void QtHttpClient::Get(const std::string& url, const std::string& userAgent, size_t maxBytes,
                       std::function<void(THttpResult)> done) {
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(userAgent));
    // Made at the first request: a calendar without an update endpoint never loads the network stack.
    if (m_manager == nullptr) {
        // The proxy the user configured for the desktop, as a browser would use it.
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        m_manager = new QNetworkAccessManager(this);
    }
    QNetworkReply* reply = m_manager->get(request);

    // Set when we abort the reply ourselves (too large, too slow): the answer is then a failure
    // whatever Qt reports.
    auto refused = std::make_shared<bool>(false);
    const auto limit = static_cast<qint64>(maxBytes);
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [reply, refused] {
        *refused = true;
        reply->abort();
    });
    timer->start(m_timeoutMs);
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, refused, limit](qint64 received, qint64 total) {
                if (received > limit || total > limit) {
                    *refused = true;
                    reply->abort();
                }
            });
    connect(reply, &QNetworkReply::finished, this, [reply, refused, limit, done = std::move(done)] {
        reply->deleteLater();
        THttpResult result;
        // Any answer from the server counts, error pages included; the caller reads the body. No
        // status means the server was never reached or the answer broke off.
        if (!*refused && answered(*reply)) {
            const QByteArray body = reply->readAll();
            if (body.size() <= limit) {
                result.Ok = true;
                result.Body.assign(body.constData(), static_cast<size_t>(body.size()));
            }
        }
        done(std::move(result));
    });
}

} // namespace kestrivel
