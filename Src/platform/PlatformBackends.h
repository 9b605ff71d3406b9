#pragma once

#include "HotKeyBackend.h"
#include "KeystrokePoster.h"
#include "SelectionReader.h"
#include "WindowActivator.h"

#include <memory>

// The desktop's own parts for the session Skerrin runs in; each is missing where the session
// offers none.
struct PlatformBackends {
    std::unique_ptr<HotKeyService> hotKeys;
    std::unique_ptr<KeystrokePoster> keystrokes;
    std::unique_ptr<WindowActivator> activator;
    std::unique_ptr<SelectionReader> selections;

    static PlatformBackends forSession(DesktopSession session);
    // Something to hold until the application is made when the window can be shown, else
    // nothing: a connection to the first of the platforms chosen for the session (Wayland, then
    // the X server) that takes one; a platform that needs no display always can.
    static std::shared_ptr<void> holdDisplay();
};
