#pragma once

#include <QFrame>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace kestrivel {

// The date entry box "pnlDate" laid over the calendar's title: arrows "updDate" (a month back or
// on), the text field "edtDate" and the button "btnDate" (the current month). It only reports what
// the user did; the calendar window decides what that means.
class TDateBox : public QFrame {
    Q_OBJECT
public:
    explicit TDateBox(QWidget* parent);

    QWidget* updDate() const { return m_updDate; }
    QToolButton* updDatePrevious() const { return m_updDatePrevious; }
    QToolButton* updDateNext() const { return m_updDateNext; }
    QLineEdit* edtDate() const { return m_edtDate; }
    QPushButton* btnDate() const { return m_btnDate; }

    // Places the box (in the parent's logical pixels) and lays out its parts.
    void Place(const QRect& box);
    // Forgets a key pressed before the box opened or closed.
    void ForgetKey() { m_keyPressed = 0; }

signals:
    // An arrow: one month on (`next`) or back.
    void stepRequested(bool next);
    // "btnDate": the current month.
    void todayRequested();
    // A key let go in the text field or on the button, after its own press there.
    void keyUp(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_updDate = nullptr;
    QToolButton* m_updDatePrevious = nullptr;
    QToolButton* m_updDateNext = nullptr;
    QLineEdit* m_edtDate = nullptr;
    QPushButton* m_btnDate = nullptr;
    // The key last pressed in the box: a release counts only after its own press, so the Enter that
    // chose "Go to month..." in the menu does not also close the box it opened.
    int m_keyPressed = 0;
};

} // namespace kestrivel
