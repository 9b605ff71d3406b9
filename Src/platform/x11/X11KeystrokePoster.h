#pragma once

#include "KeystrokePoster.h"

#include <QAbstractNativeEventFilter>

#include <memory>

// Synthetic key presses on X11 through the XTest extension. Key releases are watched through
// Qt's native event filter, which sees them while a hot key grab holds the keyboard.
class X11KeystrokePoster : public KeystrokePoster, public QAbstractNativeEventFilter {
public:
    // Nothing when the application does not run on an X server or the server lacks XTest.
    // Create it after the hot key service: the filter installed last sees an event first, and
    // the service keeps the release of its own key to itself.
    static std::unique_ptr<X11KeystrokePoster> create();
    ~X11KeystrokePoster() override;

    void whenKeysReleased(std::function<void()> ready) override;
    void inhibitLocalEvents(bool inhibit) override;
    void enableEventStateCombining(bool combine) override;
    int postKeyboardEvent(int charCode, int keyCode, bool keyDown) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Private;
    explicit X11KeystrokePoster(std::unique_ptr<Private> d);
    void runReady(bool keysReleased);
    std::unique_ptr<Private> d;
};
