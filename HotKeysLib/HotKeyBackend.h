#pragma once

#include "HotKeyService.h"

#include <memory>

// The backends, for the application's platform door to choose from; their headers stay inside
// the library. Each is null where it cannot work.

// Key grabs on the X server Qt runs on.
std::unique_ptr<HotKeyService> createX11HotKeyService();
// The desktop portal's global shortcuts; `appId` names the program to the portal.
std::unique_ptr<HotKeyService> createPortalHotKeyService(const QString& appId);
