#pragma once

#include <QLoggingCategory>

namespace kestrivel {

// The program's log, off unless asked for: QT_LOGGING_RULES="kestrivel.*=true" shows the sync's
// steps and why it stopped (kestrivel.sync), each save of a file (kestrivel.files) and, from the
// network module, each request with its answer and time (kestrivel.http).
Q_DECLARE_LOGGING_CATEGORY(lcSync)
Q_DECLARE_LOGGING_CATEGORY(lcFiles)

// Hands the core a sink that writes its lines to these categories. Called once, first thing in main.
void InstallCoreLog();

} // namespace kestrivel
