#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace kestrivel {

// One running instance per user: a lock file named after the application title in the user's
// runtime folder. The lock is held until the object is destroyed, which the program does last.
class TSingleInstance {
public:
    // `folder` empty: the user's runtime folder (else the temporary folder).
    explicit TSingleInstance(const QString& name, const QString& folder = QString());
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // False only when another live instance holds the lock. A lock that cannot be made at all
    // (no folder, no rights) counts as the first instance, so the calendar still starts.
    bool IsFirst() const { return m_first; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_first = true;
};

} // namespace kestrivel
