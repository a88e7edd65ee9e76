#include "common/PlatformChoice.h"

namespace kestrivel {

namespace {

std::string FileNamePart(std::string text) {
    for (char& c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_';
        if (!plain) {
            c = '_';
        }
    }
    return text;
}

// "host:10.0" as "host-10": the host (if any) and the display number, without the screen.
std::string X11Session(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos) {
        return FileNamePart(display);
    }
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    const std::string host = display.substr(0, colon);
    return FileNamePart(host.empty() ? number : host + "-" + number);
}

} // namespace

std::string ChoosePlatform(const PlatformEnvironment& env) {
    if (!env.QtQpaPlatform.empty()) {
        return {};
    }
    const bool wayland = env.XdgSessionType == "wayland" || !env.WaylandDisplay.empty();
    return wayland && !env.Display.empty() ? "xcb" : std::string();
}

std::string SessionName(const std::string& platform, const std::string& display,
                        const std::string& waylandDisplay) {
    if (platform == "xcb") {
        return "x11-" + X11Session(display);
    }
    if (platform.starts_with("wayland")) {
        std::string name = waylandDisplay.empty() ? std::string("wayland-0") : waylandDisplay;
        // An absolute socket path names the display by its last part.
        name = name.substr(name.rfind('/') + 1);
        return FileNamePart(name.starts_with("wayland") ? name : "wayland-" + name);
    }
    return FileNamePart(platform);
}

} // namespace kestrivel
