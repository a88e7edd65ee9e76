#include "config/SubscriptionSettings.h"

#include "config/IniFile.h"

#include <algorithm>
#include <string_view>

namespace kestrivel {

namespace {

constexpr const char* SubscriptionSection = "Subscriptions";

struct TSubscriptionKey {
    const char* Key;
    std::string TSubscription::*Field;
};

// The keys of one subscription, each followed by its number from 1; all default to empty. The
// password has no key: it never reaches a file others may read.
const TSubscriptionKey SubscriptionKeys[] = {
    {"Name", &TSubscription::Name},
    {"Address", &TSubscription::Address},
    {"User", &TSubscription::User},
};

std::string numbered(const char* key, int number) {
    return key + std::to_string(number);
}

} // namespace

std::vector<TSubscription> LoadSubscriptions(const std::string& iniPath) {
    const TIniFile ini(iniPath);
    std::vector<TSubscription> out;
    for (int number = 1; number <= kMaxSubscriptions; ++number) {
        TSubscription subscription;
        for (const TSubscriptionKey& key : SubscriptionKeys) {
            subscription.*key.Field = ini.readString(SubscriptionSection, numbered(key.Key, number), "");
        }
        if (subscription.Address.empty()) {
            break;
        }
        out.push_back(std::move(subscription));
    }
    return out;
}

void WriteSubscriptions(TIniFile& ini, const std::vector<TSubscription>& subscriptions) {
    const int count = std::min(static_cast<int>(subscriptions.size()), kMaxSubscriptions);
    for (int number = 1; number <= count; ++number) {
        for (const TSubscriptionKey& key : SubscriptionKeys) {
            ini.setString(SubscriptionSection, numbered(key.Key, number),
                          subscriptions[static_cast<size_t>(number - 1)].*key.Field);
        }
    }
    // The reading stops at the first number without an address.
    const std::string next = numbered("Address", count + 1);
    if (ini.valueExists(SubscriptionSection, next)) {
        ini.setString(SubscriptionSection, next, "");
    }
}

} // namespace kestrivel
