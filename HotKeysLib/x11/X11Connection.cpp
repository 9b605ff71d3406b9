#include "X11Connection.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHash>

#include <cstring>

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

} // namespace X11Connection
