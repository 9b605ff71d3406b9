#include "PlatformBackends.h"

#include "ClipboardSelectionReader.h"
#include "wayland/WaylandSelectionReader.h"
#include "wayland/WaylandWindowActivator.h"
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
    } else if (session == DesktopSession::Wayland) {
        backends.activator = std::make_unique<WaylandWindowActivator>();
        backends.selections = WaylandSelectionReader::create();
        if (!backends.selections)
            backends.selections = std::make_unique<ClipboardSelectionReader>(true, false);
    }
    return backends;
}
