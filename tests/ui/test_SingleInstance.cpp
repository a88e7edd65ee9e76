#include "base/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace kestrivel;

// Two starts in one process stand for two processes: the lock file records this process, which is
// running, and the socket is the same either way.
class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // "ok" a folder that can hold the lock, "none" a path where no lock can be made (a file; the
    // tests may run as root, for whom no folder is read-only), "" no folder at all.
    QString Folder(const QString& kind, const QString& tag) {
        if (kind == QLatin1String("ok")) {
            QDir(dir.path()).mkpath(tag);
            return dir.filePath(tag);
        }
        if (kind == QLatin1String("none")) {
            QFile file(dir.filePath(tag + QStringLiteral(".file")));
            file.open(QIODevice::WriteOnly);
            return file.fileName();
        }
        return QString();
    }

private slots:
    void secondStartFindsTheFirst_data() {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("config");
        QTest::addColumn<bool>("firstRuns");      // an instance started before
        QTest::addColumn<QByteArray>("leftLock"); // a lock file left in the runtime folder
        QTest::addColumn<bool>("first");
        QTest::newRow("runtime folder") << "ok"
                                        << "ok" << false << QByteArray() << true;
        QTest::newRow("runtime folder, running") << "ok"
                                                 << "ok" << true << QByteArray() << false;
        QTest::newRow("config folder") << "none"
                                       << "ok" << false << QByteArray() << true;
        QTest::newRow("config folder, running") << "none"
                                                << "ok" << true << QByteArray() << false;
        QTest::newRow("no runtime folder, running") << ""
                                                    << "ok" << true << QByteArray() << false;
        QTest::newRow("no folder at all") << "none"
                                          << "none" << false << QByteArray() << true;
        // Nothing can be found without a folder: both run, and say so (Unlocked).
        QTest::newRow("no folder at all, running") << "none"
                                                   << "none" << true << QByteArray() << true;
        QTest::newRow("empty lock left") << "ok"
                                         << "ok" << false << QByteArray("") << true;
        QTest::newRow("junk lock left") << "ok"
                                        << "ok" << false << QByteArray("\x01junk\n") << true;
        QTest::newRow("junk lock, running") << "ok"
                                            << "ok" << true << QByteArray("junk") << false;
    }
    void secondStartFindsTheFirst() {
        QFETCH(QString, runtime);
        QFETCH(QString, config);
        QFETCH(bool, firstRuns);
        QFETCH(QByteArray, leftLock);
        QFETCH(bool, first);
        const QString tag =
            QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString name =
            QStringLiteral("KestrivelTest-%1-%2").arg(QCoreApplication::applicationPid()).arg(tag);
        const QStringList folders{Folder(runtime, tag + QStringLiteral("-run")),
                                  Folder(config, tag + QStringLiteral("-cfg"))};
        std::unique_ptr<TSingleInstance> running;
        if (firstRuns) {
            running = std::make_unique<TSingleInstance>(name, folders);
            QVERIFY(running->IsFirst());
        }
        if (!leftLock.isNull()) {
            QFile lock(folders[0] + QLatin1Char('/') + name + QStringLiteral(".lock"));
            QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
            lock.write(leftLock);
        }
        const TSingleInstance later(name, folders);
        QCOMPARE(later.IsFirst(), first);
        if (first && runtime == QLatin1String("ok")) {
            QCOMPARE(QFileInfo(later.LockFile()).path(), folders[0]);
        }
    }

    // A lock that cannot be used, a folder of its name or the lock of a holder that is gone which
    // cannot be replaced (another user's, left by a start with sudo; here held as a process removing
    // it holds it), is passed by for the configuration folder; with none the calendar runs unlocked.
    void unusableLocksArePassedBy_data() {
        QTest::addColumn<bool>("stuck"); // in the configuration folder, else a folder of the lock's name
        QTest::newRow("runtime lock unusable") << false;
        QTest::newRow("both locks unusable") << true;
    }
    void unusableLocksArePassedBy() {
        QFETCH(bool, stuck);
        const QString name =
            QStringLiteral("KestrivelTest-%1-unusable").arg(QCoreApplication::applicationPid());
        const QStringList folders{Folder("ok", QString::fromLatin1(QTest::currentDataTag()) + "-run"),
                                  Folder("ok", QString::fromLatin1(QTest::currentDataTag()) + "-cfg")};
        QVERIFY(QDir().mkpath(folders[0] + QLatin1Char('/') + name + QStringLiteral(".lock")));
        QFile lock(folders[1] + QLatin1Char('/') + name + QStringLiteral(".lock"));
        const int held =
            open(QFile::encodeName(lock.fileName()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(held >= 0 && (!stuck || flock(held, LOCK_EX | LOCK_NB) == 0));
        QVERIFY(!stuck || write(held, "999999999\nkestrivel\n\n", 21) == 21);
        const TSingleInstance later(name, folders);
        close(held);
        QVERIFY(later.IsFirst());
        QCOMPARE(later.Unlocked(), stuck);
        QCOMPARE(QFileInfo(later.SocketFile()).path(), stuck ? folders[0] : folders[1]);
    }

    void laterStartShowsTheCalendar() {
        const QString name = QStringLiteral("KestrivelTest-%1-show").arg(QCoreApplication::applicationPid());
        const QStringList folders{dir.path()};
        TSingleInstance running(name, folders);
        QSignalSpy shown(&running, &TSingleInstance::showRequested);
        const TSingleInstance later(name, folders);
        QVERIFY(!later.IsFirst());
        QCOMPARE(shown.size(), 0); // finding the first asks for nothing
        QVERIFY(later.AskToShow());
        QTRY_COMPARE(shown.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_SingleInstance.moc"
