#pragma once

#include "ArchiveObject.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <concepts>
#include <memory>
#include <utility>

class KeyCombo;
using KeyComboRef = std::shared_ptr<const KeyCombo>;

// The hot key modifier bits that stored combinations use.
namespace HotKeyModifier {
constexpr qint32 Command = 0x0100;
constexpr qint32 Shift = 0x0200;
constexpr qint32 Option = 0x0800;
constexpr qint32 Control = 0x1000;
} // namespace HotKeyModifier

// One key and the modifiers held with it. It never changes once made, so holders share it;
// -1/-1 is the cleared combination.
class KeyCombo {
    struct Token {};

public:
    KeyCombo(Token, qint16 keyCode, qint32 modifiers)
        : mKeyCode(keyCode)
        , mModifiers(modifiers) {}

    static KeyComboRef clearKeyCombo();
    static KeyComboRef keyComboWithKeyCode(qint16 keyCode, qint32 modifiers);

    // Display names by decimal key code; null while the table cannot be loaded.
    static const QHash<QString, QString>* keyCodesDictionary();
    static QString _stringForKeyCode(qint16 keyCode);

    qint16 keyCode() const { return mKeyCode; }
    // The low 16 bits of the mask: what equality and registration use.
    qint16 modifiers() const { return qint16(mModifiers & 0xFFFF); }
    qint32 modifierMask() const { return mModifiers; }
    bool isValid() const { return mKeyCode >= 0 && mModifiers >= 0; }

    // What a person reads on Linux: "Super+Alt+F11", "Ctrl+Shift+1", "(None)" when cleared.
    QString linuxDisplayText() const;

    ArchiveObjectRef encodeWithCoder() const;
    // Nothing when the object does not hold a key code and a mask.
    static KeyComboRef initWithCoder(const ArchiveObject& coded);

private:
    qint16 mKeyCode;
    qint32 mModifiers;

public:
    // Kept for callers of the library's interface; nothing in Skerrin calls these, nor anything
    // from here to the end of the file: the person reads linuxDisplayText, and Skerrin stores
    // its keys as two numbers.
    static KeyComboRef keyCombo();
    QString userDisplayRep() const;
    static QString _stringForModifiers(qint32 modifiers);
    QString description() const { return userDisplayRep(); }
    bool isEqual(const KeyCombo* other) const;
};

// The application's settings store as the library uses it: it never includes the store itself.
template <typename Store>
concept KeyComboStore = requires(Store store, const QVariant& value, const QString& key) {
    { std::as_const(store).objectForKey(key) } -> std::convertible_to<QVariant>;
    store.setObject(value, key);
};

// A combination as the store keeps it (archive data), and back: the cleared combination when
// the stored value holds nothing usable.
QVariant storedKeyCombo(const KeyComboRef& combo);
KeyComboRef keyComboFromStored(const QVariant& stored);

// A whole combination under one key of the user's store.
void setKeyCombo(KeyComboStore auto& defaults, const KeyComboRef& combo, const QString& key) {
    defaults.setObject(storedKeyCombo(combo), key);
}
KeyComboRef keyComboForKey(const KeyComboStore auto& defaults, const QString& key) {
    return keyComboFromStored(defaults.objectForKey(key));
}
