#include "calendar/MonthText.h"

#include "sync/EventDays.h"

#include "calendar/MonthModel.h"
#include "common/DateFormat.h"
#include "config/Options.h"
#include "memos/UnitMemo.h"

#include <algorithm>
#include <vector>

namespace kestrivel {

namespace {

constexpr std::string_view kBlankColumn = "    ";

// A number right-aligned in two characters, then `mark` and the column's space.
std::string NumberColumn(int number, char mark) {
    std::string column = number < 10 ? " " : "";
    column += std::to_string(number);
    column += mark;
    column += ' ';
    return column;
}

void EndLine(std::string& text, std::string line) {
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    text += line;
    text += '\n';
}

// Today's memo below the month it belongs to: only a memo dated today, as the calendar's box.
void AppendTodaysMemo(const TMonthTextInputs& in, std::string& text) {
    if (!in.Options->ShowTodaysMemo || in.Memos == nullptr || in.Year != in.TodayYear ||
        in.Month != in.TodayMonth) {
        return;
    }
    const int index =
        in.Memos->IndexOfDate(static_cast<uint16_t>(in.TodayYear), static_cast<uint16_t>(in.TodayMonth),
                              static_cast<uint16_t>(in.TodayDay));
    if (index < 0) {
        return;
    }
    TMemo memo;
    in.Memos->GetMemo(static_cast<uint16_t>(index), memo);
    const std::vector<std::string> lines = SplitMemoLines(memo.Text);
    if (lines.empty()) {
        return;
    }
    text += '\n';
    for (const std::string& line : lines) {
        EndLine(text, line);
    }
}

} // namespace

std::string MonthText(const TMonthTextInputs& in) {
    TDateValue first = 0;
    if (in.Options == nullptr || in.Formats == nullptr || !TryEncodeDate(in.Year, in.Month, 1, first)) {
        return {};
    }
    const TOptions& options = *in.Options;
    const int startOfWeek = std::clamp<int>(options.StartOfWeek, 1, 7);
    const int days = DaysInMonth(in.Year, in.Month);
    const int lead = LeadOf(DayOfWeek(first), startOfWeek);
    const int rows = (lead + days + 6) / 7;
    const std::string_view weekColumn = options.ShowWeekNumbers ? kBlankColumn : std::string_view();

    std::string text;
    EndLine(text, FormatDate("mmmm yyyy", first, *in.Formats));
    std::string header(weekColumn);
    for (int column = 0; column < 7; ++column) {
        const std::string initial = WeekdayInitial(in.Weekdays, startOfWeek, column);
        header += std::string(" ") + (initial.empty() ? std::string(" ") : initial) + "  ";
    }
    EndLine(text, header);
    for (int row = 0; row < rows; ++row) {
        std::string line;
        if (options.ShowWeekNumbers) {
            line += NumberColumn(RowWeekNumber(in.Year, in.Month, startOfWeek, row), ' ');
        }
        for (int column = 0; column < 7; ++column) {
            const int day = row * 7 + column - lead + 1;
            if (day < 1 || day > days) {
                line += kBlankColumn;
                continue;
            }
            const TDateValue date = first + (day - 1);
            const bool marked = (in.Memos != nullptr && DayHasMemo(*in.Memos, date)) ||
                                (in.Events != nullptr && in.Events->any(date));
            line += NumberColumn(day, marked ? '*' : ' ');
        }
        EndLine(text, line);
    }
    AppendTodaysMemo(in, text);
    return text;
}

} // namespace kestrivel
