#include "X11WindowActivator.h"

#include "X11Connection.h"

#include <QWidget>

namespace {

bool hasWindowManager(xcb_connection_t* connection, xcb_window_t root) {
    const xcb_atom_t check = X11Connection::atom("_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE)
        return false;
    const auto cookie = xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1);
    const auto reply = X11Connection::adopt(xcb_get_property_reply(connection, cookie, nullptr));
    return reply && xcb_get_property_value_length(reply.get()) == 4;
}

} // namespace

void X11WindowActivator::activate(QWidget* window) {
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection || !window)
        return;
    const auto target = xcb_window_t(window->winId());
    const xcb_window_t root = X11Connection::rootWindow();
    if (hasWindowManager(connection, root)) {
        // Source 2: a request made on the person's behalf, which window managers honour.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = target;
        message.type = X11Connection::atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = 2;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    } else {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
    }
    xcb_flush(connection);
}
