// A day's events as the calendar's user meets them, on the offscreen platform, for the sync tests:
//
//   event_views_driver PROGRAM_FOLDER YYYY-MM-DD
//
// starts the program on the folder as it starts for the user (its windows, the events read after the
// first paint), with services whose clock stands at noon of that date and which reach no network;
// waits until the events of that month are read; moves the mouse over the day and prints the
// calendar's hover text, then double-clicks the day and prints the memo editor's list of its events:
//
//   hover <line>   one per line of the hover text
//   event <line>   one per line of the editor's event list
//
// Boxes are recorded, never shown. Exits 1 when the month's events never came, 2 on a wrong call.
#include "Application.h"
#include "FakeServices.h"
#include "calendar/FormMain.h"
#include "memos/FormMemo.h"

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

using namespace kestrivel;

namespace {

// The month's events are read and expanded on threads of the program's own.
constexpr int kEventsWaitMs = 20000;

void say(const char* kind, const QString& text) {
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        std::cout << kind << ' ' << line.toStdString() << '\n';
    }
}

void send(QWidget& window, QEvent::Type type, const QPoint& at, Qt::MouseButton button) {
    QMouseEvent event(type, at, window.mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &event);
}

} // namespace

int main(int argc, char** argv) {
    const QDate date = argc == 3 ? QDate::fromString(QString::fromLocal8Bit(argv[2]), Qt::ISODate) : QDate();
    if (!date.isValid()) {
        std::fprintf(stderr, "usage: event_views_driver PROGRAM_FOLDER YYYY-MM-DD\n");
        return 2;
    }
    QApplication app(argc, argv);
    auto services = std::make_unique<FakeServices>();
    services->Clock = QDateTime(date, QTime(12, 0));
    const std::string folder = argv[1];
    TKestrivel program(std::move(services), ProgramPaths{folder, {folder}});
    program.Start();
    TfrmMain& calendar = program.MainWindow();
    const QDeadlineTimer deadline(kEventsWaitMs);
    while (calendar.ShownEvents() == nullptr && !deadline.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    if (calendar.ShownEvents() == nullptr) {
        std::fprintf(stderr, "event_views_driver: no events for %s were read from %s\n", argv[2], argv[1]);
        return 1;
    }
    QApplication::processEvents();
    const QPoint day = calendar.DayRect(date.day()).center();
    send(calendar, QEvent::MouseMove, day, Qt::NoButton);
    say("hover", calendar.toolTip());
    program.MemoEditor().SetModalLoop([](TfrmMemo& editor) {
        if (editor.memEvents() != nullptr && editor.memEvents()->isVisible()) {
            say("event", editor.memEvents()->toPlainText());
        }
        editor.btnCancel()->click();
    });
    send(calendar, QEvent::MouseButtonDblClick, day, Qt::LeftButton);
    send(calendar, QEvent::MouseButtonRelease, day, Qt::LeftButton);
    std::cout.flush();
    return 0;
}
