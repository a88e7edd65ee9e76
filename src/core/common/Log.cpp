#include "common/Log.h"

#include <atomic>

namespace kestrivel {

namespace {

std::atomic<ILogSink*> g_sink{nullptr};

} // namespace

void SetLogSink(ILogSink* sink) {
    g_sink.store(sink);
}

bool LogEnabled(TLogArea area) {
    ILogSink* sink = g_sink.load();
    return sink != nullptr && sink->Enabled(area);
}

void WriteLog(TLogArea area, const std::string& line) {
    if (ILogSink* sink = g_sink.load(); sink != nullptr && sink->Enabled(area)) {
        sink->Write(area, line);
    }
}

} // namespace kestrivel
