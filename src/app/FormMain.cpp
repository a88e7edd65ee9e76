#include "app/FormMain.h"

#include "app/CalendarPainter.h"
#include "app/ClockWatch.h"
#include "app/X11Window.h"
#include "app/QtPlatform.h"
#include "app/Services.h"
#include "config/ConfigData.h"
#include "common/DateFormat.h"
#include "lang/LanguagePack.h"
#include "lang/Translation.h"
#include "lang/Translator.h"
#include "lang/UnitMessages.h"
#include "update/UpdateCheck.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QShowEvent>
#include <QSystemTrayIcon>
#include <QWindow>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

#include <climits>

namespace kestrivel {

namespace {

long long DistanceSquared(const QRect& a, const QRect& b) {
    const long long dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
    const long long dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect NearestScreen(const QRect& windowRect, const QList<QRect>& screens) {
    QRect best;
    long long bestArea = 0;
    long long bestDistance = LLONG_MAX;
    for (const QRect& screen : screens) {
        const QRect overlap = screen.intersected(windowRect);
        const long long area =
            overlap.isEmpty() ? 0 : static_cast<long long>(overlap.width()) * overlap.height();
        const long long distance = DistanceSquared(windowRect, screen);
        if (area > bestArea || (bestArea == 0 && area == 0 && distance < bestDistance)) {
            best = screen;
            bestArea = area;
            bestDistance = distance;
        }
    }
    return best;
}

TfrmMain::TfrmMain(TConfigData& config, TServices& services, const TLocaleFormats& formats,
                   const ITextMeasurer& measurer, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_config(config), m_services(services),
      m_formats(formats), m_measurer(measurer) {
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
    m_updateCheck = new TUpdateCheck(m_services, this);
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TfrmMain::TimerTimer);
    m_timer->start();
    m_clockWatch = new TClockWatch(this);
    connect(m_clockWatch, &TClockWatch::clockChanged, this, &TfrmMain::TimeChanged);
}

TfrmMain::~TfrmMain() {
    FlushPosition();
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
    return m_activeProbe ? m_activeProbe() : isActiveWindow();
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
    int left = kDefaultLeft;
    int top = kDefaultTop;
    LoadWindowPosition(m_config.SettingsPath(), left, top);
    MoveToDevicePixel(*this, KeptOnScreen(left, top));
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
    std::string error;
    const QPoint position = DeviceRect().topLeft();
    if (!SaveWindowPosition(m_config.SettingsPath(), position.x(), position.y(), error)) {
        ShowLibraryError(m_services, this, error);
        return false;
    }
    return true;
}

void TfrmMain::Moved() {
    if (m_inMoved || !IsActive()) {
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

void TfrmMain::DrawCalendar() {
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
    const std::string weekdays = m_wordList.value(WeekdaysName);
    in.Weekdays = weekdays;
    in.Formats = &m_formats;
    // The calendar is laid out and painted in device pixels: on a scaled screen its texts are measured
    // and drawn at the screen's resolution, its lines stay one device pixel, and nothing is resampled.
    const int dpi = DeviceDpi(screen());
    in.Measurer = &m_measurer;
    if (dpi != kSurfaceDpi) {
        if (!m_deviceMeasurer || m_deviceMeasurer->Dpi() != dpi) {
            m_deviceMeasurer = std::make_unique<QtTextMeasurer>(WindowFont(dpi), dpi);
        }
        in.Measurer = m_deviceMeasurer.get();
    }
    GenerateData(in, m_model);

    // Asked at every redraw: a compositing manager may start or stop while the calendar runs.
    m_translucent = testAttribute(Qt::WA_TranslucentBackground) &&
                    (m_compositorProbe ? m_compositorProbe()
                                       : CompositorActive(screen()) && windowHandle() != nullptr &&
                                             windowHandle()->format().hasAlpha());
    kestrivel::DrawCalendar(m_buffer, m_model, &m_config.CurrentScheme, {m_translucent, dpi});

    // Opaque pixels (mask mode) or pixels with any alpha (translucent): the rest lets clicks through.
    m_maskRegion = OpaqueRegion(m_buffer);
    // A window cannot be smaller than a pixel, and an empty mask would mean no mask at all: a calendar
    // with nothing painted keeps one pixel whose mask lies outside it.
    const QSize device(std::max(m_buffer.width(), 1), std::max(m_buffer.height(), 1));
    const QRegion mask = m_maskRegion.isEmpty() ? QRegion(-1, -1, 1, 1) : m_maskRegion;
    const qreal scale = devicePixelRatioF();
    if (scale == 1.0) {
        resize(device);
        setMask(mask);
    } else {
        // Qt sizes in whole scaled units: the window takes the first such size that holds the calendar
        // (the extra device pixels lie outside the mask), set on the native window so that its place
        // stays on its device pixel, and is cut in device pixels.
        if (!QWidget::mask().isEmpty()) {
            clearMask();
        }
        const auto fit = [scale](int pixels) {
            return static_cast<int>(std::lround(std::ceil(pixels / scale) * scale));
        };
        SetDeviceGeometry(*this,
                          QRect(DeviceRect().topLeft(), QSize(fit(device.width()), fit(device.height()))));
        SetDeviceMask(*this, mask);
    }
    update();
}

// --- Lifetime ---

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Before the window is mapped: a window manager reads these states only then.
    if (QWindow* window = windowHandle()) {
        MarkSkipTaskbarAndPager(*window);
    }
    // A window restored by the window system is not a new showing.
    if (!event->spontaneous() && !m_changingFlags) {
        FormShow();
    }
}

void TfrmMain::FormShow() {
    TranslateTo(m_config.Options.LanguageFile);
    if (m_config.Options.AutoUpdate) {
        m_updateCheck->checkAutomatic();
    }
    DrawCalendar();
}

void TfrmMain::AlwaysOnTop(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
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
    TrayIconRefresh();
}

void TfrmMain::AddTrayIcon() {
    if (m_tray || !QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/Tray_Icon.png")), this);
    m_tray->setContextMenu(m_popMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) {
            PopMenu_ShowHideClick();
        }
    });
    TrayIconRefresh();
    m_tray->show();
}

void TfrmMain::TrayIconRefresh() {
    const QDate today = m_services.Now().date();
    TDateValue date = 0;
    m_trayToolTip.clear();
    if (TryEncodeDate(today.year(), today.month(), today.day(), date)) {
        m_trayToolTip = TextToQString(FormatDate("dddddd", date, m_formats)).left(63);
    }
    if (m_tray) {
        m_tray->setToolTip(m_trayToolTip);
    }
}

void TfrmMain::TimerTimer() {
    if (m_model.TodayDay != 0 && m_services.Now().date().day() != m_model.TodayDay) {
        TimeChanged();
    }
}

void TfrmMain::TimeChanged() {
    DrawCalendar();
    TrayIconRefresh();
}

// --- Translation ---

void TfrmMain::TranslateTo(const std::string& languageFile) {
    m_languageFile = languageFile;
    m_translated = true;
    TLangPack pack;
    pack.Load(m_config.LanguagePath(languageFile));
    for (const QPointer<QWidget>& window : m_translatedWindows) {
        if (window) {
            TranslateForm(pack, *window);
        }
    }
    TranslateForm(pack, *this);
    TranslateStrings(pack, MessagesSection, MessageTable());
    TranslateStrings(pack, WeekdaysSection, m_wordList);
    if (m_valueNames) {
        TranslateStrings(pack, ValueNamesSection, *m_valueNames);
    }
}

void TfrmMain::RegisterTranslatedWindow(QWidget* window) {
    m_translatedWindows.emplace_back(window);
    if (m_translated) {
        TLangPack pack;
        pack.Load(m_config.LanguagePath(m_languageFile));
        TranslateForm(pack, *window);
        if (m_valueNames) {
            TranslateStrings(pack, ValueNamesSection, *m_valueNames);
        }
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
    connect(memo, &QAction::triggered, this,
            [this] { emit addMemoRequested(m_model.DisplayYear, m_model.DisplayMonth, m_hoverDay); });
    connect(month, &QAction::triggered, this, &TfrmMain::goToMonthRequested);
    connect(config, &QAction::triggered, this, &TfrmMain::configureRequested);
    connect(update, &QAction::triggered, this, &TfrmMain::PopMenu_UpdateClick);
    connect(exit, &QAction::triggered, this, &TfrmMain::exitRequested);
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

void TfrmMain::PopMenu_UpdateClick() {
    m_updateCheck->checkManual();
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* event) {
    m_popMenu->popup(event->globalPos());
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
