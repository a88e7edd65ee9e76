#include "WindowSystemStart.h"

#include "common/CommandLine.h"

#include <QRegularExpression>
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
// The window-system options of the command line, which Qt reads before the environment.
std::string g_displayOption;
std::string g_platformOption;

// The value of "-name value" or "-name=value" in the arguments; empty when not given.
std::string OptionValue(int argc, char** argv, const std::string& name) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == name && i + 1 < argc) {
            return argv[i + 1];
        }
        if (argument.starts_with(name + "=")) {
            return argument.substr(name.size() + 1);
        }
    }
    return {};
}

// The plugin Qt did not find, from its loader's warning: Could not find the Qt platform plugin
// "name" in "".
std::string MissingPlugin() {
    static const QRegularExpression pattern(
        QStringLiteral("Could not find the Qt platform plugin \"([^\"]*)\""));
    for (const HeldMessage& held : g_held) {
        if (QLatin1String(held.Category) == QLatin1String("qt.qpa.plugin")) {
            const QRegularExpressionMatch match = pattern.match(held.Text);
            if (match.hasMatch()) {
                return match.captured(1).toStdString();
            }
        }
    }
    return {};
}

// The plugins Qt offers, from its fatal message: "Available platform plugins are: a, b, c."
std::string AvailablePlugins(const QString& fatal) {
    static const QRegularExpression pattern(
        QStringLiteral("Available platform plugins are: ([^\n]*?)\\.?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(fatal);
    return match.hasMatch() ? match.captured(1).toStdString() : std::string();
}

// Why the window system could not be reached, in the user's terms.
std::string Reason(const QString& fatal) {
    if (const std::string plugin = MissingPlugin(); !plugin.empty()) {
        const std::string available = AvailablePlugins(fatal);
        return "the window-system plugin \"" + plugin + "\" is not installed" +
               (available.empty() ? std::string() : " (installed: " + available + ")");
    }
    if (g_displayOption.empty() && g_platformOption.empty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    }
    // The platform's own warning names the display it tried; the plugin loader's come after it.
    for (const HeldMessage& held : g_held) {
        const QString category = QString::fromLatin1(held.Category);
        if (category.startsWith(QLatin1String("qt.qpa")) && category != QLatin1String("qt.qpa.plugin")) {
            return "the display cannot be opened (" + held.Text.trimmed().toStdString() + ")";
        }
    }
    if (!g_displayOption.empty()) {
        return "the display " + g_displayOption + " given by -display cannot be opened";
    }
    return "the display cannot be opened";
}

void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const std::string line = "kestrivel: cannot start the calendar: " + Reason(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        _exit(kExitFailure);
    }
    g_held.push_back({type, context.file, context.line, context.function, context.category, text});
}

} // namespace

WindowSystemStart::WindowSystemStart(int argc, char** argv) {
    g_displayOption = OptionValue(argc, argv, "-display");
    g_platformOption = OptionValue(argc, argv, "-platform");
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
