#include "base/DialogStacking.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace kestrivel {

TDialogStacking::TDialogStacking(QWidget& calendar, QObject* parent) : QObject(parent), m_calendar(calendar) {
    qApp->installEventFilter(this);
}

TDialogStacking::~TDialogStacking() {
    qApp->removeEventFilter(this);
}

bool TDialogStacking::IsDialog(const QWidget& window) const {
    if (!window.isWindow() || &window == &m_calendar) {
        return false;
    }
    const Qt::WindowType type = window.windowType();
    return type == Qt::Dialog || type == Qt::Window || type == Qt::Sheet || type == Qt::Tool;
}

void TDialogStacking::stack(QWidget& dialog) const {
    QWindow* window = dialog.windowHandle();
    QWindow* calendar = m_calendar.windowHandle();
    if (window == nullptr || calendar == nullptr) {
        return;
    }
    // A window manager keeps a transient window above the window it belongs to, within its layer.
    if (window->transientParent() == nullptr) {
        window->setTransientParent(calendar);
    }
    const bool onTop = m_calendar.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        // Set on the native window in place, as the calendar's own switch does: no new window.
        const Qt::WindowFlags flags = dialog.windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
        dialog.overrideWindowFlags(flags);
        window->setFlags(flags);
    }
}

void TDialogStacking::Restack() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && IsDialog(*widget)) {
            stack(*widget);
            widget->raise();
        }
    }
}

bool TDialogStacking::eventFilter(QObject* watched, QEvent* event) {
    // Sent before the window is mapped, when a window manager still reads its states.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (IsDialog(*widget)) {
            stack(*widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrivel
