#include "base/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
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
    // Locks held on lock files, as a process removing them holds them, so that none can replace them.
    QList<int> held;

    // A process that has ended: its number names no running holder.
    static qint64 DeadProcess() {
        QProcess process;
        process.start(QStringLiteral("true"), {});
        process.waitForFinished();
        return process.processId();
    }

    // "ok" a folder that can hold the lock, "none" a path where no lock can be made (a file; the
    // tests may run as root, for whom no folder is read-only), "open" a folder anyone may write to,
    // "lock folder" one where a folder has the lock's name, "dead" one holding the lock of a holder
    // that is gone, "stuck" the same lock where it cannot be replaced (another process is removing
    // it), "" no folder at all.
    QString Folder(const QString& kind, const QString& tag, const QString& name) {
        if (kind.isEmpty()) {
            return QString();
        }
        const QString path = dir.filePath(tag);
        if (kind == QLatin1String("none")) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            return path;
        }
        QDir(dir.path()).mkpath(tag);
        QFile::setPermissions(path, kind == QLatin1String("open") ? QFileDevice::Permissions(0x7777)
                                                                  : QFileDevice::Permissions(0x7700));
        const QString lock = path + QLatin1Char('/') + name + QStringLiteral(".lock");
        if (kind == QLatin1String("lock folder")) {
            QDir().mkpath(lock);
        } else if (kind == QLatin1String("elsewhere")) {
            QFile file(lock);
            file.open(QIODevice::WriteOnly);
            file.write(QStringLiteral("%1\nkestrivel\nanother-machine\n")
                           .arg(QCoreApplication::applicationPid())
                           .toUtf8());
        } else if (kind == QLatin1String("dead") || kind == QLatin1String("stuck")) {
            QFile file(lock);
            file.open(QIODevice::WriteOnly);
            file.write(QStringLiteral("%1\nkestrivel\n%2\n")
                           .arg(DeadProcess())
                           .arg(QSysInfo::machineHostName())
                           .toUtf8());
            if (kind == QLatin1String("stuck")) {
                const int fd = open(QFile::encodeName(lock).constData(), O_RDWR | O_CLOEXEC);
                if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) {
                    held.append(fd);
                }
            }
        }
        return path;
    }

private slots:
    void cleanup() {
        for (const int fd : std::as_const(held)) {
            close(fd);
        }
        held.clear();
    }

    void secondStartFindsTheFirst_data() {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("config");
        QTest::addColumn<bool>("firstRuns");      // an instance started before
        QTest::addColumn<QByteArray>("leftLock"); // a lock file left in the runtime folder
        QTest::addColumn<bool>("first");
        QTest::addColumn<int>("lockedIn"); // the folder of the later start's lock: 0, 1, or -1 none
        QTest::newRow("runtime folder") << "ok"
                                        << "ok" << false << QByteArray() << true << 0;
        QTest::newRow("runtime folder, running") << "ok"
                                                 << "ok" << true << QByteArray() << false << -1;
        QTest::newRow("config folder") << "none"
                                       << "ok" << false << QByteArray() << true << 1;
        QTest::newRow("config folder, running") << "none"
                                                << "ok" << true << QByteArray() << false << -1;
        QTest::newRow("no runtime folder, running") << ""
                                                    << "ok" << true << QByteArray() << false << -1;
        QTest::newRow("no folder at all") << "none"
                                          << "none" << false << QByteArray() << true << -1;
        // Nothing can be found without a folder: both run, and say so.
        QTest::newRow("no folder at all, running") << "none"
                                                   << "none" << true << QByteArray() << true << -1;
        QTest::newRow("empty lock left") << "ok"
                                         << "ok" << false << QByteArray("") << true << 0;
        QTest::newRow("junk lock left") << "ok"
                                        << "ok" << false << QByteArray("\x01junk\n") << true << 0;
        QTest::newRow("junk lock, running") << "ok"
                                            << "ok" << true << QByteArray("junk") << false << -1;
        QTest::newRow("lock of a holder gone") << "dead"
                                               << "ok" << false << QByteArray() << true << 0;
        // A lock that cannot be used is passed by for the configuration folder.
        QTest::newRow("folder named as the lock") << "lock folder"
                                                  << "ok" << false << QByteArray() << true << 1;
        QTest::newRow("folder named as the lock, running") << "lock folder"
                                                           << "ok" << true << QByteArray() << false << -1;
        QTest::newRow("lock of a holder gone, not replaceable") << "stuck"
                                                                << "ok" << false << QByteArray() << true << 1;
        QTest::newRow("lock of another machine") << "elsewhere"
                                                 << "ok" << false << QByteArray() << true << 1;
        QTest::newRow("folder others may write to") << "open"
                                                    << "ok" << false << QByteArray() << true << 1;
        QTest::newRow("no lock anywhere") << "lock folder"
                                          << "stuck" << false << QByteArray() << true << -1;
    }
    void secondStartFindsTheFirst() {
        QFETCH(QString, runtime);
        QFETCH(QString, config);
        QFETCH(bool, firstRuns);
        QFETCH(QByteArray, leftLock);
        QFETCH(bool, first);
        QFETCH(int, lockedIn);
        const QString tag =
            QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString name = QStringLiteral("Kestrivel-%1").arg(QCoreApplication::applicationPid());
        const QStringList folders{Folder(runtime, tag + QStringLiteral("-run"), name),
                                  Folder(config, tag + QStringLiteral("-cfg"), name)};
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
        QCOMPARE(later.Unlocked(), first && lockedIn < 0);
        QCOMPARE(later.LockFile().isEmpty() ? QString() : QFileInfo(later.LockFile()).path(),
                 lockedIn < 0 ? QString() : folders[lockedIn]);
        if (first && lockedIn >= 0) {
            // The socket file lies beside the lock, in a folder of this user alone.
            QCOMPARE(QFileInfo(later.SocketFile()).path(), folders[lockedIn]);
            QVERIFY(QFileInfo(later.SocketFile()).exists());
        }
    }

    // Each desktop session has its own calendar: a later start reaches its own session's, in the same
    // runtime folder, and its socket file goes with it.
    void laterStartShowsItsSessionsCalendar() {
        const QString folder = dir.filePath(QStringLiteral("sessions"));
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7700));
        QVERIFY(TSingleInstance::SafeFolder(folder, true));
        const QString one = QStringLiteral("Kestrivel-%1-x11-1").arg(QCoreApplication::applicationPid());
        const QString two = QStringLiteral("Kestrivel-%1-x11-2").arg(QCoreApplication::applicationPid());
        auto first = std::make_unique<TSingleInstance>(one, QStringList{folder});
        const TSingleInstance other(two, {folder});
        QVERIFY(first->IsFirst() && other.IsFirst());
        QSignalSpy shown(first.get(), &TSingleInstance::showRequested);
        QSignalSpy otherShown(&other, &TSingleInstance::showRequested);
        const TSingleInstance later(one, {folder});
        QVERIFY(!later.IsFirst());
        QCOMPARE(shown.size(), 0); // finding the first asks for nothing
        QVERIFY(later.AskToShow());
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(otherShown.size(), 0);
        const QString socket = first->SocketFile();
        first.reset();
        QVERIFY(!QFileInfo::exists(socket));
    }

    void onlyAnOwnerOnlyFolderIsARuntimeFolder() {
        const QString folder = dir.filePath(QStringLiteral("modes"));
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
        QVERIFY(!TSingleInstance::SafeFolder(folder, true));
        QVERIFY(TSingleInstance::SafeFolder(folder, false));
        QVERIFY(!TSingleInstance::SafeFolder(dir.filePath(QStringLiteral("missing")), false));
        QVERIFY(!TSingleInstance::SafeFolder(QString(), false));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_SingleInstance.moc"
