#include "http/QtHttpClient.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

namespace kestrivel {

namespace {

// Each request with its answer and how long it took: QT_LOGGING_RULES="kestrivel.http=true".
Q_LOGGING_CATEGORY(lcHttp, "kestrivel.http", QtWarningMsg)

// What Qt may hold unread for us. Without a bound a reply buffers the whole answer, however long
// the server keeps sending; with it, Qt stops reading from the socket until we have taken the data.
constexpr qint64 kReadBufferBytes = 64 * 1024;

// Whether the server sent a whole answer: success or an HTTP error status (content errors 201-299,
// server errors 401-499 in QNetworkReply's numbering). Connection, proxy and protocol failures,
// an answer cut off, or our own abort are not answers.
bool answered(const QNetworkReply& reply) {
    const int error = reply.error();
    const bool httpError = (error >= 201 && error <= 299) || (error >= 401 && error <= 499);
    return (error == QNetworkReply::NoError || httpError) &&
           reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

// One request's state, shared by its handlers. The body is kept as the result will hold it, so a
// long answer is never held twice.
struct Download {
    std::string Body;
    qint64 Limit = 0;
    // Set when we abort the reply ourselves (too large, too slow): the answer is then a failure
    // whatever Qt reports.
    bool Refused = false;
    bool TimedOut = false;
};

// Takes what Qt holds into the body, never more than one byte past the cap: that byte is enough to
// know the answer is too long, and the reply is aborted at once.
void takeAvailable(QNetworkReply& reply, Download& download) {
    while (!download.Refused && reply.bytesAvailable() > 0) {
        const qint64 room = download.Limit + 1 - static_cast<qint64>(download.Body.size());
        const QByteArray piece = reply.read(std::min(reply.bytesAvailable(), room));
        download.Body.append(piece.constData(), static_cast<size_t>(piece.size()));
        if (static_cast<qint64>(download.Body.size()) > download.Limit) {
            download.Refused = true;
            std::string().swap(download.Body);
            reply.abort();
        }
    }
}

// The result of a finished reply. Any answer from the server counts, error pages included; the
// caller reads the body. No status means the server was never reached or the answer broke off.
THttpResult resultOf(QNetworkReply& reply, Download& download) {
    takeAvailable(reply, download);
    THttpResult result;
    if (!download.Refused && answered(reply)) {
        result.Ok = true;
        result.Status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.ETag = reply.rawHeader("ETag").toStdString();
        result.Location = reply.rawHeader("Location").toStdString();
        result.Body = std::move(download.Body);
    } else if (download.TimedOut) {
        result.Error = "no answer in time";
    } else if (download.Refused) {
        result.Error = "answer too long";
        result.TooLong = true;
    } else {
        result.Error = reply.errorString().toStdString();
    }
    return result;
}

} // namespace

QtHttpClient::QtHttpClient(QObject* parent, int timeoutMs) : QObject(parent), m_timeoutMs(timeoutMs) {}

void QtHttpClient::Send(const THttpRequest& request, std::function<void(THttpResult)> done) {
    QNetworkRequest qrequest(QUrl(QString::fromStdString(request.Url)));
    for (const auto& [name, value] : request.Headers) {
        qrequest.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    }
    // A server may move what is asked for, never from https to plain http; a request with
    // credentials is not moved at all here (Qt would send them along to any host): its caller reads
    // Location and decides.
    qrequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                          request.FollowRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                                  : QNetworkRequest::ManualRedirectPolicy);
    // Qt inflates a compressed answer as it is read, and the cap counts what comes out: a small gzip
    // bomb is refused as too long at the cap like any other answer. Qt's own guard would instead
    // end it as a content error with half a body, which reads as a broken answer.
    qrequest.setDecompressedSafetyCheckThreshold(-1);
    // Made at the first request: a calendar without an update endpoint never loads the network stack.
    if (m_manager == nullptr) {
        // The proxy the user configured for the desktop, as a browser would use it.
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        m_manager = new QNetworkAccessManager(this);
    }
    QNetworkReply* reply =
        request.Method == "GET" && request.Body.empty()
            ? m_manager->get(qrequest)
            : m_manager->sendCustomRequest(qrequest, QByteArray::fromStdString(request.Method),
                                           QByteArray::fromStdString(request.Body));
    reply->setReadBufferSize(kReadBufferBytes);

    auto download = std::make_shared<Download>();
    download->Limit =
        static_cast<qint64>(std::min<size_t>(request.MaxBytes, std::numeric_limits<qint64>::max() - 1));
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [reply, download] {
        download->Refused = true;
        download->TimedOut = true;
        reply->abort();
    });
    timer->start(m_timeoutMs);
    // An answer that announces more than the cap is refused before its body arrives. Room is never
    // taken for what an answer announces: the body grows only by what arrived.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, download](qint64 received, qint64 total) {
        if (!download->Refused && (received > download->Limit || total > download->Limit)) {
            download->Refused = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, reply, [reply, download] { takeAvailable(*reply, *download); });
    const QString method = QString::fromStdString(request.Method);
    connect(reply, &QNetworkReply::finished, this, [reply, download, clock, method, done = std::move(done)] {
        reply->deleteLater();
        THttpResult result = resultOf(*reply, *download);
        qCInfo(lcHttp).noquote() << method << reply->url().toDisplayString(QUrl::RemoveUserInfo)
                                 << (result.Ok ? QString::number(result.Status)
                                               : QString::fromStdString(result.Error))
                                 << clock->elapsed() << "ms";
        done(std::move(result));
    });
}

} // namespace kestrivel
