#include "PlatformBackends.h"

#include "ClipboardSelectionReader.h"
#include "GnomeShellSelectionReader.h"
#include "HotKeyBackend.h"
#include "Log.h"
#include "NoHotKeyService.h"
#include "NoKeystrokePoster.h"
#include "NoWindowActivator.h"
#include "wayland/WaylandDisplay.h"
#include "wayland/WaylandSelectionReader.h"
#include "wayland/WaylandWindowActivator.h"
#include "x11/X11Display.h"
#include "x11/X11KeystrokePoster.h"
#include "x11/X11SelectionReader.h"
#include "x11/X11WindowActivator.h"

#include <QGuiApplication>
#include <QStringList>

namespace {

// The backend, or the stand-in with the reason in the log.
template <typename Seam, typename StandIn>
std::unique_ptr<Seam> orStandIn(std::unique_ptr<Seam> backend, std::unique_ptr<StandIn> standIn,
                                const char* why) {
    if (backend)
        return backend;
    logLine(QString::fromUtf8(why));
    return standIn;
}

} // namespace

void PlatformBackends::choosePlatform() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("x11"))
        return;
    // XWayland, where there is one, still serves if Qt's Wayland platform cannot start.
    qputenv("QT_QPA_PLATFORM", "wayland;xcb");
}

DesktopSession PlatformBackends::session() {
    static const DesktopSession session = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("xcb"))
            return DesktopSession::X11;
        if (platform.startsWith(QLatin1String("wayland")))
            return DesktopSession::Wayland;
        return DesktopSession::None;
    }();
    return session;
}

PlatformBackends PlatformBackends::forSession(DesktopSession session, const QString& appId) {
    PlatformBackends backends;
    if (session == DesktopSession::X11) {
        backends.hotKeys = createX11HotKeyService();
        backends.keystrokes = X11KeystrokePoster::create();
        backends.activator = std::make_unique<X11WindowActivator>();
        backends.selections = X11SelectionReader::create();
    } else if (session == DesktopSession::Wayland) {
        backends.hotKeys =
            orStandIn(createPortalHotKeyService(appId), std::make_unique<NoHotKeyService>(),
                      "the desktop portal offers no global shortcuts: bind "
                      "`skerrin --search-selection` in the desktop's settings");
        backends.activator = std::make_unique<WaylandWindowActivator>();
        backends.selections = WaylandSelectionReader::create();
        if (!backends.selections)
            backends.selections =
                std::make_unique<GnomeShellSelectionReader>(QDBusConnection::sessionBus());
    }
    backends.hotKeys = orStandIn(std::move(backends.hotKeys), std::make_unique<NoHotKeyService>(),
                                 "no X server and no Wayland desktop: the hot keys are off");
    // Wayland lets no program type into another: a capture reads the highlight instead.
    if (!backends.keystrokes)
        backends.keystrokes = std::make_unique<NoKeystrokePoster>();
    if (!backends.activator)
        backends.activator = std::make_unique<NoWindowActivator>();
    backends.selections =
        orStandIn(std::move(backends.selections), std::make_unique<ClipboardSelectionReader>(),
                  "the desktop tells nothing of its selections: only the clipboard is read");
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
