#pragma once

#include "common/CommandLine.h"

namespace kestrivel {

// Does what the command line asks, without a display and without the calendar's windows, and
// returns the program's exit code. The memo commands work on the user's files through the data
// owner, as the calendar does; `argc` and `argv` go to the application object they need.
int RunCommandLine(const TCommandLine& line, int& argc, char** argv);

} // namespace kestrivel
