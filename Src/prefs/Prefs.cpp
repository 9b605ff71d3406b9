#include "Prefs.h"

#include "Archiver.h"
#include "UserDefaults.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString historyKey = QLatin1String(PrefKeys::history);
constexpr qsizetype historyCap = 10;

int clampToInt(double value) {
    if (std::isnan(value))
        return 0;
    return int(std::clamp(value, double(std::numeric_limits<int>::min()),
                          double(std::numeric_limits<int>::max())));
}

// A string's leading decimal integer, saturated; 0 when it has none.
int leadingInteger(const QString& text) {
    static const QRegularExpression integer(QStringLiteral("^\\s*[+-]?\\d+"));
    const QRegularExpressionMatch match = integer.match(text);
    return match.hasMatch() ? clampToInt(match.captured().trimmed().toDouble()) : 0;
}

// A string's leading decimal number; 0 when it has none.
float leadingReal(const QString& text) {
    static const QRegularExpression real(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = real.match(text);
    return match.hasMatch() ? QLocale::c().toFloat(match.captured().trimmed()) : 0.0f;
}

// The number an object stands for; nothing for kinds that have none (lists, data, dictionaries).
std::optional<double> numberValue(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return value.toDouble();
    default:
        return std::nullopt;
    }
}

std::optional<int> intValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return leadingInteger(value.toString());
    if (const auto number = numberValue(value))
        return clampToInt(std::trunc(*number));
    return std::nullopt;
}

std::optional<float> floatValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return leadingReal(value.toString());
    if (const auto number = numberValue(value))
        return float(*number);
    return std::nullopt;
}

// This process's new searches, the ones after what it had, added to the history on disk, and the
// ones it took out (a cleared history, the oldest beyond the cap) taken out there too.
QVariantMap mergedHistory(const QVariantMap& had, const QVariantMap& has,
                          const QVariantMap& onDisk) {
    const QStringList before = had.value(historyKey).toStringList();
    const QStringList kept = has.value(historyKey).toStringList();
    QStringList added;
    qsizetype next = 0;
    for (const QString& entry : kept) {
        const qsizetype found = added.isEmpty() ? before.indexOf(entry, next) : -1;
        if (found >= 0)
            next = found + 1;
        else
            added.append(entry);
    }
    QStringList merged = onDisk.value(historyKey).toStringList();
    merged.removeIf([&](const QString& entry) {
        return added.contains(entry) || (before.contains(entry) && !kept.contains(entry));
    });
    merged += added;
    return {{historyKey, merged.mid(std::max<qsizetype>(0, merged.size() - historyCap))}};
}

} // namespace

Prefs& Prefs::sharedInstance() {
    static UserDefaults defaults(UserDefaults::standardPath());
    static Prefs prefs(defaults);
    return prefs;
}

Prefs::Prefs(UserDefaults& defaults)
    : store(defaults) {
    store.setMerge({historyKey}, mergedHistory);
    // A setting this process set follows another process's later change to it; a scratch value
    // of its own (one the store never held) stays.
    QObject::connect(&store, &UserDefaults::changedOnDisk, &store,
                     [this](const QVariantMap& before) {
                         for (auto entry = dict.begin(); entry != dict.end();) {
                             const QVariant now = store.objectForKey(entry.key());
                             if (*entry != before.value(entry.key()) || *entry == now)
                                 ++entry;
                             else if (now.isValid())
                                 *entry++ = now;
                             else
                                 entry = dict.erase(entry);
                         }
                     });
}

QVariant Prefs::get(const QString& key) const {
    const auto found = dict.constFind(key);
    return found != dict.cend() ? *found : store.objectForKey(key);
}

void Prefs::setTempObject(const QString& key, const QVariant& value) {
    dict.insert(key, value);
}

QVariant Prefs::getTempObject(const QString& key) const {
    return get(key);
}

void Prefs::removeTempObject(const QString& key) {
    dict.remove(key);
}

int Prefs::getInt(const QString& key, int defaultValue) const {
    return intValue(get(key)).value_or(defaultValue);
}

void Prefs::setInt(const QString& key, float value) {
    setFloat(key, value);
}

bool Prefs::getBool(const QString& key, bool defaultValue) const {
    const std::optional<int> value = intValue(get(key));
    return value ? *value != 0 : defaultValue;
}

void Prefs::setBool(const QString& key, bool value) {
    setFloat(key, value ? 1.0f : 0.0f);
}

float Prefs::getFloat(const QString& key, float defaultValue) const {
    return floatValue(get(key)).value_or(defaultValue);
}

void Prefs::setFloat(const QString& key, float value) {
    // Every number is stored as a single-precision real, whatever the caller meant by it.
    setString(key, double(value));
}

QVariant Prefs::getString(const QString& key, const QVariant& defaultValue) const {
    const QVariant value = get(key);
    return value.isValid() ? value : defaultValue;
}

void Prefs::setString(const QString& key, const QVariant& value) {
    store.setObject(value, key);
    dict.insert(key, value);
}

void Prefs::setArchivedObject(const ArchiveObjectRef& object, const QString& key) {
    store.setObject(Archiver::archivedDataWithRootObject(object), key);
}

void Prefs::setHistory(const QStringList& history) {
    QStringList kept = history;
    kept.removeIf([](const QString& entry) { return !fitsTheCap(entry); });
    store.setObject(kept, historyKey);
}

QStringList Prefs::getHistory() const {
    const QVariant stored = get(historyKey);
    QStringList history;
    if (stored.typeId() == QMetaType::QStringList) {
        history = stored.toStringList();
    } else if (stored.typeId() == QMetaType::QVariantList) {
        for (const QVariant& item : stored.toList()) {
            if (item.typeId() == QMetaType::QString)
                history.append(item.toString());
        }
    }
    // An older release kept any text; such an entry is never offered again.
    history.removeIf([](const QString& entry) { return !fitsTheCap(entry); });
    if (history.size() > historyCap)
        history = history.last(historyCap);
    return history;
}
