#pragma once

#include <QFile>
#include <QProcess>
#include <QString>

// Writes a browser that only appends, one per line, each address it is asked to open to the
// file named by $SKERRIN_RECORD.
inline void writeBrowserRecorder(const QString& path) {
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$SKERRIN_RECORD\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

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
