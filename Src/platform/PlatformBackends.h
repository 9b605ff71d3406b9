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
};
