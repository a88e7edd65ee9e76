#include "base/UnitMessages.h"

#include "base/Services.h"
#include "base/QtPlatform.h"
#include "lang/MessageTable.h"

#include <QString>

namespace kestrivel {

namespace {

int Show(TServices& services, QWidget* parent, TMessageKind kind, int number, std::string_view argument,
         bool withCancel) {
    const std::optional<TMessageBox> box =
        BuildMessage(services.Messages(), kind, number, argument, withCancel);
    if (!box) {
        return TMessageResult::None;
    }
    return services.ShowBox(parent, *box);
}

} // namespace

void ShowError(TServices& services, QWidget* parent, int number, std::string_view argument) {
    Show(services, parent, TMessageKind::Error, number, argument, false);
}

void ShowInfo(TServices& services, QWidget* parent, int number, std::string_view argument) {
    Show(services, parent, TMessageKind::Info, number, argument, false);
}

int AskQuestion(TServices& services, QWidget* parent, int number, std::string_view argument,
                bool withCancel) {
    return Show(services, parent, TMessageKind::Question, number, argument, withCancel);
}

std::optional<std::string> InputValue(TServices& services, QWidget* parent, int number,
                                      const std::string& defaultText) {
    const std::optional<TMessageBox> box =
        BuildMessage(services.Messages(), TMessageKind::Input, number, defaultText);
    if (!box) {
        return std::nullopt;
    }
    return services.InputBox(parent, *box).value_or(defaultText);
}

QString CalendarDataFilter(const TServices& services) {
    return TextToQString(FileFilter(services.Messages(), CalendarDataFilterName));
}

QString ICalendarFilter(const TServices& services) {
    return TextToQString(FileFilter(services.Messages(), ICalendarFilterName));
}

void ShowLibraryError(TServices& services, QWidget* parent, const std::string& text) {
    TMessageBox box;
    box.Caption = "Kestrivel";
    box.Text = text;
    services.ShowBox(parent, box);
}

} // namespace kestrivel
