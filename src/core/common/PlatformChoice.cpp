#include "common/PlatformChoice.h"

namespace kestrivel {

std::string ChoosePlatform(const PlatformEnvironment& env) {
    if (!env.QtQpaPlatform.empty()) {
        return {};
    }
    const bool wayland = env.XdgSessionType == "wayland" || !env.WaylandDisplay.empty();
    return wayland && !env.Display.empty() ? "xcb" : std::string();
}

} // namespace kestrivel
