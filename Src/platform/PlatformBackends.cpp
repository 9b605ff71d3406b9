#include "PlatformBackends.h"

#include "x11/X11KeystrokePoster.h"
#include "x11/X11SelectionReader.h"
#include "x11/X11WindowActivator.h"

PlatformBackends PlatformBackends::forSession(DesktopSession session) {
    PlatformBackends backends;
    backends.hotKeys = createHotKeyService(session);
    if (session == DesktopSession::X11) {
        backends.keystrokes = X11KeystrokePoster::create();
        backends.activator = std::make_unique<X11WindowActivator>();
        backends.selections = X11SelectionReader::create();
    }
    return backends;
}
