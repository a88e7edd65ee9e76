#pragma once

namespace kestrivel {

// Qt ends a program whose window system cannot be reached with an abort and a page of advice about
// reinstalling. While one of these lives (around the making of the application object), Qt's
// messages are held back, and a fatal one ends the program with one line naming the display and
// exit code 1: a platform plugin that is missing by its name, else the display, from the
// environment or the -display option of `argv`. The held messages go out as usual when it ends.
class WindowSystemStart {
public:
    WindowSystemStart(int argc, char** argv);
    ~WindowSystemStart();
    WindowSystemStart(const WindowSystemStart&) = delete;
    WindowSystemStart& operator=(const WindowSystemStart&) = delete;
};

} // namespace kestrivel
