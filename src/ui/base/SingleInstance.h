#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;
class QSocketNotifier;

namespace kestrivel {

// One running calendar per desktop session. `name` carries the application title and the session
// ("Kestrivel-x11-0"). The first instance holds the lock file "<name>.lock" in the first of `folders`
// that can hold one (the runtime folder, then the configuration folder) and listens on the socket
// file "<name>.socket" beside it; a later start of the same session asks it to show the calendar and
// ends. A lock whose holder is gone, or that names no holder at all, is taken over; a lock that
// cannot be used (a folder of that name, a file that cannot be replaced) is passed by for the next
// folder. A folder that other users may write to is never used.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    TSingleInstance(const QString& name, const QStringList& folders, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // False when another live instance holds the lock. When no folder can hold a lock, the running
    // instance (if any) is found by its socket.
    bool IsFirst() const { return m_first; }
    // The first instance runs without a lock: a later start may not find it.
    bool Unlocked() const { return m_first && !m_lock; }
    // Not the first instance: asks the running one to show its calendar. False when none answered.
    bool AskToShow() const;
    // The lock file held by the first instance; empty when none could be made.
    QString LockFile() const;
    // The socket file the first instance listens on; empty when it listens on none.
    QString SocketFile() const { return m_socketPath; }

    // Whether `folder` may hold the lock and the socket: a folder of this user that no one else may
    // write to. `ownerOnly` asks for more, as the runtime folder's rules do: no one else may even
    // enter it (0700).
    static bool SafeFolder(const QString& folder, bool ownerOnly);

signals:
    // A later start asked for the calendar.
    void showRequested();

private:
    // Takes the lock in `folder`: 1 taken, 0 held by another instance, -1 the folder cannot hold it.
    int lockIn(const QString& folder);
    QString socketIn(const QString& folder) const;
    // A connected socket to a calendar of this user listening in `folder`, or -1.
    int connectIn(const QString& folder) const;
    void listen(const QString& folder);
    void accept();

    QString m_name;
    QStringList m_folders;
    std::unique_ptr<QLockFile> m_lock;
    // The folder whose lock decided who runs; empty when none could hold one.
    QString m_folder;
    bool m_first = true;
    int m_server = -1;
    QString m_socketPath;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kestrivel
