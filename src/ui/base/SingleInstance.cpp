#include "base/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrivel {

namespace {

// The request a later start sends.
constexpr char kShowRequest = 'S';

// The address of a socket file; false when the path is too long for one.
bool SocketAddress(const QString& path, sockaddr_un& address, socklen_t& length) {
    const QByteArray bytes = QFile::encodeName(path);
    address = sockaddr_un{};
    if (bytes.isEmpty() || static_cast<size_t>(bytes.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + bytes.size() + 1);
    return true;
}

// Only this user's calendar answers, and only this user may ask it.
bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

// Whether the lock's holder runs here. A lock taken on another machine (a shared home folder) is of
// another session, whatever its process.
bool HolderRunning(qint64 pid, const QString& host) {
    if (!host.isEmpty() && host != QSysInfo::machineHostName()) {
        return false;
    }
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace

bool TSingleInstance::SafeFolder(const QString& folder, bool ownerOnly) {
    struct stat info {};
    return !folder.isEmpty() && stat(QFile::encodeName(folder).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & (ownerOnly ? 077 : 002)) == 0;
}

TSingleInstance::TSingleInstance(const QString& name, const QStringList& folders, QObject* parent)
    : QObject(parent), m_name(name) {
    for (const QString& folder : folders) {
        if (SafeFolder(folder, false)) {
            m_folders.append(folder);
        }
    }
    for (const QString& folder : std::as_const(m_folders)) {
        const int result = lockIn(folder);
        if (result >= 0) {
            m_first = result == 1;
            m_folder = folder;
            break;
        }
    }
    // No folder could hold a lock: a calendar answering on a socket tells that one runs.
    if (m_folder.isEmpty()) {
        for (const QString& folder : std::as_const(m_folders)) {
            const int fd = connectIn(folder);
            if (fd >= 0) {
                close(fd);
                m_first = false;
                m_folder = folder;
                break;
            }
        }
    }
    if (!m_first) {
        return;
    }
    for (const QString& folder : m_folder.isEmpty() ? m_folders : QStringList{m_folder}) {
        listen(folder);
        if (m_server >= 0) {
            break;
        }
    }
}

TSingleInstance::~TSingleInstance() {
    if (m_server >= 0) {
        close(m_server);
        QFile::remove(m_socketPath);
    }
}

int TSingleInstance::lockIn(const QString& folder) {
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(m_name + QStringLiteral(".lock")));
    // Never stale by age: the first instance holds its lock for days. A holder that is no longer
    // running is recognised by the process recorded in the file, and its lock taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError || !QFileInfo(lock->fileName()).isFile()) {
            return -1;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        // A lock left by a holder that is gone and that could not be replaced (another user's, as a
        // start with sudo leaves it) holds nothing: the next folder is tried.
        if (lock->getLockInfo(&pid, &host, &application)) {
            return HolderRunning(pid, host) ? 0 : -1;
        }
        // A file naming no holder is junk (an empty or damaged file), or one an instance is writing
        // this instant; a running instance answers on its socket within that instant.
        QThread::msleep(100);
        if (lock->getLockInfo(&pid, &host, &application)) {
            return HolderRunning(pid, host) ? 0 : -1;
        }
        if (const int fd = connectIn(folder); fd >= 0) {
            close(fd);
            return 0;
        }
        if (!lock->removeStaleLockFile()) {
            return -1;
        }
        if (!lock->tryLock(0)) {
            return lock->error() == QLockFile::LockFailedError ? 0 : -1;
        }
    }
    m_lock = std::move(lock);
    return 1;
}

QString TSingleInstance::LockFile() const {
    return m_lock ? m_lock->fileName() : QString();
}

QString TSingleInstance::socketIn(const QString& folder) const {
    return QDir(folder).filePath(m_name + QStringLiteral(".socket"));
}

int TSingleInstance::connectIn(const QString& folder) const {
    sockaddr_un address{};
    socklen_t length = 0;
    if (!SocketAddress(socketIn(folder), address, length)) {
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || !PeerIsThisUser(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool TSingleInstance::AskToShow() const {
    const int fd = m_folder.isEmpty() ? -1 : connectIn(m_folder);
    if (fd < 0) {
        return false;
    }
    const bool sent = ::send(fd, &kShowRequest, 1, MSG_NOSIGNAL) == 1;
    close(fd);
    return sent;
}

void TSingleInstance::listen(const QString& folder) {
    sockaddr_un address{};
    socklen_t length = 0;
    const QString path = socketIn(folder);
    if (!SocketAddress(path, address, length)) {
        return;
    }
    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (server < 0) {
        return;
    }
    // A socket file left by a calendar that ended without removing it answers no one (a live
    // calendar would have answered before this instance became the first).
    const QFileInfo left(path);
    if (left.exists() && !left.isDir() && !left.isFile()) {
        QFile::remove(path);
    }
    if (bind(server, reinterpret_cast<const sockaddr*>(&address), length) != 0 || ::listen(server, 4) != 0) {
        // The calendar runs without: a later start then only finds the lock and ends.
        close(server);
        return;
    }
    m_server = server;
    m_socketPath = path;
    m_notifier = new QSocketNotifier(m_server, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TSingleInstance::accept);
}

void TSingleInstance::accept() {
    const int client = accept4(m_server, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
        return;
    }
    // The request is one byte, sent right after connecting.
    timeval wait{1, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    char request = 0;
    const bool asked = PeerIsThisUser(client) && recv(client, &request, 1, 0) == 1 && request == kShowRequest;
    close(client);
    if (asked) {
        emit showRequested();
    }
}

} // namespace kestrivel
