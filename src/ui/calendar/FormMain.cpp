#include "calendar/FormMain.h"

#include "base/DayEvents.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "base/Translator.h"
#include "base/UnitMessages.h"
#include "base/X11Window.h"
#include "calendar/CalendarAccessible.h"
#include "calendar/CalendarPainter.h"
#include "calendar/MonthHitTest.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

#include <cmath>

namespace kestrivel {

TfrmMain::TfrmMain(TConfigData& config, TServices& services, const TTranslator& translator,
                   const TLocaleFormats& formats, const ITextMeasurer& measurer, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_config(config), m_services(services),
      m_translator(translator), m_formats(formats), m_measurer(measurer) {
    setObjectName(QStringLiteral("frmMain"));
    // No caption of its own (a language file may give one); scripts and tools find the calendar
    // by its role.
    setWindowTitle(QString());
    setWindowRole(QStringLiteral("calendar"));
    setFont(WindowFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Asks for a window with an alpha channel; it is used only while a compositor shows it (see
    // DrawCalendar), otherwise the opaque calendar is cut out with the mask as before.
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kKeyColor));
    setPalette(pal);
    resize(kDesignWidth, kDesignHeight);
    LoadSettings();
    m_positionSaveTimer.setInterval(kPositionSaveMs);
    connect(&m_positionSaveTimer, &QTimer::timeout, this, &TfrmMain::PositionSaveTimeout);

    createPopMenu();
    // Moves without a button pressed reach FormMouseMove, which keeps the hint on the day below.
    setMouseTracking(true);
    InstallCalendarAccessibility();
}

QRect TfrmMain::ScreenRectFor(const QRect& windowRect) const {
    QList<QRect> screens = m_services.ScreenRects();
    if (devicePixelRatioF() != 1.0) {
        for (QRect& screen : screens) {
            screen = DeviceScreenRect(screen);
        }
    }
    return NearestScreen(windowRect, screens);
}

QRect TfrmMain::DeviceRect() const {
    return devicePixelRatioF() == 1.0 ? QRect(pos(), size()) : DeviceGeometry(*this);
}

bool TfrmMain::IsActive() const {
    return m_services.IsActiveWindow(*this);
}

void TfrmMain::SetOffsets(int yearOffset, int monthOffset) {
    m_yearOffset = yearOffset;
    m_monthOffset = monthOffset;
    DrawCalendar();
}

void TfrmMain::SetHoverDay(int day) {
    m_hoverDay = day;
}

void TfrmMain::LoadSettings() {
    MoveToDevicePixel(*this, KeptOnScreen(m_config.Position.Left, m_config.Position.Top));
}

QPoint TfrmMain::KeptOnScreen(int left, int top) const {
    const QSize size = DeviceRect().size();
    const QRect screen = ScreenRectFor(QRect(QPoint(left, top), size));
    if (screen.isValid()) {
        KeepOnScreen(left, top, size.width(), size.height(), screen.left(), screen.top(), screen.width(),
                     screen.height());
    }
    return {left, top};
}

bool TfrmMain::SaveSettings() {
    return SaveSettingsAt(DeviceRect().topLeft());
}

bool TfrmMain::SaveSettingsAt(const QPoint& position) {
    std::string error;
    m_config.Position = {position.x(), position.y()};
    if (!m_config.SavePosition(error)) {
        ShowLibraryError(m_services, this, error);
        return false;
    }
    return true;
}

void TfrmMain::Moved() {
    // A window following the pointer by itself is being dragged like a focused one, whether or not
    // the window system gave it the focus.
    if (m_inMoved || !(IsActive() || m_dragMode == DragMode::Moving)) {
        return;
    }
    m_inMoved = true;
    const QPoint position = DeviceRect().topLeft();
    const QPoint kept = KeptOnScreen(position.x(), position.y());
    if (kept != position) {
        MoveToDevicePixel(*this, kept);
    }
    // Each save rewrites the settings file with its syncs; a drag sends dozens of moves a second.
    if (m_positionSaveTimer.isActive()) {
        m_positionPending = true;
    } else {
        SaveSettings();
        m_positionSaveTimer.start();
    }
    m_inMoved = false;
}

void TfrmMain::PositionSaveTimeout() {
    if (m_positionPending) {
        FlushPosition();
    } else {
        m_positionSaveTimer.stop();
    }
}

void TfrmMain::FlushPosition() {
    if (m_positionPending) {
        m_positionPending = false;
        SaveSettings();
    }
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Moved();
}

const EventDays* TfrmMain::ShownEvents() const {
    return m_events != nullptr ? m_events->month(m_model.DisplayYear, m_model.DisplayMonth) : nullptr;
}

std::string TfrmMain::AllDayWord() const {
    return m_events != nullptr ? m_events->allDay() : std::string();
}

TMonthInputs TfrmMain::ModelInputs(int dpi) {
    TMonthInputs in;
    const QDate today = m_services.Now().date();
    in.TodayYear = today.year();
    in.TodayMonth = today.month();
    in.TodayDay = today.day();
    NormalizeOffsets(in.TodayMonth, m_yearOffset, m_monthOffset);
    in.YearOffset = m_yearOffset;
    in.MonthOffset = m_monthOffset;
    in.Options = &m_config.Options;
    in.Scheme = &m_config.CurrentScheme;
    in.Memos = &m_config.Memos;
    if (m_events != nullptr) {
        int year = 0;
        int month = 0;
        DisplayedMonth(in.TodayYear, in.TodayMonth, m_yearOffset, m_monthOffset, year, month);
        in.Events = m_events->month(year, month);
    }
    in.Formats = &m_formats;
    // A calendar may grow to the whole desktop (in device pixels) where that exceeds the usual bound.
    QRect desktop;
    for (const QRect& rect : m_services.ScreenRects()) {
        desktop = desktop.united(rect);
    }
    in.DesktopWidth = static_cast<int>(desktop.width() * devicePixelRatioF());
    in.DesktopHeight = static_cast<int>(desktop.height() * devicePixelRatioF());
    // The calendar is laid out and painted in device pixels: on a scaled screen its texts are measured
    // and drawn at the screen's resolution, its lines stay one device pixel, and nothing is resampled.
    in.Measurer = &m_measurer;
    in.Dpi = dpi;
    if (dpi != kSurfaceDpi) {
        if (!m_deviceMeasurer || m_deviceMeasurer->Dpi() != dpi) {
            m_deviceMeasurer = std::make_unique<QtTextMeasurer>(WindowFont(dpi), dpi);
        }
        in.Measurer = m_deviceMeasurer.get();
    }
    return in;
}

void TfrmMain::DrawCalendar() {
    const int dpi = DeviceDpi(screen());
    TMonthInputs in = ModelInputs(dpi);
    const std::string weekdays = m_translator.Weekdays();
    in.Weekdays = weekdays;
    GenerateData(in, m_model);

    // Asked at every redraw: a compositing manager may start or stop while the calendar runs.
    m_translucent = testAttribute(Qt::WA_TranslucentBackground) && m_services.CompositorActive(*this);
    kestrivel::DrawCalendar(m_buffer, m_model, &m_config.CurrentScheme, {m_translucent, dpi});
    DrawCursor(dpi);
    ApplyShape();
    FormResize();
    update();
    CalendarRedrawn(*this);
}

void TfrmMain::ApplyShape() {
    // Opaque pixels (mask mode) or pixels with any alpha (translucent): the rest lets clicks through.
    m_maskRegion = OpaqueRegion(m_buffer);
    // A window cannot be smaller than a pixel, and an empty mask would mean no mask at all: a calendar
    // with nothing painted keeps one pixel whose mask lies outside it.
    const QSize device(std::max(m_buffer.width(), 1), std::max(m_buffer.height(), 1));
    QRegion mask = m_maskRegion.isEmpty() ? QRegion(-1, -1, 1, 1) : m_maskRegion;
    // The open date entry box is part of the window, over whatever the title leaves transparent.
    if (DateBoxShown()) {
        mask += DateBoxDeviceRect();
    }
    const qreal scale = devicePixelRatioF();
    if (scale == 1.0) {
        resize(device);
        setMask(mask);
        return;
    }
    // Qt sizes in whole scaled units: the window takes the first such size that holds the calendar
    // (the extra device pixels lie outside the mask), set on the native window so that its place
    // stays on its device pixel, and is cut in device pixels.
    if (!QWidget::mask().isEmpty()) {
        clearMask();
    }
    const auto fit = [scale](int pixels) {
        return static_cast<int>(std::lround(std::ceil(pixels / scale) * scale));
    };
    SetDeviceGeometry(*this, QRect(DeviceRect().topLeft(), QSize(fit(device.width()), fit(device.height()))));
    SetDeviceMask(*this, mask);
}

// --- Lifetime ---

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Before the window is mapped: a window manager reads these states only then.
    if (QWindow* window = windowHandle()) {
        MarkSkipTaskbarAndPager(*window);
        AskNoCompositorShadow(*window);
    }
    // A window restored by the window system is not a new showing.
    if (!event->spontaneous() && !m_changingFlags) {
        FormShow();
    }
}

bool TfrmMain::event(QEvent* event) {
    const bool result = QWidget::event(event);
    // Sent once the window is mapped, which may have been done with a new native window.
    if (event->type() == QEvent::ShowToParent && windowHandle() != nullptr) {
        RemarkMappedWindow(*windowHandle(), windowRole());
    }
    return result;
}

void TfrmMain::FormShow() {
    emit showing();
    DrawCalendar();
}

void TfrmMain::AlwaysOnTop(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) {
        return;
    }
    const Qt::WindowFlags flags = windowFlags().setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow* window = windowHandle()) {
        // Changed on the native window in place: no new window, no hide and show, no new icon.
        overrideWindowFlags(flags);
        window->setFlags(flags);
    } else {
        m_changingFlags = true;
        setWindowFlags(flags);
        m_changingFlags = false;
    }
}

// --- Popup menu ---

void TfrmMain::createPopMenu() {
    m_popMenu = new QMenu(this);
    m_popMenu->setObjectName(QStringLiteral("PopMenu"));
    const auto add = [this](const char* name, const char* caption) {
        QAction* action = m_popMenu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        return action;
    };
    const auto separator = [this](const char* name) {
        QAction* action = m_popMenu->addSeparator();
        action->setObjectName(QString::fromUtf8(name));
    };
    QAction* showHide = add("PopMenu_ShowHide", "Display/Hide");
    m_popMenu->setDefaultAction(showHide);
    separator("PopMenu_N1");
    QAction* memo = add("PopMenu_Memo", "Add a memo...");
    QAction* month = add("PopMenu_Month", "Go to month...");
    QAction* config = add("PopMenu_Config", "Configure...");
    QAction* update = add("PopMenu_Update", "Look for updates");
    separator("PopMenu_N2");
    QAction* exit = add("PopMenu_Exit", "Close");
    connect(m_popMenu, &QMenu::aboutToShow, this, &TfrmMain::PopMenuPopup);
    connect(showHide, &QAction::triggered, this, &TfrmMain::PopMenu_ShowHideClick);
    connect(memo, &QAction::triggered, this, &TfrmMain::PopMenu_MemoClick);
    connect(month, &QAction::triggered, this, &TfrmMain::PopMenu_MonthClick);
    connect(config, &QAction::triggered, this, &TfrmMain::configureRequested);
    connect(update, &QAction::triggered, this, &TfrmMain::updateRequested);
    connect(exit, &QAction::triggered, this, [this] {
        FlushPosition();
        emit exitRequested();
    });
}

bool TfrmMain::HoverDayInMonth() const {
    return m_hoverDay >= 1 && m_hoverDay <= m_model.DaysInMonth;
}

void TfrmMain::PopMenuPopup() {
    if (QAction* memo = m_popMenu->findChild<QAction*>(QStringLiteral("PopMenu_Memo"))) {
        memo->setEnabled(HoverDayInMonth());
    }
}

void TfrmMain::PopMenu_ShowHideClick() {
    if (isVisible() && IsActive()) {
        hide();
        return;
    }
    show();
    raise();
    activateWindow();
}

void TfrmMain::PopMenu_MemoClick() {
    // HoverDay keeps the last day hovered over the calendar, whichever menu was opened.
    emit addMemoRequested(m_model.DisplayYear, m_model.DisplayMonth, m_hoverDay);
    // The editor has closed: the keyboard goes on where it left off, on the calendar's day cursor.
    if (m_cursorDay != 0 && isVisible()) {
        activateWindow();
    }
}

void TfrmMain::PopMenu_MonthClick() {
    if (!isVisible()) {
        show();
    }
    raise();
    activateWindow();
    ShowDateBox(true);
    SetDateText(m_model.DisplayDate);
    edtDate()->selectAll();
    // No label shows beside the field: screen readers name it after the command that opened it.
    edtDate()->setAccessibleName(m_popMenu->findChild<QAction*>(QStringLiteral("PopMenu_Month"))->text());
    edtDate()->setFocus(Qt::PopupFocusReason);
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* event) {
    // The secondary button's menu opens on a release without a drag (mouseReleaseEvent); here only
    // the menu key's, at the day cursor.
    if (event->reason() != QContextMenuEvent::Mouse) {
        OpenCursorMenu();
    }
}

// --- Mouse ---

QPoint TfrmMain::ToDevice(const QPointF& point) const {
    const qreal scale = devicePixelRatioF();
    return QPoint(static_cast<int>(std::floor(point.x() * scale)),
                  static_cast<int>(std::floor(point.y() * scale)));
}

void TfrmMain::FormMouseMove(const QPoint& point, const QPoint& globalPoint) {
    SetHoverDay(HitTestDay(m_model, point.x(), point.y()));
    const QString hint = TextToQString(
        HintText(m_model, m_hoverDay, m_config.Memos, m_formats, "\n", ShownEvents(), AllDayWord()));
    if (hint != toolTip()) {
        setToolTip(hint);
    }
    if (hint.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    // Shown at once instead of after the platform's delay; a new day's text moves it to the pointer.
    QToolTip::showText(globalPoint, hint, this);
}

void TfrmMain::FormMouseDown(Qt::MouseButton button, const QPoint& point, const QPoint& globalPoint) {
    HideCursor();
    if (DateBoxShown() && !DateBoxDeviceRect().contains(point)) {
        ShowDateBox(false);
    }
    QToolTip::hideText();
    m_dragMode = DragMode::Pending;
    m_dragButton = button;
    m_pressGlobal = globalPoint;
    m_pressWindowPos = DeviceRect().topLeft();
    m_dragPosition = m_pressWindowPos;
}

void TfrmMain::DragTo(const QPoint& globalPoint) {
    if (m_dragMode == DragMode::Pending) {
        if ((globalPoint - m_pressGlobal).manhattanLength() < kDragThreshold) {
            return;
        }
        // The window follows the pointer itself: a window manager's move knows only the primary
        // button, lets the window leave the screen and reports no release.
        m_dragMode = DragMode::Moving;
    }
    const QPointF travel = QPointF(globalPoint - m_pressGlobal) * devicePixelRatioF();
    const QPoint wanted = m_pressWindowPos + travel.toPoint();
    m_dragPosition = KeptOnScreen(wanted.x(), wanted.y());
    if (m_dragPosition != DeviceRect().topLeft()) {
        MoveToDevicePixel(*this, m_dragPosition);
    }
}

void TfrmMain::EndDrag() {
    const bool moved = m_dragMode == DragMode::Moving;
    m_dragMode = DragMode::None;
    m_dragButton = Qt::NoButton;
    if (moved) {
        // Not the window's place: reports of earlier steps may still come and briefly set an older one.
        m_positionPending = false;
        SaveSettingsAt(m_dragPosition);
    }
}

void TfrmMain::FormDblClick() {
    if (!HoverDayInMonth()) {
        PopMenu_MonthClick();
        return;
    }
    // EditMemoOfDay opens the memo dated that day for modification, else adds one on that day.
    PopMenu_MemoClick();
}

void TfrmMain::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragMode != DragMode::None) {
        if (event->buttons() & m_dragButton) {
            DragTo(event->globalPosition().toPoint());
            return;
        }
        // The button was let go where the window did not see it (another window took the pointer).
        EndDrag();
    }
    FormMouseMove(ToDevice(event->position()), event->globalPosition().toPoint());
}

void TfrmMain::mousePressEvent(QMouseEvent* event) {
    FormMouseDown(event->button(), ToDevice(event->position()), event->globalPosition().toPoint());
}

void TfrmMain::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != m_dragButton) {
        return;
    }
    // The secondary button opens the menu when it let go where it was pressed, and moves the
    // window when it carried the pointer away.
    const bool menu = m_dragButton == Qt::RightButton && m_dragMode == DragMode::Pending;
    EndDrag();
    if (menu) {
        m_popMenu->popup(event->globalPosition().toPoint());
    }
}

void TfrmMain::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press too; a double click of the secondary button
    // is two menu clicks.
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        FormDblClick();
    }
}

void TfrmMain::FormPaint() {
    QPainter painter(this);
    // The buffer holds device pixels: on a scaled screen the painter's scale is undone so that each of
    // them lands on one device pixel, copied rather than resampled.
    const qreal scale = painter.device()->devicePixelRatioF();
    if (scale != 1.0) {
        painter.setWorldTransform(QTransform::fromScale(1.0 / scale, 1.0 / scale));
    }
    painter.drawImage(0, 0, m_buffer);
}

void TfrmMain::paintEvent(QPaintEvent*) {
    FormPaint();
}

} // namespace kestrivel
