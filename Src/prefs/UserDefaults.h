#pragma once

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVariantMap>

#include <functional>

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

    // Writes pending changes now, under a lock shared with other processes, onto the file as it
    // is then: keys this process did not change keep what another process wrote, and a value
    // set back to what this process had is not written. False when the file could not be
    // written; the failure is logged.
    bool synchronize();

    // How this process's change to `keys` is applied when another process changed them too
    // since this one read them: from what this process had, what it has now and what is on
    // disk, the values to write. Without one the newer change wins.
    using Merge = std::function<QVariantMap(const QVariantMap& had, const QVariantMap& has,
                                            const QVariantMap& onDisk)>;
    void setMerge(const QStringList& keys, Merge merge);

signals:
    // Another process changed the file: every value now reads as it is there, except those this
    // process changed and has not written yet. `before` holds the values as they were.
    void changedOnDisk(const QVariantMap& before);

private:
    void watch(const QString& target);
    void reload();
    struct MergedKeys {
        QStringList keys;
        Merge merge;
    };
    QVariantMap pick(const QStringList& keys, const QVariantMap& from) const;

    QString filePath;
    // What this process sees: what it read, with its own changes. Another process's changes
    // come in only with changedOnDisk, so that those who read these values can take them in.
    QVariantMap values;
    // The values of the changed keys before their first change since the last write.
    QVariantMap had;
    QList<MergedKeys> merges;
    QTimer saveTimer;
    QFileSystemWatcher watcher;
    QTimer reloadTimer;
};
