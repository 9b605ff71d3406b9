#include "PlatformBackends.h"

#include <QString>

#include "x11/X11Display.h"
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

std::shared_ptr<void> PlatformBackends::holdDisplay() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && platform != QLatin1String("xcb"))
        return std::make_shared<int>(0);
    return x11DisplayConnection(1500);
}
