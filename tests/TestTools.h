#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include <ostream>

// Where a search on the first of the default sites goes.
const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");

// A preference file of the XML kind holding `dictBody` in its top-level dictionary.
inline QByteArray plistText(const QByteArray& dictBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
           dictBody + "</dict>\n</plist>\n";
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

// How a program ended and what it printed; the exit code is -1 when it crashed or did not end.
struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program in `env` to its end, or stops it at the cap.
inline Outcome runProgram(const QProcessEnvironment& env, const QString& program,
                          const QStringList& arguments, int capMs = 10000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    const bool ended =
        process.waitForFinished(capMs) && process.exitStatus() == QProcess::NormalExit;
    stopProcess(process);
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
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

// The value of "group/key" in a desktop-entry style file.
inline QString desktopEntryValue(const QString& path, const QString& key) {
    return QSettings(path, QSettings::IniFormat).value(key).toString();
}
