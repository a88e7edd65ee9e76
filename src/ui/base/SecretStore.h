#pragma once

#include <functional>
#include <string>

class QObject;

namespace kestrivel {

// What the desktop's secret store said about one entry.
struct TSecretAnswer {
    enum class Kind {
        Done,    // read (Secret holds it), written or removed
        Missing, // no such entry
        NoStore, // no store runs here: no session bus, or no secret service on it
        Failed,  // the store refused or failed; Error says why
    };
    Kind Result = Kind::Missing;
    std::string Secret;
    std::string Error;
};
using SecretDone = std::function<void(const TSecretAnswer&)>;

// The desktop's secret store (Secret Service on GNOME and Xfce, KWallet on KDE) through QtKeychain,
// under the service "Kestrivel". Each call starts a job and returns at once; `done` runs later, on
// the calling thread's event loop, when the store answered, and never once `context` is gone. A
// store that cannot run answers NoStore without being asked: no bus is started for it.
void ReadSecretLater(const std::string& key, QObject* context, SecretDone done);
void WriteSecretLater(const std::string& key, const std::string& secret, QObject* context, SecretDone done);
// Removing an entry that does not exist counts as done.
void DeleteSecretLater(const std::string& key, QObject* context, SecretDone done);

// How long a read waits for the store: one that never answers (a hung keyring daemon) must not
// stop the sync for good, while one that asks the user to unlock it gets the time to type.
inline constexpr int kSecretWaitMs = 60'000;

// The same for the command line, which has no window to keep painting: waits for the answer, at
// most kSecretWaitMs. False with a one-line reason in `error` when there is no store, it is locked
// and stays so, it holds no such entry, or it did not answer in time.
bool ReadSecret(const std::string& key, std::string& secret, std::string& error);

// Whether a secret store can answer on this desktop: a session bus, and KWallet or a Secret
// Service (with libsecret to reach it) running or startable on it. Asks the bus, never starts one.
bool SecretStoreReachable(std::string& reason);

// The key of the sync password: the user and the server, so two accounts keep two passwords.
std::string SyncPasswordKey(const std::string& user, const std::string& server);

} // namespace kestrivel
