#include "X11HotKeyService.h"

#include "HotKeysLog.h"
#include "KeyCodeMap.h"
#include "KeyCombo.h"
#include "X11Connection.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <X11/keysym.h>

#include <cstdlib>
#include <exception>

namespace {

// The modifiers a combination is made of; Caps Lock, Num Lock and the rest are not part of it.
constexpr std::uint16_t comboModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// Stored modifier bits against X modifier masks: Command is Super (Mod4), Option is Alt (Mod1).
std::uint16_t xModifiersFor(qint32 modifiers) {
    static const struct {
        qint32 modifier;
        std::uint16_t xModifier;
    } bits[] = {{HotKeyModifier::Command, XCB_MOD_MASK_4},
                {HotKeyModifier::Shift, XCB_MOD_MASK_SHIFT},
                {HotKeyModifier::Option, XCB_MOD_MASK_1},
                {HotKeyModifier::Control, XCB_MOD_MASK_CONTROL}};
    std::uint16_t xModifiers = 0;
    for (const auto& bit : bits) {
        if (modifiers & bit.modifier)
            xModifiers |= bit.xModifier;
    }
    return xModifiers;
}

struct Grab {
    std::uint32_t keysym = 0;
    QList<xcb_keycode_t> keycodes;
    std::uint16_t modifiers = 0;
    // The masks actually grabbed, kept so a later keymap change cannot leave one behind.
    QList<std::uint16_t> variants;
    HotKeyId id;
    bool down = false;
    xcb_timestamp_t releasedAt = 0;

    bool matches(xcb_keycode_t keycode, std::uint16_t state) const {
        return (state & comboModifiers) == modifiers && keycodes.contains(keycode);
    }
};

} // namespace

struct X11HotKeyService::Private {
    xcb_connection_t* connection = nullptr;
    QList<xcb_window_t> roots;
    xcb_key_symbols_t* symbols = nullptr;
    std::uint16_t numLockMask = XCB_MOD_MASK_2;
    X11HotKeyService* owner = nullptr;
    quintptr lastHandle = 0;
    QHash<quintptr, Grab> grabs;
    // One layout switch sends several notices; the grabs are redone once they are all in.
    QTimer regrab;

    ~Private() {
        if (symbols)
            xcb_key_symbols_free(symbols);
    }

    QList<xcb_keycode_t> keycodesFor(xcb_keysym_t keysym) const {
        QList<xcb_keycode_t> keycodes;
        xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym);
        for (xcb_keycode_t* keycode = found; keycode && *keycode != XCB_NO_SYMBOL; ++keycode) {
            if (!keycodes.contains(*keycode))
                keycodes.append(*keycode);
        }
        std::free(found);
        return keycodes;
    }

    std::uint16_t findNumLockMask() const {
        const auto reply = X11Connection::adopt(xcb_get_modifier_mapping_reply(
            connection, xcb_get_modifier_mapping(connection), nullptr));
        if (!reply)
            return XCB_MOD_MASK_2;
        const QList<xcb_keycode_t> numLock = keycodesFor(XK_Num_Lock);
        const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        const int length = xcb_get_modifier_mapping_keycodes_length(reply.get());
        std::uint16_t mask = 0;
        for (int index = 0; index < length && index < 8 * perModifier; ++index) {
            if (map[index] != 0 && numLock.contains(map[index]))
                mask = std::uint16_t(1u << (index / perModifier));
        }
        return mask ? mask : std::uint16_t(XCB_MOD_MASK_2);
    }

    bool taken(const Grab& wanted) const {
        for (const Grab& grab : grabs) {
            if (grab.modifiers != wanted.modifiers)
                continue;
            for (xcb_keycode_t keycode : wanted.keycodes) {
                if (grab.keycodes.contains(keycode))
                    return true;
            }
        }
        return false;
    }

    // False when another client holds any of the variants; then nothing stays grabbed.
    bool grab(const Grab& grab) {
        QList<xcb_void_cookie_t> cookies;
        for (xcb_window_t root : roots) {
            for (xcb_keycode_t keycode : grab.keycodes) {
                for (std::uint16_t variant : grab.variants)
                    cookies.append(xcb_grab_key_checked(connection, 1, root, variant, keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            }
        }
        bool refused = false;
        for (const xcb_void_cookie_t& cookie : cookies) {
            if (X11Connection::adopt(xcb_request_check(connection, cookie)))
                refused = true;
        }
        // Releasing a variant another client holds releases nothing of theirs.
        if (refused)
            ungrab(grab);
        return !refused;
    }

    void ungrab(const Grab& grab) {
        for (xcb_window_t root : roots) {
            for (xcb_keycode_t keycode : grab.keycodes) {
                for (std::uint16_t variant : grab.variants)
                    xcb_ungrab_key(connection, keycode, root, variant);
            }
        }
        xcb_flush(connection);
    }

    Grab* grabFor(xcb_keycode_t keycode, std::uint16_t state) {
        for (Grab& grab : grabs) {
            if (grab.matches(keycode, state))
                return &grab;
        }
        return nullptr;
    }

    // The modifiers may be let go before the key, so a release belongs to the key that is down.
    Grab* grabDownFor(xcb_keycode_t keycode) {
        for (Grab& grab : grabs) {
            if (grab.down && grab.keycodes.contains(keycode))
                return &grab;
        }
        return nullptr;
    }

    bool keyPressed(const xcb_key_press_event_t* key) {
        Grab* grab = grabFor(key->detail, key->state);
        if (!grab)
            return false;
        // Auto-repeat comes as further presses, or as release and press with the same time.
        const bool repeated = grab->down || grab->releasedAt == key->time;
        grab->down = true;
        if (!repeated)
            report(grab->id, HotKeyEvent::pressed);
        return true;
    }

    bool keyReleased(const xcb_key_release_event_t* key) {
        Grab* grab = grabDownFor(key->detail);
        if (!grab)
            grab = grabFor(key->detail, key->state);
        if (!grab)
            return false;
        grab->down = false;
        grab->releasedAt = key->time;
        report(grab->id, HotKeyEvent::released);
        return true;
    }

    // No key codes when the key has no keysym or the keyboard lacks it.
    Grab grabOf(qint32 keyCode, qint32 modifiers) const {
        Grab grab;
        grab.keysym = KeyCodeMap::keysymForKeyCode(keyCode);
        grab.modifiers = xModifiersFor(modifiers);
        if (grab.keysym != 0)
            setKeys(grab);
        return grab;
    }

    void setKeys(Grab& grab) const {
        grab.keycodes = keycodesFor(grab.keysym);
        const std::uint16_t lock = XCB_MOD_MASK_LOCK;
        grab.variants = {grab.modifiers, std::uint16_t(grab.modifiers | lock),
                         std::uint16_t(grab.modifiers | numLockMask),
                         std::uint16_t(grab.modifiers | lock | numLockMask)};
    }

    // A new layout or keyboard may move the keys and Num Lock: the grabs follow, or a stale one
    // would fire on the wrong key and the right one would do nothing.
    void keymapChanged() {
        if (xcb_key_symbols_t* fresh = xcb_key_symbols_alloc(connection)) {
            xcb_key_symbols_free(symbols);
            symbols = fresh;
        }
        numLockMask = findNumLockMask();
        for (auto grab = grabs.begin(); grab != grabs.end(); ++grab) {
            ungrab(*grab);
            setKeys(*grab);
            if (grab->keycodes.isEmpty() || !this->grab(*grab))
                qCInfo(hotKeysLog, "hot key %u could not be grabbed again after a keyboard change",
                       unsigned(grab.key()));
        }
    }

    // The action may release hot keys, so no grab is touched after this.
    void report(HotKeyId id, quint32 kind) {
        HotKeyReceiver* receiver = owner->receiver;
        if (!receiver)
            return;
        try {
            receiver->handleHotKeyEvent({HotKeyEvent::keyboardClass, kind, id});
        } catch (const std::exception& error) {
            qCInfo(hotKeysLog, "hot key event not handled: %s", error.what());
        }
    }
};

std::uint32_t X11HotKeyService::baseKeysym(std::uint32_t keycode, std::uint32_t state) const {
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection || keycode > 255)
        return 0;
    // Kept for the run, like the grabs' table.
    static xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return 0;
    // XKB puts the group in bits 13 and 14 of the state; each group has two columns.
    const int group = int((state >> 13) & 3);
    const auto code = xcb_keycode_t(keycode);
    const xcb_keysym_t inGroup = xcb_key_symbols_get_keysym(symbols, code, group * 2);
    return inGroup != XCB_NO_SYMBOL ? inGroup : xcb_key_symbols_get_keysym(symbols, code, 0);
}

std::unique_ptr<X11HotKeyService> X11HotKeyService::create() {
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return nullptr;
    auto d = std::make_unique<Private>();
    d->connection = connection;
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection)); screen.rem;
         xcb_screen_next(&screen))
        d->roots.append(screen.data->root);
    d->symbols = xcb_key_symbols_alloc(connection);
    if (!d->symbols)
        return nullptr;
    d->numLockMask = d->findNumLockMask();
    X11Connection::xkbFirstEvent();
    std::unique_ptr<X11HotKeyService> service(new X11HotKeyService(std::move(d)));
    QCoreApplication::instance()->installNativeEventFilter(service.get());
    return service;
}

X11HotKeyService::X11HotKeyService(std::unique_ptr<Private> d)
    : d(std::move(d)) {
    this->d->owner = this;
    this->d->regrab.setSingleShot(true);
    this->d->regrab.setInterval(0);
    QObject::connect(&this->d->regrab, &QTimer::timeout, [this] { this->d->keymapChanged(); });
}

X11HotKeyService::~X11HotKeyService() {
    if (auto* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
        for (const Grab& grab : std::as_const(d->grabs))
            d->ungrab(grab);
    }
}

quintptr X11HotKeyService::registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) {
    Grab grab = d->grabOf(keyCode, modifiers);
    grab.id = id;
    // The same combination twice would share one X grab, and releasing either would drop both.
    if (grab.keycodes.isEmpty() || d->taken(grab) || !d->grab(grab))
        return 0;
    const quintptr handle = ++d->lastHandle;
    d->grabs.insert(handle, grab);
    return handle;
}

// A trial grab: X refuses it only when another client holds the combination.
bool X11HotKeyService::heldElsewhere(qint32 keyCode, qint32 modifiers) {
    const Grab grab = d->grabOf(keyCode, modifiers);
    // Skerrin's own grab is no other program's.
    if (grab.keycodes.isEmpty() || d->taken(grab))
        return false;
    if (!d->grab(grab))
        return true;
    d->ungrab(grab);
    return false;
}

void X11HotKeyService::unregisterHotKey(quintptr ref) {
    const auto found = d->grabs.constFind(ref);
    if (found == d->grabs.cend())
        return;
    d->ungrab(*found);
    d->grabs.erase(found);
}

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if (X11Connection::isKeymapChange(event)) {
        if (!d->regrab.isActive())
            d->regrab.start();
        return false;
    }
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS:
        // While a new combination is being captured, a press of a grabbed one must reach the
        // focused capture panel instead of firing.
        if (receiver && !receiver->acceptsHotKeys())
            return false;
        return d->keyPressed(reinterpret_cast<const xcb_key_press_event_t*>(event));
    case XCB_KEY_RELEASE:
        // Not consumed: whoever waits for the hot key's release sees it too.
        d->keyReleased(reinterpret_cast<const xcb_key_release_event_t*>(event));
        return false;
    default:
        return false;
    }
}
