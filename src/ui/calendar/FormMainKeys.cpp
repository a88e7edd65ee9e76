#include "calendar/FormMain.h"

#include "calendar/DateBox.h"

#include <QKeyEvent>
#include <QWheelEvent>

// The calendar window's quick ways between months: the wheel and the keys.

namespace kestrivel {

void TfrmMain::ShowMonth(int yearOffset, int monthOffset) {
    SetOffsets(yearOffset, monthOffset);
    // An open box tells which month is shown; a closed one is set anew when it opens.
    if (m_dateBox != nullptr) {
        SetDateText(m_model.DisplayDate);
    }
}

void TfrmMain::MoveMonths(int months) {
    // From the month on the screen: the offsets count from the model's today, which the first
    // redraw sets.
    if (m_model.TodayYear == 0) {
        DrawCalendar();
    }
    int yearOffset = m_yearOffset;
    int monthOffset = m_monthOffset;
    StepMonths(m_model.TodayYear, m_model.TodayMonth, months, yearOffset, monthOffset);
    ShowMonth(yearOffset, monthOffset);
}

void TfrmMain::wheelEvent(QWheelEvent* event) {
    const int turn = event->angleDelta().y();
    if (turn == 0) {
        event->ignore();
        return;
    }
    // A turn the other way starts afresh: what was gathered the first way never cancels a notch.
    if ((turn > 0) != (m_wheelTurn > 0) && m_wheelTurn != 0) {
        m_wheelTurn = 0;
    }
    m_wheelTurn += turn;
    const int notches = m_wheelTurn / kWheelNotch;
    m_wheelTurn -= notches * kWheelNotch;
    if (notches != 0) {
        MoveMonths(-notches);
        CursorFollowsMonth(false);
    }
    event->accept();
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // Keys the date box's field leaves unused (Return, Escape, Up, Down) are its own: they act when
    // released there, and must not move the cursor or open the cursor's day underneath.
    const bool inDateBox = m_dateBox != nullptr && m_dateBox->isAncestorOf(focusWidget());
    if (!inDateBox && CursorKey(*event)) {
        event->accept();
        return;
    }
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_PageUp:
        MoveMonths(-1);
        CursorFollowsMonth(true);
        break;
    case Qt::Key_PageDown:
        MoveMonths(1);
        CursorFollowsMonth(true);
        break;
    case Qt::Key_Home:
        ShowMonth(0, 0);
        // The current month's cursor is on today.
        CursorFollowsMonth(true, m_model.TodayDay);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace kestrivel
