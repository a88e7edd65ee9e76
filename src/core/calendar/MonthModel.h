#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/DateValue.h"
#include "config/Options.h"

namespace kestrivel {

class EventDays;

class TMemoList;
class TScheme;
struct TLocaleFormats;

struct TTextExtent {
    int Width = 0;
    int Height = 0;
};

// Text measurement on the calendar's drawing surface. The layout always asks for bold text (the
// window font is bold and only its face and size change); the memo line step asks with the zone's
// own style bits, as the text is drawn with them.
class ITextMeasurer {
public:
    virtual ~ITextMeasurer() = default;
    virtual TTextExtent TextExtent(std::string_view text, const std::string& fontName, int pointSize,
                                   uint8_t textStyle) const = 0;
};

enum class TBoxKind : uint8_t { Calendar, Title, Initial, WeekNumber, Day, Memo, MemoLine };

// One box of the calendar with its text, in painting order. Right and bottom are exclusive.
// A MemoLine entry carries only a text: it has no box of its own to paint.
struct TCalendarBox {
    TBoxKind Kind = TBoxKind::Calendar;
    int Zone = 0;
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    std::string Text;
    int TextX = 0; // the centre when Centred, otherwise the left edge
    int TextY = 0; // top of the text's line
    bool Centred = false;
    int Day = 0; // day number for Day boxes, week number for WeekNumber boxes, column for Initial
};

// Everything a redraw, the window size and the mouse read from one pass of GenerateData.
struct TMonthModel {
    uint16_t TodayYear = 0;
    uint16_t TodayMonth = 0;
    uint16_t TodayDay = 0;
    int DisplayYear = 0;
    int DisplayMonth = 0;
    TDateValue DisplayDate = 0;
    std::string TitleText;
    uint16_t FirstWeekday = 0;
    uint16_t DaysInMonth = 0;
    uint16_t Lead = 0;
    uint16_t WeekRows = 0;
    int CellWidth = 0;
    int CellHeight = 0;
    int DaySpacing = 0; // spacing of zone 3 between neighbouring day boxes, both ways
    int GridWidth = 0;
    int GridHeight = 0;
    int GridLeft = 0;
    int GridTop = 0;
    int WeekdayRowHeight = 0;
    int WeekNumberWidth = 0;
    int TitleWidth = 0;
    int TitleHeight = 0;
    int MemoWidth = 0;
    int MemoHeight = 0;
    std::vector<std::string> MemoLines; // the lines that fit in the calendar image
    int BodyLeft = 0;      // left edge of the week numbers (or the grid) and the memo box, centred
                           // under a title wider than they are
    int CalendarWidth = 0; // holds the grid with its week column and the whole title box
    int CalendarHeight = 0;
    std::vector<TCalendarBox> Boxes;
};

// Each side of the calendar image is held to the desktop's size, or to this where the desktop is not
// known: an absurd scheme or a memo of thousands of lines draws a clipped calendar instead of an image
// of gigabytes. Only what lies within the image is laid out.
static constexpr int kMaxCalendarSide = 4096;

// The resolution the calendar's pixel sizes are given at.
static constexpr int kDesignDpi = 96;
// A length of `pixels` at kDesignDpi in device pixels at `dpi`, rounded to the nearest; the same
// at kDesignDpi. Resolutions below it count as it, so no line or gap ever vanishes.
long long ScaledPixels(long long pixels, int dpi);

struct TMonthInputs {
    int TodayYear = 0;
    int TodayMonth = 0;
    int TodayDay = 0;
    int YearOffset = 0;
    int MonthOffset = 0;
    const TOptions* Options = nullptr;
    const TScheme* Scheme = nullptr; // the working scheme; none leaves the model untouched
    const TMemoList* Memos = nullptr;
    std::string_view Weekdays = "MTWTFSS"; // one initial per day of the week, Monday first
    const TLocaleFormats* Formats = nullptr;
    const ITextMeasurer* Measurer = nullptr;
    // Events drawn beside the memos: a day with one is drawn as a day with memos. None: the memos alone.
    const EventDays* Events = nullptr;
    // The virtual desktop's size in device pixels, 0 where not known: the calendar never grows beyond it.
    int DesktopWidth = 0;
    int DesktopHeight = 0;
    // The device resolution: every pixel size of the scheme and the layout (paddings, spacings, the
    // room around texts) is given at kDesignDpi and grows with it, as the fonts do.
    int Dpi = kDesignDpi;
};

// Recomputes the whole model from its inputs. False, leaving `model` as it was, when there is no
// working scheme (or no options, formats or measurer to work with).
bool GenerateData(const TMonthInputs& inputs, TMonthModel& model);

// Brings today's month plus `monthOffset` back into 1..12 by carrying whole years into
// `yearOffset`; the displayed month stays the same.
void NormalizeOffsets(int todayMonth, int& yearOffset, int& monthOffset);

// The displayed year and month for today's year and month and the offsets; the year is kept
// within 1..9999, the range of dates.
void DisplayedMonth(int todayYear, int todayMonth, int yearOffset, int monthOffset, int& year, int& month);

// Moves the displayed month `months` on (back for a negative count) across year ends: the offsets
// that show it, with the month offset brought into range. The displayed month stays within the range
// of dates, so steps past its ends are lost rather than piling up where no step back can reach.
void StepMonths(int todayYear, int todayMonth, int months, int& yearOffset, int& monthOffset);

// Lines of a memo text: ";", CR, LF and CR LF each break a line; an empty text has no line. Only
// the first `maxLines` lines are made.
std::vector<std::string> SplitMemoLines(std::string_view text, size_t maxLines = SIZE_MAX);
// How many lines SplitMemoLines makes of `text`, without making them.
size_t CountMemoLines(std::string_view text);

// The initial of grid column `column` (0..6) for the first day of the week `startOfWeek`: one
// UTF-8 character of `weekdays`, or empty when the value is too short.
std::string WeekdayInitial(std::string_view weekdays, int startOfWeek, int column);

// Blank boxes before day 1 in the first row: (firstWeekday - startOfWeek) mod 7, in 0..6.
int LeadOf(int firstWeekday, int startOfWeek);

// Whether a memo falls on `date` by its recurrence rule: the days drawn in zone 6 "Days with memos"
// (unless they are today).
bool DayHasMemo(const TMemoList& memos, TDateValue date);

// Week number shown in row `row`: the ISO week of day `startOfWeek` of the month plus 7 x row days.
int RowWeekNumber(int year, int month, int startOfWeek, int row);

} // namespace kestrivel
