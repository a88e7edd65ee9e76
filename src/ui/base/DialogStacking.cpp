#include "base/DialogStacking.h"

#include "base/X11Window.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
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
    const bool onTop = OnTop();
    if (dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        return;
    }
    // The widget's flags hold the state, for a native window made later and for the next comparison.
    const Qt::WindowFlags flags = dialog.windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
    dialog.overrideWindowFlags(flags);
    // An existing native window is asked in place. Changing its flags would make Qt give the dialog
    // a new native window at its next showing, which loses its window type (no minimise button).
    if (QWindow* window = dialog.windowHandle(); window != nullptr && !AskAbove(dialog, onTop)) {
        window->setFlags(flags);
    }
}

bool TDialogStacking::OnTop() const {
    return m_calendar.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

bool TDialogStacking::AnyDialogShown() const {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && IsDialog(*widget)) {
            return true;
        }
    }
    return false;
}

void TDialogStacking::GiveKeyboardBack() {
    // Only when the last of them closed, and not while a menu has the keys.
    if (!m_calendar.isVisible() || AnyDialogShown() || QApplication::activePopupWidget() != nullptr ||
        m_calendar.isActiveWindow()) {
        return;
    }
    m_calendar.activateWindow();
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
    const QEvent::Type type = event->type();
    if ((type != QEvent::Polish && type != QEvent::Show && type != QEvent::ShowToParent &&
         type != QEvent::Hide) ||
        !watched->isWidgetType()) {
        return QObject::eventFilter(watched, event);
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (!IsDialog(*widget)) {
        return QObject::eventFilter(watched, event);
    }
    if (type == QEvent::Hide) {
        // A dialog that had the keyboard gives it back to the calendar: otherwise the window manager
        // keeps it, and a tool window is never offered by Alt+Tab. Once the window is gone, so that
        // the window manager has nothing left to give it to first.
        if (!event->spontaneous() && (widget->isActiveWindow() || QApplication::activeWindow() == nullptr)) {
            QTimer::singleShot(0, this, &TDialogStacking::GiveKeyboardBack);
        }
    } else if (type == QEvent::Polish) {
        // At its first showing, before its window is mapped: a dialog shown while the calendar stays
        // on top is mapped so. Its states are not changed while it is shown, where they would undo
        // what others set then.
        follow(*widget);
    } else if (type == QEvent::Show) {
        QWindow* window = widget->windowHandle();
        if (window && window->transientParent() == nullptr) {
            // Sent before the window is mapped: a window manager keeps a transient window above the
            // window it belongs to, within its layer.
            window->setTransientParent(m_calendar.windowHandle());
        }
        // A window manager drops the states of a window it unmaps; the native window's flags may be
        // older than the calendar's state.
        if (window && window->flags().testFlag(Qt::WindowStaysOnTopHint) != OnTop()) {
            AskAbove(*widget, OnTop());
        }
    } else if (type == QEvent::ShowToParent && widget->windowHandle() &&
               widget->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint) != OnTop()) {
        // Mapped now: Qt added the states of the window's own flags, which the calendar's state beats.
        AskAbove(*widget, OnTop());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrivel
