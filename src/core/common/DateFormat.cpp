#include "common/DateFormat.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace kestrivel {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

size_t runLength(std::string_view p, size_t i, char letter) {
    size_t n = 0;
    while (i + n < p.size() && lower(p[i + n]) == letter) {
        ++n;
    }
    return n;
}

std::string twoDigits(int v) {
    std::string s = std::to_string(v % 100);
    return s.size() < 2 ? "0" + s : s;
}

std::string fourDigits(int v) {
    std::string s = std::to_string(v);
    while (s.size() < 4) {
        s.insert(s.begin(), '0');
    }
    return s;
}

// `depth` guards against a short or long pattern that names itself.
void formatInto(std::string& out, std::string_view p, const TYmd& ymd, int dow, const TLocaleFormats& f,
                int depth) {
    size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        const char lc = lower(c);
        if (c == '"' || c == '\'') {
            const size_t end = p.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? p.size() : end;
            out.append(p.substr(i + 1, stop - i - 1));
            i = end == std::string_view::npos ? p.size() : end + 1;
        } else if (lc == 'd') {
            const size_t n = runLength(p, i, 'd');
            const size_t use = n > 6 ? 6 : n;
            switch (use) {
            case 1:
                out += std::to_string(ymd.Day);
                break;
            case 2:
                out += twoDigits(ymd.Day);
                break;
            case 3:
                out += f.ShortDayNames[static_cast<size_t>(dow - 1)];
                break;
            case 4:
                out += f.LongDayNames[static_cast<size_t>(dow - 1)];
                break;
            case 5:
                if (depth < 2) {
                    formatInto(out, f.ShortDateFormat, ymd, dow, f, depth + 1);
                }
                break;
            default:
                if (depth < 2) {
                    formatInto(out, f.LongDateFormat, ymd, dow, f, depth + 1);
                }
                break;
            }
            i += use;
        } else if (lc == 'm') {
            const size_t n = runLength(p, i, 'm');
            const size_t use = n > 4 ? 4 : n;
            switch (use) {
            case 1:
                out += std::to_string(ymd.Month);
                break;
            case 2:
                out += twoDigits(ymd.Month);
                break;
            case 3:
                out += f.ShortMonthNames[static_cast<size_t>(ymd.Month - 1)];
                break;
            default:
                out += f.LongMonthNames[static_cast<size_t>(ymd.Month - 1)];
                break;
            }
            i += use;
        } else if (lc == 'y') {
            const size_t n = runLength(p, i, 'y');
            out += n == 2 ? twoDigits(ymd.Year) : fourDigits(ymd.Year);
            i += n;
        } else if (c == '/') {
            out.push_back(f.DateSeparator);
            ++i;
        } else {
            out.push_back(c);
            ++i;
        }
    }
}

} // namespace

std::string FormatDate(const std::string& pattern, TDateValue date, const TLocaleFormats& formats) {
    const TYmd ymd = DecodeDate(date);
    std::string out;
    formatInto(out, pattern, ymd, DayOfWeek(date), formats, 0);
    return out;
}

bool ParseShortDate(const std::string& text, const TLocaleFormats& formats, TDateValue& out) {
    // The order of the day, month and year fields, from the first letter of each run.
    std::vector<char> order;
    const std::string& p = formats.ShortDateFormat;
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (c == '"' || c == '\'') {
            const size_t end = p.find(c, i + 1);
            i = end == std::string::npos ? p.size() : end + 1;
            continue;
        }
        const char lc = lower(c);
        if (lc == 'd' || lc == 'm' || lc == 'y') {
            const size_t n = runLength(p, i, lc);
            bool seen = false;
            for (char o : order) {
                seen = seen || o == lc;
            }
            if (!seen) {
                order.push_back(lc);
            }
            i += n;
        } else {
            ++i;
        }
    }
    if (order.size() != 3) {
        order = {'y', 'm', 'd'};
    }

    std::vector<std::string> numbers;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    size_t end = text.size();
    while (end > i && text[end - 1] == ' ') {
        --end;
    }
    while (i < end) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            std::string num;
            while (i < end && std::isdigit(static_cast<unsigned char>(text[i]))) {
                num.push_back(text[i++]);
            }
            numbers.push_back(num);
        } else {
            if (numbers.empty()) {
                return false; // nothing but digits may lead
            }
            ++i;
        }
    }
    if (numbers.size() != 3 || !std::isdigit(static_cast<unsigned char>(text[end - 1]))) {
        return false;
    }
    int day = 0, month = 0, year = 0;
    for (size_t k = 0; k < 3; ++k) {
        if (numbers[k].size() > 4) {
            return false;
        }
        const int v = std::stoi(numbers[k]);
        if (order[k] == 'd') {
            day = v;
        } else if (order[k] == 'm') {
            month = v;
        } else {
            year = numbers[k].size() <= 2 ? (v < 50 ? 2000 + v : 1900 + v) : v;
        }
    }
    return TryEncodeDate(year, month, day, out);
}

} // namespace kestrivel
