// Starts a program and waits, polling the X server every millisecond, until a viewable window with
// the X11 role "calendar" exists (the calendar and the bare program both set it). Prints the time
// from the start to then in milliseconds and the program's process id, and leaves the program
// running. A shell loop of xdotool and xwininfo calls would add 10-30 ms of its own per look.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Reply = std::unique_ptr<void, decltype(&free)>;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    Reply reply(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr), &free);
    return reply ? static_cast<xcb_intern_atom_reply_t*>(reply.get())->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool HasRole(xcb_connection_t* c, xcb_window_t window, xcb_atom_t roleAtom, const std::string& role) {
    Reply reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, roleAtom, XCB_ATOM_STRING, 0, 64), nullptr),
        &free);
    auto* property = static_cast<xcb_get_property_reply_t*>(reply.get());
    if (property == nullptr) {
        return false;
    }
    const int length = xcb_get_property_value_length(property);
    return std::string(static_cast<const char*>(xcb_get_property_value(property)), length) == role;
}

// Whether a viewable window below `window` (the window manager may have framed it) has the role.
bool Mapped(xcb_connection_t* c, xcb_window_t window, xcb_atom_t roleAtom, const std::string& role,
            int depth) {
    Reply tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &free);
    if (!tree) {
        return false;
    }
    auto* t = static_cast<xcb_query_tree_reply_t*>(tree.get());
    const xcb_window_t* children = xcb_query_tree_children(t);
    for (int i = 0; i < xcb_query_tree_children_length(t); ++i) {
        Reply attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr), &free);
        auto* a = static_cast<xcb_get_window_attributes_reply_t*>(attributes.get());
        if (a == nullptr || a->map_state != XCB_MAP_STATE_VIEWABLE) {
            continue;
        }
        if (HasRole(c, children[i], roleAtom, role) ||
            (depth > 0 && Mapped(c, children[i], roleAtom, role, depth - 1))) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: start_probe PROGRAM [ARG...]\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "start_probe: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t roleAtom = Atom(c, "WM_WINDOW_ROLE");
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    // The program's output goes nowhere: the caller reads only this probe's line.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&pid, argv[1], &quiet, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        std::fprintf(stderr, "start_probe: cannot start %s\n", argv[1]);
        return 2;
    }
    const auto limit = start + std::chrono::seconds(10);
    while (!Mapped(c, root, roleAtom, "calendar", 2)) {
        if (std::chrono::steady_clock::now() > limit) {
            std::printf("-1 %d\n", static_cast<int>(pid));
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f %d\n", ms, static_cast<int>(pid));
    xcb_disconnect(c);
    return 0;
}
