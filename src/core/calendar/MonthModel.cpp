#include "calendar/MonthModel.h"

#include "sync/EventDays.h"

#include "common/DateFormat.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <algorithm>

namespace kestrivel {

namespace {

constexpr std::string_view kCellProbe = "88";
constexpr std::string_view kLineProbe = "July";

// The options loader keeps the value in 1..7; a value set by other means is held there too.
int ValidStartOfWeek(int startOfWeek) {
    return std::clamp(startOfWeek, 1, 7);
}

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Length in bytes of the UTF-8 sequence starting with `lead`; stray continuation bytes count as
// one character each so that a broken value never swallows its neighbours.
size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead < 0xF0 ? 3 : 1;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

// Every size and position of the layout is held within this bound, so sums of a few of them stay
// within an int even for a scheme of absurd paddings or a memo of thousands of lines; the calendar
// image itself is held far tighter (kMaxCalendarSide).
static constexpr long long kMaxGeometry = 1LL << 24;

int ClipSize(long long value) {
    return static_cast<int>(std::clamp<long long>(value, 0, kMaxGeometry));
}

TTextExtent MeasureBold(const ITextMeasurer& measurer, std::string_view text, const TSettings& zone) {
    return measurer.TextExtent(text, zone.FontName, zone.FontSize, fsBold);
}

} // namespace

long long ScaledPixels(long long pixels, int dpi) {
    const long long scale = std::clamp(dpi, kDesignDpi, kDesignDpi * 64);
    const long long magnitude = ((pixels < 0 ? -pixels : pixels) * scale + kDesignDpi / 2) / kDesignDpi;
    return pixels < 0 ? -magnitude : magnitude;
}

void NormalizeOffsets(int todayMonth, int& yearOffset, int& monthOffset) {
    const int monthIndex = todayMonth - 1 + monthOffset; // zero-based displayed month
    const int carry = FloorDiv(monthIndex, 12);
    yearOffset += carry;
    monthOffset -= carry * 12;
}

void DisplayedMonth(int todayYear, int todayMonth, int yearOffset, int monthOffset, int& year, int& month) {
    // 64-bit: offsets come from the navigation and may be anything a user typed.
    const long long monthIndex = static_cast<long long>(todayMonth) - 1 + monthOffset;
    long long carry = monthIndex >= 0 ? monthIndex / 12 : -((-monthIndex + 11) / 12);
    long long y = static_cast<long long>(todayYear) + yearOffset + carry;
    month = static_cast<int>(monthIndex - carry * 12) + 1;
    if (y < 1) {
        y = 1;
        month = 1;
    } else if (y > 9999) {
        y = 9999;
        month = 12;
    }
    year = static_cast<int>(y);
}

void StepMonths(int todayYear, int todayMonth, int months, int& yearOffset, int& monthOffset) {
    int year = 0;
    int month = 0;
    DisplayedMonth(todayYear, todayMonth, yearOffset, monthOffset, year, month);
    constexpr long long kFirst = 1 * 12LL;        // January of the year 1
    constexpr long long kLast = 9999 * 12LL + 11; // December 9999
    const long long target = std::clamp(year * 12LL + (month - 1) + months, kFirst, kLast);
    yearOffset = static_cast<int>(target / 12 - todayYear);
    monthOffset = static_cast<int>(target % 12 + 1 - todayMonth);
}

std::vector<std::string> SplitMemoLines(std::string_view text, size_t maxLines) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    std::string current;
    for (size_t i = 0; i < text.size() && lines.size() < maxLines; ++i) {
        const char c = text[i];
        if (c == ';' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
        } else if (c == '\r') {
            lines.push_back(std::move(current));
            current.clear();
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            current.push_back(c);
        }
    }
    if (lines.size() < maxLines) {
        lines.push_back(std::move(current));
    }
    return lines;
}

size_t CountMemoLines(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    size_t count = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ';' || text[i] == '\n' ||
            (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            ++count;
        }
    }
    return count;
}

std::string WeekdayInitial(std::string_view weekdays, int startOfWeek, int column) {
    const int wanted = (ValidStartOfWeek(startOfWeek) - 1 + column) % 7;
    size_t pos = 0;
    for (int index = 0; pos < weekdays.size(); ++index) {
        const size_t length =
            std::min(Utf8SequenceLength(static_cast<unsigned char>(weekdays[pos])), weekdays.size() - pos);
        if (index == wanted) {
            return std::string(weekdays.substr(pos, length));
        }
        pos += length;
    }
    return {};
}

int LeadOf(int firstWeekday, int startOfWeek) {
    return ((firstWeekday - startOfWeek) % 7 + 7) % 7;
}

int RowWeekNumber(int year, int month, int startOfWeek, int row) {
    TDateValue first = 0;
    if (!TryEncodeDate(year, month, ValidStartOfWeek(startOfWeek), first)) {
        return 0;
    }
    return IsoWeekNumber(first + 7.0 * row);
}

bool DayHasMemo(const TMemoList& memos, TDateValue date) {
    return memos.FindMemo(mtSingle, date) >= 0 || memos.FindMemo(mtWeekly, date) >= 0 ||
           memos.FindMemo(mtMonthly, date) >= 0 || memos.FindMemo(mtYearly, date) >= 0;
}

namespace {

// The zone fields the layout reads in device pixels, widened so sums of them cannot overflow.
struct ZoneMetrics {
    const TScheme& scheme;
    int dpi;
    long long px(long long designPixels) const { return ScaledPixels(designPixels, dpi); }
    long long pad(int k) const { return px(scheme.Settings[k].Padding); }
    long long sp(int k) const { return px(scheme.Settings[k].Spacing); }
    const TSettings& zone(int k) const { return scheme.Settings[k]; }
    // The room a box leaves around its text on each side, before its padding.
    long long margin() const { return px(2); }
};

// What the week-number column adds left of the grid: its width and its spacing, or nothing.
long long WeekColumn(const TOptions& options, const ZoneMetrics& z, const TMonthModel& m) {
    return options.ShowWeekNumbers ? z.sp(zoneWeek) + m.WeekNumberWidth : 0;
}

// The displayed month, its title and how its days fall into the grid.
void PlaceMonth(const TMonthInputs& in, int startOfWeek, TMonthModel& m) {
    m.TodayYear = static_cast<uint16_t>(in.TodayYear);
    m.TodayMonth = static_cast<uint16_t>(in.TodayMonth);
    m.TodayDay = static_cast<uint16_t>(in.TodayDay);
    // Today's day number may not exist in a shorter month; the title then shows that month's last day.
    DisplayedMonth(in.TodayYear, in.TodayMonth, in.YearOffset, in.MonthOffset, m.DisplayYear, m.DisplayMonth);
    const int daysInMonth = DaysInMonth(m.DisplayYear, m.DisplayMonth);
    TryEncodeDate(m.DisplayYear, m.DisplayMonth, std::clamp(in.TodayDay, 1, daysInMonth), m.DisplayDate);
    m.TitleText = FormatDate(in.Options->DateFormat, m.DisplayDate, *in.Formats);
    m.FirstWeekday = static_cast<uint16_t>(DayOfWeek(m.DisplayYear, m.DisplayMonth, 1));
    m.DaysInMonth = static_cast<uint16_t>(daysInMonth);
    m.Lead = static_cast<uint16_t>(LeadOf(m.FirstWeekday, startOfWeek));
    m.WeekRows = static_cast<uint16_t>((m.Lead + m.DaysInMonth + 6) / 7);
}

// Sizes of the day boxes, the grid, the week-day row, the week-number column and the title.
void MeasureParts(const TMonthInputs& in, const ZoneMetrics& z, TMonthModel& m) {
    const ITextMeasurer& measurer = *in.Measurer;
    // One cell size serves every day, so it fits the largest of the four day styles.
    long long cellTextWidth = 0;
    long long cellTextHeight = 0;
    for (int k : {zoneDays, zoneToday, zoneWeekends, zoneMemoDays}) {
        const TTextExtent e = MeasureBold(measurer, kCellProbe, z.zone(k));
        cellTextWidth = std::max<long long>(cellTextWidth, e.Width);
        cellTextHeight = std::max<long long>(cellTextHeight, e.Height);
    }
    m.CellHeight = ClipSize(cellTextHeight + 2 * z.margin() + 2 * z.pad(zoneDays));
    m.CellWidth = ClipSize(cellTextWidth + 2 * z.margin() + 2 * z.pad(zoneDays));
    m.GridHeight =
        ClipSize(m.WeekRows * static_cast<long long>(m.CellHeight) + (m.WeekRows - 1) * z.sp(zoneDays));
    m.GridWidth = ClipSize(7LL * m.CellWidth + 6 * z.sp(zoneDays));
    m.DaySpacing = static_cast<int>(z.sp(zoneDays));

    const TTextExtent weekProbe = MeasureBold(measurer, kCellProbe, z.zone(zoneWeek));
    m.WeekdayRowHeight =
        ClipSize(static_cast<long long>(weekProbe.Height) + 2 * z.margin() + 2 * z.pad(zoneWeek));
    m.WeekNumberWidth =
        ClipSize(static_cast<long long>(weekProbe.Width) + 2 * z.margin() + 2 * z.pad(zoneWeek));

    const TTextExtent title = MeasureBold(measurer, m.TitleText, z.zone(zoneTitle));
    m.TitleHeight = ClipSize(static_cast<long long>(title.Height) + 2 * z.margin() + 2 * z.pad(zoneTitle));
    m.TitleWidth =
        ClipSize(std::max(static_cast<long long>(title.Width) + 2 * z.margin() + 2 * z.pad(zoneTitle),
                          m.GridWidth + WeekColumn(*in.Options, z, m)));
}

// Today's memo box. Only a memo whose own date is today fills it, whichever month is shown. Returns
// the memo's text (empty without a box) and sets the drawing step of its lines.
std::string MeasureTodaysMemo(const TMonthInputs& in, const ZoneMetrics& z, TMonthModel& m, int& lineStep) {
    m.MemoHeight = 0;
    if (!in.Options->ShowTodaysMemo || in.Memos == nullptr) {
        return {};
    }
    const int index =
        in.Memos->IndexOfDate(static_cast<uint16_t>(in.TodayYear), static_cast<uint16_t>(in.TodayMonth),
                              static_cast<uint16_t>(in.TodayDay));
    if (index < 0) {
        return {};
    }
    TMemo memo;
    in.Memos->GetMemo(static_cast<uint16_t>(index), memo);
    const TSettings& zone = z.zone(zoneTodaysMemo);
    const long long lineHeight = MeasureBold(*in.Measurer, kLineProbe, zone).Height;
    m.MemoHeight = ClipSize(CountMemoLines(memo.Text) * (lineHeight + z.px(1)) + 2 * z.margin() +
                            2 * z.pad(zoneTodaysMemo));
    m.MemoWidth = ClipSize(m.GridWidth + WeekColumn(*in.Options, z, m));
    // Lines are drawn in the zone's own style, so their step comes from that font.
    lineStep = std::max(
        1, ClipSize(
               static_cast<long long>(
                   in.Measurer->TextExtent(kLineProbe, zone.FontName, zone.FontSize, zone.TextStyle).Height) +
               z.px(1)));
    return std::move(memo.Text);
}

// A calendar larger than the desktop could never be seen whole, and each pixel of it costs every
// redraw: the image is held to the desktop where the desktop is known.
long long CalendarSideLimit(int desktopSide) {
    return desktopSide > 0 ? desktopSide : kMaxCalendarSide;
}

// The whole calendar, held to the largest image a redraw may make, and the grid's corner.
void PlaceCalendar(const TMonthInputs& in, const ZoneMetrics& z, TMonthModel& m) {
    const TOptions& options = *in.Options;
    const long long weekdayRow = options.ShowWeekdays ? z.sp(zoneWeek) + m.WeekdayRowHeight : 0;
    long long height = 2 * z.pad(zoneCalendar) + m.TitleHeight + z.sp(zoneTitle) + m.GridHeight + weekdayRow;
    if (m.MemoHeight > 0) {
        height += z.sp(zoneTodaysMemo) + m.MemoHeight;
    }
    // A long title (the long date in a large font) may need more room than the grid and its week
    // column: the calendar grows to hold the whole title box with the outer margin on both sides,
    // while the grid, the week numbers and the memo box keep their widths.
    const long long width =
        2 * z.pad(zoneCalendar) + std::max<long long>(m.GridWidth + WeekColumn(options, z, m), m.TitleWidth);
    m.CalendarWidth = static_cast<int>(std::min<long long>(width, CalendarSideLimit(in.DesktopWidth)));
    m.CalendarHeight = static_cast<int>(std::min<long long>(height, CalendarSideLimit(in.DesktopHeight)));
    // Under a title wider than the grid and its week column, they stand in the middle.
    const long long body = m.GridWidth + WeekColumn(options, z, m);
    m.BodyLeft = ClipSize(z.pad(zoneCalendar) + std::max<long long>(0, m.TitleWidth - body) / 2);
    m.GridLeft = ClipSize(m.BodyLeft + WeekColumn(options, z, m));
    m.GridTop = ClipSize(z.pad(zoneCalendar) + m.TitleHeight + z.sp(zoneTitle) + weekdayRow);
}

int DayZone(const TMonthInputs& in, const TMonthModel& m, int day, TDateValue date) {
    if (m.DisplayYear == in.TodayYear && m.DisplayMonth == in.TodayMonth && day == in.TodayDay) {
        return zoneToday;
    }
    if ((in.Memos != nullptr && DayHasMemo(*in.Memos, date)) ||
        (in.Events != nullptr && in.Events->any(date))) {
        return zoneMemoDays;
    }
    return (m.FirstWeekday - 1 + day - 1) % 7 + 1 >= 6 ? zoneWeekends : zoneDays;
}

// The boxes, in the order they are painted. A box wholly outside the calendar image is left out, and
// today's memo lines stop where its box or the image stops.
// Adds boxes to the model; a box that would start outside the calendar is not added, and the caller
// writes into a scratch box instead.
struct BoxAdder {
    TMonthModel& m;
    TCalendarBox dropped;

    TCalendarBox& operator()(TBoxKind kind, int zoneIndex, int left, int top, int width, int height) {
        if (left >= m.CalendarWidth || top >= m.CalendarHeight) {
            dropped = TCalendarBox{};
            return dropped;
        }
        TCalendarBox& box = m.Boxes.emplace_back();
        box.Kind = kind;
        box.Zone = zoneIndex;
        box.Left = left;
        box.Top = top;
        box.Right = left + width;
        box.Bottom = top + height;
        return box;
    }
};

// A box whose text is centred over it, `margin` pixels below its top.
void CentreText(TCalendarBox& box, std::string text, int width, int margin) {
    box.Text = std::move(text);
    box.Centred = true;
    box.TextX = box.Left + width / 2;
    box.TextY = box.Top + margin;
}

// The calendar, the title, the week-day initials and the week numbers.
void PlaceHeaderBoxes(const TMonthInputs& in, const ZoneMetrics& z, BoxAdder& addBox) {
    TMonthModel& m = addBox.m;
    const TOptions& options = *in.Options;
    const int startOfWeek = ValidStartOfWeek(options.StartOfWeek);
    const int pad0 = static_cast<int>(z.pad(zoneCalendar));
    addBox(TBoxKind::Calendar, zoneCalendar, 0, 0, m.CalendarWidth, m.CalendarHeight);
    {
        TCalendarBox& box = addBox(TBoxKind::Title, zoneTitle, pad0, pad0, m.TitleWidth, m.TitleHeight);
        box.Text = m.TitleText;
        box.Centred = true;
        box.TextX = pad0 + m.TitleWidth / 2;
        box.TextY = ClipSize(z.pad(zoneCalendar) + z.pad(zoneTitle) + z.margin());
    }
    const int columnStep = ClipSize(m.CellWidth + z.sp(zoneDays));
    const int rowStep = ClipSize(m.CellHeight + z.sp(zoneDays));
    if (options.ShowWeekdays) {
        const int top = ClipSize(z.pad(zoneCalendar) + m.TitleHeight + z.sp(zoneTitle));
        for (int c = 0; c < 7; ++c) {
            TCalendarBox& box = addBox(TBoxKind::Initial, zoneWeek, m.GridLeft + c * columnStep, top,
                                       m.CellWidth, m.WeekdayRowHeight);
            box.Day = c;
            CentreText(box, WeekdayInitial(in.Weekdays, startOfWeek, c), m.CellWidth,
                       static_cast<int>(z.margin()));
        }
    }
    if (options.ShowWeekNumbers) {
        for (int r = 0; r < m.WeekRows; ++r) {
            TCalendarBox& box = addBox(TBoxKind::WeekNumber, zoneWeek, m.BodyLeft, m.GridTop + r * rowStep,
                                       m.WeekNumberWidth, m.CellHeight);
            box.Day = RowWeekNumber(m.DisplayYear, m.DisplayMonth, startOfWeek, r);
            CentreText(box, std::to_string(box.Day), m.WeekNumberWidth, static_cast<int>(z.margin()));
        }
    }
}

void PlaceDayBoxes(const TMonthInputs& in, const ZoneMetrics& z, BoxAdder& addBox) {
    TMonthModel& m = addBox.m;
    const int columnStep = ClipSize(m.CellWidth + z.sp(zoneDays));
    const int rowStep = ClipSize(m.CellHeight + z.sp(zoneDays));
    TDateValue firstOfMonth = 0;
    TryEncodeDate(m.DisplayYear, m.DisplayMonth, 1, firstOfMonth);
    for (int d = 1; d <= m.DaysInMonth; ++d) {
        const int index = m.Lead + d - 1;
        const int left = m.GridLeft + (index % 7) * columnStep;
        const int top = m.GridTop + (index / 7) * rowStep;
        if (left >= m.CalendarWidth || top >= m.CalendarHeight) {
            continue; // saves the memo queries of a day nobody can see
        }
        TCalendarBox& box = addBox(TBoxKind::Day, DayZone(in, m, d, firstOfMonth + (d - 1)), left, top,
                                   m.CellWidth, m.CellHeight);
        box.Day = d;
        CentreText(box, std::to_string(d), m.CellWidth, static_cast<int>(z.margin()));
    }
}

// Today's memo box and one box per line of it that fits.
void PlaceMemoBoxes(const ZoneMetrics& z, const std::string& memoText, int memoLineStep, BoxAdder& addBox) {
    TMonthModel& m = addBox.m;
    const int left = m.BodyLeft;
    const int top = ClipSize(static_cast<long long>(m.GridTop) + m.GridHeight + z.sp(zoneTodaysMemo));
    if (&addBox(TBoxKind::Memo, zoneTodaysMemo, left, top, m.MemoWidth, m.MemoHeight) == &addBox.dropped) {
        return;
    }
    const long long first = static_cast<long long>(top) + z.pad(zoneTodaysMemo) + z.margin();
    const int indent = static_cast<int>(2 * z.margin());
    const long long bottom =
        std::min<long long>(static_cast<long long>(top) + m.MemoHeight, m.CalendarHeight);
    const long long fitting = first < bottom ? (bottom - first + memoLineStep - 1) / memoLineStep : 0;
    m.MemoLines = SplitMemoLines(memoText, static_cast<size_t>(fitting));
    int y = static_cast<int>(first);
    for (const std::string& line : m.MemoLines) {
        TCalendarBox& box =
            addBox(TBoxKind::MemoLine, zoneTodaysMemo, left + indent, y, m.MemoWidth - indent, memoLineStep);
        box.Text = line;
        box.TextX = left + indent;
        box.TextY = y;
        y += memoLineStep;
    }
}

void PlaceBoxes(const TMonthInputs& in, const ZoneMetrics& z, const std::string& memoText, int memoLineStep,
                TMonthModel& m) {
    m.Boxes.reserve(2 + 7 + m.WeekRows + m.DaysInMonth + 1);
    BoxAdder addBox{m, {}};
    PlaceHeaderBoxes(in, z, addBox);
    PlaceDayBoxes(in, z, addBox);
    if (m.MemoHeight > 0) {
        PlaceMemoBoxes(z, memoText, memoLineStep, addBox);
    }
}

} // namespace

bool GenerateData(const TMonthInputs& in, TMonthModel& model) {
    if (in.Scheme == nullptr || in.Options == nullptr || in.Formats == nullptr || in.Measurer == nullptr) {
        return false;
    }
    const ZoneMetrics zones{*in.Scheme, in.Dpi};
    TMonthModel m;
    PlaceMonth(in, ValidStartOfWeek(in.Options->StartOfWeek), m);
    MeasureParts(in, zones, m);
    int memoLineStep = 1;
    const std::string memoText = MeasureTodaysMemo(in, zones, m, memoLineStep);
    PlaceCalendar(in, zones, m);
    PlaceBoxes(in, zones, memoText, memoLineStep, m);
    model = std::move(m);
    return true;
}

} // namespace kestrivel
