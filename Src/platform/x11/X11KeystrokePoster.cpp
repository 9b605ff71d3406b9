#include "X11KeystrokePoster.h"

#include "KeyCodeMap.h"
#include "Log.h"
#include "X11Connection.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QTimer>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <optional>

// xkb.h names a field "explicit"; the last include, so no other header sees the rename.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace {
// People hold a hot key for a second at times; beyond that the copy goes ahead.
constexpr int releaseWaitMs = 2000;
// A release can miss us when no grab routes it here, so the key state is read this often too.
constexpr int releasePollMs = 10;
// The stored key code of the C key, which stands for the desktop's copy key.
constexpr int cKeyCode = 8;
// X error codes fit in a byte, so this one is never mistaken for the server's.
constexpr int noKeyError = 256;

using KeySet = std::bitset<256>;

struct KeyState {
    KeySet down;
    KeySet modifiers;
};

using X11Connection::adopt;

// Releasing one of these would not undo a lock the person set, and might toggle it.
bool isLockKeysym(xcb_keysym_t keysym) {
    switch (keysym) {
    case XK_Caps_Lock:
    case XK_Shift_Lock:
    case XK_Num_Lock:
    case XK_Scroll_Lock:
    case XK_ISO_Level3_Lock:
    case XK_ISO_Level5_Lock:
        return true;
    default:
        return false;
    }
}
} // namespace

struct X11KeystrokePoster::Private {
    struct Pending {
        std::function<void()> ready;
        QDeadlineTimer deadline;
    };

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_key_symbols_t* symbols = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr; // read again after a keymap change
    std::int32_t keyboard = -1;
    xcb_keycode_t copyKey = 0; // the key pressed for C, released the same
    std::deque<Pending> pending;
    QTimer timer;

    ~Private() {
        xcb_key_symbols_free(symbols);
        xkb_keymap_unref(keymap);
        xkb_context_unref(xkb);
    }

    void keymapChanged() {
        if (xcb_key_symbols_t* fresh = xcb_key_symbols_alloc(connection)) {
            xcb_key_symbols_free(symbols);
            symbols = fresh;
        }
        xkb_keymap_unref(std::exchange(keymap, nullptr));
    }

    void loadKeymap() {
        if (xkb && keyboard >= 0)
            keymap = xkb_x11_keymap_new_from_device(xkb, connection, keyboard,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    }

    // The key that types `keysym` at the first level in the layout active now; 0 for none.
    xcb_keycode_t keyInActiveGroup(xkb_keysym_t keysym) {
        if (!keymap)
            loadKeymap();
        if (!keymap)
            return 0;
        const auto state = adopt(xcb_xkb_get_state_reply(
            connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
        const xkb_layout_index_t group = state ? state->group : 0;
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
             code <= xkb_keymap_max_keycode(keymap) && code < 256; ++code) {
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, code);
            if (layouts == 0)
                continue;
            // A key with fewer layouts than the active one wraps around, as the server does.
            const xkb_keysym_t* syms = nullptr;
            const int count =
                xkb_keymap_key_get_syms_by_level(keymap, code, group % layouts, 0, &syms);
            if (count == 1 && syms[0] == keysym)
                return xcb_keycode_t(code);
        }
        return 0;
    }

    // The copy key: the one that types "c" now. Where the active layout has none (a Cyrillic
    // one, say), Insert, which with Control copies in every toolkit whatever the layout.
    xcb_keycode_t copyKeycode() {
        if (const xcb_keycode_t c = keyInActiveGroup(XKB_KEY_c))
            return c;
        if (const xcb_keycode_t insert = keyInActiveGroup(XKB_KEY_Insert))
            return insert;
        return keycodeFor(XK_c);
    }

    // The keys held down and the keys bound to a modifier, in one round trip.
    std::optional<KeyState> keyState() const {
        const xcb_query_keymap_cookie_t keymapCookie = xcb_query_keymap(connection);
        const xcb_get_modifier_mapping_cookie_t mappingCookie =
            xcb_get_modifier_mapping(connection);
        const auto keymap = adopt(xcb_query_keymap_reply(connection, keymapCookie, nullptr));
        const auto mapping =
            adopt(xcb_get_modifier_mapping_reply(connection, mappingCookie, nullptr));
        if (!keymap || !mapping) {
            logLine("could not read the keyboard state from the X server");
            return std::nullopt;
        }
        KeyState state;
        for (std::size_t code = 0; code < state.down.size(); ++code)
            state.down[code] = (keymap->keys[code / 8] >> (code % 8)) & 1;
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
        for (int i = 0; i < xcb_get_modifier_mapping_keycodes_length(mapping.get()); ++i) {
            if (codes[i] != 0)
                state.modifiers.set(codes[i]);
        }
        return state;
    }

    // An unreadable state counts as released: better a copy that may fail than none at all.
    bool otherKeyDown() const {
        const std::optional<KeyState> state = keyState();
        return state && (state->down & ~state->modifiers).any();
    }

    xcb_keycode_t keycodeFor(xcb_keysym_t keysym) const {
        if (keysym == 0)
            return 0;
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        return code;
    }

    // 0 or the X error code. Checking waits for the server, so events arrive in posting order.
    int fakeKey(std::uint8_t type, xcb_keycode_t code) const {
        const xcb_void_cookie_t cookie =
            xcb_test_fake_input_checked(connection, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
        const auto error = adopt(xcb_request_check(connection, cookie));
        return error ? error->error_code : 0;
    }
};

std::unique_ptr<X11KeystrokePoster> X11KeystrokePoster::create() {
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, &xcb_test_id);
    if (!xtest || !xtest->present) {
        logLine("the X server has no XTEST extension: the copy keystroke cannot be posted");
        return nullptr;
    }
    auto d = std::make_unique<Private>();
    d->connection = connection;
    d->root = X11Connection::rootWindow();
    d->symbols = xcb_key_symbols_alloc(connection);
    if (!d->symbols) {
        logLine("could not read the X keyboard mapping");
        return nullptr;
    }
    if (X11Connection::xkbFirstEvent() != 0) {
        d->xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        d->keyboard = xkb_x11_get_core_keyboard_device_id(connection);
        // Read once the window is up, in the event loop's second turn (it is mapped when the
        // first ends): neither the first frame nor the first press should wait for it.
        QTimer::singleShot(0, &d->timer, [d = d.get()] {
            QTimer::singleShot(0, &d->timer, [d] {
                if (!d->keymap)
                    d->loadKeymap();
            });
        });
    }
    if (d->keyboard < 0)
        logLine("the X server has no XKB: the copy key is looked up in the first layout only");
    return std::unique_ptr<X11KeystrokePoster>(new X11KeystrokePoster(std::move(d)));
}

X11KeystrokePoster::X11KeystrokePoster(std::unique_ptr<Private> d)
    : d(std::move(d)) {
    this->d->timer.setSingleShot(true);
    this->d->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&this->d->timer, &QTimer::timeout,
                     [this] { runReady(!this->d->otherKeyDown()); });
    qGuiApp->installNativeEventFilter(this);
}

// The base class takes the filter out of the application.
X11KeystrokePoster::~X11KeystrokePoster() = default;

void X11KeystrokePoster::whenKeysReleased(std::function<void()> ready) {
    d->pending.push_back({std::move(ready), QDeadlineTimer(releaseWaitMs)});
    if (!d->otherKeyDown())
        runReady(true);
    else if (!d->timer.isActive())
        d->timer.start(releasePollMs);
}

// In order: every waiting ready once the keys are up, otherwise those whose wait is over.
void X11KeystrokePoster::runReady(bool keysReleased) {
    while (!d->pending.empty() && (keysReleased || d->pending.front().deadline.hasExpired())) {
        const std::function<void()> ready = std::move(d->pending.front().ready);
        d->pending.pop_front();
        ready();
    }
    if (d->pending.empty())
        d->timer.stop();
    else if (!d->timer.isActive())
        d->timer.start(releasePollMs);
}

// Grabbing the keyboard would take the copy keystroke away from the application in front, and
// X offers no other way to hold back the person's typing for a moment.
void X11KeystrokePoster::inhibitLocalEvents(bool) {}

void X11KeystrokePoster::enableEventStateCombining(bool combine) {
    // Nothing is pressed back afterwards: the person may have let go meanwhile, and a key
    // pressed back then would stay stuck.
    if (combine)
        return;
    const std::optional<KeyState> state = d->keyState();
    if (!state)
        return;
    const KeySet held = state->down & state->modifiers;
    for (std::size_t code = 0; code < held.size(); ++code) {
        // The key's own keysym: a Shift key whose shifted level is Caps_Lock is still a Shift.
        if (!held[code] || isLockKeysym(xcb_key_symbols_get_keysym(d->symbols, code, 0)))
            continue;
        if (const int error = d->fakeKey(XCB_KEY_RELEASE, code))
            logLine(QString("could not release modifier key %1: X error %2").arg(code).arg(error));
    }
}

// The character code is not needed: on X the key code alone gives the keysym.
int X11KeystrokePoster::postKeyboardEvent(int, int keyCode, bool keyDown) {
    xcb_keycode_t code = 0;
    if (keyCode != cKeyCode)
        code = d->keycodeFor(KeyCodeMap::keysymForKeyCode(keyCode));
    else if (keyDown)
        code = d->copyKey = d->copyKeycode();
    else
        code = d->copyKey ? std::exchange(d->copyKey, 0) : d->copyKeycode();
    if (code == 0)
        return noKeyError;
    return d->fakeKey(keyDown ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code);
}

bool X11KeystrokePoster::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (X11Connection::isKeymapChange(event))
        d->keymapChanged();
    else if (type == XCB_KEY_RELEASE && !d->pending.empty() && !d->otherKeyDown())
        runReady(true);
    return false;
}
