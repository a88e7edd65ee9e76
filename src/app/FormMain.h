#pragma once

#include "app/MonthModel.h"
#include "common/DateValue.h"
#include "common/NameValueList.h"
#include "lang/MessageTable.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <string>

namespace kestrivel {

class TMemoList;
class TScheme;
struct TLocaleFormats;
struct TOptions;

// What the calendar window reads at every redraw and command. It holds no copies: the objects belong
// to the caller (the configuration data) and live as long as the window.
struct TMainWindowData {
    TOptions* Options = nullptr;
    TScheme* WorkingScheme = nullptr;
    TMemoList* Memos = nullptr;
    const TLocaleFormats* Formats = nullptr;
    const ITextMeasurer* Measurer = nullptr;
    std::function<TYmd()> Today; // today's date, read at every redraw
    std::string SettingsPath;    // Settings.ini of the program folder
    // Seams for the platform; the defaults ask Qt.
    std::function<QRect(const QRect&)> ScreenFor; // the screen rectangle a window rectangle is kept on
    std::function<bool()> IsActive;               // whether the window has the keyboard focus
    std::function<void(const std::string&)> ShowError;
};

// The calendar window: a frameless tool window showing only the painted calendar; the key colour is
// cut out of it with a mask so the desktop shows through and takes the clicks there.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 142;
    static constexpr int kDesignHeight = 120;
    static constexpr int kDefaultLeft = 40;
    static constexpr int kDefaultTop = 40;

    explicit TfrmMain(TMainWindowData data, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The only routine that paints: model, buffer, window size, mask, then a repaint.
    void DrawCalendar();
    // Reads "Left"/"Top" of section "Settings" and places the window, kept on the screen.
    void LoadSettings();
    // Writes the window's position; false (after showing the error) when the file cannot be written.
    bool SaveSettings();
    // The window moved: while it has the focus, keep it on the screen and save the position.
    void Moved();

    TNameValueList& WordList() { return m_wordList; }
    const TMonthModel& Model() const { return m_model; }
    const QImage& Buffer() const { return m_buffer; }
    const QRegion& MaskRegion() const { return m_maskRegion; }
    const TMainWindowData& Data() const { return m_data; }

    int YearOffset = 0;
    int MonthOffset = 0;
    int HoverDay = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void FormPaint();
    QRect ScreenRectFor(const QRect& windowRect) const;
    // The position the window takes at (left, top) after the keep-on-screen rule.
    QPoint KeptOnScreen(int left, int top) const;
    bool IsActive() const;

    TMainWindowData m_data;
    TNameValueList m_wordList = BuiltInWeekdays();
    TMonthModel m_model;
    QImage m_buffer;
    QRegion m_maskRegion;
    bool m_inMoved = false;
};

// The rectangle of the screen nearest to `windowRect` among `screens`: the one holding most of it,
// else the closest. An empty rectangle when there is no screen.
QRect NearestScreen(const QRect& windowRect, const QList<QRect>& screens);

} // namespace kestrivel
