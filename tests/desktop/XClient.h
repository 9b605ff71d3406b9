#pragma once

#include "TestTools.h"

#include <QRect>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
// xkb.h names a field "explicit"; the last include, so no other header sees the rename.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

// A connection of the test's own to $DISPLAY for what xdotool cannot do: keys pressed by key
// code (xdotool may lock another layout group around its keys, which would hide what a locked
// group does), the modifiers held, a key grabbed as another program would, keys moved, and
// whether a window manager shows windows yet.
class XClient {
public:
    XClient()
        : connection(xcb_connect(nullptr, nullptr)) {
        if (connected()) {
            screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
            std::free(xcb_xkb_use_extension_reply(
                connection, xcb_xkb_use_extension(connection, 1, 0), nullptr));
        }
    }
    ~XClient() { xcb_disconnect(connection); }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool connected() const { return xcb_connection_has_error(connection) == 0; }

    // Maps a small window and waits up to `capMs` until the window manager has framed it and
    // shown it; one that is not ready yet may leave it unmapped for ever.
    bool windowManagerShowsAWindow(int capMs) {
        const xcb_window_t window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 40, 40, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection, window);
        xcb_flush(connection);
        const bool shown = waitUntil(
            [&] {
                const auto attributes = owned(xcb_get_window_attributes_reply(
                    connection, xcb_get_window_attributes(connection, window), nullptr));
                const auto tree = owned(
                    xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
                // Mapped straight on the root means no window manager handled the request yet.
                return attributes && tree && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                       tree->parent != screen->root;
            },
            capMs);
        xcb_destroy_window(connection, window);
        xcb_flush(connection);
        return shown;
    }

    QRect screenRect() const { return {0, 0, screen->width_in_pixels, screen->height_in_pixels}; }

    // Where the window lies on the screen with the frame its window manager put around it;
    // empty until it has one.
    QRect frameOf(xcb_window_t window) {
        bool framed = false;
        for (;;) {
            const auto tree = owned(
                xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
            if (!tree || tree->parent == tree->root)
                break;
            window = tree->parent;
            framed = true;
        }
        const auto place = owned(
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
        return framed && place ? QRect(place->x, place->y, place->width + 2 * place->border_width,
                                       place->height + 2 * place->border_width)
                               : QRect();
    }

    // Shift, Control, Alt (Mod1) and Super (Mod4) bits that the server sees held down now.
    uint16_t heldModifiers() {
        const auto pointer = owned(xcb_query_pointer_reply(
            connection, xcb_query_pointer(connection, screen->root), nullptr));
        return pointer ? pointer->mask & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL |
                                          XCB_MOD_MASK_1 | XCB_MOD_MASK_4)
                       : 0;
    }

    // Grabs the key with these modifiers for as long as this client lives; false when another
    // client holds it.
    bool grab(xcb_keysym_t keysym, uint16_t modifiers) {
        const xcb_keycode_t code = keycodeOf(keysym);
        return code &&
               !owned(xcb_request_check(
                   connection, xcb_grab_key_checked(connection, 1, screen->root, modifiers, code,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    }

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
        for (const xcb_keycode_t code : found ? held : std::vector<xcb_keycode_t>())
            fake(XCB_KEY_PRESS, code);
        return found;
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
        const std::vector<xcb_keysym_t> symsOfA = symbolsOf(a);
        const std::vector<xcb_keysym_t> symsOfB = symbolsOf(b);
        if (a == 0 || b == 0 || symsOfA.empty() || symsOfB.size() != symsOfA.size())
            return false;
        const auto width = uint8_t(symsOfA.size());
        xcb_change_keyboard_mapping(connection, 1, a, width, symsOfB.data());
        xcb_change_keyboard_mapping(connection, 1, b, width, symsOfA.data());
        xcb_flush(connection);
        return keycodeOf(first) == b;
    }

    bool lockGroup(int group) {
        xcb_xkb_latch_lock_state(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0);
        xcb_flush(connection);
        return waitUntil([&] { return activeGroup() == group; }, 2000);
    }

    int activeGroup() {
        const auto state = owned(xcb_xkb_get_state_reply(
            connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
        return state ? state->group : -1;
    }

private:
    // A reply or error of the server, freed when it goes.
    template <typename T> static std::unique_ptr<T, decltype(&std::free)> owned(T* reply) {
        return {reply, &std::free};
    }

    xcb_keycode_t keycodeOf(xcb_keysym_t keysym) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t code = found ? found[0] : 0;
        std::free(found);
        xcb_key_symbols_free(symbols);
        return code;
    }

    std::vector<xcb_keysym_t> symbolsOf(xcb_keycode_t code) {
        const auto mapping = owned(xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, code, 1), nullptr));
        const xcb_keysym_t* syms =
            mapping ? xcb_get_keyboard_mapping_keysyms(mapping.get()) : nullptr;
        return {syms, syms ? syms + mapping->keysyms_per_keycode : syms};
    }

    void fake(uint8_t type, xcb_keycode_t code) {
        std::free(xcb_request_check(connection, xcb_test_fake_input_checked(connection, type, code,
                                                                            XCB_CURRENT_TIME,
                                                                            XCB_NONE, 0, 0, 0)));
    }

    xcb_connection_t* connection;
    const xcb_screen_t* screen = nullptr;
    std::vector<xcb_keycode_t> held;
};
