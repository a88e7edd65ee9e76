#include "calendar/TrayIcon.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "common/DateFormat.h"
#include "common/DateValue.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace kestrivel {

TTrayIcon::TTrayIcon(TServices& services, const TLocaleFormats& formats, QMenu& menu, QObject* parent)
    : QObject(parent), m_services(services), m_formats(formats), m_menu(menu) {}

void TTrayIcon::Add() {
    if (m_icon) {
        return;
    }
    m_icon = new QSystemTrayIcon(QIcon(QPixmap::fromImage(TrayIconImage())), this);
    m_icon->setContextMenu(&m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) {
            emit activated();
        }
    });
    Refresh();
    m_icon->show();
}

void TTrayIcon::Refresh() {
    const QDate today = m_services.Now().date();
    TDateValue date = 0;
    m_toolTip.clear();
    if (TryEncodeDate(today.year(), today.month(), today.day(), date)) {
        m_toolTip = TextToQString(FormatDate("dddddd", date, m_formats)).left(63);
    }
    if (m_icon) {
        m_icon->setToolTip(m_toolTip);
    }
}

} // namespace kestrivel
