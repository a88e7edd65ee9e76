#pragma once

#include <QObject>

class QWidget;

namespace kestrivel {

// Every dialog, editor and message box of the program stacks above the calendar window while it is
// open: it is made transient for the calendar and, while the calendar stays on top of other
// windows, stays on top as well, so a window manager puts it in the calendar's layer above it. The
// calendar keeps its own level throughout and is above other windows again when they close. When the
// last of them that had the keyboard closes, the calendar takes the keyboard back.
class TDialogStacking : public QObject {
    Q_OBJECT
public:
    // Watches every window the program shows; `calendar` outlives this object.
    TDialogStacking(QWidget& calendar, QObject* parent);
    ~TDialogStacking() override;

    // The calendar's stay-on-top state changed: every dialog follows it, open ones at once.
    void Restack();
    // Whether `window` is one of the program's dialogs that stack above the calendar: a top-level
    // window other than the calendar, its menus, its hints and frameless windows.
    bool IsDialog(const QWidget& window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the dialog the calendar's stay-on-top state.
    void follow(QWidget& dialog) const;
    bool OnTop() const;
    bool AnyDialogShown() const;
    void GiveKeyboardBack();

    QWidget& m_calendar;
};

} // namespace kestrivel
