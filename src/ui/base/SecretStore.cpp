#include "base/SecretStore.h"

#include <QEventLoop>
#include <QString>

#include <qt6keychain/keychain.h>

namespace kestrivel {

namespace {

static constexpr const char* kService = "Kestrivel";

// Starts `job` and waits for its answer in a loop of its own, so the caller sees a plain call. The
// loop ends only when the job finished, so the job may live on the caller's frame.
bool RunJob(QKeychain::Job& job, std::string& error) {
    job.setAutoDelete(false);
    // Never a plain-text file beside the settings when no store runs.
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    if (job.error() == QKeychain::NoError) {
        return true;
    }
    error = job.errorString().toStdString();
    if (error.empty()) {
        error = "the secret store did not answer";
    }
    return false;
}

} // namespace

bool ReadSecret(const std::string& key, std::string& secret, std::string& error) {
    QKeychain::ReadPasswordJob job(QString::fromLatin1(kService));
    job.setKey(QString::fromStdString(key));
    if (!RunJob(job, error)) {
        return false;
    }
    secret = job.textData().toStdString();
    return true;
}

bool WriteSecret(const std::string& key, const std::string& secret, std::string& error) {
    QKeychain::WritePasswordJob job(QString::fromLatin1(kService));
    job.setKey(QString::fromStdString(key));
    job.setTextData(QString::fromStdString(secret));
    return RunJob(job, error);
}

bool DeleteSecret(const std::string& key, std::string& error) {
    QKeychain::DeletePasswordJob job(QString::fromLatin1(kService));
    job.setKey(QString::fromStdString(key));
    std::string reason;
    if (RunJob(job, reason) || job.error() == QKeychain::EntryNotFound) {
        return true;
    }
    error = reason;
    return false;
}

std::string SyncPasswordKey(const std::string& user, const std::string& server) {
    return "sync:" + user + "@" + server;
}

} // namespace kestrivel
