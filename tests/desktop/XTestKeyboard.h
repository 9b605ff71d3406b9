#pragma once

#include "Wait.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

// xkb.h names a field "explicit"; the last include, so no other header sees the rename.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <vector>

// Keys pressed through XTest by key code on a connection of its own to $DISPLAY. xdotool may
// lock another layout group around its keys, which would hide what a locked group does.
class XTestKeyboard {
public:
    XTestKeyboard()
        : connection(xcb_connect(nullptr, nullptr)) {
        std::free(xcb_xkb_use_extension_reply(connection, xcb_xkb_use_extension(connection, 1, 0),
                                              nullptr));
    }
    ~XTestKeyboard() { xcb_disconnect(connection); }
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    // Presses the keys in order, in the layout as it is now; false when one has no key.
    bool press(const std::vector<xcb_keysym_t>& keysyms) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        held.clear();
        for (const xcb_keysym_t keysym : keysyms) {
            xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym);
            held.push_back(found ? found[0] : 0);
            std::free(found);
        }
        xcb_key_symbols_free(symbols);
        for (const xcb_keycode_t code : held) {
            if (code == 0)
                return false;
        }
        for (const xcb_keycode_t code : held)
            fake(XCB_KEY_PRESS, code);
        return true;
    }

    // Lets the pressed keys go in reverse order; the server has taken them when this returns.
    void release() {
        for (auto code = held.rbegin(); code != held.rend(); ++code)
            fake(XCB_KEY_RELEASE, *code);
        held.clear();
    }

    bool lockGroup(int group) {
        xcb_xkb_latch_lock_state(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0);
        xcb_flush(connection);
        return waitUntil([&] { return activeGroup() == group; }, 2000);
    }

    int activeGroup() {
        auto* state = xcb_xkb_get_state_reply(
            connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr);
        const int group = state ? state->group : -1;
        std::free(state);
        return group;
    }

private:
    void fake(std::uint8_t type, xcb_keycode_t code) {
        std::free(xcb_request_check(connection, xcb_test_fake_input_checked(connection, type, code,
                                                                            XCB_CURRENT_TIME,
                                                                            XCB_NONE, 0, 0, 0)));
    }

    xcb_connection_t* connection;
    std::vector<xcb_keycode_t> held;
};
