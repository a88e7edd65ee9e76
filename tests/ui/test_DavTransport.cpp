#include "base/SyncModules.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrivel;

namespace {

// What the test's server received: the request line and headers as sent, and the body.
struct TRecorded {
    QByteArray Head;
    QByteArray Body;
};

// A one-answer-per-connection HTTP server on 127.0.0.1, inside the test: it keeps each request and
// answers it with `Answer` as given (nothing at all while `Answer` is empty).
class TTinyServer {
public:
    QByteArray Answer;
    QList<TRecorded> Requests;

    bool Listen() {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket, buffer] { take(*socket, *buffer); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    QString Url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }

private:
    void take(QTcpSocket& socket, QByteArray& buffer) {
        buffer += socket.readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:")) {
                length = line.mid(15).trimmed().toLongLong();
            }
        }
        if (buffer.size() < end + 4 + length) {
            return;
        }
        Requests.append({head, buffer.mid(end + 4, length)});
        buffer.clear();
        if (!Answer.isEmpty()) {
            socket.write(Answer);
            socket.disconnectFromHost();
        }
    }

    QTcpServer m_server;
};

QByteArray HeaderOf(const QByteArray& head, const QByteArray& name) {
    for (const QByteArray& line : head.split('\n')) {
        if (line.toLower().startsWith(name.toLower() + ':')) {
            return line.mid(name.size() + 1).trimmed();
        }
    }
    return {};
}

} // namespace

// The sync's transport from the real module beside the tests, against a server started here: the
// request reaches the server as given, every status is an answer, and only no answer, a late one or
// one over the cap is a failure.
class TestDavTransport : public QObject {
    Q_OBJECT

    TTinyServer server;

private slots:
    void initTestCase() {
        QVERIFY(server.Listen());
        qputenv("no_proxy", "127.0.0.1"); // the transport follows the system proxy settings
    }

    void send_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QStringList>("headers"); // name, value, name, value, ...
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("answer"); // empty: the server keeps silent
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<int>("status"); // 0: a failure is expected
        QTest::addColumn<QByteArray>("etag");
        QTest::addColumn<QByteArray>("answerBody");
        QTest::addColumn<QString>("error");

        const QByteArray event = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n";
        const QByteArray multistatus = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\"/>";
        const auto answer = [](const char* status, const QByteArray& extra, const QByteArray& body) {
            return QByteArray("HTTP/1.1 ") + status + "\r\n" + extra +
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                   body;
        };
        QTest::newRow("new event") << QByteArray("PUT")
                                   << QStringList{"If-None-Match", "*", "Content-Type",
                                                  "text/calendar; charset=utf-8"}
                                   << event << answer("201 Created", "ETag: \"e-1\"\r\n", "") << 1024 << 201
                                   << QByteArray("\"e-1\"") << QByteArray() << QString();
        QTest::newRow("listing") << QByteArray("PROPFIND") << QStringList{"Depth", "1"} << multistatus
                                 << answer("207 Multi-Status", "", multistatus) << 1024 << 207 << QByteArray()
                                 << multistatus << QString();
        QTest::newRow("changed meanwhile") << QByteArray("PUT") << QStringList{"If-Match", "\"e-1\""} << event
                                           << answer("412 Precondition Failed", "", "") << 1024 << 412
                                           << QByteArray() << QByteArray() << QString();
        QTest::newRow("wrong password")
            << QByteArray("REPORT") << QStringList{"Authorization", "Basic dTpw"} << multistatus
            << answer("401 Unauthorized", "WWW-Authenticate: Basic realm=\"r\"\r\n", "no") << 1024 << 401
            << QByteArray() << QByteArray("no") << QString();
        QTest::newRow("removal") << QByteArray("DELETE") << QStringList{"If-Match", "\"e-2\""} << QByteArray()
                                 << answer("204 No Content", "", "") << 1024 << 204 << QByteArray()
                                 << QByteArray() << QString();
        QTest::newRow("a user agent of the caller's")
            << QByteArray("GET") << QStringList{"user-agent", "Other"} << QByteArray()
            << answer("200 OK", "ETag: W/\"7\"\r\n", "x") << 1024 << 200 << QByteArray("W/\"7\"")
            << QByteArray("x") << QString();
        QTest::newRow("over the cap") << QByteArray("GET") << QStringList{} << QByteArray()
                                      << answer("200 OK", "", QByteArray(2000, 'x')) << 1000 << 0
                                      << QByteArray() << QByteArray() << QString("answer too long");
        QTest::newRow("no answer") << QByteArray("PROPFIND") << QStringList{"Depth", "0"} << multistatus
                                   << QByteArray() << 1024 << 0 << QByteArray() << QByteArray()
                                   << QString("no answer in time");
    }

    void send() {
        QFETCH(QByteArray, method);
        QFETCH(QStringList, headers);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, answer);
        QFETCH(int, maxBytes);
        QFETCH(int, status);
        QFETCH(QByteArray, etag);
        QFETCH(QByteArray, answerBody);
        QFETCH(QString, error);

        const std::unique_ptr<IDavTransport> transport = CreateModuleDavTransport(1000);
        QVERIFY(transport);
        server.Answer = answer;
        server.Requests.clear();
        THttpRequest request;
        request.Method = method.toStdString();
        request.Url = server.Url("/user/calendar/").toStdString();
        for (qsizetype i = 0; i + 1 < headers.size(); i += 2) {
            request.Headers.emplace_back(headers[i].toStdString(), headers[i + 1].toStdString());
        }
        request.Body = body.toStdString();
        request.MaxBytes = static_cast<size_t>(maxBytes);
        QElapsedTimer clock;
        clock.start();
        const THttpResult result = transport->Send(request);
        QVERIFY(clock.elapsed() < 5000);

        QCOMPARE(result.Ok, status != 0);
        QCOMPARE(result.Status, status);
        QCOMPARE(QByteArray::fromStdString(result.ETag), etag);
        QCOMPARE(QByteArray::fromStdString(result.Body), answerBody);
        QCOMPARE(QString::fromStdString(result.Error), error);

        // The server saw the request as given, naming the program unless the caller named another.
        QCOMPARE(server.Requests.size(), 1);
        const TRecorded& seen = server.Requests.front();
        QVERIFY2(seen.Head.startsWith(method + " /user/calendar/ HTTP/1.1\r\n"), seen.Head.constData());
        for (qsizetype i = 0; i + 1 < headers.size(); i += 2) {
            QCOMPARE(HeaderOf(seen.Head, headers[i].toLatin1()), headers[i + 1].toLatin1());
        }
        if (!headers.contains("user-agent")) {
            QCOMPARE(HeaderOf(seen.Head, "User-Agent"), QByteArray("Kestrivel"));
        }
        QCOMPARE(seen.Body, body);
    }

    void serverDown() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        THttpRequest request;
        request.Url = QStringLiteral("http://127.0.0.1:%1/").arg(port).toStdString();
        const THttpResult result = CreateModuleDavTransport(1000)->Send(request);
        QVERIFY(!result.Ok);
        QCOMPARE(result.Status, 0);
        QVERIFY(!result.Error.empty());
    }

    // Without the modules the program runs and only the sync fails.
    void missingModules() {
        QTemporaryDir empty;
        QVERIFY(empty.isValid());
        QVERIFY(!CreateModuleDavTransport(1000, {empty.path()}));
        QVERIFY(!CreateModuleEventCodec({empty.path()}));
    }
};

QTEST_MAIN(TestDavTransport)
#include "test_DavTransport.moc"
