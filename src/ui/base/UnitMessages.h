#pragma once

#include <optional>
#include <string>
#include <string_view>

class QString;
class QWidget;

namespace kestrivel {

class TServices;

// The message routines: every box and the one input box of the program, built from the services'
// message table (so they speak the language the services were handed) and shown through them.

// Numbers 1 to 8; others show nothing.
void ShowError(TServices& services, QWidget* parent, int number, std::string_view argument = {});
// Numbers 1 to 7; others show nothing.
void ShowInfo(TServices& services, QWidget* parent, int number, std::string_view argument = {});
// Numbers 1 to 7: Yes 6, No 7, Cancel 2; others show nothing and return 0.
int AskQuestion(TServices& services, QWidget* parent, int number, std::string_view argument = {},
                bool withCancel = false);
// Number 1: the edited text on OK, `defaultText` on Cancel. Other numbers show nothing and return
// none, so the caller's value stays as it was.
std::optional<std::string> InputValue(TServices& services, QWidget* parent, int number,
                                      const std::string& defaultText);
// The file dialogs' filters in the language of the message table: memo and scheme files, and
// iCalendar files.
QString CalendarDataFilter(const TServices& services);
QString ICalendarFilter(const TServices& services);

// A failure in the platform's own words ("Unable to write to ...", "'x' is not a valid integer
// value"), captioned with the application title.
void ShowLibraryError(TServices& services, QWidget* parent, const std::string& text);

} // namespace kestrivel
