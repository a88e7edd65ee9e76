#pragma once

#include "common/DateValue.h"

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace kestrivel {

class TConfigData;
class TMemoList;
class TServices;
struct TLocaleFormats;

// Up-down arrows bound to a text field: an arrow (or the Up/Down key in the field) reads the
// field's number, steps it by one within Min..Max without wrapping and writes it back as plain
// digits. The field stays the place the value is typed in.
class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    UpDownArrows(QLineEdit* associate, int min, int max, QWidget* parent = nullptr);

    // The value typed in the field; 0 when the field holds no number.
    int Position() const;
    // Writes `value`, held within Min..Max, into the field.
    void SetPosition(int value);
    void Step(int delta);

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_associate;
    int m_min;
    int m_max;
    QToolButton* m_up;
    QToolButton* m_down;
};

// The memo editor: one modal dialog created at start and reused for every opening. It never
// touches the memo list; the caller presets Date, Text and MemoType, shows it, and reads them back
// after OK.
class TfrmMemo : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 272;
    static constexpr int kClientHeight = 192;

    explicit TfrmMemo(TServices& services, QWidget* parent = nullptr);
    ~TfrmMemo() override;

    // In: the date shown. Out: in add mode the date typed; in modify mode the preset, unchanged.
    TDateValue Date = 0;
    // In and out: the one-line form of the text (";" for each line break).
    std::string Text;
    // In and out: the type code 0..3.
    uint16_t MemoType = 0;

    // Modify mode: the date controls are dimmed and not read on "Ok"; the fields stay readable (read
    // only, reached by Tab) for keyboards and screen readers.
    void LockDate();
    // Add mode.
    void UnlockDate();
    bool DateLocked() const { return m_dateLocked; }

    // Fills the controls from the fields and shows the dialog modally: QDialog::Accepted after a
    // valid "Ok", QDialog::Rejected otherwise.
    int ShowModal();
    // Tests run the dialog without a nested event loop: ShowModal fills and shows the dialog, calls
    // `loop` (which drives the widgets) and returns the result; a dialog still open is cancelled.
    void SetModalLoop(std::function<void(TfrmMemo&)> loop) { m_modalLoop = std::move(loop); }

    // Add mode: the list whose dates are taken. "Ok" on one of them, or with the list full, says so
    // and keeps the dialog open with everything typed; none (the default) leaves the check to the
    // caller.
    void SetTakenDates(const TMemoList* memos) { m_takenDates = memos; }
    // The long date a screen reader hears with the text box; the formats outlive the editor.
    void SetDateFormats(const TLocaleFormats& formats) { m_formats = &formats; }

    // "Ok": checks the date in add mode (error 1, 4 or 6, and the dialog stays open), reads the fields
    // back and closes with OK.
    void btnOkClick();

    QLabel* lblDay() const { return m_lblDay; }
    QLineEdit* edtDay() const { return m_edtDay; }
    UpDownArrows* updDay() const { return m_updDay; }
    QLabel* lblMonth() const { return m_lblMonth; }
    QComboBox* cmbMonth() const { return m_cmbMonth; }
    QLabel* lblYear() const { return m_lblYear; }
    QLineEdit* edtYear() const { return m_edtYear; }
    UpDownArrows* updYear() const { return m_updYear; }
    QPlainTextEdit* memText() const { return m_memText; }
    // The day's events, read-only under the memo, one line each; none hides them and the editor keeps
    // its own size. memEvents() is null until a day with events was shown.
    void SetEvents(const QStringList& lines);
    QPlainTextEdit* memEvents() const { return m_memEvents; }
    QLabel* lblMax() const { return m_lblMax; }
    QLabel* lblType() const { return m_lblType; }
    QComboBox* cmbMemoType() const { return m_cmbMemoType; }
    QPushButton* btnOk() const { return m_btnOk; }
    QPushButton* btnCancel() const { return m_btnCancel; }

protected:
    // Keeps the month list of a locked date from changing while it stays reachable.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // Screen readers hear the text box as "Memo" (the window's caption) with the day typed above it
    // and the limit as its description.
    void describeForScreenReaders();
    void FormShow();
    void setDateControlsEnabled(bool enabled);
    // Keeps the text box within its limit as the user types or pastes.
    void memTextChange();

    TServices& m_services;
    bool m_dateLocked = false;
    const TMemoList* m_takenDates = nullptr;
    const TLocaleFormats* m_formats = nullptr;
    std::function<void(TfrmMemo&)> m_modalLoop;
    std::string m_lastText; // the text box as it stood after the last accepted edit

    QLabel* m_lblDay = nullptr;
    QLineEdit* m_edtDay = nullptr;
    UpDownArrows* m_updDay = nullptr;
    QLabel* m_lblMonth = nullptr;
    QComboBox* m_cmbMonth = nullptr;
    QLabel* m_lblYear = nullptr;
    QLineEdit* m_edtYear = nullptr;
    UpDownArrows* m_updYear = nullptr;
    QPlainTextEdit* m_memText = nullptr;
    QPlainTextEdit* m_memEvents = nullptr;
    QLabel* m_lblMax = nullptr;
    QLabel* m_lblType = nullptr;
    QComboBox* m_cmbMemoType = nullptr;
    QPushButton* m_btnOk = nullptr;
    QPushButton* m_btnCancel = nullptr;
};

// Protocols 1 and 2, from the calendar (double click on a day, "Add a memo..."): the memo dated
// that day is opened for modification, else a new one preset to that day is added. `redraw` is
// called where the calendar must repaint. Does nothing for an impossible date.
void EditMemoOfDay(TfrmMemo& editor, TConfigData& config, TServices& services, int year, int month, int day,
                   const std::function<void()>& redraw);
// Protocol 3 ("Add..." of the Memos tab): true when a memo was added (the caller refills its grid).
bool AddMemoFromTab(TfrmMemo& editor, TConfigData& config, TServices& services);
// Protocol 4 ("Modify..." of the Memos tab, or double click on a row): true after OK.
bool ModifyMemoFromTab(TfrmMemo& editor, TConfigData& config, TServices& services, int index);

} // namespace kestrivel
