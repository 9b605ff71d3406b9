#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QThread>

#include <ostream>

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

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes the file's folder when needed; true when all of `bytes` was written.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Lets gtest show texts, and lists of them, as text in its failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
