#include "HotKeyBackend.h"

#include "portal/PortalHotKeyService.h"
#include "x11/X11HotKeyService.h"

std::unique_ptr<HotKeyService> createX11HotKeyService() {
    return X11HotKeyService::create();
}

std::unique_ptr<HotKeyService> createPortalHotKeyService(const QString& appId) {
    return PortalHotKeyService::create(appId);
}
