#include "FakeServices.h"
#include "lang/MessageTable.h"
#include "update/QtHttpClient.h"
#include "update/UpdateCheck.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <memory>

using namespace kestrivel;

namespace {

// A quiet HTTP server on a free port of 127.0.0.1 serving the folder given as argument to the user
// agent "Kestrivel" only; it prints its port first.
const char* const kServerScript = R"(
import http.server, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=sys.argv[1], **kwargs)
    def do_GET(self):
        if self.headers.get("User-Agent") != "Kestrivel":
            self.send_error(403)
        else:
            super().do_GET()
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
)";

const QString kAsk = "A new version of Kestrivel is availlable! Do you want to download it now?";
const QString kLatest = "You already have the latest version of Kestrivel, no update is necessary.";
const QString kCannot = "Unable to check for updates.";

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    QProcess server;
    QString endpoint;
    QTcpServer silent; // accepts connections and never answers
    std::unique_ptr<QtHttpClient> client;
    std::unique_ptr<QtHttpClient> impatientClient;

private slots:
    void initTestCase() {
        QVERIFY(folder.isValid());
        server.start("python3", {"-c", kServerScript, folder.path()});
        if (!server.waitForStarted(5000)) {
            QSKIP("python3 is not available");
        }
        QVERIFY(server.waitForReadyRead(10000));
        const int port = server.readLine().trimmed().toInt();
        QVERIFY(port > 0);
        endpoint = QString("http://127.0.0.1:%1").arg(port);
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        client = std::make_unique<QtHttpClient>(nullptr, 10000);
        impatientClient = std::make_unique<QtHttpClient>(nullptr, 300);
    }

    void cleanupTestCase() {
        server.kill();
        server.waitForFinished(5000);
    }

    void check_data() {
        QTest::addColumn<QByteArray>("versionFile"); // null: no file, the server answers 404
        QTest::addColumn<QString>("where");          // "python", "silent" or "none"
        QTest::addColumn<bool>("manual");
        QTest::addColumn<int>("checks");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("opened");

        const QByteArray newer = "Other=1\r\nKestriVersion=123\r\nKestriURL=http://dl.example/get\r\n";
        const int yes = TMessageResult::Yes;
        const int no = TMessageResult::No;
        QTest::newRow("newer, Yes opens") << newer << "python" << false << 1 << yes << QStringList{kAsk}
                                          << QStringList{"http://dl.example/get"};
        QTest::newRow("newer, No") << newer << "python" << true << 1 << no << QStringList{kAsk}
                                   << QStringList{};
        QTest::newRow("two checks, one question")
            << newer << "python" << false << 2 << no << QStringList{kAsk} << QStringList{};
        QTest::newRow("equal, manual") << QByteArray("KestriVersion=122\r\n") << "python" << true << 1 << no
                                       << QStringList{kLatest} << QStringList{};
        QTest::newRow("equal, automatic") << QByteArray("KestriVersion=122\r\n") << "python" << false << 1
                                          << no << QStringList{} << QStringList{};
        QTest::newRow("file address never opened")
            << QByteArray("KestriVersion=200\r\nKestriURL=file:///etc/passwd\r\n") << "python" << false << 1
            << yes << QStringList{kAsk} << QStringList{};
        QTest::newRow("404, manual") << QByteArray() << "python" << true << 1 << no << QStringList{kCannot}
                                     << QStringList{};
        QTest::newRow("404, automatic")
            << QByteArray() << "python" << false << 1 << no << QStringList{} << QStringList{};
        QTest::newRow("over the cap, manual") << newer + QByteArray(1024 * 1024, 'x') << "python" << true << 1
                                              << yes << QStringList{kCannot} << QStringList{};
        QTest::newRow("no answer, manual")
            << newer << "silent" << true << 1 << yes << QStringList{kCannot} << QStringList{};
        QTest::newRow("no answer, automatic")
            << newer << "silent" << false << 1 << yes << QStringList{} << QStringList{};
        QTest::newRow("no endpoint, manual")
            << newer << "none" << true << 1 << yes << QStringList{kCannot} << QStringList{};
        QTest::newRow("no endpoint, automatic")
            << newer << "none" << false << 1 << yes << QStringList{} << QStringList{};
    }

    void check() {
        QFETCH(QByteArray, versionFile);
        QFETCH(QString, where);
        QFETCH(bool, manual);
        QFETCH(int, checks);
        QFETCH(int, answer);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, opened);

        QFile file(folder.filePath("versions.inf"));
        file.remove();
        if (!versionFile.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(versionFile);
            file.close();
        }
        QString address;
        if (where == "python") {
            address = endpoint;
        } else if (where == "silent") {
            address = QString("http://127.0.0.1:%1").arg(silent.serverPort());
        }
        IHttpClient& http = where == "silent" ? *impatientClient : *client;

        FakeServices services;
        services.Answers.push_back(answer);
        QWidget window;
        TUpdateCheck updateCheck(services, http, address.toStdString(), &window);
        QSignalSpy finished(&updateCheck, &TUpdateCheck::finished);
        for (int i = 0; i < checks; ++i) {
            manual ? updateCheck.checkManual() : updateCheck.checkAutomatic();
        }
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
        QVERIFY(!updateCheck.isRunning());

        QStringList shown;
        for (const TMessageBox& box : services.Boxes) {
            shown << QString::fromStdString(box.Text);
        }
        QCOMPARE(shown, boxes);
        QCOMPARE(QStringList(services.OpenedUrls.begin(), services.OpenedUrls.end()), opened);
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "test_UpdateCheck.moc"
