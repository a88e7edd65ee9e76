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

// The desktop session a calendar belongs to, as a part of a file name: "x11-0" for the X display
// ":0" or ":0.1" (screens of one display are one session), "x11-host-10" for "host:10.0",
// "wayland-0" for that Wayland display ("wayland-0" where it is unset); characters that do not suit
// a file name become "_". Other platforms give their own name ("offscreen").
std::string SessionName(const std::string& platform, const std::string& display,
                        const std::string& waylandDisplay);

} // namespace kestrivel
