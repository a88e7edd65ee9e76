#pragma once

#include <string>

namespace kestrivel {

// The variables of the environment that decide the window-system platform, as the program's caller
// read them; empty means unset.
struct PlatformEnvironment {
    std::string QtQpaPlatform;  // QT_QPA_PLATFORM: the user's own choice
    std::string XdgSessionType; // XDG_SESSION_TYPE
    std::string WaylandDisplay; // WAYLAND_DISPLAY
    std::string Display;        // DISPLAY: an X server, XWayland in a Wayland session
};

// The platform the calendar asks Qt for, or "" for Qt's own choice. A Wayland client can neither
// place its window nor cut it to a shape, so in a Wayland session with XWayland the calendar runs on
// "xcb"; a platform the user chose always stands, and without XWayland it starts on Wayland anyway.
std::string ChoosePlatform(const PlatformEnvironment& env);

} // namespace kestrivel
