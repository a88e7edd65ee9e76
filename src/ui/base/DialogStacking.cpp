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
    // Windows the window manager does not frame (the XEmbed tray icon's) are no dialogs.
    if (!window.isWindow() || &window == &m_calendar ||
        (window.windowFlags() & (Qt::BypassWindowManagerHint | Qt::FramelessWindowHint))) {
        return false;
    }
    const Qt::WindowType type = window.windowType();
    return type == Qt::Dialog || type == Qt::Window || type == Qt::Sheet || type == Qt::Tool;
}

void TDialogStacking::follow(QWidget& dialog) const {
    const bool onTop = m_calendar.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        return;
    }
    // Changed in place, as the calendar's own switch does: no new window, no hide and show.
    const Qt::WindowFlags flags = dialog.windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
    dialog.overrideWindowFlags(flags);
    if (QWindow* window = dialog.windowHandle()) {
        window->setFlags(flags);
    }
}

void TDialogStacking::Restack() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (IsDialog(*widget)) {
            follow(*widget);
            if (widget->isVisible()) {
                widget->raise();
            }
        }
    }
}

bool TDialogStacking::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() != QEvent::Polish && event->type() != QEvent::Show) || !watched->isWidgetType()) {
        return QObject::eventFilter(watched, event);
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (!IsDialog(*widget)) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Polish) {
        // Before its native window exists: a dialog made while the calendar stays on top is made so.
        // Its states are not changed while it is shown, where they would undo what others set then.
        follow(*widget);
    } else if (QWindow* window = widget->windowHandle(); window && window->transientParent() == nullptr) {
        // Sent before the window is mapped: a window manager keeps a transient window above the
        // window it belongs to, within its layer.
        window->setTransientParent(m_calendar.windowHandle());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrivel
