#pragma once

#include <string>

namespace kestrivel {

// The areas the core writes log lines about; the program shows each as a logging category of its
// own (kestrivel.sync, kestrivel.files), off unless asked for.
enum class TLogArea {
    Sync,  // the sync's steps, what it found and why it stopped
    Files, // each save of a file, and why one failed
};

// Where the core's log lines go. The core knows no logging library: the program hands it one sink
// at start, before any thread runs; tests may hand their own. Without a sink nothing is logged.
class ILogSink {
public:
    virtual ~ILogSink() = default;
    // Whether lines of `area` are wanted at all: callers skip building them otherwise.
    virtual bool Enabled(TLogArea area) const = 0;
    // One line, English, no line break; called from any thread.
    virtual void Write(TLogArea area, const std::string& line) = 0;
};

// Sets the sink (not owned; null for none).
void SetLogSink(ILogSink* sink);
bool LogEnabled(TLogArea area);
void WriteLog(TLogArea area, const std::string& line);

} // namespace kestrivel
