#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>

// The 8-byte identity a hot key is registered with and its presses come back with.
struct HotKeyId {
    quint32 signature = 0;
    quint32 id = 0;
};

// A press or release as the backend reports it with the identity it was registered with.
struct HotKeyEvent {
    static constexpr quint32 keyboardClass = 0x6B657962; // 'keyb'
    static constexpr quint32 pressed = 5;
    static constexpr quint32 released = 6;

    quint32 eventClass = keyboardClass;
    quint32 kind = pressed;
    std::optional<HotKeyId> id; // absent when the event carries none
};

// What a backend reports to (the hot key center).
class HotKeyReceiver {
public:
    virtual ~HotKeyReceiver() = default;
    // False while a new combination is being captured: its press must reach the focused window.
    virtual bool acceptsHotKeys() const = 0;
    // Answers a status; 0 when handled.
    virtual qint32 handleHotKeyEvent(const HotKeyEvent& event) = 0;
    // The desktop's late answer to a registration whose handle was already given out, or a
    // change of its trigger.
    virtual void hotKeySettled(quintptr ref, bool bound) = 0;
    // The next press comes with the desktop's leave to bring a window forward (xdg-activation).
    virtual void hotKeyActivationToken(const QString& token) { Q_UNUSED(token); }
};

// The desktop's system-wide hot keys. The center registers and releases through it; the backend
// reports presses to its receiver, carrying the identity (handleHotKeyEvent) or the handle
// (as an application event through SBApplication).
class HotKeyService {
public:
    virtual ~HotKeyService() = default;

    void setReceiver(HotKeyReceiver* r) { receiver = r; }

    // Whether presses arrive carrying the identity rather than the handle.
    virtual bool deliversIdentity() const = 0;
    // A non-zero handle, or 0 when the desktop refused the combination. A desktop that answers
    // later gets a handle at once and the answer goes to hotKeySettled. Key code and modifier
    // bits are the stored numbering.
    virtual quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) = 0;
    // The same, with the name the center keeps the hot key under, for a desktop that lists the
    // shortcuts it grants.
    virtual quintptr registerNamedHotKey(const QString& name, qint32 keyCode, qint32 modifiers,
                                         HotKeyId id) {
        Q_UNUSED(name);
        return registerHotKey(keyCode, modifiers, id);
    }
    virtual void unregisterHotKey(quintptr ref) = 0;
    // Whether another program holds the combination, so registering it would be refused; false
    // where the desktop cannot tell.
    virtual bool heldElsewhere(qint32 keyCode, qint32 modifiers) {
        Q_UNUSED(keyCode);
        Q_UNUSED(modifiers);
        return false;
    }

    // Whether the desktop, not Skerrin, decides which keys trigger the hot keys: the person
    // changes them in the desktop's settings.
    virtual bool desktopAssignsKeys() const { return false; }
    // What such a desktop says triggers the hot key, in its own words: empty when it gave none
    // (the person did not approve it, or removed it), nothing while it has not answered. A
    // change is reported to the receiver as hotKeySettled(ref, true).
    virtual std::optional<QString> triggerDescription(quintptr ref) const {
        Q_UNUSED(ref);
        return std::nullopt;
    }
    // Whether the desktop can be asked to let the person change the keys (configureKeys).
    virtual bool canConfigureKeys() const { return false; }
    // Asks the desktop to let the person change the keys; false when it cannot be asked.
    virtual bool configureKeys() { return false; }

    // The keysym of a key in the keyboard group in use, at its first level (no Shift, no AltGr);
    // 0 where the desktop cannot say. The key panel records keys by it, so Shift+1 is 1 and
    // AltGr+E is E on every layout.
    virtual std::uint32_t baseKeysym(std::uint32_t nativeScanCode,
                                     std::uint32_t nativeModifiers) const {
        Q_UNUSED(nativeScanCode);
        Q_UNUSED(nativeModifiers);
        return 0;
    }

protected:
    HotKeyReceiver* receiver = nullptr;
};
