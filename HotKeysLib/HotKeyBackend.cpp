#include "HotKeyBackend.h"

#include "portal/PortalHotKeyService.h"
#include "x11/X11HotKeyService.h"

#include <QGuiApplication>

DesktopSession desktopSession() {
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

void chooseDesktopPlatform() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("x11"))
        return;
    // XWayland, where there is one, still serves if Qt's Wayland platform cannot start.
    qputenv("QT_QPA_PLATFORM", "wayland;xcb");
}

std::unique_ptr<HotKeyService> createHotKeyService(DesktopSession session) {
    switch (session) {
    case DesktopSession::X11:
        return X11HotKeyService::create();
    case DesktopSession::Wayland:
        return PortalHotKeyService::create(QGuiApplication::desktopFileName());
    case DesktopSession::None:
        break;
    }
    return nullptr;
}

std::uint32_t baseKeysym(std::uint32_t nativeScanCode, std::uint32_t nativeModifiers) {
    if (desktopSession() == DesktopSession::X11)
        return X11HotKeyService::baseKeysym(nativeScanCode, nativeModifiers);
    return 0;
}
