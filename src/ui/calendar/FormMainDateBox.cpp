#include "calendar/FormMain.h"

#include "base/QtPlatform.h"
#include "base/Services.h"
#include "base/Translator.h"
#include "base/UnitMessages.h"
#include "calendar/DateBox.h"
#include "common/DateFormat.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

// The calendar window's date entry box: made at its first showing, laid over the title, and the
// months it moves to.

namespace kestrivel {

// Made at its first showing: its widgets cost more to make than the rest of the window together.
void TfrmMain::createDateBox() {
    m_dateBox = new TDateBox(this);
    connect(m_dateBox, &TDateBox::stepRequested, this, &TfrmMain::updDateClick);
    connect(m_dateBox, &TDateBox::todayRequested, this, &TfrmMain::btnDateClick);
    connect(m_dateBox, &TDateBox::keyUp, this, &TfrmMain::edtDateKeyUp);
    m_translator.TranslateLate(*this);
    FormResize();
}

QFrame* TfrmMain::pnlDate() const {
    return m_dateBox;
}

QWidget* TfrmMain::updDate() const {
    return m_dateBox ? m_dateBox->updDate() : nullptr;
}

QToolButton* TfrmMain::updDatePrevious() const {
    return m_dateBox ? m_dateBox->updDatePrevious() : nullptr;
}

QToolButton* TfrmMain::updDateNext() const {
    return m_dateBox ? m_dateBox->updDateNext() : nullptr;
}

QLineEdit* TfrmMain::edtDate() const {
    return m_dateBox ? m_dateBox->edtDate() : nullptr;
}

QPushButton* TfrmMain::btnDate() const {
    return m_dateBox ? m_dateBox->btnDate() : nullptr;
}

bool TfrmMain::DateBoxShown() const {
    return m_dateBox != nullptr && m_dateBox->isVisible();
}

QRect TfrmMain::DateBoxDeviceRect() const {
    for (const TCalendarBox& box : m_model.Boxes) {
        if (box.Kind == TBoxKind::Title) {
            // Inset by 2 pixels at 96 dpi, as the text in the title.
            const int inset = static_cast<int>(ScaledPixels(2, DeviceDpi(screen())));
            return QRect(box.Left + inset, box.Top + inset, m_model.TitleWidth - 2 * inset,
                         m_model.TitleHeight - 2 * inset);
        }
    }
    return {};
}

void TfrmMain::FormResize() {
    if (m_dateBox == nullptr) {
        return;
    }
    const QRect device = DateBoxDeviceRect();
    const qreal scale = devicePixelRatioF();
    m_dateBox->Place(
        QRect(QPoint(static_cast<int>(device.left() / scale), static_cast<int>(device.top() / scale)),
              QSize(std::max(0, static_cast<int>(device.width() / scale)),
                    std::max(0, static_cast<int>(device.height() / scale)))));
}

void TfrmMain::ShowDateBox(bool visible) {
    if (DateBoxShown() == visible) {
        return;
    }
    if (m_dateBox == nullptr) {
        createDateBox();
    }
    // A hidden text field that kept the focus would still take the keys it knows (Home) from the
    // calendar, now and after every dialog that gives the focus back to it.
    if (!visible && m_dateBox->isAncestorOf(focusWidget())) {
        setFocus(Qt::OtherFocusReason);
    }
    m_dateBox->setVisible(visible);
    m_dateBox->ForgetKey();
    // The mask takes the box in or leaves it out again.
    DrawCalendar();
}

void TfrmMain::SetDateText(TDateValue date) {
    m_dateBox->edtDate()->setText(TextToQString(FormatDate("ddddd", date, m_formats)));
}

void TfrmMain::edtDateKeyUp(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        TDateValue date = 0;
        if (ParseShortDate(m_dateBox->edtDate()->text().toStdString(), m_formats, date)) {
            const TYmd typed = DecodeDate(date);
            SetOffsets(typed.Year - m_model.TodayYear, typed.Month - m_model.TodayMonth);
            ShowDateBox(false);
            // A shown cursor goes on from the day typed.
            CursorFollowsMonth(false, typed.Day);
            return;
        }
        ShowError(m_services, this, 1);
        ShowDateBox(false);
    } else if (key == Qt::Key_Escape) {
        ShowDateBox(false);
    }
}

void TfrmMain::updDateClick(bool next) {
    MoveMonths(next ? 1 : -1);
}

void TfrmMain::btnDateClick() {
    SetOffsets(0, 0);
    TDateValue today = 0;
    if (TryEncodeDate(m_model.TodayYear, m_model.TodayMonth, m_model.TodayDay, today)) {
        SetDateText(today);
    }
}

} // namespace kestrivel
