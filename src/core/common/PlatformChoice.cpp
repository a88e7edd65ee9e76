#include "common/PlatformChoice.h"

#include <cstdlib>

namespace kestrivel {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

} // namespace

PlatformEnvironment ReadPlatformEnvironment() {
    return {Variable("QT_QPA_PLATFORM"), Variable("XDG_SESSION_TYPE"), Variable("WAYLAND_DISPLAY"),
            Variable("DISPLAY")};
}

std::string ChoosePlatform(const PlatformEnvironment& env) {
    if (!env.QtQpaPlatform.empty()) {
        return {};
    }
    const bool wayland = env.XdgSessionType == "wayland" || !env.WaylandDisplay.empty();
    return wayland && !env.Display.empty() ? "xcb" : std::string();
}

} // namespace kestrivel
