#include "base/SyncModules.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace kestrivel;

// The sync's transport from the real module beside the tests, against a server started here that
// keeps each request and answers it as the row says (not at all when the answer is empty): the
// request arrives as given, every status is an answer, a late or too long answer is a failure.
class TestDavTransport : public QObject {
    Q_OBJECT

    QTcpServer server;
    QByteArray m_answer, m_received;

private slots:
    void initTestCase() {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_received += socket->readAll();
                const qsizetype head = m_received.indexOf("\r\n\r\n") + 4;
                const qsizetype field = m_received.indexOf("\r\nContent-Length: ") + 18;
                const int length =
                    field < 18 ? 0 : m_received.mid(field, m_received.indexOf('\r', field) - field).toInt();
                if (head >= 4 && m_received.size() >= head + length && !m_answer.isEmpty()) {
                    socket->write(m_answer);
                    socket->disconnectFromHost();
                }
            });
        });
        QVERIFY(server.listen(QHostAddress::LocalHost));
        qputenv("no_proxy", "127.0.0.1"); // the transport follows the system proxy settings
    }

    void send_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("header"); // name and value, sent and then expected as sent
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("status"); // 0: the transport fails with `error`
        QTest::addColumn<QByteArray>("etag");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("location");
        const QByteArray event = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n";
        const auto row = [](const char* name, const char* method, const char* header, const QByteArray& body,
                            const char* status, const char* extra, const QByteArray& answerBody, int code,
                            const char* etag = "", const char* error = "", const char* location = "") {
            const QByteArray answer = QByteArray("HTTP/1.1 ") + status + "\r\n" + extra +
                                      "Content-Length: " + QByteArray::number(answerBody.size()) +
                                      "\r\nConnection: close\r\n\r\n" + answerBody;
            QTest::newRow(name) << QByteArray(method) << QByteArray(header) << body
                                << (*status != 0 ? answer : QByteArray()) << code << QByteArray(etag)
                                << QString(error) << QByteArray(location);
        };
        row("new event", "PUT", "If-None-Match: *", event, "201 Created", "ETag: \"e-1\"\r\n", "", 201,
            "\"e-1\"");
        row("listing", "PROPFIND", "Depth: 1", "<propfind/>", "207 Multi-Status", "", "<multistatus/>", 207);
        row("wrong password", "REPORT", "Authorization: Basic dTpw", "<r/>", "401 Unauthorized",
            "WWW-Authenticate: Basic realm=\"r\"\r\n", "no", 401);
        row("weak ETag, the caller's agent", "GET", "User-Agent: Other", "", "200 OK", "ETag: W/\"7\"\r\n",
            "x", 200, "W/\"7\"");
        row("over the cap", "GET", "Depth: 0", "", "200 OK", "", QByteArray(2000, 'x'), 0, "",
            "answer too long");
        row("no answer", "PROPFIND", "Depth: 0", "<propfind/>", "", "", "", 0, "", "no answer in time");
        // The caller decides where credentials may go: a redirect comes back to it, not followed.
        row("redirect not followed", "PROPFIND", "Authorization: Basic dTpw", "<propfind/>",
            "308 Permanent Redirect", "Location: http://127.0.0.2:9/cal/\r\n", "", 308, "", "",
            "http://127.0.0.2:9/cal/");
        // 200 bytes on the wire that inflate to 100,000: the cap counts what comes out.
        row("compressed past the cap", "REPORT", "Depth: 1", "<r/>", "207 Multi-Status",
            "Content-Encoding: deflate\r\n", qCompress(QByteArray(100000, ' ')).mid(4), 0, "",
            "answer too long");
    }

    void send() {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QByteArray, etag);
        QFETCH(QString, error);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, location);
        m_answer = answer;
        m_received.clear();
        const auto transport = CreateModuleDavTransport(1000);
        QVERIFY(transport);
        const qsizetype colon = header.indexOf(':');
        THttpRequest request{
            method.toStdString(),
            QStringLiteral("http://127.0.0.1:%1/u/cal/").arg(server.serverPort()).toStdString(),
            {{header.left(colon).toStdString(), header.mid(colon + 2).toStdString()}},
            body.toStdString(),
            1000,
            false};
        const THttpResult result = transport->Send(request);
        QCOMPARE(QByteArray::fromStdString(result.Location), location);
        QCOMPARE(result.Status, status);
        QCOMPARE(result.Ok, status != 0);
        QCOMPARE(QByteArray::fromStdString(result.ETag), etag);
        QCOMPARE(QString::fromStdString(result.Error), error);
        QCOMPARE(QByteArray::fromStdString(result.Body),
                 status != 0 ? answer.mid(answer.indexOf("\r\n\r\n") + 4) : "");

        QVERIFY2(m_received.startsWith(method + " /u/cal/ HTTP/1.1\r\n"), m_received.constData());
        QVERIFY(m_received.contains("\r\n" + header + "\r\n"));
        QVERIFY(m_received.endsWith("\r\n\r\n" + body));
        // The program names itself unless the caller named another.
        QCOMPARE(m_received.contains("\r\nUser-Agent: Kestrivel\r\n"), !header.startsWith("User-Agent"));
    }
};

QTEST_MAIN(TestDavTransport)
#include "test_DavTransport.moc"
