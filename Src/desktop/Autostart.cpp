#include "Autostart.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Exec's quoting: a program path with spaces or quotes still starts.
QString execQuoted(const QString& program) {
    QString quoted = program;
    for (const char* special : {"\\", "\"", "`", "$"})
        quoted.replace(QLatin1String(special), QLatin1String("\\") + QLatin1String(special));
    // A desktop entry's own escape doubles the backslashes once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return '"' + quoted + '"';
}

} // namespace

QString Autostart::entryPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + "/.config";
    return base + "/autostart/" SKERRIN_APP_ID ".desktop";
}

bool Autostart::enabled() {
    return QFileInfo::exists(entryPath());
}

bool Autostart::setEnabled(bool on, const QString& program) {
    const QString path = entryPath();
    if (!on) {
        if (!QFileInfo::exists(path) || QFile::remove(path))
            return true;
        logLine(QStringLiteral("could not remove %1").arg(path));
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Skerrin\n"
                                  "Comment=Search the web for the text selected anywhere\n"
                                  "Exec=%1 %2\n"
                                  "Icon=" SKERRIN_APP_ID "\n"
                                  "NoDisplay=true\n"
                                  "X-GNOME-Autostart-enabled=true\n")
                       .arg(execQuoted(program), hiddenArgument)
                       .toUtf8());
        if (file.commit())
            return true;
    }
    logLine(QStringLiteral("could not write %1: %2").arg(path, file.errorString()));
    return false;
}
