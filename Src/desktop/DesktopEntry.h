#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// A desktop entry file read by the Desktop Entry rules: groups of keys with their values
// unescaped, and an Exec turned into a command run without a shell.
class DesktopEntry {
public:
    // Nothing when the file cannot be read.
    static std::optional<DesktopEntry> read(const QString& path);
    // The file of a desktop file id (chromium.desktop) in the applications folders of
    // $XDG_DATA_HOME and $XDG_DATA_DIRS; empty when there is none.
    static QString pathOf(const QString& id);

    QString value(const QString& group, const QString& key) const;
    // The actions the entry lists that have a group of their own.
    QStringList actions() const;
    static QString actionGroup(const QString& action) { return "Desktop Action " + action; }
    static inline const QString mainGroup = QStringLiteral("Desktop Entry");
    // The group's Exec as a program and its arguments, `address` in the place of its field
    // code for files or addresses, or last when it has none; empty when it has no Exec.
    QStringList command(const QString& group, const QString& address) const;

private:
    QString path;
    QHash<QString, QHash<QString, QString>> groups;
};
