#include "PlatformBackends.h"

#include "ClipboardSelectionReader.h"
#include "GnomeShellSelectionReader.h"
#include "wayland/WaylandDisplay.h"
#include "wayland/WaylandSelectionReader.h"
#include "wayland/WaylandWindowActivator.h"
#include "x11/X11Display.h"
#include "x11/X11KeystrokePoster.h"
#include "x11/X11SelectionReader.h"
#include "x11/X11WindowActivator.h"

#include <QStringList>

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
            backends.selections =
                std::make_unique<GnomeShellSelectionReader>(QDBusConnection::sessionBus());
    }
    return backends;
}

std::shared_ptr<void> PlatformBackends::holdDisplay() {
    // The platforms Qt will try, in order, as chosen for the session.
    const QStringList platforms =
        qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("xcb")).split(QLatin1Char(';'));
    for (const QString& platform : platforms) {
        if (platform.startsWith(QLatin1String("wayland"))) {
            if (auto display = waylandDisplayConnection())
                return display;
        } else if (platform == QLatin1String("xcb")) {
            if (auto display = x11DisplayConnection(1500))
                return display;
        } else {
            // offscreen, minimal and the like need no display.
            return std::make_shared<int>(0);
        }
    }
    return nullptr;
}
