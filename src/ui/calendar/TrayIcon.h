#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;

namespace kestrivel {

class TServices;
struct TLocaleFormats;

// The notification-area icon: the program's icon, today's long date as its tooltip, the calendar's
// menu as its context menu, and its activation for Display/Hide.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    TTrayIcon(TServices& services, const TLocaleFormats& formats, QMenu& menu, QObject* parent = nullptr);

    // Adds the icon whether or not a tray host runs yet: at login the host may start after the
    // calendar, and the icon appears when it does. Without one the calendar's own menu offers the
    // same commands. Only the first instance gets this far.
    void Add();
    bool IsAdded() const { return m_icon != nullptr; }
    // The tooltip: today's long date, cut to 63 characters, and below it the warning and the status
    // lines, if any.
    void Refresh();
    // The tooltip's last line (the last sync); empty for none.
    void SetStatusLine(const QString& line);
    // A line above it that warns (memos not saved); empty for none.
    void SetWarningLine(const QString& line);
    QString ToolTip() const { return m_toolTip; }

    // The host's activation: Display/Hide when it is the host's way of opening the calendar.
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

signals:
    // The icon was activated: Display/Hide.
    void activated();

private:
    TServices& m_services;
    const TLocaleFormats& m_formats;
    QMenu& m_menu;
    QSystemTrayIcon* m_icon = nullptr;
    // Docked through a StatusNotifierItem host (KDE, GNOME's AppIndicator, Xfce's status tray) rather
    // than an XEmbed tray.
    bool m_statusNotifier = false;
    QString m_toolTip;
    QString m_statusLine;
    QString m_warningLine;
};

// Whether an activation shows or hides the calendar. An XEmbed tray reports a click as Trigger and a
// double click as Trigger then DoubleClick, so the double click is the command there. A
// StatusNotifierItem host reports its own activation (a click, or Enter on the item) as Trigger and
// never a double click, so Trigger is the command there.
bool ActivationTogglesCalendar(QSystemTrayIcon::ActivationReason reason, bool statusNotifierHost);

} // namespace kestrivel
