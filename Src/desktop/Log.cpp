#include "Log.h"

#include <QDateTime>
#include <QMessageLogContext>

#include <cstdio>
#include <unistd.h>

void logLine(const QString& message) {
    const QByteArray line =
        QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz").toUtf8() + " skerrin[" +
        QByteArray::number(getpid()) + "] " + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void installLogHandler() {
    qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logLine(message); });
}
