#pragma once

#include <QProcess>
#include <QString>

// Ends a helper process, killing it when it does not stop within the cap.
inline void stopProcess(QProcess& process, int capMs = 5000) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(capMs)) {
        process.kill();
        process.waitForFinished(capMs);
    }
}
