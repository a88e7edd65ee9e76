#pragma once

#include <string>

namespace kestrivel {

// The desktop's secret store (Secret Service on GNOME and Xfce, KWallet on KDE) through QtKeychain,
// under the service "Kestrivel". Each call waits for the store's answer on the calling thread,
// which needs a running Qt application object but no window. False with a one-line reason in
// `error` when there is no store, it is locked and stays so, or it holds no such entry.
bool ReadSecret(const std::string& key, std::string& secret, std::string& error);
bool WriteSecret(const std::string& key, const std::string& secret, std::string& error);
// Removing an entry that does not exist counts as done.
bool DeleteSecret(const std::string& key, std::string& error);

// The key of the sync password: the user and the server, so two accounts keep two passwords.
std::string SyncPasswordKey(const std::string& user, const std::string& server);

} // namespace kestrivel
