#include "base/X11Window.h"

#include "base/QtPlatform.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QEvent>
#include <QString>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrivel {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

void SetCardinal(xcb_connection_t* connection, xcb_window_t id, const char* name, uint32_t value) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, name), XCB_ATOM_CARDINAL, 32,
                        1, &value);
}

// The window's ancestor that is a child of the root: a window manager's frame, or the window itself.
xcb_window_t TopLevel(xcb_connection_t* connection, xcb_window_t id, xcb_window_t& root) {
    for (int depth = 0; depth < 16; ++depth) {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr);
        if (tree == nullptr) {
            return XCB_WINDOW_NONE;
        }
        root = tree->root;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE) {
            return id;
        }
        id = parent;
    }
    return XCB_WINDOW_NONE;
}

// How far around a window compositors paint its shadow: xcompmgr's reaches 15 pixels up and left and
// 21 right and down by default, further with its options or in other compositors.
constexpr int kShadowReach = 128;

// Follows the maps of the windows it is given and drops the shadow a compositor may have made for
// each (see AskNoCompositorShadow). Every step waits for the window manager's answer to the one before,
// so the compositor, which sees the same events in the same order, has dropped the shadow before it is
// asked to repaint around the window.
class ShadowSweeper : public QAbstractNativeEventFilter {
public:
    static ShadowSweeper& Instance() {
        static ShadowSweeper* sweeper = [] {
            auto* created = new ShadowSweeper;
            qGuiApp->installNativeEventFilter(created);
            return created;
        }();
        return *sweeper;
    }

    void Watch(QWindow& window) { m_windows[static_cast<xcb_window_t>(window.winId())].Window = &window; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != QByteArrayLiteral("xcb_generic_event_t") || m_windows.isEmpty()) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            Mapped(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window);
            break;
        case XCB_CONFIGURE_NOTIFY:
            Configured(*reinterpret_cast<const xcb_configure_notify_event_t*>(event));
            break;
        case XCB_DESTROY_NOTIFY:
            m_windows.remove(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
            break;
        default:
            break;
        }
        return false;
    }

private:
    enum class Phase { Idle, Growing, Restoring };
    struct Sweep {
        QPointer<QWindow> Window;
        Phase State = Phase::Idle;
        uint16_t Width = 0;
        uint16_t Height = 0;
    };

    void Mapped(xcb_window_t id);
    void Configured(const xcb_configure_notify_event_t& event);
    static void ExposeAround(xcb_connection_t* connection, xcb_window_t id, const Sweep& sweep);

    QHash<xcb_window_t, Sweep> m_windows;
};

void ShadowSweeper::Mapped(xcb_window_t id) {
    const auto found = m_windows.find(id);
    xcb_connection_t* connection = X11Connection();
    if (found == m_windows.end() || connection == nullptr) {
        return;
    }
    Sweep& sweep = found.value();
    if (sweep.Window.isNull() || !CompositorActive(sweep.Window->screen())) {
        sweep.State = Phase::Idle;
        return;
    }
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    if (geometry == nullptr) {
        return;
    }
    sweep.Width = geometry->width;
    sweep.Height = geometry->height;
    std::free(geometry);
    // The frame is mapped by now: a window manager maps it with the window or before it.
    xcb_window_t root = XCB_WINDOW_NONE;
    const xcb_window_t top = TopLevel(connection, id, root);
    if (top != XCB_WINDOW_NONE && top != id) {
        SetCardinal(connection, top, "_COMPTON_SHADOW", 0);
    }
    const uint32_t grown[] = {sweep.Width + 1u, sweep.Height};
    const uint32_t restored[] = {sweep.Width, sweep.Height};
    const uint16_t mask = XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
    xcb_configure_window(connection, id, mask, grown);
    xcb_configure_window(connection, id, mask, restored);
    xcb_flush(connection);
    sweep.State = Phase::Growing;
}

void ShadowSweeper::Configured(const xcb_configure_notify_event_t& event) {
    const auto found = m_windows.find(event.window);
    xcb_connection_t* connection = X11Connection();
    if (found == m_windows.end() || connection == nullptr) {
        return;
    }
    Sweep& sweep = found.value();
    if (sweep.State == Phase::Growing && event.width == sweep.Width + 1) {
        sweep.State = Phase::Restoring;
    } else if (sweep.State == Phase::Restoring && event.width == sweep.Width &&
               event.height == sweep.Height) {
        // A window manager resizes the frame before the window when it shrinks: the compositor has seen
        // both sizes of the frame.
        sweep.State = Phase::Idle;
        ExposeAround(connection, event.window, sweep);
    }
}

void ShadowSweeper::ExposeAround(xcb_connection_t* connection, xcb_window_t id, const Sweep& sweep) {
    xcb_window_t root = XCB_WINDOW_NONE;
    if (TopLevel(connection, id, root) == XCB_WINDOW_NONE) {
        return;
    }
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, id, root, 0, 0), nullptr);
    if (place == nullptr) {
        return;
    }
    const int left = std::max(0, place->dst_x - kShadowReach);
    const int top = std::max(0, place->dst_y - kShadowReach);
    const int right = place->dst_x + sweep.Width + kShadowReach;
    const int bottom = place->dst_y + sweep.Height + kShadowReach;
    std::free(place);
    if (right <= left || bottom <= top) {
        return;
    }
    // An Expose of the root is how the compositor learns that the desktop there needs painting again;
    // sent rather than caused by clearing, so no pixel changes before it repaints. Events are sent as
    // 32 bytes.
    xcb_expose_event_t expose{};
    expose.response_type = XCB_EXPOSE;
    expose.window = root;
    expose.x = static_cast<uint16_t>(left);
    expose.y = static_cast<uint16_t>(top);
    expose.width = static_cast<uint16_t>(std::min(right - left, 0xFFFF));
    expose.height = static_cast<uint16_t>(std::min(bottom - top, 0xFFFF));
    expose.count = 0;
    char buffer[32] = {};
    std::memcpy(buffer, &expose, sizeof(expose));
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_EXPOSURE, buffer);
    xcb_flush(connection);
}

// The window manager's name (_NET_WM_NAME of its _NET_SUPPORTING_WM_CHECK window); empty without one.
QByteArray WindowManagerName(xcb_connection_t* connection, xcb_window_t root) {
    const auto read = [connection](xcb_window_t id, xcb_atom_t property, xcb_atom_t type, uint32_t length) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, id, property, type, 0, length), nullptr);
        QByteArray value;
        if (reply != nullptr && reply->type == type) {
            value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        }
        std::free(reply);
        return value;
    };
    const QByteArray check = read(root, Atom(connection, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 1);
    if (check.size() != sizeof(xcb_window_t)) {
        return {};
    }
    xcb_window_t manager = XCB_WINDOW_NONE;
    std::memcpy(&manager, check.constData(), sizeof(manager));
    return read(manager, Atom(connection, "_NET_WM_NAME"), Atom(connection, "UTF8_STRING"), 64);
}

// Puts the toolbar type first in the window types Qt gave the dialog's native window.
void MarkToolbarFirst(xcb_connection_t* connection, xcb_window_t id) {
    const xcb_atom_t property = Atom(connection, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t toolbar = Atom(connection, "_NET_WM_WINDOW_TYPE_TOOLBAR");
    std::vector<xcb_atom_t> types{toolbar};
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, property, XCB_ATOM_ATOM, 0, 16), nullptr);
    if (reply != nullptr && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
            if (values[i] != toolbar) {
                types.push_back(values[i]);
            }
        }
    }
    std::free(reply);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(types.size()), types.data());
    xcb_flush(connection);
}

// Marks the dialog when it is shown: the show event comes after its native window is made and before
// it is mapped, and Qt sets the window types anew whenever it makes one.
class CloseButtonOnly : public QObject {
public:
    explicit CloseButtonOnly(QWidget& dialog) : QObject(&dialog) { dialog.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QWidget*>(watched);
        xcb_connection_t* connection = X11Connection();
        if (event->type() != QEvent::Show || dialog == nullptr || connection == nullptr ||
            dialog->windowHandle() == nullptr) {
            return false;
        }
        const auto id = static_cast<xcb_window_t>(dialog->winId());
        xcb_window_t root = XCB_WINDOW_NONE;
        if (TopLevel(connection, id, root) != XCB_WINDOW_NONE &&
            WindowManagerName(connection, root) == QByteArrayLiteral("Openbox")) {
            MarkToolbarFirst(connection, id);
        }
        return false;
    }
};

// The window's _NET_WM_STATE property as it stands (`state` is that atom): for an unmapped window,
// the states the window manager reads when it maps it.
std::vector<xcb_atom_t> StateAtoms(xcb_connection_t* connection, xcb_window_t id, xcb_atom_t state) {
    std::vector<xcb_atom_t> atoms;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(values, values + xcb_get_property_value_length(reply) / sizeof(xcb_atom_t));
    }
    std::free(reply);
    return atoms;
}

} // namespace

void MarkSkipTaskbarAndPager(QWindow& window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window.isExposed()) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 Atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    // An unmapped window's states are its property; the window manager reads them when it maps it.
    std::vector<xcb_atom_t> atoms = StateAtoms(connection, id, state);
    for (xcb_atom_t atom : wanted) {
        if (atom != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), atom) == atoms.end()) {
            atoms.push_back(atom);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(connection);
}

void RemarkMappedWindow(QWindow& window, const QString& role) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || !window.isVisible()) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    const xcb_window_t root = geometry ? geometry->root : xcb_window_t(XCB_WINDOW_NONE);
    std::free(geometry);
    if (root == XCB_WINDOW_NONE) {
        return;
    }
    const QByteArray roleBytes = role.toLatin1();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, "WM_WINDOW_ROLE"),
                        XCB_ATOM_STRING, 8, static_cast<uint32_t>(roleBytes.size()), roleBytes.constData());

    // The window manager takes this request after the map that Qt sent before it, so it applies to
    // the managed window whatever it did with the properties.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = Atom(connection, "_NET_WM_STATE");
    message.data.data32[0] = 1; // add
    message.data.data32[1] = Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    message.data.data32[2] = Atom(connection, "_NET_WM_STATE_SKIP_PAGER");
    message.data.data32[3] = 1; // from an application
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

void AskNoCompositorShadow(QWindow& window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return;
    }
    SetCardinal(connection, static_cast<xcb_window_t>(window.winId()), "_COMPTON_SHADOW", 0);
    xcb_flush(connection);
    ShadowSweeper::Instance().Watch(window);
}

void AskOnlyCloseButton(QWidget& dialog) {
    new CloseButtonOnly(dialog);
}

bool AskAbove(QWidget& dialog, bool above) {
    xcb_connection_t* connection = X11Connection();
    QWindow* window = dialog.windowHandle();
    if (connection == nullptr || window == nullptr) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {Atom(connection, "_NET_WM_STATE_ABOVE"),
                                 Atom(connection, "_NET_WM_STATE_STAYS_ON_TOP")};
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
    const bool mapped = attributes != nullptr && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    std::free(attributes);
    if (!mapped) {
        // The states of a window about to be mapped are its property, which Qt adds its own to.
        std::vector<xcb_atom_t> atoms = StateAtoms(connection, id, state);
        for (xcb_atom_t atom : wanted) {
            atoms.erase(std::remove(atoms.begin(), atoms.end(), atom), atoms.end());
            if (above) {
                atoms.push_back(atom);
            }
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(atoms.size()), atoms.data());
        xcb_flush(connection);
        return true;
    }
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    const xcb_window_t root = geometry ? geometry->root : xcb_window_t(XCB_WINDOW_NONE);
    std::free(geometry);
    if (root == XCB_WINDOW_NONE) {
        return true;
    }
    // A mapped window's states belong to the window manager: asked for, not written.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = state;
    message.data.data32[0] = above ? 1 : 0; // add or remove
    message.data.data32[1] = wanted[0];
    message.data.data32[2] = wanted[1];
    message.data.data32[3] = 1; // from an application
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    return true;
}

} // namespace kestrivel
