// The calendar's memo editor on the offscreen platform, driven line by line from the standard input,
// for tests that race it against other writers of one program folder:
//
//   edit YYYY MM DD TEXT   takes in Memos.dat as the calendar does while no editor is open, opens the
//                          editor of that day (a new memo, or the day's own) and prints "open"
//   ok                     types TEXT into the open editor and presses Ok; prints "done", or
//                          "box <text>" for every box the editor showed
//
// Boxes are recorded, never shown, so nothing waits for a user.
#include "FakeServices.h"
#include "config/ConfigData.h"
#include "memos/FormMemo.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

using namespace kestrivel;

namespace {

bool readLine(std::string& line) {
    return static_cast<bool>(std::getline(std::cin, line));
}

void say(const std::string& line) {
    std::cout << line << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: memo_editor_driver PROGRAM_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    TConfigData config(argv[1]);
    config.LoadMemos();
    FakeServices services;
    TfrmMemo editor(services);
    std::string line;
    while (readLine(line)) {
        std::istringstream words(line);
        std::string command;
        int year = 0, month = 0, day = 0;
        words >> command >> year >> month >> day;
        std::string text;
        std::getline(words >> std::ws, text);
        if (command != "edit" || year == 0) {
            std::fprintf(stderr, "memo_editor_driver: not understood: %s\n", line.c_str());
            return 2;
        }
        config.RefreshMemos();
        const size_t boxes = services.Boxes.size();
        bool pressed = false;
        editor.SetModalLoop([&](TfrmMemo& open) {
            say("open");
            std::string next;
            if (readLine(next) && next == "ok") {
                open.memText()->setPlainText(QString::fromStdString(text));
                open.btnOk()->click();
                pressed = true;
            }
        });
        EditMemoOfDay(editor, config, services, year, month, day, [] {});
        if (!pressed) {
            return 2;
        }
        for (size_t i = boxes; i < services.Boxes.size(); ++i) {
            say("box " + services.Boxes[i].Text);
        }
        say("done");
    }
    return 0;
}
