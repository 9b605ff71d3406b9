#include "XClient.h"

#include <QDeadlineTimer>
#include <QThread>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace {

constexpr xcb_keysym_t kF11 = 0xffc8;

xcb_window_t rootOf(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

} // namespace

XClient::XClient()
    : connection(xcb_connect(nullptr, nullptr)) {}

XClient::~XClient() {
    xcb_disconnect(connection);
}

bool XClient::connected() const {
    return xcb_connection_has_error(connection) == 0;
}

bool XClient::windowManagerShowsAWindow(int capMs) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 40, 40, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection, window);
    xcb_flush(connection);
    bool shown = false;
    QDeadlineTimer deadline(capMs);
    while (!shown && !deadline.hasExpired()) {
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, window), nullptr);
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
        // Mapped straight on the root means no window manager handled the request yet.
        shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && tree &&
                tree->parent != screen->root;
        std::free(tree);
        std::free(attributes);
        if (!shown)
            QThread::msleep(20);
    }
    xcb_destroy_window(connection, window);
    xcb_flush(connection);
    return shown;
}

uint16_t XClient::heldModifiers() {
    xcb_query_pointer_reply_t* pointer = xcb_query_pointer_reply(
        connection, xcb_query_pointer(connection, rootOf(connection)), nullptr);
    const uint16_t held = pointer ? pointer->mask : 0;
    std::free(pointer);
    return held & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
}

bool XClient::grabSuperF11() {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, kF11);
    bool grabbed = codes && codes[0] != XCB_NO_SYMBOL;
    if (grabbed) {
        xcb_generic_error_t* error = xcb_request_check(
            connection, xcb_grab_key_checked(connection, 1, rootOf(connection), XCB_MOD_MASK_4,
                                             codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        grabbed = error == nullptr;
        std::free(error);
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    return grabbed;
}
