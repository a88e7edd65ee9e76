#include "app/MonthModel.h"

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

TTextExtent MeasureBold(const ITextMeasurer& measurer, std::string_view text, const TSettings& zone) {
    return measurer.TextExtent(text, zone.FontName, zone.FontSize, fsBold);
}

} // namespace

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

std::vector<std::string> SplitMemoLines(std::string_view text) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
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
    lines.push_back(std::move(current));
    return lines;
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

bool GenerateData(const TMonthInputs& in, TMonthModel& model) {
    if (in.Scheme == nullptr || in.Options == nullptr || in.Formats == nullptr || in.Measurer == nullptr) {
        return false;
    }
    const TScheme& scheme = *in.Scheme;
    const TOptions& options = *in.Options;
    const ITextMeasurer& measurer = *in.Measurer;
    auto zone = [&scheme](int k) -> const TSettings& { return scheme.Settings[k]; };
    auto pad = [&scheme](int k) { return static_cast<int>(scheme.Settings[k].Padding); };
    auto sp = [&scheme](int k) { return static_cast<int>(scheme.Settings[k].Spacing); };
    const int startOfWeek = ValidStartOfWeek(options.StartOfWeek);

    TMonthModel m;
    m.TodayYear = static_cast<uint16_t>(in.TodayYear);
    m.TodayMonth = static_cast<uint16_t>(in.TodayMonth);
    m.TodayDay = static_cast<uint16_t>(in.TodayDay);

    // The displayed month and the day of it that the title shows. Today's day number may not exist
    // in a shorter month; the title then shows that month's last day.
    DisplayedMonth(in.TodayYear, in.TodayMonth, in.YearOffset, in.MonthOffset, m.DisplayYear, m.DisplayMonth);
    const int daysInMonth = DaysInMonth(m.DisplayYear, m.DisplayMonth);
    const int titleDay = std::clamp(in.TodayDay, 1, daysInMonth);
    TryEncodeDate(m.DisplayYear, m.DisplayMonth, titleDay, m.DisplayDate);
    m.TitleText = FormatDate(options.DateFormat, m.DisplayDate, *in.Formats);
    const bool showsTodaysMonth = m.DisplayYear == in.TodayYear && m.DisplayMonth == in.TodayMonth;

    m.FirstWeekday = static_cast<uint16_t>(DayOfWeek(m.DisplayYear, m.DisplayMonth, 1));
    m.DaysInMonth = static_cast<uint16_t>(daysInMonth);
    m.Lead = static_cast<uint16_t>(LeadOf(m.FirstWeekday, startOfWeek));
    m.WeekRows = static_cast<uint16_t>((m.Lead + m.DaysInMonth + 6) / 7);

    // One cell size serves every day, so it fits the largest of the four day styles.
    int cellTextWidth = 0;
    int cellTextHeight = 0;
    for (int k : {zoneDays, zoneToday, zoneWeekends, zoneMemoDays}) {
        const TTextExtent e = MeasureBold(measurer, kCellProbe, zone(k));
        cellTextWidth = std::max(cellTextWidth, e.Width);
        cellTextHeight = std::max(cellTextHeight, e.Height);
    }
    m.CellHeight = cellTextHeight + 4 + 2 * pad(zoneDays);
    m.CellWidth = cellTextWidth + 4 + 2 * pad(zoneDays);
    m.GridHeight = m.WeekRows * m.CellHeight + (m.WeekRows - 1) * sp(zoneDays);
    m.GridWidth = 7 * m.CellWidth + 6 * sp(zoneDays);

    const TTextExtent weekProbe = MeasureBold(measurer, kCellProbe, zone(zoneWeek));
    m.WeekdayRowHeight = weekProbe.Height + 4 + 2 * pad(zoneWeek);
    m.WeekNumberWidth = weekProbe.Width + 4 + 2 * pad(zoneWeek);
    const int weekColumn = options.ShowWeekNumbers ? sp(zoneWeek) + m.WeekNumberWidth : 0;
    const int weekdayRow = options.ShowWeekdays ? sp(zoneWeek) + m.WeekdayRowHeight : 0;

    const TTextExtent title = MeasureBold(measurer, m.TitleText, zone(zoneTitle));
    m.TitleHeight = title.Height + 4 + 2 * pad(zoneTitle);
    m.TitleWidth = std::max(title.Width + 4 + 2 * pad(zoneTitle), m.GridWidth + weekColumn);

    // Only a memo whose own date is today fills the memo box, whichever month is shown.
    int memoLineStep = 0;
    int todaysMemo = -1;
    if (options.ShowTodaysMemo && in.Memos != nullptr) {
        todaysMemo =
            in.Memos->IndexOfDate(static_cast<uint16_t>(in.TodayYear), static_cast<uint16_t>(in.TodayMonth),
                                  static_cast<uint16_t>(in.TodayDay));
    }
    if (todaysMemo >= 0) {
        TMemo memo;
        in.Memos->GetMemo(static_cast<uint16_t>(todaysMemo), memo);
        m.MemoLines = SplitMemoLines(memo.Text);
        const int lineHeight = MeasureBold(measurer, kLineProbe, zone(zoneTodaysMemo)).Height;
        m.MemoHeight = static_cast<int>(m.MemoLines.size()) * (lineHeight + 1) + 4 + 2 * pad(zoneTodaysMemo);
        m.MemoWidth = m.GridWidth + weekColumn;
        // Lines are drawn in the zone's own style, so their step comes from that font.
        const TSettings& z = zone(zoneTodaysMemo);
        memoLineStep = measurer.TextExtent(kLineProbe, z.FontName, z.FontSize, z.TextStyle).Height + 1;
    }

    m.CalendarWidth = 2 * pad(zoneCalendar) + m.GridWidth + weekColumn;
    m.CalendarHeight = 2 * pad(zoneCalendar) + m.TitleHeight + sp(zoneTitle) + m.GridHeight + weekdayRow;
    if (m.MemoHeight > 0) {
        m.CalendarHeight += sp(zoneTodaysMemo) + m.MemoHeight;
    }
    m.GridLeft = pad(zoneCalendar) + weekColumn;
    m.GridTop = pad(zoneCalendar) + m.TitleHeight + sp(zoneTitle) + weekdayRow;

    // The boxes, in the order they are painted.
    auto addBox = [&m](TBoxKind kind, int zoneIndex, int left, int top, int width,
                       int height) -> TCalendarBox& {
        TCalendarBox& box = m.Boxes.emplace_back();
        box.Kind = kind;
        box.Zone = zoneIndex;
        box.Left = left;
        box.Top = top;
        box.Right = left + width;
        box.Bottom = top + height;
        return box;
    };
    m.Boxes.reserve(2 + 7 + m.WeekRows + m.DaysInMonth + 1 + m.MemoLines.size());
    addBox(TBoxKind::Calendar, zoneCalendar, 0, 0, m.CalendarWidth, m.CalendarHeight);
    {
        TCalendarBox& box = addBox(TBoxKind::Title, zoneTitle, pad(zoneCalendar), pad(zoneCalendar),
                                   m.TitleWidth, m.TitleHeight);
        box.Text = m.TitleText;
        box.Centred = true;
        box.TextX = pad(zoneCalendar) + m.TitleWidth / 2;
        box.TextY = pad(zoneCalendar) + pad(zoneTitle) + 2;
    }
    const int columnStep = m.CellWidth + sp(zoneDays);
    const int rowStep = m.CellHeight + sp(zoneDays);
    if (options.ShowWeekdays) {
        const int top = pad(zoneCalendar) + m.TitleHeight + sp(zoneTitle);
        for (int c = 0; c < 7; ++c) {
            TCalendarBox& box = addBox(TBoxKind::Initial, zoneWeek, m.GridLeft + c * columnStep, top,
                                       m.CellWidth, m.WeekdayRowHeight);
            box.Day = c;
            box.Text = WeekdayInitial(in.Weekdays, startOfWeek, c);
            box.Centred = true;
            box.TextX = box.Left + m.CellWidth / 2;
            box.TextY = box.Top + 2;
        }
    }
    if (options.ShowWeekNumbers) {
        for (int r = 0; r < m.WeekRows; ++r) {
            TCalendarBox& box = addBox(TBoxKind::WeekNumber, zoneWeek, pad(zoneCalendar),
                                       m.GridTop + r * rowStep, m.WeekNumberWidth, m.CellHeight);
            box.Day = RowWeekNumber(m.DisplayYear, m.DisplayMonth, startOfWeek, r);
            box.Text = std::to_string(box.Day);
            box.Centred = true;
            box.TextX = pad(zoneCalendar) + m.WeekNumberWidth / 2;
            box.TextY = box.Top + 2;
        }
    }
    TDateValue firstOfMonth = 0;
    TryEncodeDate(m.DisplayYear, m.DisplayMonth, 1, firstOfMonth);
    for (int d = 1; d <= m.DaysInMonth; ++d) {
        const int index = m.Lead + d - 1;
        const TDateValue date = firstOfMonth + (d - 1);
        int dayZone = zoneDays;
        if (showsTodaysMonth && d == in.TodayDay) {
            dayZone = zoneToday;
        } else if (in.Memos != nullptr &&
                   (in.Memos->FindMemo(mtSingle, date) >= 0 || in.Memos->FindMemo(mtWeekly, date) >= 0 ||
                    in.Memos->FindMemo(mtMonthly, date) >= 0 || in.Memos->FindMemo(mtYearly, date) >= 0)) {
            dayZone = zoneMemoDays;
        } else if (const int weekday = (m.FirstWeekday - 1 + d - 1) % 7 + 1; weekday >= 6) {
            dayZone = zoneWeekends;
        }
        TCalendarBox& box = addBox(TBoxKind::Day, dayZone, m.GridLeft + (index % 7) * columnStep,
                                   m.GridTop + (index / 7) * rowStep, m.CellWidth, m.CellHeight);
        box.Day = d;
        box.Text = std::to_string(d);
        box.Centred = true;
        box.TextX = box.Left + m.CellWidth / 2;
        box.TextY = box.Top + 2;
    }
    if (m.MemoHeight > 0) {
        const int top = m.GridTop + m.GridHeight + sp(zoneTodaysMemo);
        addBox(TBoxKind::Memo, zoneTodaysMemo, pad(zoneCalendar), top, m.MemoWidth, m.MemoHeight);
        int y = top + pad(zoneTodaysMemo) + 2;
        for (const std::string& line : m.MemoLines) {
            TCalendarBox& box = addBox(TBoxKind::MemoLine, zoneTodaysMemo, pad(zoneCalendar) + 4, y,
                                       m.MemoWidth - 4, memoLineStep);
            box.Text = line;
            box.TextX = pad(zoneCalendar) + 4;
            box.TextY = y;
            y += memoLineStep;
        }
    }

    model = std::move(m);
    return true;
}

} // namespace kestrivel
