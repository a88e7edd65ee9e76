#include "calendar/TrayIcon.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "common/DateFormat.h"
#include "common/DateValue.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QtWidgets/private/qsystemtrayicon_p.h>

namespace kestrivel {

bool ActivationTogglesCalendar(QSystemTrayIcon::ActivationReason reason, bool statusNotifierHost) {
    return reason == (statusNotifierHost ? QSystemTrayIcon::Trigger : QSystemTrayIcon::DoubleClick);
}

TTrayIcon::TTrayIcon(TServices& services, const TLocaleFormats& formats, QMenu& menu, QObject* parent)
    : QObject(parent), m_services(services), m_formats(formats), m_menu(menu) {}

void TTrayIcon::Add() {
    if (m_icon) {
        return;
    }
    QIcon icon;
    for (const QImage& image : TrayIconImages()) {
        icon.addPixmap(QPixmap::fromImage(image));
    }
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setContextMenu(&m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, &TTrayIcon::OnActivated);
    Refresh();
    m_icon->show();
    // Qt docks the icon through the platform's StatusNotifierItem support when a host is registered
    // on the session bus, and through its own XEmbed icon otherwise; the two report activations
    // differently.
    m_statusNotifier = static_cast<QSystemTrayIconPrivate*>(QObjectPrivate::get(m_icon))->qpa_sys != nullptr;
}

void TTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (ActivationTogglesCalendar(reason, m_statusNotifier)) {
        emit activated();
    }
}

void TTrayIcon::Refresh() {
    const QDate today = m_services.Now().date();
    TDateValue date = 0;
    m_toolTip.clear();
    if (TryEncodeDate(today.year(), today.month(), today.day(), date)) {
        m_toolTip = TextToQString(FormatDate("dddddd", date, m_formats)).left(63);
    }
    for (const QString& line : {m_warningLine, m_statusLine}) {
        if (!line.isEmpty()) {
            m_toolTip += QLatin1Char('\n') + line;
        }
    }
    if (m_icon) {
        m_icon->setToolTip(m_toolTip);
    }
}

void TTrayIcon::SetWarningLine(const QString& line) {
    m_warningLine = line;
    Refresh();
}

void TTrayIcon::SetStatusLine(const QString& line) {
    m_statusLine = line;
    Refresh();
}

} // namespace kestrivel
