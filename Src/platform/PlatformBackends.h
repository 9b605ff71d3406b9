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
    // nothing. Skerrin's windows go to the X server (XWayland on a Wayland session), unless
    // QT_QPA_PLATFORM asks for a platform that needs no display.
    static std::shared_ptr<void> holdDisplay();
};
