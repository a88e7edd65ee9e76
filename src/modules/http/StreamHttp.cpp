#include "http/StreamHttp.h"

#include "sync/CertificateTrust.h"
#include "sync/HttpAnswerReader.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimeZone>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>

namespace kestrivel {

namespace {

Q_LOGGING_CATEGORY(lcStream, "kestrivel.http", QtWarningMsg)

// What one read takes off the socket, and what Qt may hold for us unread.
constexpr qint64 kPieceBytes = 16 * 1024;
constexpr qint64 kSocketBufferBytes = 64 * 1024;
constexpr int kMaxRedirects = 5;
constexpr const char* kLate = "no answer in time";
constexpr const char* kStopped = "stopped before the answer came";

bool SameName(const std::string& a, const char* b) {
    const std::string_view other(b);
    return std::equal(a.begin(), a.end(), other.begin(), other.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The authorities https trusts. OpenSSL reads SSL_CERT_FILE in place of its default file and
// SSL_CERT_DIR in place of its default folder; Debian's default file and folder both hold the
// system's authorities, so one variable adds its certificates to the system's and both together
// replace them.
QList<QSslCertificate> Authorities() {
    const QByteArray file = qgetenv("SSL_CERT_FILE");
    const QByteArray dirs = qgetenv("SSL_CERT_DIR");
    QList<QSslCertificate> out;
    if (file.isEmpty() || dirs.isEmpty()) {
        out = QSslConfiguration::systemCaCertificates();
    }
    if (!file.isEmpty()) {
        out += QSslCertificate::fromPath(QString::fromLocal8Bit(file), QSsl::Pem);
    }
    for (const QByteArray& dir : dirs.split(':')) {
        if (dir.isEmpty()) {
            continue;
        }
        const QDir folder(QString::fromLocal8Bit(dir));
        for (const QString& name : folder.entryList(QDir::Files | QDir::Readable)) {
            out += QSslCertificate::fromPath(folder.filePath(name), QSsl::Pem);
        }
    }
    return out;
}

std::string FingerprintOf(const QSslCertificate& certificate) {
    return certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString();
}

std::string UtcText(const QDateTime& when) {
    return when.toTimeZone(QTimeZone::utc()).toString(Qt::ISODate).toStdString();
}

THttpResult Failed(std::string why, bool tooLong = false) {
    THttpResult result;
    result.Error = std::move(why);
    result.TooLong = tooLong;
    return result;
}

// The request as it goes on the wire. `target` is the path (or the whole URL through a proxy).
QByteArray RequestHead(const THttpRequest& request, const QUrl& url, const QByteArray& target,
                       const QNetworkProxy& viaProxy) {
    QByteArray head = QByteArray::fromStdString(request.Method) + ' ' + target + " HTTP/1.1\r\n";
    head += "Host: " + url.authority(QUrl::RemoveUserInfo | QUrl::FullyEncoded).toLatin1() + "\r\n";
    bool coding = false;
    for (const auto& [name, value] : request.Headers) {
        coding |= SameName(name, "Accept-Encoding");
        head += QByteArray::fromStdString(name) + ": " + QByteArray::fromStdString(value) + "\r\n";
    }
    if (!coding) {
        head += "Accept-Encoding: gzip, deflate\r\n";
    }
    if (!request.Body.empty() ||
        (request.Method != "GET" && request.Method != "HEAD" && request.Method != "DELETE")) {
        head +=
            "Content-Length: " + QByteArray::number(static_cast<qulonglong>(request.Body.size())) + "\r\n";
    }
    if (!viaProxy.user().isEmpty()) {
        head += "Proxy-Authorization: Basic " +
                (viaProxy.user() + ':' + viaProxy.password()).toUtf8().toBase64() + "\r\n";
    }
    head += "\r\n";
    return head;
}

// Runs this thread's events until `done()` holds (true), or the deadline passes, the socket fails
// or the thread is told to stop (false; `stopped` says which). The events let a server on the same
// thread answer, and a sync thread end when the calendar closes.
bool WaitFor(QTcpSocket& socket, const std::function<bool()>& done, const QDeadlineTimer& deadline,
             bool& stopped) {
    while (!done()) {
        if (socket.state() == QAbstractSocket::UnconnectedState || deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        const auto wake = [&loop] { loop.exit(0); };
        QObject::connect(&socket, &QAbstractSocket::readyRead, &loop, wake);
        QObject::connect(&socket, &QAbstractSocket::bytesWritten, &loop, wake);
        QObject::connect(&socket, &QAbstractSocket::stateChanged, &loop, wake);
        QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, wake);
        if (auto* ssl = qobject_cast<QSslSocket*>(&socket)) {
            QObject::connect(ssl, &QSslSocket::encrypted, &loop, wake);
        }
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, wake);
        timer.start(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, 24 * 3600 * 1000)));
        // A loop made while the thread is quitting returns -1 at once.
        if (loop.exec(QEventLoop::ExcludeUserInputEvents) != 0) {
            stopped = true;
            return false;
        }
    }
    return true;
}

} // namespace

StreamHttp::StreamHttp(int timeoutMs) : m_timeoutMs(timeoutMs) {}

StreamHttp::~StreamHttp() = default;

THttpResult StreamHttp::send(const THttpRequest& request) {
    if (HasLineBreak(request.Method) || HasLineBreak(request.Url) ||
        std::any_of(request.Headers.begin(), request.Headers.end(),
                    [](const auto& h) { return HasLineBreak(h.first) || HasLineBreak(h.second); })) {
        return Failed("a request with a line break in its head");
    }
    THttpRequest current = request;
    QString url = QString::fromStdString(request.Url);
    QElapsedTimer clock;
    clock.start();
    for (int hop = 0;; ++hop) {
        bool retry = false;
        THttpResult result = sendOnce(current, url, retry);
        if (retry) {
            // A kept connection the server had closed meanwhile: once more on a new one.
            result = sendOnce(current, url, retry);
        }
        qCInfo(lcStream).noquote() << QString::fromStdString(current.Method)
                                   << QUrl(url).toDisplayString(QUrl::RemoveUserInfo)
                                   << (result.Ok ? QString::number(result.Status)
                                                 : QString::fromStdString(result.Error))
                                   << clock.elapsed() << "ms";
        const int code = result.Status;
        const bool moved = result.Ok &&
                           (code == 301 || code == 302 || code == 303 || code == 307 || code == 308) &&
                           !result.Location.empty();
        if (!moved || !request.FollowRedirects) {
            return result;
        }
        if (hop == kMaxRedirects) {
            return Failed("too many redirects");
        }
        const QUrl from(url);
        const QUrl to = from.resolved(QUrl(QString::fromStdString(result.Location)));
        const QString scheme = to.scheme().toLower();
        if ((scheme != "http" && scheme != "https") || (from.scheme() == "https" && scheme == "http")) {
            return Failed("a redirect to " + to.toDisplayString(QUrl::RemoveUserInfo).toStdString() +
                          " not followed");
        }
        if (result.Status == 303 ||
            ((result.Status == 301 || result.Status == 302) && current.Method == "POST")) {
            current.Method = "GET";
            current.Body.clear();
        }
        url = to.toString(QUrl::FullyEncoded);
    }
}

THttpResult StreamHttp::sendOnce(const THttpRequest& request, const QString& urlText, bool& retry) {
    retry = false;
    const QUrl url(urlText, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool tls = scheme == "https";
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        return Failed("not an http or https address");
    }
    if (tls && !QSslSocket::supportsSsl()) {
        return Failed("https is not available: no TLS library");
    }
    const quint16 port = static_cast<quint16>(url.port(tls ? 443 : 80));
    // The desktop's proxy, as a browser would use it. Plain http through an http proxy asks the
    // proxy with the whole address; anything else tunnels through it.
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    if (!proxies.isEmpty() && (proxies.front().type() == QNetworkProxy::HttpProxy ||
                               proxies.front().type() == QNetworkProxy::Socks5Proxy)) {
        proxy = proxies.front();
    }
    const bool forward = !tls && proxy.type() == QNetworkProxy::HttpProxy;
    const QString key = scheme + "://" + url.host() + ':' + QString::number(port) + ' ' + proxy.hostName() +
                        ':' + QString::number(proxy.port());

    QDeadlineTimer deadline(m_timeoutMs);
    bool stopped = false;
    const bool reused = m_socket && m_socketKey == key &&
                        m_socket->state() == QAbstractSocket::ConnectedState &&
                        m_socket->bytesAvailable() == 0;
    if (!reused) {
        m_socket.reset();
        std::unique_ptr<QTcpSocket> socket =
            tls ? std::make_unique<QSslSocket>() : std::make_unique<QTcpSocket>();
        socket->setReadBufferSize(kSocketBufferBytes);
        socket->setProxy(forward ? QNetworkProxy(QNetworkProxy::NoProxy) : proxy);
        // Shared with the handler, which the kept connection outlives this call with.
        const auto refusal = std::make_shared<THttpResult>();
        if (tls) {
            auto* ssl = static_cast<QSslSocket*>(socket.get());
            QSslConfiguration config = QSslConfiguration::defaultConfiguration();
            config.setCaCertificates(Authorities());
            ssl->setSslConfiguration(config);
            std::vector<std::string> trusted;
            for (const std::string& pin : request.TrustedCertificates) {
                trusted.push_back(NormalSha256Fingerprint(pin));
            }
            // Decided during the handshake, before any request goes out: a certificate the user
            // trusted for this server passes whatever the authorities say; any other failure is
            // written down for the user to see.
            QObject::connect(
                ssl, &QSslSocket::sslErrors, ssl, [ssl, trusted, refusal](const QList<QSslError>& errors) {
                    THttpResult& refused = *refusal;
                    const QSslCertificate peer = ssl->peerCertificate();
                    const std::string fingerprint = FingerprintOf(peer);
                    if (!peer.isNull() &&
                        std::find(trusted.begin(), trusted.end(), fingerprint) != trusted.end()) {
                        ssl->ignoreSslErrors();
                        return;
                    }
                    refused.Untrusted = true;
                    refused.Error = errors.isEmpty() ? "the certificate is not trusted"
                                                     : errors.front().errorString().toStdString();
                    refused.Certificate.Fingerprint = fingerprint;
                    refused.Certificate.Subject = peer.subjectDisplayName().toStdString();
                    if (refused.Certificate.Subject.empty()) {
                        refused.Certificate.Subject =
                            peer.subjectInfo(QSslCertificate::CommonName).join(", ").toStdString();
                    }
                    refused.Certificate.ValidFrom = UtcText(peer.effectiveDate());
                    refused.Certificate.ValidTo = UtcText(peer.expiryDate());
                    refused.Certificate.Changed = !trusted.empty();
                });
            ssl->connectToHostEncrypted(url.host(), port);
            if (!WaitFor(
                    *ssl, [ssl] { return ssl->isEncrypted(); }, deadline, stopped)) {
                if (refusal->Untrusted) {
                    return *refusal;
                }
                return Failed(stopped                 ? kStopped
                              : deadline.hasExpired() ? kLate
                                                      : ssl->errorString().toStdString());
            }
        } else {
            if (forward) {
                socket->connectToHost(proxy.hostName(), proxy.port());
            } else {
                socket->connectToHost(url.host(), port);
            }
            QTcpSocket* plain = socket.get();
            if (!WaitFor(
                    *plain, [plain] { return plain->state() == QAbstractSocket::ConnectedState; }, deadline,
                    stopped)) {
                return Failed(stopped                 ? kStopped
                              : deadline.hasExpired() ? kLate
                                                      : plain->errorString().toStdString());
            }
        }
        m_socket = std::move(socket);
        m_socketKey = key;
    }

    QByteArray target =
        forward ? url.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment)
                : url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty()) {
        target = "/";
    }
    const QByteArray head = RequestHead(request, url, target, forward ? proxy : QNetworkProxy());
    m_socket->write(head);
    m_socket->write(request.Body.data(), static_cast<qint64>(request.Body.size()));
    QTcpSocket* socket = m_socket.get();
    if (!WaitFor(
            *socket, [socket] { return socket->bytesToWrite() == 0; }, deadline, stopped)) {
        const bool late = deadline.hasExpired();
        const std::string why = socket->errorString().toStdString();
        m_socket.reset();
        retry = reused && !late && !stopped;
        return Failed(stopped ? kStopped : late ? kLate : why);
    }

    HttpAnswerReader reader(request.MaxBytes, request.Method == "HEAD");
    char piece[kPieceBytes];
    while (reader.state() == HttpAnswerReader::State::Head ||
           reader.state() == HttpAnswerReader::State::Body) {
        if (m_socket->bytesAvailable() == 0) {
            const bool arrived = WaitFor(
                *socket, [socket] { return socket->bytesAvailable() > 0; }, deadline, stopped);
            if (!arrived && (stopped || deadline.hasExpired())) {
                m_socket.reset();
                return Failed(stopped ? kStopped : kLate);
            }
            if (!arrived) {
                reader.closed();
                break;
            }
        }
        const qint64 got = m_socket->read(piece, sizeof piece);
        if (got < 0) {
            reader.closed();
            break;
        }
        reader.feed(std::string_view(piece, static_cast<size_t>(got)));
    }
    THttpResult result;
    result.WireBytes = static_cast<size_t>(reader.wireBytes());
    if (reader.state() != HttpAnswerReader::State::Done) {
        m_socket.reset();
        // Nothing at all came back on a kept connection: the server closed it while it was idle.
        retry = reused && reader.wireBytes() == 0;
        result.Error = reader.error();
        result.TooLong = reader.tooLong();
        return result;
    }
    if (!reader.keepAlive() || m_socket->bytesAvailable() > 0) {
        m_socket.reset();
    }
    result.Ok = true;
    result.Status = reader.status();
    result.ETag = reader.header("ETag");
    result.Location = reader.header("Location");
    result.LastModified = reader.header("Last-Modified");
    result.Body = std::move(reader.body());
    return result;
}

} // namespace kestrivel
