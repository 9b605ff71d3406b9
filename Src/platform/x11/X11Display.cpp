#include "X11Display.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <thread>
#include <xcb/xcb.h>

std::shared_ptr<void> x11DisplayConnection(int waitMs) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    QElapsedTimer waited;
    waited.start();
    for (int pauseMs = 10;; pauseMs = std::min(pauseMs * 2, 200)) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection) == 0)
            return std::shared_ptr<void>(
                connection, [](void* c) { xcb_disconnect(static_cast<xcb_connection_t*>(c)); });
        xcb_disconnect(connection);
        if (waited.elapsed() + pauseMs > waitMs)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
}
