#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;
class QSocketNotifier;

namespace kestrivel {

// One running calendar per user. The first instance holds a lock file named after the application
// title in the first of `folders` that can hold one (the runtime folder, then the configuration
// folder) and listens on a local socket; a later start asks it to show the calendar and ends. A
// lock whose holder is gone, or that names no holder at all, is taken over.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    TSingleInstance(const QString& name, const QStringList& folders, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // False when another live instance holds the lock. When no folder can hold a lock, the running
    // instance (if any) is found by its socket.
    bool IsFirst() const { return m_first; }
    // Not the first instance: asks the running one to show its calendar. False when none answered.
    bool AskToShow() const;
    // The lock file held by the first instance; empty when none could be made.
    QString LockFile() const;

signals:
    // A later start asked for the calendar.
    void showRequested();

private:
    // Takes the lock in `folder`: 1 taken, 0 held by another instance, -1 the folder cannot hold it.
    int lockIn(const QString& folder);
    // Whether an instance listens on the socket.
    bool instanceAnswers() const;
    void listen();
    void accept();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    bool m_first = true;
    int m_server = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kestrivel
