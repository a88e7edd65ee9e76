#pragma once

#include <QString>

namespace kestrivel {

// Desktop notifications through the freedesktop.org notification service
// (org.freedesktop.Notifications on the session bus), as the program "Kestrivel" with its icon
// "kestrivel". The call is sent without waiting for its answer: a missing bus or service, or a slow
// one, never holds up the calendar, and nothing is reported.
static constexpr const char* kNotificationAppName = "Kestrivel";
static constexpr const char* kNotificationIcon = "kestrivel";

// Sends one notification; false when no session bus could take it (the service's answer is not
// waited for).
bool SendDesktopNotification(const QString& summary, const QString& body);

} // namespace kestrivel
