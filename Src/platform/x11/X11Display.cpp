#include "X11Display.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <chrono>
#include <thread>
#include <xcb/xcb.h>

bool x11DisplayAccepts(int waitMs) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    QElapsedTimer waited;
    waited.start();
    for (int pauseMs = 10;; pauseMs = std::min(pauseMs * 2, 200)) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const bool accepted = xcb_connection_has_error(connection) == 0;
        xcb_disconnect(connection);
        if (accepted)
            return true;
        if (waited.elapsed() + pauseMs > waitMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
}
