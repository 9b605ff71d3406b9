#pragma once

#include "HotKeyService.h"

#include <cstdint>
#include <memory>

// The kind of desktop session the application runs in, decided once from the platform Qt runs
// on. The one place that answers "which platform is this?".
enum class DesktopSession { None, X11, Wayland };
DesktopSession desktopSession();
// Before the application object exists: picks the Qt platform for the session (Wayland's own in
// a Wayland session, X11 otherwise) unless QT_QPA_PLATFORM names one. desktopSession() then
// follows what Qt started on.
void chooseDesktopPlatform();

// The hot key backend for the session; nothing where the session offers none.
std::unique_ptr<HotKeyService> createHotKeyService(DesktopSession session);

// The keysym of a key in the keyboard group in use, at its first level (no Shift, no AltGr); 0
// when the session cannot say. The key panel records keys by it, so Shift+1 is 1 and AltGr+E is
// E on every layout.
std::uint32_t baseKeysym(std::uint32_t nativeScanCode, std::uint32_t nativeModifiers);
