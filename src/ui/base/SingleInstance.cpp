#include "base/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace kestrivel {

TSingleInstance::TSingleInstance(const QString& name, const QString& folder) {
    QString where = folder;
    if (where.isEmpty()) {
        where = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (where.isEmpty()) {
        where = QDir::tempPath();
    }
    m_lock = std::make_unique<QLockFile>(where + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // A lock left by a crashed instance is taken over: QLockFile checks the recorded process.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_first = m_lock->error() != QLockFile::LockFailedError;
    }
}

TSingleInstance::~TSingleInstance() = default;

} // namespace kestrivel
