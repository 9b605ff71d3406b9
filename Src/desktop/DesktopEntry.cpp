#include "DesktopEntry.h"

#include <QDir>
#include <QFile>

namespace {

// A string value's own escapes: \s \n \t \r \\.
QString unescaped(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != '\\' || i + 1 == value.size()) {
            text += value.at(i);
            continue;
        }
        const QChar next = value.at(++i);
        text += next == 's'   ? QChar(' ')
                : next == 'n' ? QChar('\n')
                : next == 't' ? QChar('\t')
                : next == 'r' ? QChar('\r')
                              : next;
    }
    return text;
}

// Exec's words: separated by spaces; a quoted one may hold spaces, and in it a backslash keeps
// the next character. Each word says whether it was quoted: field codes stand only outside.
QList<std::pair<QString, bool>> execWords(const QString& exec) {
    QList<std::pair<QString, bool>> words;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                words.last().first += c == '\\' && i + 1 < exec.size() ? exec.at(++i) : c;
        } else if (c == ' ' || c == '\t') {
            inWord = false;
        } else {
            if (!inWord)
                words.append({QString(), false});
            inWord = true;
            if (c == '"')
                quoted = words.last().second = true;
            else
                words.last().first += c;
        }
    }
    return words;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    DesktopEntry entry;
    entry.path = path;
    QString group;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            group = trimmed.mid(1, trimmed.size() - 2);
        } else if (const qsizetype equals = trimmed.indexOf('=');
                   equals > 0 && !trimmed.startsWith('#') && !group.isEmpty()) {
            entry.groups[group].insert(trimmed.left(equals).trimmed(),
                                       unescaped(trimmed.mid(equals + 1).trimmed()));
        }
    }
    return entry;
}

QString DesktopEntry::pathOf(const QString& id) {
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + "/.local/share";
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : QStringList{home} + dirs.split(':', Qt::SkipEmptyParts)) {
        const QString path = dir + "/applications/" + id;
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

QString DesktopEntry::value(const QString& group, const QString& key) const {
    return groups.value(group).value(key);
}

QStringList DesktopEntry::actions() const {
    QStringList listed = value(mainGroup, QStringLiteral("Actions")).split(';', Qt::SkipEmptyParts);
    listed.removeIf(
        [this](const QString& action) { return !groups.contains(actionGroup(action)); });
    return listed;
}

QStringList DesktopEntry::command(const QString& group, const QString& address) const {
    QStringList command;
    bool placed = false;
    for (const auto& [word, quoted] : execWords(value(group, QStringLiteral("Exec")))) {
        if (quoted) {
            command.append(word);
            continue;
        }
        if (word == QLatin1String("%i")) {
            if (const QString icon = value(mainGroup, QStringLiteral("Icon")); !icon.isEmpty())
                command << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < word.size(); ++i) {
            const QChar c = word.at(i);
            if (c != '%' || i + 1 == word.size()) {
                expanded += c;
                continue;
            }
            const QChar code = word.at(++i);
            if (QStringView(u"fFuU").contains(code) && !placed) {
                expanded += address;
                placed = true;
            } else if (code == 'c') {
                expanded += value(mainGroup, QStringLiteral("Name"));
            } else if (code == 'k') {
                expanded += path;
            } else if (code == '%') {
                expanded += '%';
            } // the deprecated codes, and a second place for a file, stand for nothing
        }
        if (!expanded.isEmpty())
            command.append(expanded);
    }
    if (!command.isEmpty() && !placed)
        command.append(address);
    return command;
}
