#pragma once

#include "calendar/MonthModel.h"
#include "base/QtPlatform.h"
#include "common/DateValue.h"
#include "common/NameValueList.h"
#include "lang/MessageTable.h"

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QFrame;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QToolButton;

namespace kestrivel {

class TClockWatch;
class TConfigData;
class TServices;
class TUpdateCheck;
struct TLocaleFormats;

// The calendar window: a frameless tool window showing only the painted calendar; the key colour is
// cut out of it with a mask so the desktop shows through and takes the clicks there.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 142;
    static constexpr int kDesignHeight = 120;
    static constexpr int kDefaultLeft = 40;
    static constexpr int kDefaultTop = 40;

    // The window reads the shared data at every redraw and command and holds no copies of it.
    TfrmMain(TConfigData& config, TServices& services, const TLocaleFormats& formats,
             const ITextMeasurer& measurer, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The only routine that paints: model, buffer, window size, mask, then a repaint.
    void DrawCalendar();
    // Reads "Left"/"Top" of section "Settings" and places the window, kept on the screen.
    void LoadSettings();
    // Writes the window's position; false (after showing the error) when the file cannot be written.
    bool SaveSettings();
    // The window moved: while it has the focus, keep it on the screen and save the position: at once
    // for the first move, then at most every kPositionSaveMs while moves go on, and the last position
    // when they stop.
    void Moved();
    // Writes a position still waiting for its turn (end of a drag, closing).
    void FlushPosition();
    static constexpr int kPositionSaveMs = 500;
    const QTimer& PositionSaveTimer() const { return m_positionSaveTimer; }

    TNameValueList& WordList() { return m_wordList; }
    const TMonthModel& Model() const { return m_model; }
    const QImage& Buffer() const { return m_buffer; }
    const QRegion& MaskRegion() const { return m_maskRegion; }
    TConfigData& Config() const { return m_config; }
    TServices& Services() const { return m_services; }

    int YearOffset() const { return m_yearOffset; }
    int MonthOffset() const { return m_monthOffset; }
    int HoverDay() const { return m_hoverDay; }
    // Navigation: the shown month's distance from the current one; redraws.
    void SetOffsets(int yearOffset, int monthOffset);
    // The day under the pointer (values outside the month for blank boxes, 0 for none).
    void SetHoverDay(int day);
    // Tests stand in for the window system's focus.
    void SetActiveProbe(std::function<bool()> probe) { m_activeProbe = std::move(probe); }
    // Tests stand in for the compositing manager.
    void SetCompositorProbe(std::function<bool()> probe) { m_compositorProbe = std::move(probe); }
    // Painted on transparency at the last redraw (a compositor runs) rather than cut out by a mask.
    bool Translucent() const { return m_translucent; }
    // The window's place and size in device pixels, the unit of "Left" and "Top" on every scale.
    QRect DeviceRect() const;

    // --- Lifetime: show handler, new day, stay on top, notification-area icon ---

    // Every showing: translation with the chosen language file, the automatic update check (its
    // answer comes later), then the redraw.
    void FormShow();
    // Switches the stay-on-top state; the window keeps its place and visibility, the icon stays one.
    void AlwaysOnTop(bool on);
    // The icon's tooltip: today's long date, cut to 63 characters.
    void TrayIconRefresh();
    // Every second: a new day number means a new day.
    void TimerTimer();
    // Takes the new date and redraws; the shown month keeps its distance from the current one.
    void TimeChanged();
    // Adds the notification-area icon (only the first instance does, and only where a tray exists).
    void AddTrayIcon();
    bool HasTrayIcon() const { return m_tray != nullptr; }
    QString TrayToolTip() const { return m_trayToolTip; }

    // --- Translation ---

    // Loads the language file from the program folder and applies it to the registered windows
    // (the configuration dialog, this window, the memo editor) and the three lists.
    void TranslateTo(const std::string& languageFile);
    // A window created after start-up is registered once and translated at once with the language
    // applied last.
    void RegisterTranslatedWindow(QWidget* window);
    void SetValueNames(TNameValueList* valueNames) { m_valueNames = valueNames; }

    // --- Popup menu ---

    QMenu* PopMenu() const { return m_popMenu; }
    // Enables "Add a memo..." only over a day of the shown month.
    void PopMenuPopup();
    // Hides a visible calendar that has the focus; otherwise shows it and brings it to the front.
    void PopMenu_ShowHideClick();
    void PopMenu_UpdateClick();
    // "Add a memo...": the memo of the last day hovered, even when the menu came from the icon.
    void PopMenu_MemoClick();
    // "Go to month...": the date entry box with the shown month's date, the text field focused.
    void PopMenu_MonthClick();
    TUpdateCheck& UpdateInfo() const { return *m_updateCheck; }

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
    QFrame* pnlDate() const { return m_pnlDate; }
    QWidget* updDate() const { return m_updDate; }
    QToolButton* updDatePrevious() const { return m_updDatePrevious; }
    QToolButton* updDateNext() const { return m_updDateNext; }
    QLineEdit* edtDate() const { return m_edtDate; }
    QPushButton* btnDate() const { return m_btnDate; }
    // Lays the box over the title box, inset by 2 pixels (after every redraw).
    void FormResize();
    // Enter moves to the month typed (error 1 when it is no date) and closes; Escape closes.
    void edtDateKeyUp(int key);
    // One month on (`next`) or back, across year ends; the box stays open.
    void updDateClick(bool next);
    // Back to the current month; the box stays open.
    void btnDateClick();

signals:
    // Commands that open the other windows; the program connects them.
    void addMemoRequested(int year, int month, int day);
    void configureRequested();
    void exitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormPaint();
    QRect ScreenRectFor(const QRect& windowRect) const;
    // The position the window takes at (left, top) after the keep-on-screen rule.
    QPoint KeptOnScreen(int left, int top) const;
    bool IsActive() const;
    void PositionSaveTimeout();
    void createPopMenu();
    bool HoverDayInMonth() const;
    void createDateBox();
    // Gives `window`, made after the last translation, that translation (nothing before the first).
    void TranslateLate(QWidget& window);
    bool DateBoxShown() const;
    // Shows or hides the date entry box; the mask takes it in while it is open.
    void ShowDateBox(bool visible);
    void SetDateText(TDateValue date);
    // The box's place in device pixels, the model's unit; empty without a title box.
    QRect DateBoxDeviceRect() const;
    // Window pixels as the model counts them (device pixels on a scaled screen).
    QPoint ToDevice(const QPointF& point) const;
    void DragTo(const QPoint& globalPoint);
    void EndDrag();

    TConfigData& m_config;
    TServices& m_services;
    const TLocaleFormats& m_formats;
    const ITextMeasurer& m_measurer;
    std::function<bool()> m_activeProbe;
    int m_yearOffset = 0;
    int m_monthOffset = 0;
    int m_hoverDay = 0;
    TNameValueList m_wordList = BuiltInWeekdays();
    TMonthModel m_model;
    QImage m_buffer;
    QRegion m_maskRegion;
    std::function<bool()> m_compositorProbe;
    bool m_translucent = false;
    // Measures at the device resolution of a scaled screen; the given measurer serves 96 dpi.
    std::unique_ptr<QtTextMeasurer> m_deviceMeasurer;
    bool m_inMoved = false;
    QTimer m_positionSaveTimer;
    bool m_positionPending = false;

    QMenu* m_popMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QString m_trayToolTip;
    QTimer* m_timer = nullptr;
    TClockWatch* m_clockWatch = nullptr;
    TUpdateCheck* m_updateCheck = nullptr;
    std::string m_languageFile; // applied last; empty before the first translation
    bool m_translated = false;
    bool m_changingFlags = false;
    std::vector<QPointer<QWidget>> m_translatedWindows;
    TNameValueList* m_valueNames = nullptr;

    // A press waits as Pending until the pointer passes kDragThreshold; then the window system moves
    // the window (System) or the window follows the pointer itself (Own).
    enum class DragMode { None, Pending, System, Own };
    DragMode m_dragMode = DragMode::None;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPoint m_pressGlobal;
    QPoint m_pressWindowPos;

    QFrame* m_pnlDate = nullptr;
    QWidget* m_updDate = nullptr;
    QToolButton* m_updDatePrevious = nullptr;
    QToolButton* m_updDateNext = nullptr;
    QLineEdit* m_edtDate = nullptr;
    QPushButton* m_btnDate = nullptr;
    // The key last pressed in the box: a release counts only after its own press, so the Enter that
    // chose "Go to month..." in the menu does not also close the box it opened.
    int m_dateKeyPressed = 0;
};

// The rectangle of the screen nearest to `windowRect` among `screens`: the one holding most of it,
// else the closest. An empty rectangle when there is no screen.
QRect NearestScreen(const QRect& windowRect, const QList<QRect>& screens);

} // namespace kestrivel
