#include "Log.h"

#include <QDateTime>
#include <QMessageLogContext>

#include <cstdio>
#include <unistd.h>

void logLine(const QString& message) {
    const QByteArray line =
        QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz").toUtf8() + " skerrin[" +
        QByteArray::number(getpid()) + "] " + escapeControls(message).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void installLogHandler() {
    qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logLine(message); });
}

QString escapeControls(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                escaped += QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
    }
    return escaped;
}
