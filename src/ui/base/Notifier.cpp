#include "base/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace kestrivel {

namespace {

static constexpr const char* kService = "org.freedesktop.Notifications";
static constexpr const char* kPath = "/org/freedesktop/Notifications";
static constexpr const char* kInterface = "org.freedesktop.Notifications";
// The installed desktop entry (packaging/), by which a server groups the notification with the program.
static constexpr const char* kDesktopEntry = "org.example.kestrivel";
// The server's own choice of how long the notification stays.
static constexpr int kServerTimeout = -1;

} // namespace

bool SendDesktopNotification(const QString& summary, const QString& body) {
    // Without an address libdbus would start a bus of its own for the X display (autolaunch): no bus
    // means no notification.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kInterface), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QLatin1String(kDesktopEntry)}};
    call << QLatin1String(kNotificationAppName) << uint(0) << QLatin1String(kNotificationIcon) << summary
         << body << QStringList() << hints << kServerTimeout;
    return bus.send(call);
}

} // namespace kestrivel
