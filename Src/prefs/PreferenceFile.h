#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <plist/plist.h>

#include <optional>

// The bytes of the preferences file: an XML property list whose root is a dictionary. Entries
// nobody touches keep their original nodes, so kinds the program never writes survive intact.
class PreferenceFile {
public:
    PreferenceFile();
    ~PreferenceFile();
    PreferenceFile(PreferenceFile&& other) noexcept;
    PreferenceFile& operator=(PreferenceFile&& other) noexcept;
    PreferenceFile(const PreferenceFile&) = delete;
    PreferenceFile& operator=(const PreferenceFile&) = delete;

    // Nothing when the bytes are not such a property list, nest far deeper than any preference
    // does, or would not read back once written.
    static std::optional<PreferenceFile> parse(QByteArrayView bytes);
    QByteArray serialise() const;

    // Every entry: reals as double, strings, arrays of strings as QStringList (other arrays as
    // QVariantList), data as QByteArray, integers as qint64, booleans, dates, dictionaries.
    QVariantMap values() const;
    // False, changing nothing, when the value is of a kind a property list cannot hold.
    bool setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    static bool canHold(const QVariant& value);

private:
    explicit PreferenceFile(plist_t root);
    plist_t root;
};
