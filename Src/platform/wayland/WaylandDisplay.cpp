#include "WaylandDisplay.h"

#include <QtGlobal>

#include <wayland-client.h>

std::shared_ptr<void> waylandDisplayConnection() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    return std::shared_ptr<void>(
        display, [](void* d) { wl_display_disconnect(static_cast<wl_display*>(d)); });
}
