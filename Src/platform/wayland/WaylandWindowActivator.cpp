#include "WaylandWindowActivator.h"

#include "Log.h"

#include <QWidget>
#include <QWindow>

WaylandWindowActivator::WaylandWindowActivator()
    : token(qgetenv("XDG_ACTIVATION_TOKEN")) {
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

void WaylandWindowActivator::activate(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (token.isEmpty() || !handle) {
        // A desktop that gives no token (GNOME for its portal's keys) gives none on any press.
        if (!std::exchange(toldNoToken, true))
            logLine(QStringLiteral("no activation token: the desktop did not let Skerrin come "
                                   "forward (said once; later refusals go unlogged)"));
        return;
    }
    logLine(QStringLiteral("coming forward with the desktop's activation token"));
    // Qt's Wayland platform hands the token in the environment to the compositor, once.
    qputenv("XDG_ACTIVATION_TOKEN", std::exchange(token, {}));
    handle->requestActivate();
}
