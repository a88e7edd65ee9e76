#include "calendar/FormMain.h"

#include "base/QtPlatform.h"
#include "base/Translator.h"
#include "calendar/CalendarAccessible.h"
#include "calendar/CalendarCursor.h"
#include "calendar/DayCursor.h"
#include "calendar/MonthHitTest.h"
#include "config/ConfigData.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

// The calendar by keyboard: a day cursor that the arrow keys move and Enter and the menu act on, and
// what screen readers are told of the days.

namespace kestrivel {

bool TfrmMain::CursorKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if ((key == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        OpenCursorMenu();
        return true;
    }
    if (modifiers != Qt::NoModifier) {
        return false;
    }
    switch (key) {
    case Qt::Key_Left:
        MoveCursor(-1);
        return true;
    case Qt::Key_Right:
        MoveCursor(1);
        return true;
    case Qt::Key_Up:
        MoveCursor(-7);
        return true;
    case Qt::Key_Down:
        MoveCursor(7);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_cursorDay == 0) {
            return false;
        }
        // As a double click on that day: its memo for modification, else a new one.
        m_hoverDay = m_cursorDay;
        PopMenu_MemoClick();
        return true;
    case Qt::Key_Escape:
        if (m_cursorDay == 0) {
            return false;
        }
        HideCursor();
        return true;
    default:
        return false;
    }
}

void TfrmMain::MoveCursor(int days) {
    // The first redraw sets the month the cursor lives in.
    if (m_model.TodayYear == 0) {
        DrawCalendar();
    }
    if (m_cursorDay == 0) {
        m_cursorDay = CursorStartDay(m_model);
        days = 0;
    }
    const TYmd from{m_model.DisplayYear, m_model.DisplayMonth, m_cursorDay};
    TYmd to;
    if (!StepDay(from, days, to)) {
        to = from;
    }
    m_cursorDay = to.Day;
    // The menu's "Add a memo..." acts on the cursor's day until the mouse points at another.
    m_hoverDay = m_cursorDay;
    const int months = (to.Year - from.Year) * 12 + (to.Month - from.Month);
    if (months == 0) {
        DrawCalendar();
    } else {
        MoveMonths(months);
        // At the end of the range of dates the month stays: so does the cursor.
        if (m_model.DisplayYear != to.Year || m_model.DisplayMonth != to.Month) {
            m_cursorDay = m_hoverDay = from.Day;
            DrawCalendar();
        }
    }
    AnnounceCursor();
}

void TfrmMain::CursorFollowsMonth(bool show, int day) {
    if (m_cursorDay == 0 && !show) {
        return;
    }
    if (day != 0) {
        m_cursorDay = day;
    } else if (m_cursorDay == 0) {
        m_cursorDay = CursorStartDay(m_model);
    }
    // The redraw keeps the day within the month; "Add a memo..." acts on it.
    DrawCalendar();
    m_hoverDay = m_cursorDay;
    AnnounceCursor();
}

void TfrmMain::AnnounceCursor() {
    if (m_cursorDay == 0) {
        return;
    }
    // The day's hint, as the mouse would show it, below the ring: its memos read by keyboard too.
    const QString hint = TextToQString(
        HintText(m_model, m_cursorDay, m_config.Memos, m_formats, "\n", ShownEvents(), AllDayWord()));
    QToolTip::showText(mapToGlobal(DayRect(m_cursorDay).bottomLeft()), hint, this);
    CalendarCursorMoved(*this);
}

void TfrmMain::GiveKeyboard() {
    // A calendar minimised with a dialog (a window manager may take the two together) comes back too.
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
    if (m_cursorDay == 0) {
        MoveCursor(0);
    } else {
        CalendarCursorMoved(*this);
    }
}

void TfrmMain::HideCursor() {
    if (m_cursorDay != 0) {
        m_cursorDay = 0;
        QToolTip::hideText();
        DrawCalendar();
    }
}

void TfrmMain::OpenCursorMenu() {
    if (m_popMenu->isVisible()) {
        return;
    }
    if (m_cursorDay == 0) {
        MoveCursor(0);
    }
    m_hoverDay = m_cursorDay;
    m_popMenu->popup(mapToGlobal(DayRect(m_cursorDay).bottomLeft()));
}

void TfrmMain::DrawCursor(int dpi) {
    if (m_cursorDay == 0) {
        return;
    }
    // A shorter month shown by the page keys keeps the cursor on its last day.
    m_cursorDay = std::clamp<int>(m_cursorDay, 1, std::max<int>(m_model.DaysInMonth, 1));
    DrawDayCursor(m_buffer, m_model, m_cursorDay, m_config.CurrentScheme, dpi);
}

void TfrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The memo editor and the configuration dialog are modal, the menu a popup: the cursor waits for
    // the calendar's return. A window of another program ends it.
    if (event->type() != QEvent::ActivationChange) {
        return;
    }
    if (!isActiveWindow()) {
        if (QApplication::activeModalWidget() == nullptr && QApplication::activePopupWidget() == nullptr) {
            HideCursor();
        }
        return;
    }
    // Back from a dialog, the editor or the menu: the focus event Qt sends for the window names only
    // the list, so the cursor's day is told after it (to screen readers: the hint is for moves).
    QTimer::singleShot(0, this, [this] {
        if (isActiveWindow() && m_cursorDay != 0) {
            CalendarCursorMoved(*this);
        }
    });
}

QString TfrmMain::DayName(int day) const {
    return TextToQString(DayAccessibleName(m_model, day, m_config.Memos, m_formats, m_translator.TodayWord(),
                                           ShownEvents(), AllDayWord()));
}

QString TfrmMain::ColumnName(int column) const {
    const int startOfWeek = std::clamp<int>(m_config.Options.StartOfWeek, 1, 7);
    return TextToQString(m_formats.LongDayNames[static_cast<size_t>((startOfWeek - 1 + column) % 7)]);
}

QRect TfrmMain::DayRect(int day) const {
    for (const TCalendarBox& box : m_model.Boxes) {
        if (box.Kind == TBoxKind::Day && box.Day == day) {
            // The model counts device pixels.
            const qreal scale = devicePixelRatioF();
            return QRectF(box.Left / scale, box.Top / scale, (box.Right - box.Left) / scale,
                          (box.Bottom - box.Top) / scale)
                .toAlignedRect();
        }
    }
    return {};
}

} // namespace kestrivel
