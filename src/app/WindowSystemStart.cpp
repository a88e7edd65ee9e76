#include "WindowSystemStart.h"

#include "common/CommandLine.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrivel {

namespace {

struct HeldMessage {
    QtMsgType Type;
    const char* File;
    int Line;
    const char* Function;
    const char* Category;
    QString Text;
};

QtMessageHandler g_previous = nullptr;
std::vector<HeldMessage> g_held;

// Why the window system could not be reached, in the user's terms.
std::string Reason() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    }
    // The platform's own warning names the display it tried; the plugin loader's come after it.
    for (const HeldMessage& held : g_held) {
        const QString category = QString::fromLatin1(held.Category);
        if (category.startsWith(QLatin1String("qt.qpa")) && category != QLatin1String("qt.qpa.plugin")) {
            return "the display cannot be opened (" + held.Text.trimmed().toStdString() + ")";
        }
    }
    return "the display cannot be opened";
}

void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const std::string line = "kestrivel: cannot start the calendar: " + Reason() + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        _exit(kExitFailure);
    }
    g_held.push_back({type, context.file, context.line, context.function, context.category, text});
}

} // namespace

WindowSystemStart::WindowSystemStart() {
    g_previous = qInstallMessageHandler(Hold);
}

WindowSystemStart::~WindowSystemStart() {
    qInstallMessageHandler(g_previous);
    for (const HeldMessage& held : g_held) {
        const QMessageLogContext context(held.File, held.Line, held.Function, held.Category);
        qt_message_output(held.Type, context, held.Text);
    }
    g_held.clear();
}

} // namespace kestrivel
