#include "base/SecretStore.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QFileInfo>
#include <QLibrary>
#include <QString>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <utility>

namespace kestrivel {

namespace {

static constexpr const char* kService = "Kestrivel";
static constexpr const char* kSecretService = "org.freedesktop.secrets";
static constexpr const char* const kWallets[] = {"org.kde.kwalletd6", "org.kde.kwalletd5",
                                                 "org.kde.kwalletd"};

TSecretAnswer AnswerOf(const QKeychain::Job& job) {
    TSecretAnswer answer;
    switch (job.error()) {
    case QKeychain::NoError:
        answer.Result = TSecretAnswer::Kind::Done;
        break;
    case QKeychain::EntryNotFound:
        answer.Result = TSecretAnswer::Kind::Missing;
        break;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        answer.Result = TSecretAnswer::Kind::NoStore;
        break;
    default:
        answer.Result = TSecretAnswer::Kind::Failed;
        break;
    }
    if (answer.Result != TSecretAnswer::Kind::Done) {
        answer.Error = job.errorString().toStdString();
        if (answer.Error.empty()) {
            answer.Error = "the secret store did not answer";
        }
    }
    return answer;
}

// A job of the store for `context`, which owns it (a job whose asker is gone is dropped), or null
// when no store can run: `done` then hears NoStore on the next turn of the loop, so callers see one
// order of events whatever the desktop.
template <typename Job> Job* MakeJob(const std::string& key, QObject* context, SecretDone& done) {
    std::string reason;
    if (!SecretStoreReachable(reason)) {
        QTimer::singleShot(0, context, [done = std::move(done), reason] {
            done({TSecretAnswer::Kind::NoStore, {}, reason});
        });
        return nullptr;
    }
    auto* job = new Job(QString::fromLatin1(kService), context);
    job->setKey(QString::fromStdString(key));
    // Never a plain-text file beside the settings when no store runs.
    job->setInsecureFallback(false);
    job->setAutoDelete(true);
    return job;
}

// Starts `job` and hands its answer, completed by `read`, to `done`.
template <typename Job>
void Start(Job* job, SecretDone done, std::function<void(TSecretAnswer&, const Job&)> read = nullptr) {
    QObject::connect(job, &QKeychain::Job::finished, job->parent(),
                     [done = std::move(done), read = std::move(read)](QKeychain::Job* finished) {
                         TSecretAnswer answer = AnswerOf(*finished);
                         if (read) {
                             read(answer, static_cast<const Job&>(*finished));
                         }
                         done(answer);
                     });
    job->start();
}

// The names on the bus, running (ListNames) or startable (ListActivatableNames). A bus that does not
// answer within its bound has none: nothing on the calendar's thread waits long for it.
QStringList BusNames(const QDBusConnection& bus, const char* method) {
    static constexpr int kBusAnswerMs = 1000;
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    const QDBusMessage answer = bus.call(ask, QDBus::Block, kBusAnswerMs);
    return answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty()
               ? answer.arguments().first().toStringList()
               : QStringList();
}

} // namespace

bool SecretStoreReachable(std::string& reason) {
    // Without an address the bus library would try to start a bus of its own (dbus-launch), which
    // fails or leaves a stray bus behind: no address, no store.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))) {
        reason = "no session bus";
        return false;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        reason = "the session bus cannot be reached";
        return false;
    }
    const QStringList names = BusNames(bus, "ListNames") + BusNames(bus, "ListActivatableNames");
    for (const char* wallet : kWallets) {
        if (names.contains(QString::fromLatin1(wallet))) {
            return true;
        }
    }
    if (!names.contains(QString::fromLatin1(kSecretService))) {
        reason = "no secret service on the session bus";
        return false;
    }
    // QtKeychain reaches the Secret Service through libsecret, loaded when it is installed.
    QLibrary libsecret(QStringLiteral("secret-1"), 0);
    if (!libsecret.load()) {
        reason = "libsecret is not installed";
        return false;
    }
    return true;
}

void ReadSecretLater(const std::string& key, QObject* context, SecretDone done) {
    if (auto* job = MakeJob<QKeychain::ReadPasswordJob>(key, context, done)) {
        Start<QKeychain::ReadPasswordJob>(job, std::move(done),
                                          [](TSecretAnswer& answer, const QKeychain::ReadPasswordJob& read) {
                                              answer.Secret = read.textData().toStdString();
                                          });
    }
}

void WriteSecretLater(const std::string& key, const std::string& secret, QObject* context, SecretDone done) {
    if (auto* job = MakeJob<QKeychain::WritePasswordJob>(key, context, done)) {
        job->setTextData(QString::fromStdString(secret));
        Start(job, std::move(done));
    }
}

void DeleteSecretLater(const std::string& key, QObject* context, SecretDone done) {
    // Removing an entry that is not there is done all the same.
    SecretDone removed = [done = std::move(done)](const TSecretAnswer& answer) {
        done(answer.Result == TSecretAnswer::Kind::Missing ? TSecretAnswer{TSecretAnswer::Kind::Done, {}, {}}
                                                           : answer);
    };
    if (auto* job = MakeJob<QKeychain::DeletePasswordJob>(key, context, removed)) {
        Start(job, std::move(removed));
    }
}

bool ReadSecret(const std::string& key, std::string& secret, std::string& error) {
    QObject context;
    QEventLoop loop;
    TSecretAnswer result;
    bool answered = false;
    ReadSecretLater(key, &context, [&](const TSecretAnswer& answer) {
        result = answer;
        answered = true;
        loop.quit();
    });
    if (!answered) {
        QTimer::singleShot(kSecretWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!answered) {
        error = "the desktop's secret store did not answer within " + std::to_string(kSecretWaitMs / 1000) +
                " seconds";
        return false;
    }
    if (result.Result == TSecretAnswer::Kind::Done) {
        secret = result.Secret;
        return true;
    }
    error = result.Error;
    return false;
}

std::string SyncPasswordKey(const std::string& user, const std::string& server) {
    return "sync:" + user + "@" + server;
}

} // namespace kestrivel
