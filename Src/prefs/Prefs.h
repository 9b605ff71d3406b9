#pragma once

#include "ArchiveObject.h"
#include "PrefKeys.h"
#include "UserDefaults.h"

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <type_traits>

// Settings of the whole program: a per-run scratch dictionary read first, the user's
// persistent store second. Typed setters write both, numbers always as single-precision reals.
class Prefs {
public:
    static Prefs& sharedInstance();
    // The longest text Skerrin searches or keeps, in UTF-8 bytes: far beyond any selection a
    // person searches, far below what would make the settings file or the browser's address
    // (one argument to xdg-open) a burden.
    static constexpr qsizetype maxTextBytes = 64 * 1024;
    static bool fitsTheCap(const QString& text) {
        return text.size() * 3 <= maxTextBytes || text.toUtf8().size() <= maxTextBytes;
    }
    explicit Prefs(UserDefaults& defaults);

    UserDefaults& defaults() { return store; }

    QVariant get(const QString& key) const;
    void setTempObject(const QString& key, const QVariant& value);
    QVariant getTempObject(const QString& key) const;
    void removeTempObject(const QString& key);

    int getInt(const QString& key, int defaultValue) const;
    void setInt(const QString& key, float value);
    bool getBool(const QString& key, bool defaultValue) const;
    void setBool(const QString& key, bool value);
    void setFloat(const QString& key, float value);
    bool getBool(const PrefKey<bool>& key) const { return getBool(key.key(), key.defaultValue); }
    void setBool(const PrefKey<bool>& key, bool value) { setBool(key.key(), value); }
    int getInt(const PrefKey<int>& key) const { return getInt(key.key(), key.defaultValue); }
    void setInt(const PrefKey<int>& key, float value) { setInt(key.key(), value); }
    void setString(const QString& key, const QVariant& value);

    // Any list that archives itself (the search list); the store never needs to know its class.
    // What the archive cannot hold goes beside it, under keys of its own (a key given no value
    // is removed). Another process's sites survive: only what this process changed is applied.
    void saveSearchList(const auto& list, const QString& key) {
        setArchivedObject(list.encodeWithCoder(), key);
        if constexpr (requires { list.storedBeside(); }) {
            using List = std::remove_cvref_t<decltype(list)>;
            store.setMerge(List::storedKeys(), &List::mergeStored);
            for (const auto& [besideKey, value] : list.storedBeside().asKeyValueRange())
                store.setObject(value, besideKey);
        }
    }
    // Another process's searches survive: this process's new entries are added to them.
    void setHistory(const QStringList& history);
    // The stored history, newest 10 at most, as a list the caller owns.
    QStringList getHistory() const;

    // Kept for callers of the design's interface; nothing in Skerrin calls these.
    float getFloat(const QString& key, float defaultValue) const;
    QVariant getString(const QString& key, const QVariant& defaultValue) const;

private:
    void setArchivedObject(const ArchiveObjectRef& object, const QString& key);

    UserDefaults& store;
    QVariantMap dict;
};
