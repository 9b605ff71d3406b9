#include "Autostart.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

// Exec's quoting: the path quoted, with \ " ` $ escaped; a % doubled, as field codes want; then
// every backslash doubled once more for the file's own escapes.
QString execQuoted(const QString& program) {
    QString quoted = program;
    for (const char* special : {"\\", "\"", "`", "$"})
        quoted.replace(QLatin1String(special), QLatin1String("\\") + QLatin1String(special));
    quoted.replace(QLatin1String("%"), QLatin1String("%%"));
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return '"' + quoted + '"';
}

bool holdsControl(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
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
    // A line break would end Exec and start a key of the caller's choosing.
    if (holdsControl(program)) {
        logLine(QStringLiteral("cannot start at login: the program's path holds a control "
                               "character, which an autostart entry cannot name"));
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
