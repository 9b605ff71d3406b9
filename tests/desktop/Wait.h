#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

// Polls `condition` every 20 ms until it holds or `capMs` has passed; true when it held. Events
// are handled in between so that child processes are noticed when they end.
template <typename Condition> bool waitUntil(Condition condition, int capMs = 10000) {
    QDeadlineTimer deadline(capMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}
