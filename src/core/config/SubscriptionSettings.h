#pragma once

#include <string>
#include <vector>

namespace kestrivel {

class TIniFile;

// A calendar published as an .ics file (public holidays, a team's calendar) that the calendar shows
// read-only beside the memos. Its password, like the sync's, is never written to Settings.ini: it is
// given by whoever runs the refresh.
struct TSubscription {
    std::string Name;    // shown after each of its events; the address when empty
    std::string Address; // https://, http:// or webcal:// (read as https://)
    std::string User;    // credentials only when the user gave a name
    std::string Password{};

    // What the calendar names its events by: the name, or the address without one.
    const std::string& source() const { return Name.empty() ? Address : Name; }
    bool operator==(const TSubscription&) const = default;
};

// More than any desk shows; further entries in the file are not read.
inline constexpr int kMaxSubscriptions = 64;

// Section "Subscriptions" of the settings file: Name1, Address1, User1, Name2, ... up to the first
// number without an address.
std::vector<TSubscription> LoadSubscriptions(const std::string& iniPath);
// The same keys into `ini`, unsaved; the entries after the last one given lose their address, so a
// removed subscription is not read again. A file without subscriptions and none given stays as it
// was.
void WriteSubscriptions(TIniFile& ini, const std::vector<TSubscription>& subscriptions);

} // namespace kestrivel
