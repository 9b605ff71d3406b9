#include "X11Connection.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHash>

#include <cstring>

// xkb.h names a field "explicit"; the last include, so no other header sees the rename.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace X11Connection {

xcb_connection_t* connection() {
    static xcb_connection_t* const found = [] {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        return x11 ? x11->connection() : nullptr;
    }();
    return found;
}

xcb_window_t rootWindow() {
    static const xcb_window_t root = [] {
        xcb_connection_t* c = connection();
        return c ? xcb_setup_roots_iterator(xcb_get_setup(c)).data->root : xcb_window_t(0);
    }();
    return root;
}

xcb_atom_t atom(const char* name) {
    static QHash<QByteArray, xcb_atom_t> interned;
    const QByteArray key(name);
    if (const auto found = interned.constFind(key); found != interned.cend())
        return *found;
    xcb_connection_t* c = connection();
    if (!c)
        return XCB_ATOM_NONE;
    const auto cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    const auto reply = adopt(xcb_intern_atom_reply(c, cookie, nullptr));
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (result != XCB_ATOM_NONE)
        interned.insert(key, result);
    return result;
}

std::uint8_t xkbFirstEvent() {
    static const std::uint8_t first = [] {
        xcb_connection_t* c = connection();
        const xcb_query_extension_reply_t* xkb =
            c ? xcb_get_extension_data(c, &xcb_xkb_id) : nullptr;
        if (!xkb || !xkb->present)
            return std::uint8_t(0);
        const auto used = adopt(xcb_xkb_use_extension_reply(
            c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
        if (!used || !used->supported)
            return std::uint8_t(0);
        // Added to what the toolkit selected on the same connection, never taken from it.
        const std::uint16_t events =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, 0, 0, nullptr);
        xcb_flush(c);
        return xkb->first_event;
    }();
    return first;
}

bool isKeymapChange(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & ~0x80;
    if (type == XCB_MAPPING_NOTIFY)
        return true;
    const std::uint8_t xkb = xkbFirstEvent();
    if (xkb == 0 || type != xkb)
        return false;
    // Every XKB event carries its own kind in the second byte.
    const std::uint8_t kind = reinterpret_cast<const std::uint8_t*>(event)[1];
    return kind == XCB_XKB_NEW_KEYBOARD_NOTIFY || kind == XCB_XKB_MAP_NOTIFY;
}

} // namespace X11Connection
