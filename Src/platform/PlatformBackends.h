#pragma once

#include "HotKeyService.h"
#include "KeystrokePoster.h"
#include "SelectionReader.h"
#include "WindowActivator.h"

#include <memory>

// The kind of desktop session Skerrin runs in.
enum class DesktopSession { None, X11, Wayland };

// The one door to the desktop: it alone tells X11 from Wayland and hands out the session's
// backends. None of them is ever null: where the session offers no backend, a stand-in that does
// nothing takes its place and the log says why.
struct PlatformBackends {
    std::unique_ptr<HotKeyService> hotKeys;
    std::unique_ptr<KeystrokePoster> keystrokes;
    std::unique_ptr<WindowActivator> activator;
    std::unique_ptr<SelectionReader> selections;

    // Before the application object exists: picks Qt's platform for the session (Wayland's own
    // in a Wayland session, X11 otherwise) unless QT_QPA_PLATFORM names one.
    static void choosePlatform();
    // Something to hold until the application is made when the window can be shown, else
    // nothing: a connection to the first of the platforms chosen for the session (Wayland, then
    // the X server) that takes one; a platform that needs no display always can.
    static std::shared_ptr<void> holdDisplay();
    // Once the application exists: the session Qt started on.
    static DesktopSession session();
    // `appId` names Skerrin to a desktop that asks who binds its keys.
    static PlatformBackends forSession(DesktopSession session, const QString& appId);
};
