#pragma once

#include "HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <QList>

#include <cstdint>
#include <memory>

// System-wide hot keys on X11: passive grabs on the root window for every Caps Lock / Num Lock
// variant; presses and releases come back through Qt's native event filter and are reported to
// the receiver with the identity they were registered with.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
public:
    // Nothing when the application does not run on an X server.
    static std::unique_ptr<X11HotKeyService> create();
    ~X11HotKeyService() override;

    bool deliversIdentity() const override { return true; }
    quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) override;
    void unregisterHotKey(quintptr ref) override;
    bool heldElsewhere(qint32 keyCode, qint32 modifiers) override;
    // The first-level keysym of an X keycode in the group that `state` names.
    std::uint32_t baseKeysym(std::uint32_t keycode, std::uint32_t state) const override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Private;
    explicit X11HotKeyService(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};
