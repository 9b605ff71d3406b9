#pragma once

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class SearchList;
class UserDefaults;

// Settings of the whole program: a per-run scratch dictionary read first, the user's
// persistent store second. Typed setters write both, numbers always as single-precision reals.
class Prefs {
public:
    static Prefs& sharedInstance();
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
    float getFloat(const QString& key, float defaultValue) const;
    void setFloat(const QString& key, float value);
    QVariant getString(const QString& key, const QVariant& defaultValue) const;
    void setString(const QString& key, const QVariant& value);

    void saveSearchList(const SearchList& list, const QString& key);
    void setHistory(const QStringList& history);
    // The stored history, newest 10 at most, as a list the caller owns.
    QStringList getHistory() const;

private:
    UserDefaults& store;
    QVariantMap dict;
};
