#include "FakeServices.h"
#include "lang/MessageTable.h"
#include "update/ModuleHttpClient.h"
#include "update/UpdateCheck.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <memory>

#include <sys/resource.h>

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
        elif open(sys.argv[1] + "/versions.inf", "rb").read(7) == b"ENDLESS":
            self.endless()
        else:
            super().do_GET()
    # A chunked answer that never ends (for 30 s at most): only the client's cap stops it.
    def endless(self):
        import time
        self.protocol_version = "HTTP/1.1"
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        chunk = b"x" * 65536
        end = time.monotonic() + 30
        try:
            while time.monotonic() < end:
                self.wfile.write(b"10000\r\n" + chunk + b"\r\n")
        except OSError:
            pass
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
)";

// What a check may add to the test's peak memory: the 1 MiB cap and Qt's buffers.
constexpr long kAnswerMemoryKiB = 8 * 1024;

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

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
    // The real client, from the module beside the tests as the program loads it.
    std::unique_ptr<TModuleHttpClient> client;
    std::unique_ptr<TModuleHttpClient> impatientClient;
    std::unique_ptr<TModuleHttpClient> clientWithoutModule;

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
        qputenv("no_proxy", "127.0.0.1"); // the clients follow the system proxy settings
        client = std::make_unique<TModuleHttpClient>(10000);
        impatientClient = std::make_unique<TModuleHttpClient>(300);
        clientWithoutModule = std::make_unique<TModuleHttpClient>(10000, QStringList{folder.path()});
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
        QTest::addColumn<QString>("opened");

        const QByteArray newer = "Other=1\r\nKestriVersion=123\r\nKestriURL=http://dl.example/get\r\n";
        const QByteArray equal = "KestriVersion=122\r\n";
        const QByteArray fileUrl = "KestriVersion=200\r\nKestriURL=file:///etc/passwd\r\n";
        const QByteArray tooLarge = newer + QByteArray(1024 * 1024, 'x');
        const int yes = TMessageResult::Yes;
        const auto row = [](const char* name, const QByteArray& file, const char* where, bool manual,
                            int checks, int answer, const QStringList& boxes, const char* opened = "") {
            QTest::newRow(name) << file << where << manual << checks << answer << boxes << opened;
        };
        row("newer, Yes opens", newer, "python", false, 1, yes, {kAsk}, "http://dl.example/get");
        row("two checks, one question", newer, "python", true, 2, TMessageResult::No, {kAsk});
        row("equal, manual", equal, "python", true, 1, yes, {kLatest});
        row("equal, automatic", equal, "python", false, 1, yes, {});
        row("file address never opened", fileUrl, "python", false, 1, yes, {kAsk});
        row("404, manual", QByteArray(), "python", true, 1, yes, {kCannot});
        row("404, automatic", QByteArray(), "python", false, 1, yes, {});
        row("over the cap, manual", tooLarge, "python", true, 1, yes, {kCannot});
        row("endless answer, manual", "ENDLESS", "python", true, 1, yes, {kCannot});
        row("no answer, manual", newer, "silent", true, 1, yes, {kCannot});
        row("no answer, automatic", newer, "silent", false, 1, yes, {});
        row("no endpoint, manual", newer, "none", true, 1, yes, {kCannot});
        row("no network module, manual", newer, "no module", true, 1, yes, {kCannot});
    }

    void check() {
        QFETCH(QByteArray, versionFile);
        QFETCH(QString, where);
        QFETCH(bool, manual);
        QFETCH(int, checks);
        QFETCH(int, answer);
        QFETCH(QStringList, boxes);
        QFETCH(QString, opened);

        QFile file(folder.filePath("versions.inf"));
        file.remove();
        if (!versionFile.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(versionFile);
            file.close();
        }
        QString address;
        if (where == "python" || where == "no module") {
            address = endpoint;
        } else if (where == "silent") {
            address = QString("http://127.0.0.1:%1").arg(silent.serverPort());
        }
        IHttpClient& http = where == "silent"      ? *impatientClient
                            : where == "no module" ? *clientWithoutModule
                                                   : *client;

        FakeServices services;
        services.Answers.push_back(answer);
        QWidget window;
        TUpdateCheck updateCheck(services, http, address.toStdString(), &window);
        QSignalSpy finished(&updateCheck, &TUpdateCheck::finished);
        const long peakBefore = PeakResidentKiB();
        for (int i = 0; i < checks; ++i) {
            manual ? updateCheck.checkManual() : updateCheck.checkAutomatic();
        }
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
        QVERIFY(!updateCheck.isRunning());
        // An answer is read no further than the cap: an endless one costs a few MiB, not what the
        // server sends before the time-out.
        QVERIFY2(PeakResidentKiB() - peakBefore < kAnswerMemoryKiB,
                 qPrintable(QString::number(PeakResidentKiB() - peakBefore)));

        QStringList shown;
        for (const TMessageBox& box : services.Boxes) {
            shown << QString::fromStdString(box.Text);
        }
        QCOMPARE(shown, boxes);
        QCOMPARE(QStringList(services.OpenedUrls.begin(), services.OpenedUrls.end()),
                 opened.isEmpty() ? QStringList() : QStringList{opened});
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "test_UpdateCheck.moc"
