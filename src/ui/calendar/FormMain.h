#pragma once

#include "base/QtPlatform.h"
#include "calendar/MonthModel.h"
#include "common/DateValue.h"

#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

class QFrame;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace kestrivel {

class TConfigData;
class TDateBox;
class TDayEvents;
class EventDays;
class TServices;
class TTranslator;
struct TLocaleFormats;

// The calendar window: a frameless tool window showing only the painted calendar; the key colour is
// cut out of it with a mask so the desktop shows through and takes the clicks there. It draws, follows
// the mouse, shows the hint and opens its menu; the program connects its commands to the rest.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 142;
    static constexpr int kDesignHeight = 120;

    // The window reads the shared data at every redraw and command and holds no copies of it; its
    // words come from the translator.
    TfrmMain(TConfigData& config, TServices& services, const TTranslator& translator,
             const TLocaleFormats& formats, const ITextMeasurer& measurer, QWidget* parent = nullptr);
    // Saves nothing: an error box must not appear while the program ends; "Close" saves.
    ~TfrmMain() override = default;

    // The only routine that paints: model, buffer, window size, mask, then a repaint.
    void DrawCalendar();
    // Places the window at the data owner's position, kept on the screen.
    void LoadSettings();
    // Saves the window's position through the data owner; false (after showing the error) when the
    // file cannot be written.
    bool SaveSettings();
    // The window moved: while it has the focus or follows a drag, keep it on the screen and save the
    // position: at once for the first move, then at most every kPositionSaveMs while moves go on, and
    // the last position when they stop.
    void Moved();
    // Writes a position still waiting for its turn; "Close" does before the program ends.
    void FlushPosition();
    static constexpr int kPositionSaveMs = 500;
    const QTimer& PositionSaveTimer() const { return m_positionSaveTimer; }

    const TMonthModel& Model() const { return m_model; }
    const QImage& Buffer() const { return m_buffer; }
    const QRegion& MaskRegion() const { return m_maskRegion; }

    int YearOffset() const { return m_yearOffset; }
    int MonthOffset() const { return m_monthOffset; }
    int HoverDay() const { return m_hoverDay; }
    // Navigation: the shown month's distance from the current one; redraws.
    void SetOffsets(int yearOffset, int monthOffset);
    // Shows the month `months` on (back for a negative count) across year ends; redraws, and the date
    // entry box follows the shown month.
    void MoveMonths(int months);
    // The wheel moves one month per notch of this many eighths of a degree; a fine wheel's small
    // steps are gathered until they make a notch.
    static constexpr int kWheelNotch = 120;
    // The day under the pointer (values outside the month for blank boxes, 0 for none).
    void SetHoverDay(int day);
    // Painted on transparency at the last redraw (a compositor runs) rather than cut out by a mask.
    bool Translucent() const { return m_translucent; }
    // The window's place and size in device pixels, the unit of "Left" and "Top" on every scale.
    QRect DeviceRect() const;
    // The events drawn beside the memos (none: the memos alone); the caller redraws.
    void SetDayEvents(TDayEvents* events) { m_events = events; }
    // Those of the shown month, for the hint, the names of the days and the editor; null for none.
    const EventDays* ShownEvents() const;
    std::string AllDayWord() const;

    // --- Lifetime ---

    // Every showing: the program translates and checks for an update (showing()), then the redraw.
    void FormShow();
    // Switches the stay-on-top state; the window keeps its place and visibility.
    void AlwaysOnTop(bool on);

    // --- Popup menu (also the notification-area icon's menu) ---

    QMenu* PopMenu() const { return m_popMenu; }
    // Enables "Add a memo..." only over a day of the shown month.
    void PopMenuPopup();
    // Hides a visible calendar that has the focus; otherwise shows it and brings it to the front.
    void PopMenu_ShowHideClick();
    // "Add a memo...": the memo of the last day hovered, even when the menu came from the icon.
    void PopMenu_MemoClick();
    // "Go to month...": the date entry box with the shown month's date, the text field focused.
    void PopMenu_MonthClick();

    // --- Mouse: hint, dragging, double click ---

    // Hit-tests the point (window pixels) into HoverDay and makes the day's text the window's hint
    // (toolTip()), shown at once at the global point; cleared outside the days.
    void FormMouseMove(const QPoint& point, const QPoint& globalPoint);
    // A press closes the date entry box when it lies outside it, and may begin a drag.
    void FormMouseDown(Qt::MouseButton button, const QPoint& point, const QPoint& globalPoint);
    // Outside the days: the date entry box; on a day: that day's memo.
    void FormDblClick();
    // A button must carry the pointer this far (Manhattan length) before a press becomes a drag, so
    // that clicks, double clicks and the secondary button's menu stay what they are.
    static constexpr int kDragThreshold = 4;
    bool Dragging() const { return m_dragMode != DragMode::None; }

    // --- Date entry box ---

    // None of these exist before the box is first shown.
    QFrame* pnlDate() const;
    QWidget* updDate() const;
    QToolButton* updDatePrevious() const;
    QToolButton* updDateNext() const;
    QLineEdit* edtDate() const;
    QPushButton* btnDate() const;
    // Lays the box over the title box, inset by 2 pixels at 96 dpi (after every redraw).
    void FormResize();
    // Enter moves to the month typed (error 1 when it is no date) and closes; Escape closes.
    void edtDateKeyUp(int key);
    // One month on (`next`) or back, across year ends; the box stays open.
    void updDateClick(bool next);
    // Back to the current month; the box stays open.
    void btnDateClick();

    // --- Keyboard day cursor and screen readers (FormMainCursor.cpp) ---

    // The day of the shown month the cursor is on; 0 while it is hidden (before the first arrow key,
    // after Escape or a click).
    int CursorDay() const { return m_cursorDay; }
    // Arrows move the cursor (the month follows across its ends), Enter opens the day's memo as a
    // double click does, Escape hides the cursor, Shift+F10 and the menu key open the menu for the
    // cursor's day. False for any other key.
    bool CursorKey(const QKeyEvent& event);
    void HideCursor();
    // A later start asked for the calendar: it shows, comes to the front and takes the keyboard, with
    // the day cursor shown (on its day, or where the first arrow key would put it). The start at login
    // takes no keyboard from what the user is typing into.
    void GiveKeyboard();
    // Opens the menu at the cursor's day, which "Add a memo..." then acts on; the cursor shows first.
    void OpenCursorMenu();
    // What a screen reader says for a day of the shown month (empty for none), the name of a grid
    // column's day of the week, and a day's box in window coordinates.
    QString DayName(int day) const;
    QString ColumnName(int column) const;
    QRect DayRect(int day) const;

signals:
    // A showing begins: the program applies the chosen language and runs the automatic update check
    // before the window draws.
    void showing();
    // Commands that reach beyond the window; the program connects them.
    void addMemoRequested(int year, int month, int day);
    void configureRequested();
    void updateRequested();
    void exitRequested();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Turned away from the user: the month before; towards the user: the month after, as a list of
    // months scrolls.
    void wheelEvent(QWheelEvent* event) override;
    // Page Up the month before, Page Down the month after, Home the current month.
    void keyPressEvent(QKeyEvent* event) override;
    // Another program's window taking the focus hides the day cursor; the calendar's own dialogs and
    // menu do not.
    void changeEvent(QEvent* event) override;

private:
    void FormPaint();
    QRect ScreenRectFor(const QRect& windowRect) const;
    // The position the window takes at (left, top) after the keep-on-screen rule.
    QPoint KeptOnScreen(int left, int top) const;
    bool IsActive() const;
    void PositionSaveTimeout();
    void createPopMenu();
    bool HoverDayInMonth() const;
    // The month model's inputs for today, the shown month and the screen's resolution.
    TMonthInputs ModelInputs(int dpi);
    // Sizes the window to the buffer and cuts it to the painted pixels (and the open date box).
    void ApplyShape();
    void createDateBox();
    bool DateBoxShown() const;
    // Shows or hides the date entry box; the mask takes it in while it is open.
    void ShowDateBox(bool visible);
    void SetDateText(TDateValue date);
    // SetOffsets, with an open date entry box showing the new month.
    void ShowMonth(int yearOffset, int monthOffset);
    // The box's place in device pixels, the model's unit; empty without a title box.
    QRect DateBoxDeviceRect() const;
    // Window pixels as the model counts them (device pixels on a scaled screen).
    QPoint ToDevice(const QPointF& point) const;
    void DragTo(const QPoint& globalPoint);
    // Saves where the drag left the window.
    void EndDrag();
    bool SaveSettingsAt(const QPoint& position);

    TConfigData& m_config;
    TServices& m_services;
    const TTranslator& m_translator;
    const TLocaleFormats& m_formats;
    const ITextMeasurer& m_measurer;
    int m_yearOffset = 0;
    int m_monthOffset = 0;
    int m_hoverDay = 0;
    TDayEvents* m_events = nullptr;
    TMonthModel m_model;
    QImage m_buffer;
    QRegion m_maskRegion;
    bool m_translucent = false;
    // Measures at the device resolution of a scaled screen; the given measurer serves 96 dpi.
    std::unique_ptr<QtTextMeasurer> m_deviceMeasurer;
    bool m_inMoved = false;
    QTimer m_positionSaveTimer;
    bool m_positionPending = false;

    QMenu* m_popMenu = nullptr;
    bool m_changingFlags = false;

    // A press waits as Pending until the pointer passes kDragThreshold; then the window follows the
    // pointer (Moving), kept on the screen, until the button is let go.
    enum class DragMode { None, Pending, Moving };
    DragMode m_dragMode = DragMode::None;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPoint m_pressGlobal;
    // Device pixels: the window's place at the press and the place the drag gave it last.
    QPoint m_pressWindowPos;
    QPoint m_dragPosition;

    TDateBox* m_dateBox = nullptr;
    // Wheel turning not yet worth a whole month, in the wheel's units.
    int m_wheelTurn = 0;

    // The cursor's ring over the painted calendar (after every redraw while it shows), at `dpi`.
    void DrawCursor(int dpi);
    // `days` on from the cursor's day; a hidden cursor shows on its first day instead.
    void MoveCursor(int days);
    // Another month is shown by a key, the date box or the wheel: the cursor keeps its day (the last
    // of a shorter month), or goes to `day` when it is given, and is told. A hidden cursor shows (on
    // `day` or its first day) when `show` is set and stays hidden otherwise.
    void CursorFollowsMonth(bool show, int day = 0);
    // The cursor's day as the hint shows it, and its focus event for screen readers.
    void AnnounceCursor();
    int m_cursorDay = 0;
};

} // namespace kestrivel
