#pragma once

class QThread;

namespace kestrivel {

// Threads whose work may outlast their owner (a sync told to stop, the calendar search of a closed
// dialog) are kept here and joined before main returns, so none outlives the program's static
// objects (the log sink among them). Takes `thread`, which has no parent; kept threads that have
// finished are freed on the way. GUI thread only.
void KeepUntilExit(QThread* thread);

// Waits for every kept thread and frees it: main calls it before it returns.
void JoinThreadsAtExit();

} // namespace kestrivel
