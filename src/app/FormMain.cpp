#include "app/FormMain.h"

#include "app/CalendarPainter.h"
#include "app/QtPlatform.h"
#include "app/Services.h"
#include "config/ConfigData.h"
#include "lang/UnitMessages.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>

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
    setWindowTitle(QStringLiteral("Kestrivel"));
    setFont(WindowFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kKeyColor));
    setPalette(pal);
    resize(kDesignWidth, kDesignHeight);
    LoadSettings();
    m_positionSaveTimer.setInterval(kPositionSaveMs);
    connect(&m_positionSaveTimer, &QTimer::timeout, this, &TfrmMain::PositionSaveTimeout);
}

TfrmMain::~TfrmMain() {
    FlushPosition();
}

QRect TfrmMain::ScreenRectFor(const QRect& windowRect) const {
    return NearestScreen(windowRect, m_services.ScreenRects());
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
    const QPoint kept = KeptOnScreen(left, top);
    move(kept);
}

QPoint TfrmMain::KeptOnScreen(int left, int top) const {
    const QRect screen = ScreenRectFor(QRect(left, top, width(), height()));
    if (screen.isValid()) {
        KeepOnScreen(left, top, width(), height(), screen.left(), screen.top(), screen.width(),
                     screen.height());
    }
    return {left, top};
}

bool TfrmMain::SaveSettings() {
    std::string error;
    if (!SaveWindowPosition(m_config.SettingsPath(), x(), y(), error)) {
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
    const QPoint kept = KeptOnScreen(x(), y());
    if (kept != pos()) {
        move(kept);
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
    in.Measurer = &m_measurer;
    GenerateData(in, m_model);

    kestrivel::DrawCalendar(m_buffer, m_model, &m_config.CurrentScheme);

    m_maskRegion = OpaqueRegion(m_buffer);
    // A window cannot be smaller than a pixel, and an empty mask would mean no mask at all: a calendar
    // with nothing painted keeps one pixel whose mask lies outside it.
    resize(std::max(m_buffer.width(), 1), std::max(m_buffer.height(), 1));
    setMask(m_maskRegion.isEmpty() ? QRegion(-1, -1, 1, 1) : m_maskRegion);
    update();
}

void TfrmMain::FormPaint() {
    QPainter painter(this);
    painter.drawImage(0, 0, m_buffer);
}

void TfrmMain::paintEvent(QPaintEvent*) {
    FormPaint();
}

} // namespace kestrivel
