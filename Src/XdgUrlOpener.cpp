#include "XdgUrlOpener.h"

#include "Log.h"

#include <QProcess>

bool XdgUrlOpener::launch(const QString& address) {
    // Detached: a browser started by xdg-open may run for hours.
    if (QProcess::startDetached(QStringLiteral("xdg-open"), {address}))
        return true;
    logLine("could not start xdg-open for " + address);
    return false;
}
