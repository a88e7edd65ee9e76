#include "base/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QSocketNotifier>
#include <QThread>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrivel {

namespace {

// The request a later start sends.
constexpr char kShowRequest = 'S';

// An abstract socket: it needs no folder that can be written, and disappears with its process. The
// user's id keeps one user's calendar from answering another's.
sockaddr_un SocketAddress(const QString& name, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray id = QStringLiteral("kestrivel-%1-%2").arg(getuid()).arg(name).toUtf8().left(100);
    std::memcpy(address.sun_path + 1, id.constData(), static_cast<size_t>(id.size()));
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + id.size());
    return address;
}

// A connected socket to the running instance, or -1.
int ConnectTo(const QString& name) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    socklen_t length = 0;
    const sockaddr_un address = SocketAddress(name, length);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TSingleInstance::TSingleInstance(const QString& name, const QStringList& folders, QObject* parent)
    : QObject(parent), m_name(name) {
    bool locked = false;
    for (const QString& folder : folders) {
        if (folder.isEmpty()) {
            continue;
        }
        const int result = lockIn(folder);
        if (result >= 0) {
            m_first = result == 1;
            locked = true;
            break;
        }
    }
    // No folder could hold a lock: the socket alone tells whether a calendar runs.
    if (!locked) {
        m_first = !instanceAnswers();
    }
    if (m_first) {
        listen();
    }
}

TSingleInstance::~TSingleInstance() {
    if (m_server >= 0) {
        close(m_server);
    }
}

int TSingleInstance::lockIn(const QString& folder) {
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(m_name + QStringLiteral(".lock")));
    // Never stale by age: the first instance holds its lock for days. A holder that is no longer
    // running is recognised by the process recorded in the file.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError) {
            return -1;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock->getLockInfo(&pid, &host, &application)) {
            return 0;
        }
        // A file naming no holder is junk (an empty or damaged file), or one an instance is writing
        // this instant; a running instance answers on its socket within that instant.
        QThread::msleep(100);
        if (lock->getLockInfo(&pid, &host, &application) || instanceAnswers()) {
            return 0;
        }
        if (!lock->removeStaleLockFile() || !lock->tryLock(0)) {
            return lock->error() == QLockFile::LockFailedError ? 0 : -1;
        }
    }
    m_lock = std::move(lock);
    return 1;
}

QString TSingleInstance::LockFile() const {
    return m_lock ? m_lock->fileName() : QString();
}

bool TSingleInstance::instanceAnswers() const {
    const int fd = ConnectTo(m_name);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

bool TSingleInstance::AskToShow() const {
    const int fd = ConnectTo(m_name);
    if (fd < 0) {
        return false;
    }
    const bool sent = ::send(fd, &kShowRequest, 1, MSG_NOSIGNAL) == 1;
    close(fd);
    return sent;
}

void TSingleInstance::listen() {
    m_server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    socklen_t length = 0;
    const sockaddr_un address = SocketAddress(m_name, length);
    if (m_server < 0 || bind(m_server, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(m_server, 4) != 0) {
        // The calendar runs without: a later start then only finds the lock and ends.
        if (m_server >= 0) {
            close(m_server);
            m_server = -1;
        }
        return;
    }
    m_notifier = new QSocketNotifier(m_server, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TSingleInstance::accept);
}

void TSingleInstance::accept() {
    const int client = accept4(m_server, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
        return;
    }
    // Only the same user may ask; the request is one byte, sent right after connecting.
    ucred peer{};
    socklen_t size = sizeof(peer);
    const bool sameUser =
        getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
    timeval wait{1, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    char request = 0;
    const bool asked = sameUser && recv(client, &request, 1, 0) == 1 && request == kShowRequest;
    close(client);
    if (asked) {
        emit showRequested();
    }
}

} // namespace kestrivel
