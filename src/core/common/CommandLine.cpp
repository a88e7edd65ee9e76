#include "common/CommandLine.h"

#include <optional>

namespace kestrivel {

namespace {

struct OptionName {
    std::string_view Long;
    std::string_view Short; // empty when the option has none
    TCommand Command;
};

constexpr OptionName kOptions[] = {
    {"--help", "-h", TCommand::Help},   {"--version", "", TCommand::Version},
    {"--month", "", TCommand::Month},   {"--import", "", TCommand::Import},
    {"--export", "", TCommand::Export}, {"--sync", "", TCommand::Sync},
    {"--agenda", "", TCommand::Agenda}, {"--calendars", "", TCommand::ListCalendars},
};

// The window system's own options (Qt's and its X11 platform's), which the calendar hands on; the
// first group takes the next argument as its value.
constexpr std::string_view kWindowSystemOptionsWithValue[] = {
    "-platform",        "-platformpluginpath",
    "-platformtheme",   "-plugin",
    "-qwindowgeometry", "-qwindowtitle",
    "-qwindowicon",     "-geometry",
    "-title",           "-icon",
    "-display",         "-name",
    "-visual",          "-style",
    "-stylesheet",      "-session",
    "-qmljsdebugger",
};
constexpr std::string_view kWindowSystemOptions[] = {
    "-reverse", "-testability", "-nograb", "-dograb", "-widgetcount",
};

// Flags that change how a command runs, each with the one command it belongs to.
struct FlagName {
    std::string_view Long;
    TCommand Command;
    std::string_view CommandName;
    bool TCommandLine::*Field;
};

constexpr FlagName kFlags[] = {
    {"--allow-removals", TCommand::Sync, "--sync", &TCommandLine::AllowRemovals},
};

const FlagName* FlagNamed(std::string_view name) {
    for (const FlagName& flag : kFlags) {
        if (name == flag.Long) {
            return &flag;
        }
    }
    return nullptr;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

TCommandLine Wrong(std::string error) {
    TCommandLine line;
    line.Error = std::move(error);
    return line;
}

bool Listed(std::string_view name, const auto& names) {
    for (std::string_view listed : names) {
        if (name == listed) {
            return true;
        }
    }
    return false;
}

// A line of window-system options alone starts the calendar; anything else on it is refused here,
// since Qt would pass it by in silence or end the program on it.
TCommandLine WindowSystemLine(const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        if (argument.size() < 2 || argument[0] != '-' || argument[1] == '-') {
            return Wrong("unexpected argument '" + argument + "'");
        }
        if (Listed(name, kWindowSystemOptionsWithValue)) {
            if (equals == std::string::npos && ++i == arguments.size()) {
                return Wrong(argument + " needs a value");
            }
        } else if (equals != std::string::npos || !Listed(name, kWindowSystemOptions)) {
            return Wrong("unknown option '" + std::string(name) + "'");
        }
    }
    return {};
}

std::optional<TCommand> CommandNamed(std::string_view name) {
    for (const OptionName& option : kOptions) {
        if (name == option.Long || (!option.Short.empty() && name == option.Short)) {
            return option.Command;
        }
    }
    return std::nullopt;
}

// The option's value: the text after "=", else the next argument, which a FILE always is and a
// month only when it is no option.
TCommandLine WithValue(TCommand command, std::string_view name, std::optional<std::string> value,
                       const std::vector<std::string>& rest) {
    TCommandLine line;
    line.Command = command;
    const bool takesFile = command == TCommand::Import || command == TCommand::Export;
    size_t used = 0;
    if (command == TCommand::Agenda) {
        // Up to two dates, the first may follow "=".
        std::vector<std::string> dates;
        if (value) {
            dates.push_back(*value);
        }
        for (; used < rest.size() && dates.size() < 2 && !rest[used].starts_with('-'); ++used) {
            dates.push_back(rest[used]);
        }
        if (rest.size() > used) {
            return Wrong("unexpected argument '" + rest[used] + "'");
        }
        int y = 0, m = 0, d = 0;
        for (const std::string& date : dates) {
            if (!ParseIsoDate(date, y, m, d)) {
                return Wrong("'" + date + "' is not a date of the form YYYY-MM-DD");
            }
        }
        line.From = dates.empty() ? std::string() : dates[0];
        line.To = dates.size() < 2 ? std::string() : dates[1];
        if (!line.To.empty() && line.To < line.From) {
            return Wrong("the agenda ends (" + line.To + ") before it begins (" + line.From + ")");
        }
        return line;
    }
    if (!value && !rest.empty() &&
        (takesFile || (command == TCommand::Month && !rest.front().starts_with('-')))) {
        value = rest.front();
        used = 1;
    }
    if (rest.size() > used) {
        return Wrong("unexpected argument '" + rest[used] + "'");
    }
    if (command == TCommand::Month) {
        if (value && !ParseYearMonth(*value, line.Year, line.Month)) {
            return Wrong("'" + *value + "' is not a month of the form YYYY-MM");
        }
    } else if (takesFile) {
        if (!value || value->empty()) {
            return Wrong(std::string(name) + " needs a FILE");
        }
        line.File = *value;
    } else if (value) {
        return Wrong(std::string(name) + " takes no value");
    }
    return line;
}

TCommandLine ParseCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return {};
    }
    const std::string& first = arguments.front();
    if (first.size() > 1 && first[0] == '-' && first[1] != '-' && first != "-h") {
        return WindowSystemLine(arguments);
    }
    const size_t equals = first.starts_with("--") ? first.find('=') : std::string::npos;
    const std::string_view name = std::string_view(first).substr(0, equals);
    const std::optional<TCommand> command = CommandNamed(name);
    if (!command) {
        return Wrong(first.starts_with('-') ? "unknown option '" + std::string(name) + "'"
                                            : "unexpected argument '" + first + "'");
    }
    std::optional<std::string> value;
    if (equals != std::string::npos) {
        value = first.substr(equals + 1);
    }
    return WithValue(*command, name, std::move(value), {arguments.begin() + 1, arguments.end()});
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    std::vector<std::string> rest;
    std::vector<const FlagName*> flags;
    for (const std::string& argument : arguments) {
        if (const FlagName* flag = FlagNamed(argument)) {
            flags.push_back(flag);
        } else {
            rest.push_back(argument);
        }
    }
    TCommandLine line = ParseCommand(rest);
    for (const FlagName* flag : flags) {
        if (!line.Error.empty()) {
            break;
        }
        if (line.Command != flag->Command) {
            return Wrong(std::string(flag->Long) + " goes only with " + std::string(flag->CommandName));
        }
        line.*(flag->Field) = true;
    }
    return line;
}

bool ParseYearMonth(std::string_view text, int& year, int& month) {
    if (text.size() != 7 || text[4] != '-') {
        return false;
    }
    for (size_t i : {0, 1, 2, 3, 5, 6}) {
        if (!IsDigit(text[i])) {
            return false;
        }
    }
    const int y = (text[0] - '0') * 1000 + (text[1] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
    const int m = (text[5] - '0') * 10 + (text[6] - '0');
    if (y < 1 || m < 1 || m > 12) {
        return false;
    }
    year = y;
    month = m;
    return true;
}

bool ParseIsoDate(std::string_view text, int& year, int& month, int& day) {
    int y = 0, m = 0;
    if (text.size() != 10 || text[7] != '-' || !IsDigit(text[8]) || !IsDigit(text[9]) ||
        !ParseYearMonth(text.substr(0, 7), y, m)) {
        return false;
    }
    const int d = (text[8] - '0') * 10 + (text[9] - '0');
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d < 1 || d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) {
        return false;
    }
    year = y;
    month = m;
    day = d;
    return true;
}

std::string UsageText(std::string_view programName) {
    const std::string name(programName);
    return "Usage: " + name +
           " [OPTION]\n"
           "A month calendar on the desktop, with memos. Without an option the calendar starts.\n"
           "\n"
           "  --month [YYYY-MM]  print a month (the current one by default) with its memo days\n"
           "                     marked \"*\", and today's memo below the current month\n"
           "  --agenda [FROM [TO]]\n"
           "                     print every memo and event from FROM (today by default) to TO\n"
           "                     (30 days later by default), dates as YYYY-MM-DD: one line each with\n"
           "                     the date, the time or \"all day\", the calendar and the text,\n"
           "                     separated by tabs\n"
           "  --import FILE      add the memos of FILE to the memo file: an iCalendar file (.ics)\n"
           "                     or a memo exchange file (- reads one from the standard input)\n"
           "  --export FILE      write all memos to FILE: an iCalendar file (.ics) or a memo\n"
           "                     exchange file (- writes one to the standard output)\n"
           "  --sync             sync the memos once with the calendar server of section [Sync] in\n"
           "                     Settings.ini; the password is read from KESTRIVEL_SYNC_PASSWORD\n"
           "                     when it is set, else from the desktop's secret store\n"
           "  --calendars        list the calendars of the account of section [Sync], one line each\n"
           "                     with the address, the name and \"memos\" (it holds the memos),\n"
           "                     \"shown\" (a subscription shows it) or \"-\", separated by tabs\n"
           "  --sync --allow-removals\n"
           "                     the same, also when it removes more than half of the events the\n"
           "                     sync knows on the server (and more than ten); without it such a\n"
           "                     sync changes nothing and fails\n"
           "  -h, --help         print this help and end\n"
           "  --version          print the version and end\n"
           "\n"
           "Options of the window system (-platform, -style, -display, ...) begin with a single dash\n"
           "and start the calendar. The commands read the files the calendar uses and need no display.\n"
           "Exit status: 0 done, 1 a file could not be read or written, an import added nothing (or\n"
           "not everything: the memo list is full), an export left memos out, the sync failed or no\n"
           "display could be opened, 2 a wrong command line.\n";
}

std::string HelpHint(std::string_view programName) {
    return "Try '" + std::string(programName) + " --help' for more information.\n";
}

} // namespace kestrivel
