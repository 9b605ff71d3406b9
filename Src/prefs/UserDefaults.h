#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVariantMap>

// The per-user persistent store: an XML property list in the user's config folder.
// Values keep their kinds: real (double), string (QString), array of strings (QStringList),
// data (QByteArray); keys of other kinds that another program left are kept and written back
// unchanged. A change reaches the disk soon (bursts coalesced) and at synchronize().
class UserDefaults : public QObject {
    Q_OBJECT
public:
    explicit UserDefaults(QString path, QObject* parent = nullptr);
    ~UserDefaults() override;

    // $XDG_CONFIG_HOME/skerrin/org.skerrin.Skerrin.plist, falling back to ~/.config.
    static QString standardPath();

    const QString& path() const { return filePath; }

    // The value under the key; an invalid QVariant when there is none.
    QVariant objectForKey(const QString& key) const;
    // Stores or replaces the value; an invalid QVariant removes the key.
    void setObject(const QVariant& value, const QString& key);

    // Writes pending changes now (re-reading the file first so that another process's changes
    // to other keys survive). False when the file could not be written; the failure is logged.
    bool synchronize();

private:
    QString filePath;
    QVariantMap values;
    QSet<QString> changedKeys;
    QTimer saveTimer;
};
