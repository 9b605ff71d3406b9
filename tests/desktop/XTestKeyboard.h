#pragma once

#include "Wait.h"

#include <algorithm>
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
        // A layout just put back may still be reaching the server's keymap.
        const bool found = waitUntil(
            [&] {
                held.clear();
                for (const xcb_keysym_t keysym : keysyms)
                    held.push_back(keycodeOf(keysym));
                return std::find(held.begin(), held.end(), 0) == held.end();
            },
            2000);
        if (!found)
            return false;
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

    // Gives each of the two keys the other's symbols, as a new keyboard layout may.
    bool swapKeys(xcb_keysym_t first, xcb_keysym_t second) {
        const xcb_keycode_t a = keycodeOf(first);
        const xcb_keycode_t b = keycodeOf(second);
        if (a == 0 || b == 0)
            return false;
        const std::vector<xcb_keysym_t> symsOfA = symbolsOf(a);
        const std::vector<xcb_keysym_t> symsOfB = symbolsOf(b);
        const auto width = std::uint8_t(symsOfA.size());
        if (width == 0 || symsOfB.size() != symsOfA.size())
            return false;
        xcb_change_keyboard_mapping(connection, 1, a, width, symsOfB.data());
        xcb_change_keyboard_mapping(connection, 1, b, width, symsOfA.data());
        xcb_flush(connection);
        return keycodeOf(first) == b;
    }

    // Whether another client holds a grab of the key with these modifiers.
    bool grabbedElsewhere(xcb_keysym_t keysym, std::uint16_t modifiers) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const xcb_keycode_t code = keycodeOf(keysym);
        xcb_generic_error_t* refused = xcb_request_check(
            connection, xcb_grab_key_checked(connection, 1, root, modifiers, code,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (!refused)
            xcb_ungrab_key(connection, code, root, modifiers);
        std::free(refused);
        xcb_flush(connection);
        return refused != nullptr;
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
    xcb_keycode_t keycodeOf(xcb_keysym_t keysym) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t code = found ? found[0] : 0;
        std::free(found);
        xcb_key_symbols_free(symbols);
        return code;
    }

    std::vector<xcb_keysym_t> symbolsOf(xcb_keycode_t code) {
        auto* mapping = xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, code, 1), nullptr);
        if (!mapping)
            return {};
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
        std::vector<xcb_keysym_t> result(syms, syms + mapping->keysyms_per_keycode);
        std::free(mapping);
        return result;
    }

    void fake(std::uint8_t type, xcb_keycode_t code) {
        std::free(xcb_request_check(connection, xcb_test_fake_input_checked(connection, type, code,
                                                                            XCB_CURRENT_TIME,
                                                                            XCB_NONE, 0, 0, 0)));
    }

    xcb_connection_t* connection;
    std::vector<xcb_keycode_t> held;
};
